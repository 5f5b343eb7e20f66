#include "FsSession.h"

#include <dirent.h>
#include <fcntl.h>
#include <linux/openat2.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <thread>

#include "platform/FileSystem.h"
#include "support/FileWrite.h"
#include "transfer/Utf16Text.h"

namespace qvxdev {

namespace {

constexpr int64_t kChunk = 256 * 1024;
std::atomic<unsigned> g_tempCounter{0};

// Opens `relative` (folders joined by '/', "" for the phone folder itself)
// below `root` without ever leaving it: links are followed only while they
// stay inside. -1 with errno EXDEV or ELOOP for a path that leads out.
int OpenBeneath(int root, const std::string& relative) {
    if (relative.empty()) return fcntl(root, F_DUPFD_CLOEXEC, 0);
    open_how how{};
    how.flags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;
    how.resolve = RESOLVE_BENEATH | RESOLVE_NO_MAGICLINKS;
    const long fd = syscall(SYS_openat2, root, relative.c_str(), &how, sizeof how);
    if (fd >= 0 || (errno != ENOSYS && errno != EPERM)) return static_cast<int>(fd);
    // A kernel without openat2: one step at a time, following no link at all.
    int current = fcntl(root, F_DUPFD_CLOEXEC, 0);
    for (size_t begin = 0; current >= 0 && begin <= relative.size();) {
        size_t end = relative.find('/', begin);
        if (end == std::string::npos) end = relative.size();
        const std::string part = relative.substr(begin, end - begin);
        begin = end + 1;
        if (part.empty()) continue;
        if (part == "..") {
            close(current);
            errno = EXDEV;
            return -1;
        }
        const int next = openat(current, part.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        const int err = errno;
        close(current);
        current = next;
        errno = err;
    }
    return current;
}

bool LeadsOut(int err) {
    return err == EXDEV || err == ELOOP;
}

std::string JoinHostPath(const std::string& folder, const std::string& name) {
    if (folder.empty()) return name;
    return folder.back() == '/' ? folder + name : folder + "/" + name;
}

std::string BaseName(const std::string& path) {
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

void ComputeMemory(const PhoneInfo& info, int64_t& free, int64_t& total) {
    int64_t fsTotal = 0, fsFree = 0;
    struct statvfs vfs {};
    if (statvfs(info.path.c_str(), &vfs) == 0) {
        fsTotal = static_cast<int64_t>(vfs.f_blocks) * static_cast<int64_t>(vfs.f_frsize);
        fsFree = static_cast<int64_t>(vfs.f_bavail) * static_cast<int64_t>(vfs.f_frsize);
    }
    free = info.freeMemory >= 0 ? info.freeMemory : fsFree;
    total = info.totalMemory >= 0 ? info.totalMemory : fsTotal;
    if (total < free) total = free;
}

// The phone folder the program's databases go to, below the phone's folder.
constexpr char kDataFolder[] = "C/Data/Quorvex";

bool AllDigits(std::string_view text) {
    return !text.empty() &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// ".<seconds>000_YYYY-MM-DD_full.db.part-<p>-<n>" (or ".sem"): the part file
// of a database or semaphore file the program sends. Nothing else is taken
// for a part file of ours, whatever its name looks like.
bool IsOwnPartFileName(std::string_view name) {
    if (name.size() < 2 || name.front() != '.') return false;
    name.remove_prefix(1);
    const size_t mark = name.rfind(".part-");
    if (mark == std::string_view::npos) return false;
    std::string_view counters = name.substr(mark + 6);
    const size_t dash = counters.find('-');
    if (dash == std::string_view::npos || !AllDigits(counters.substr(0, dash)) ||
        !AllDigits(counters.substr(dash + 1)))
        return false;
    std::string_view file = name.substr(0, mark);
    if (file.ends_with(".db"))
        file.remove_suffix(3);
    else if (file.ends_with(".sem"))
        file.remove_suffix(4);
    else
        return false;
    // "<digits>000_YYYY-MM-DD_full"
    constexpr std::string_view kTail = "_full";
    if (!file.ends_with(kTail)) return false;
    file.remove_suffix(kTail.size());
    const size_t under = file.find('_');
    if (under == std::string_view::npos || under < 4 || !AllDigits(file.substr(0, under)) ||
        file.substr(under - 3, 3) != "000")
        return false;
    const std::string_view date = file.substr(under + 1);
    return date.size() == 10 && AllDigits(date.substr(0, 4)) && date[4] == '-' &&
           AllDigits(date.substr(5, 2)) && date[7] == '-' && AllDigits(date.substr(8, 2));
}

// The writer of a part file holds an exclusive flock on it from creating it
// until it is renamed or removed; a lock that can be taken proves the writer
// gone, in whatever process namespace it ran. The name must still be the
// locked file, so that a file put there meanwhile is never removed.
void RemoveIfUnlocked(int dir, const char* name) {
    const int fd = openat(dir, name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return;
    struct stat held {
    }, named{};
    if (flock(fd, LOCK_EX | LOCK_NB) == 0 && fstat(fd, &held) == 0 && S_ISREG(held.st_mode) &&
        fstatat(dir, name, &named, AT_SYMLINK_NOFOLLOW) == 0 && named.st_dev == held.st_dev &&
        named.st_ino == held.st_ino)
        unlinkat(dir, name, 0);
    close(fd);
}

}  // namespace

void RemoveStalePartFiles(const std::string& phonePath) {
    const int root = open(phonePath.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (root < 0) return;
    const int dir = OpenBeneath(root, kDataFolder);
    close(root);
    if (dir < 0) return;
    DIR* d = fdopendir(dir);
    if (!d) {
        close(dir);
        return;
    }
    while (dirent* e = readdir(d)) {
        if (IsOwnPartFileName(e->d_name)) RemoveIfUnlocked(dirfd(d), e->d_name);
    }
    closedir(d);
}

bool ResolvePhonePath(const PhonePath& current, std::string_view text, PhonePath& out) {
    if (text.empty()) return false;
    if (text.substr(0, 2) == "\\\\") text.remove_prefix(2);
    if (text.size() >= 2 && text[1] == ':' &&
        ((text[0] >= 'A' && text[0] <= 'Z') || (text[0] >= 'a' && text[0] <= 'z'))) {
        char drive = text[0] >= 'a' ? static_cast<char>(text[0] - 'a' + 'A') : text[0];
        out = PhonePath{std::string(1, drive)};
        text.remove_prefix(2);
    } else if (!text.empty() && text.front() == '\\') {
        if (current.empty()) return false;
        out = PhonePath{current.front()};
    } else {
        if (current.empty()) return false;
        out = current;
    }
    while (!text.empty()) {
        size_t sep = text.find('\\');
        std::string_view part = text.substr(0, sep);
        text = sep == std::string_view::npos ? std::string_view() : text.substr(sep + 1);
        if (part.empty() || part == ".") continue;
        if (part == "..") {
            if (out.size() <= 1) return false;
            out.pop_back();
            continue;
        }
        if (!IsPlainName(part)) return false;
        out.emplace_back(part);
    }
    return true;
}

FsSession::FsSession(std::string serial, std::string phonePath)
    : m_serial(std::move(serial)), m_phonePath(std::move(phonePath)) {
    PhoneInfo info;
    if (ReadPhone(m_phonePath, BaseName(m_phonePath), info)) {
        ComputeMemory(info, m_free, m_total);
        m_used = m_total - m_free;
    }
}

bool FsSession::Present(PhoneInfo& info) {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_lost) return false;
    }
    // The folder may have been replaced by another phone meanwhile.
    return ReadPhone(m_phonePath, BaseName(m_phonePath), info) && info.serial == m_serial;
}

uint32_t FsSession::Lost() {
    bool first = false;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        first = !m_lost;
        m_lost = true;
    }
    if (first) m_listeners.ForEach([](FSNotifyIF* p) { p->OnFSConnectionLost(ECONA_CONNECTION_LOST); });
    return ECONA_CONNECTION_LOST;
}

std::string FsSession::HostPath(const PhonePath& path) const {
    std::string host = m_phonePath;
    for (const auto& part : path) host += "/" + part;
    return host;
}

int FsSession::OpenFolder(const PhonePath& path, uint32_t& error) const {
    std::string relative;
    for (const auto& part : path) relative += (relative.empty() ? "" : "/") + part;
    const int root = open(m_phonePath.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (root < 0) {
        error = ECONA_FOLDER_NOT_FOUND;
        return -1;
    }
    const int fd = OpenBeneath(root, relative);
    const int err = errno;
    close(root);
    if (fd < 0) error = LeadsOut(err) ? ECONA_INVALID_NAME : ECONA_FOLDER_NOT_FOUND;
    return fd;
}

uint32_t FsSession::SetCurrentFolder(std::string_view folder) {
    std::lock_guard<std::mutex> op(m_opMutex);
    PhoneInfo info;
    if (!Present(info)) return Lost();
    PhonePath resolved;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!ResolvePhonePath(m_current, folder, resolved)) return ECONA_INVALID_NAME;
    }
    uint32_t error = CONA_OK;
    const int fd = OpenFolder(resolved, error);
    if (fd < 0) return error;
    close(fd);
    std::lock_guard<std::mutex> lock(m_mutex);
    m_current = std::move(resolved);
    return CONA_OK;
}

uint32_t FsSession::RefreshMemory() {
    std::lock_guard<std::mutex> op(m_opMutex);
    PhoneInfo info;
    if (!Present(info)) return Lost();
    int64_t free = 0, total = 0;
    ComputeMemory(info, free, total);
    std::lock_guard<std::mutex> lock(m_mutex);
    m_free = free;
    m_total = total;
    m_used = total - free;
    return CONA_OK;
}

uint32_t FsSession::GetMemory(int64_t* pFree, int64_t* pTotal, int64_t* pUsed) {
    if (!pFree && !pTotal && !pUsed) return ECONA_INVALID_POINTER;
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_lost) return ECONA_CONNECTION_LOST;
    if (pFree) *pFree = m_free;
    if (pTotal) *pTotal = m_total;
    if (pUsed) *pUsed = m_used;
    return CONA_OK;
}

bool FsSession::Report(uint32_t operation, int64_t done, int64_t total) {
    const uint32_t percent = total > 0 ? static_cast<uint32_t>(done * 100 / total) : 100;
    bool cancel = false;
    m_listeners.ForEach([&](FSNotifyIF* p) {
        if (p->OnFSOperationState(operation, percent, done, total) == ECONA_CANCELLED) cancel = true;
    });
    return !cancel;
}

uint32_t FsSession::CopyFile(uint32_t options, const std::string& fileName, const std::string& sourcePath,
                             const std::string* targetPath) {
    const uint32_t direction = options & (CONA_DIRECT_PC_TO_PHONE | CONA_DIRECT_PHONE_TO_PC);
    if (direction != CONA_DIRECT_PC_TO_PHONE && direction != CONA_DIRECT_PHONE_TO_PC) {
        return ECONA_INVALID_PARAMETER;
    }
    std::lock_guard<std::mutex> op(m_opMutex);
    PhoneInfo info;
    if (!Present(info)) return Lost();
    PhonePath current;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        current = m_current;
    }

    Transfer t;
    t.overwrite = (options & CONA_OVERWRITE) != 0;
    t.operation = CONA_OPERATION_COPY_FILE;
    if (direction == CONA_DIRECT_PC_TO_PHONE) {
        if (sourcePath.empty()) return ECONA_INVALID_PARAMETER;
        t.source = fileName.empty() ? sourcePath : JoinHostPath(sourcePath, fileName);
        t.name = BaseName(t.source);
        if (!IsPlainName(t.name)) return ECONA_INVALID_NAME;
        PhonePath folder = current;
        if (targetPath && !ResolvePhonePath(current, *targetPath, folder)) return ECONA_INVALID_NAME;
        t.targetDir = HostPath(folder);
        t.phoneFolder = folder;
        uint32_t error = CONA_OK;
        const int fd = OpenFolder(folder, error);
        if (fd < 0) {
            if (error == ECONA_FOLDER_NOT_FOUND && !targetPath) error = ECONA_CURRENT_FOLDER_NOT_FOUND;
            return error;
        }
        close(fd);
    } else {
        if (!IsPlainName(fileName) || !targetPath || targetPath->empty()) return ECONA_INVALID_PARAMETER;
        PhonePath folder = current;
        if (!sourcePath.empty() && !ResolvePhonePath(current, sourcePath, folder)) return ECONA_INVALID_NAME;
        t.source = HostPath(folder) + "/" + fileName;
        t.phoneFolder = folder;
        t.sourceOnPhone = true;
        t.name = fileName;
        t.targetDir = *targetPath;
        if (!qvxplatform::IsDirectory(t.targetDir)) return ECONA_FOLDER_NOT_FOUND;
    }
    const bool toPhone = direction == CONA_DIRECT_PC_TO_PHONE;
    if (toPhone) {
        struct stat st {};
        int64_t free = 0, total = 0;
        ComputeMemory(info, free, total);
        // The PC side is the caller's own file: followed as given.
        if (stat(t.source.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return ECONA_FILE_NOT_FOUND;
        if (static_cast<int64_t>(st.st_size) > free) return ECONA_MEMORY_FULL;
    }
    return Run(t, info);
}

uint32_t FsSession::DeleteFile(const std::string& fileName, const std::string* targetPath) {
    if (!IsPlainName(fileName)) return ECONA_INVALID_NAME;
    std::lock_guard<std::mutex> op(m_opMutex);
    PhoneInfo info;
    if (!Present(info)) return Lost();
    PhonePath folder;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        folder = m_current;
    }
    if (targetPath && !ResolvePhonePath(PhonePath(folder), *targetPath, folder)) return ECONA_INVALID_NAME;
    uint32_t error = CONA_OK;
    const int fd = OpenFolder(folder, error);
    if (fd < 0) return error;
    struct stat st {};
    uint32_t result = CONA_OK;
    if (fstatat(fd, fileName.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
        result = ECONA_FILE_NOT_FOUND;
    else if (!S_ISREG(st.st_mode))
        result = ECONA_INVALID_NAME;
    else if (unlinkat(fd, fileName.c_str(), 0) != 0)
        result = ECONA_FAILED;
    close(fd);
    PhoneInfo now;
    return result == ECONA_FAILED && !Present(now) ? Lost() : result;
}

uint32_t FsSession::Install(const std::string& packageName, const std::string& sourceFolder) {
    if (!IsPlainName(packageName)) return ECONA_INVALID_NAME;
    std::lock_guard<std::mutex> op(m_opMutex);
    PhoneInfo info;
    if (!Present(info)) return Lost();
    Transfer t;
    t.source = JoinHostPath(sourceFolder, packageName);
    t.name = packageName;
    t.operation = CONA_OPERATION_INSTALL;
    struct stat st {};
    if (stat(t.source.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return ECONA_FILE_NOT_FOUND;
    int64_t free = 0, total = 0;
    ComputeMemory(info, free, total);
    if (static_cast<int64_t>(st.st_size) > free) return ECONA_MEMORY_FULL;

    uint32_t result = Run(t, info);
    if (result != CONA_OK) return result;
    if (info.installFails) return ECONA_INSTALLATION_FAILED;
    for (const PhonePath& folder : {PhonePath{"C"}, PhonePath{"C", "Quorvex"}, PhonePath{"C", "Data"},
                                    PhonePath{"C", "Data", "Quorvex"}}) {
        // Made inside the phone's folder only, never through a link out of it.
        uint32_t error = CONA_OK;
        const int parent = OpenFolder(PhonePath(folder.begin(), folder.end() - 1), error);
        const bool made =
            parent >= 0 && (mkdirat(parent, folder.back().c_str(), 0755) == 0 || errno == EEXIST);
        if (parent >= 0) close(parent);
        if (error == ECONA_INVALID_NAME) return ECONA_INVALID_NAME;
        if (!made) {
            PhoneInfo now;
            return Present(now) ? ECONA_FAILED : Lost();
        }
    }
    return CONA_OK;
}

uint32_t FsSession::Run(const Transfer& t, const PhoneInfo& info) {
    const bool writing = !t.targetDir.empty();
    int in = -1;
    if (t.sourceOnPhone) {
        uint32_t error = CONA_OK;
        const int folder = OpenFolder(t.phoneFolder, error);
        if (folder < 0) return error == ECONA_INVALID_NAME ? error : ECONA_FILE_NOT_FOUND;
        in = openat(folder, t.name.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
        const int err = errno;
        close(folder);
        if (in < 0 && err == ELOOP) return ECONA_INVALID_NAME;
        errno = err;
    } else {
        in = open(t.source.c_str(), O_RDONLY | O_CLOEXEC);
    }
    if (in < 0) return errno == ENOENT || errno == ENOTDIR ? ECONA_FILE_NOT_FOUND : ECONA_FAILED;
    struct stat st {};
    if (fstat(in, &st) != 0 || !S_ISREG(st.st_mode)) {
        close(in);
        return ECONA_FILE_NOT_FOUND;
    }
    int64_t size = st.st_size;

    std::string temp;
    int dir = -1, out = -1;
    auto fail = [&](uint32_t code) {
        if (in >= 0) close(in);
        if (out >= 0) close(out);
        if (dir >= 0) {
            if (!temp.empty()) unlinkat(dir, temp.c_str(), 0);
            close(dir);
        }
        return code == ECONA_CONNECTION_LOST ? Lost() : code;
    };
    auto gone = [&] {
        struct stat pst {};
        return stat((m_phonePath + "/" + kPhoneIni).c_str(), &pst) != 0;
    };

    if (writing) {
        // Everything happens relative to the target folder's descriptor, so
        // that the partial file is found and removed even when the phone's
        // folder has moved away meanwhile.
        if (t.targetOnPhone()) {
            uint32_t error = CONA_OK;
            dir = OpenFolder(t.phoneFolder, error);
            if (dir < 0) return fail(error);
        } else {
            dir = open(t.targetDir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
            if (dir < 0) return fail(ECONA_FOLDER_NOT_FOUND);
        }
        struct stat tst {};
        if (fstatat(dir, t.name.c_str(), &tst, 0) == 0 && (!t.overwrite || S_ISDIR(tst.st_mode))) {
            return fail(ECONA_FILE_ALREADY_EXIST);
        }
        // The file appears under its name only once complete. Its part file
        // is locked for its whole life (see RemoveStalePartFiles); one
        // removed before the lock was taken is made anew.
        for (int attempt = 0; out < 0; ++attempt) {
            const std::string part = "." + t.name + ".part-" + std::to_string(getpid()) + "-" +
                                     std::to_string(g_tempCounter.fetch_add(1));
            out = openat(dir, part.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
            if (out < 0) {
                const int err = errno;
                if (err == EEXIST && attempt < 16) continue;  // a name of another namespace's writer
                if (gone()) return fail(ECONA_CONNECTION_LOST);
                return fail(err == ENOSPC ? ECONA_MEMORY_FULL : ECONA_FAILED);
            }
            temp = part;
            struct stat held {
            }, named{};
            if (flock(out, LOCK_EX) != 0 || fstat(out, &held) != 0) return fail(ECONA_FAILED);
            if (fstatat(dir, part.c_str(), &named, AT_SYMLINK_NOFOLLOW) != 0 || named.st_dev != held.st_dev ||
                named.st_ino != held.st_ino) {
                temp.clear();  // the name is no longer this file's
                close(out);
                out = -1;
                if (attempt >= 16) return fail(ECONA_FAILED);
            }
        }
    }

    const std::u16string name16 = qvxconn::ToUtf16(t.name);
    m_listeners.ForEach([&](FSNotifyIF* p) { p->OnFSOperationInfo(t.operation, name16.c_str()); });

    const int64_t chunk = info.copySpeed > 0 ? std::clamp<int64_t>(info.copySpeed / 10, 1, kChunk) : kChunk;
    std::vector<char> buffer(static_cast<size_t>(chunk));
    const auto start = std::chrono::steady_clock::now();
    int64_t done = 0;
    if (size == 0 && !Report(t.operation, 0, 0)) return fail(ECONA_CANCELLED);
    while (done < size) {
        ssize_t n = read(in, buffer.data(), static_cast<size_t>(std::min(chunk, size - done)));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return fail(ECONA_FAILED);
        if (n == 0) {  // the source shrank while being copied
            size = done;
            if (!Report(t.operation, done, size)) return fail(ECONA_CANCELLED);
            break;
        }
        if ((info.disconnectAfter >= 0 && done + n > info.disconnectAfter) || gone()) {
            return fail(ECONA_CONNECTION_LOST);
        }
        if (writing && !qvxsupport::WriteAll(out, buffer.data(), static_cast<size_t>(n))) {
            const int err = errno;
            if (gone()) return fail(ECONA_CONNECTION_LOST);
            return fail(err == ENOSPC ? ECONA_MEMORY_FULL : ECONA_FAILED);
        }
        done += n;
        if (!Report(t.operation, done, size)) return fail(ECONA_CANCELLED);
        if (info.copySpeed > 0) {
            const std::chrono::duration<double> due(static_cast<double>(done) /
                                                    static_cast<double>(info.copySpeed));
            std::this_thread::sleep_until(start + due);
        }
    }
    close(in);
    in = -1;
    if (writing) {
        const bool closed = close(out) == 0;
        out = -1;
        if (gone()) return fail(ECONA_CONNECTION_LOST);
        if (!closed) return fail(ECONA_FAILED);
        // Without CONA_OVERWRITE the name must still be free now: another
        // writer may have put its file there since the check above.
        if (!t.overwrite) {
            if (renameat2(dir, temp.c_str(), dir, t.name.c_str(), RENAME_NOREPLACE) != 0) {
                if (errno == EEXIST) return fail(ECONA_FILE_ALREADY_EXIST);
                if (errno != EINVAL && errno != ENOSYS) return fail(ECONA_FAILED);
                // A file system without that flag: a new link fails just as well on a taken name.
                if (linkat(dir, temp.c_str(), dir, t.name.c_str(), 0) != 0)
                    return fail(errno == EEXIST ? ECONA_FILE_ALREADY_EXIST : ECONA_FAILED);
                unlinkat(dir, temp.c_str(), 0);
            }
        } else if (renameat(dir, temp.c_str(), dir, t.name.c_str()) != 0) {
            return fail(ECONA_FAILED);
        }
        close(dir);
    }
    return CONA_OK;
}

}  // namespace qvxdev
