// The database files of a builder: the timestamped file base in the user's
// data folder (the program folder unless installed, see
// platform/ProgramPath.h), the semaphore file, a build's unfinished file, and
// last.db.
//
// Whatever happens, last.db is never absent and never goes backwards:
// lending gives it a second name instead of taking it away, a build replaces
// it in one rename and only with a build started later, and a start tidies
// what killed runs left - and only that: a file is removed only when it
// follows the builder's own naming and is proven its own (a build's file by
// its unique name, a lent name by being last.db or by the record written
// before lending). Lending, giving back, replacing and tidying take turns
// under a lock on that folder.
#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "database/QVXDBBuilder.h"
#include "database/StagingFolder.h"
#include "platform/ProgramPath.h"
#include "support/FileWrite.h"
#include "support/LogModules.h"

namespace {

constexpr size_t kMaxPath = 260;
constexpr const char* kLastDBName = "last.db";
constexpr const char* kUnfinished = ".unfinished";
// Beside a lent name: the identities (device, inode) it may have, written
// before the name is made, so that a start can tell a lent copy that
// outlived its run from a user's file of the same name.
constexpr const char* kLentRecord = ".lent";
// What mkstemp puts in place of XXXXXX.
constexpr const char* kTempNameLetters = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
constexpr const char* kSqliteSideFiles[] = {"-journal", "-wal", "-shm"};

// The program folder's lock, held for the object's life.
class FolderLock {
public:
    explicit FolderLock(const std::string& folder)
        : m_nFd(open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {
        while (m_nFd >= 0 && flock(m_nFd, LOCK_EX) != 0 && errno == EINTR) {
        }
    }
    ~FolderLock() {
        if (m_nFd >= 0) close(m_nFd);
    }
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;

private:
    int m_nFd;
};

int64_t NowNs() {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    return static_cast<int64_t>(now.tv_sec) * 1000000000 + now.tv_nsec;
}

int64_t ModifiedNs(const struct stat& info) {
    return static_cast<int64_t>(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
}

bool SameFile(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

bool EndsWith(const std::string& text, const std::string& end) {
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// "<digits>000_YYYY-MM-DD_full<ext>": the name of a lent database or its semaphore file.
bool IsTimestampedName(const std::string& name, const char* pszExt) {
    const std::string tail = std::string("_full") + pszExt;
    if (!EndsWith(name, tail) || name.size() < tail.size() + 15) return false;
    const std::string head = name.substr(0, name.size() - tail.size());  // <digits>000_YYYY-MM-DD
    const size_t nDate = head.size() - 10;
    if (nDate < 5 || head.compare(nDate - 4, 4, "000_") != 0) return false;
    for (size_t i = 0; i < nDate - 1; ++i)
        if (head[i] < '0' || head[i] > '9') return false;
    for (size_t i = nDate; i < head.size(); ++i) {
        const bool bDash = i == nDate + 4 || i == nDate + 7;
        if (bDash ? head[i] != '-' : (head[i] < '0' || head[i] > '9')) return false;
    }
    return true;
}

// "<file base>.XXXXXX.unfinished": a build's own file (BeginBuildFile).
bool IsUnfinishedName(const std::string& name) {
    if (!EndsWith(name, kUnfinished)) return false;
    const std::string stem = name.substr(0, name.size() - std::strlen(kUnfinished));
    if (stem.size() < 7 || stem[stem.size() - 7] != '.' ||
        stem.find_first_not_of(kTempNameLetters, stem.size() - 6) != std::string::npos)
        return false;
    return IsTimestampedName(stem.substr(0, stem.size() - 7), "");
}

using Identity = std::pair<dev_t, ino_t>;

// The identities a lending record holds; false when the file is no such record.
bool ReadLentRecord(const std::string& path, std::vector<Identity>& ids) {
    ids.clear();
    const int nFd = open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (nFd < 0) return false;
    char text[512];
    const ssize_t nRead = read(nFd, text, sizeof text - 1);
    close(nFd);
    if (nRead <= 0 || text[nRead - 1] != '\n') return false;
    text[nRead] = '\0';
    for (const char* p = text; *p != '\0';) {
        unsigned long long llDev = 0, llIno = 0;
        int nUsed = 0;
        if (sscanf(p, "%llu %llu\n%n", &llDev, &llIno, &nUsed) != 2 || nUsed == 0) return false;
        ids.emplace_back(static_cast<dev_t>(llDev), static_cast<ino_t>(llIno));
        p += nUsed;
    }
    return true;
}

bool AppendIdentity(int nFd, const struct stat& info) {
    char line[64];
    const int nLength =
        snprintf(line, sizeof line, "%llu %llu\n", static_cast<unsigned long long>(info.st_dev),
                 static_cast<unsigned long long>(info.st_ino));
    return qvxsupport::WriteAll(nFd, line, static_cast<size_t>(nLength));
}

// Tries the lock of a file left in the folder: true (and the file open in
// `fd`) when nobody holds it any more.
bool LockIsFree(const std::string& path, int& fd) {
    fd = open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return false;
    if (flock(fd, LOCK_EX | LOCK_NB) == 0) return true;
    close(fd);
    fd = -1;
    return false;
}

// Copies a regular file to a new name (never over an existing file) with
// the source's mode, synced; nothing is left of a failed copy.
bool CopyToNewFile(const std::string& from, const std::string& to) {
    const int nIn = open(from.c_str(), O_RDONLY | O_CLOEXEC);
    if (nIn < 0) return false;
    struct stat info {};
    if (fstat(nIn, &info) != 0 || !S_ISREG(info.st_mode)) {
        const int nError = S_ISDIR(info.st_mode) ? EISDIR : EINVAL;
        close(nIn);
        errno = nError;
        return false;
    }
    const int nOut = open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (nOut < 0) {
        const int nError = errno;
        close(nIn);
        errno = nError;
        return false;
    }
    bool bOk = fchmod(nOut, info.st_mode & 0777) == 0;
    char buffer[65536];
    while (bOk) {
        const ssize_t nRead = read(nIn, buffer, sizeof buffer);
        if (nRead < 0 && errno == EINTR) continue;
        if (nRead <= 0) {
            bOk = nRead == 0;
            break;
        }
        bOk = qvxsupport::WriteAll(nOut, buffer, static_cast<size_t>(nRead));
    }
    bOk = bOk && fsync(nOut) == 0;
    const int nError = errno;
    bOk = close(nOut) == 0 && bOk;
    close(nIn);
    if (!bOk) {
        unlink(to.c_str());
        errno = nError != 0 ? nError : EIO;
    }
    return bOk;
}

// The folder of the user's databases (the program folder unless installed),
// or false when it is unknown or longer than a path may be.
bool ProgramFolder(std::string& folder) {
    folder = qvxplatform::GetUserDataFolder();
    return !folder.empty() && folder.size() <= kMaxPath;
}

// Writes "<base><ext>" into a zero-filled buffer when it fits.
void PathToBuffer(const char* pszBase, const char* pszExt, char* pBuffer, int nSize) {
    if (pBuffer == nullptr || nSize <= 0) return;
    std::memset(pBuffer, 0, static_cast<size_t>(nSize));
    if (pszBase[0] == '\0') return;
    size_t nLength = std::strlen(pszBase) + std::strlen(pszExt);
    if (nLength >= static_cast<size_t>(nSize)) return;
    std::memcpy(pBuffer, pszBase, std::strlen(pszBase));
    std::memcpy(pBuffer + std::strlen(pszBase), pszExt, std::strlen(pszExt));
}

}  // namespace

int64_t CQVXDBBuilder::NowNs() {
    return ::NowNs();
}

void CQVXDBBuilder::Init(int32_t nSeconds) {
    m_nDBFileSize = 0;
    // The start of a build: the builder's construction, unless SetBuildStart
    // names the moment its command started.
    m_llBuildStart = NowNs();
    time_t now = static_cast<time_t>(nSeconds);
    struct tm local {};
    if (localtime_r(&now, &local) == nullptr) std::memset(&local, 0, sizeof local);
    char szDate[48];
    snprintf(szDate, sizeof szDate, "%.4d-%.2d-%.2d", local.tm_year + 1900, local.tm_mon + 1, local.tm_mday);
    std::memcpy(m_szUpdateDate, szDate, sizeof m_szUpdateDate - 1);
    m_szUpdateDate[sizeof m_szUpdateDate - 1] = '\0';

    std::string folder;
    if (!ProgramFolder(folder)) {
        // Without a program folder there is no place for the files: the
        // builder gets no file name, so it writes and deletes nothing.
        LOG_WARN(qvxlog::QVXDBBld, "CQVXDBBuilder() CQVXWizardDlg::GetProgramPath failed!");
        return;
    }
    char szBase[sizeof m_szFileBase + 32];
    int nLength =
        snprintf(szBase, sizeof szBase, "%s/%d000_%s_full", folder.c_str(), nSeconds, m_szUpdateDate);
    // The base must leave room for ".sem" in the 260-character paths that callers keep.
    if (nLength < 0 || static_cast<size_t>(nLength) + 4 > kMaxPath - 1) {
        LOG_WARN(qvxlog::QVXDBBld, "CQVXDBBuilder() file base too long (%d)", nLength);
        return;
    }
    std::memcpy(m_szFileBase, szBase, static_cast<size_t>(nLength) + 1);
    std::string dbName = std::string(m_szFileBase) + ".db";
    SetDBFileName(dbName.c_str());
}

void CQVXDBBuilder::GetDBFileName(char* pBuffer, int nSize) {
    LOG_INFO(qvxlog::QVXDBBld, "GetDBFileName() begin");
    PathToBuffer(m_szFileBase, ".db", pBuffer, nSize);
    LOG_INFO(qvxlog::QVXDBBld, "GetDBFileName() finish");
}

void CQVXDBBuilder::GetSemFileName(char* pBuffer, int nSize) {
    LOG_INFO(qvxlog::QVXDBBld, "GetSemFileName() begin");
    PathToBuffer(m_szFileBase, ".sem", pBuffer, nSize);
    LOG_INFO(qvxlog::QVXDBBld, "GetSemFileName() finish");
}

int64_t CQVXDBBuilder::GetDBFileSize(const char* pszPath) {
    LOG_INFO(qvxlog::QVXDBBld, "GetDBFileSize() begin");
    if (pszPath == nullptr || pszPath[0] == '\0') return -1;
    FILE* pFile = fopen(pszPath, "rb");
    if (pFile == nullptr) return -1;
    int64_t nSize = -1;
    struct stat info {};
    // A folder opens for reading too, but has no size of its own.
    if (fstat(fileno(pFile), &info) == 0 && S_ISREG(info.st_mode) && fseeko(pFile, 0, SEEK_END) == 0)
        nSize = static_cast<int64_t>(ftello(pFile));
    fclose(pFile);
    LOG_INFO(qvxlog::QVXDBBld, "GetDBFileSize() finish");
    return nSize;
}

int64_t CQVXDBBuilder::CreateSemFile() {
    LOG_INFO(qvxlog::QVXDBBld, "CreateSemFile() begin");
    std::string dbPath = std::string(m_szFileBase) + ".db";
    std::string semPath = std::string(m_szFileBase) + ".sem";
    const int64_t nSize = m_szFileBase[0] != '\0' ? GetDBFileSize(dbPath.c_str()) : -1;
    // The whole size, also beyond 4 GiB; a missing file (-1) keeps counting
    // as 4294967295 bytes, which no phone has room for twice.
    m_nDBFileSize = nSize < 0 ? int64_t{0xFFFFFFFF} : nSize;

    FILE* pFile = m_szFileBase[0] != '\0' ? fopen(semPath.c_str(), "w") : nullptr;
    if (pFile == nullptr) {
        LOG_WARN(qvxlog::QVXDBBld, "CreateSemFile() fopen( %s, \"w\" ) failed !", semPath.c_str());
        return -1;
    }
    LOG_INFO(qvxlog::QVXDBBld, "CreateSemFile() fopen( %s, \"w\" )", semPath.c_str());
    bool bWritten = fprintf(pFile, "%lld", static_cast<long long>(nSize)) > 0;
    bWritten = (fclose(pFile) == 0) && bWritten;
    if (!bWritten) {
        // A cut size would tell the phone a wrong size: better no file at all.
        LOG_WARN(qvxlog::QVXDBBld, "CreateSemFile() writing %s failed !", semPath.c_str());
        unlink(semPath.c_str());
        return -1;
    }
    LOG_INFO(qvxlog::QVXDBBld, "CreateSemFile() finish");
    return nSize;
}

int CQVXDBBuilder::DeleteDBFile() {
    LOG_INFO(qvxlog::QVXDBBld, "DeleteDBFile() begin");
    if (m_buildFile.Held()) {
        m_buildFile.Discard();
    } else if (m_szFileBase[0] != '\0') {
        unlink((std::string(m_szFileBase) + ".db").c_str());
    }
    LOG_INFO(qvxlog::QVXDBBld, "DeleteDBFile() finish");
    return 0;
}

int CQVXDBBuilder::DeleteSemFile() {
    LOG_INFO(qvxlog::QVXDBBld, "DeleteSemFile() begin");
    if (m_szFileBase[0] != '\0') unlink((std::string(m_szFileBase) + ".sem").c_str());
    LOG_INFO(qvxlog::QVXDBBld, "DeleteSemFile() finish");
    return 0;
}

void CQVXDBBuilder::NameAfter(int32_t nSeconds) {
    if (m_buildFile.Held() || m_lentFile.Held()) return;
    m_szFileBase[0] = '\0';
    Init(nSeconds);
}

bool CQVXDBBuilder::BeginBuildFile() {
    LOG_INFO(qvxlog::QVXDBBld, "BeginBuildFile() begin");
    m_nFileError = EINVAL;
    if (m_szFileBase[0] == '\0' || m_buildFile.Held()) return false;
    const int nSuffix = static_cast<int>(std::strlen(kUnfinished));
    // A start tidying the folder may remove the file between its creation
    // and its lock: then the lock is taken on a file without a name, and a
    // new one is made.
    for (int nAttempt = 0; nAttempt < 16; ++nAttempt) {
        std::string path = std::string(m_szFileBase) + ".XXXXXX" + kUnfinished;
        const int nFd = mkostemps(path.data(), nSuffix, O_CLOEXEC);
        if (nFd < 0) {
            m_nFileError = errno;
            LOG_WARN(qvxlog::QVXDBBld, "BeginBuildFile() creating %s failed (%s)", path.c_str(),
                     strerror(m_nFileError));
            return false;
        }
        fchmod(nFd, 0644);
        while (flock(nFd, LOCK_EX) != 0 && errno == EINTR) {
        }
        struct stat held {
        }, named{};
        if (fstat(nFd, &held) == 0 && lstat(path.c_str(), &named) == 0 && SameFile(held, named)) {
            m_buildFile.Hold(nFd, path, true);
            m_nFileError = 0;
            SetDBFileName(path.c_str());
            LOG_INFO(qvxlog::QVXDBBld, "BeginBuildFile() finish");
            return true;
        }
        close(nFd);
    }
    m_nFileError = EAGAIN;
    return false;
}

bool CQVXDBBuilder::SetLastDB() {
    LOG_INFO(qvxlog::QVXDBBld, "SetLastDB() begin");
    std::string folder;
    if (!ProgramFolder(folder)) {
        LOG_WARN(qvxlog::QVXDBBld, "SetLastDB() CQVXWizardDlg::GetProgramPath failed!");
        m_nFileError = ENOENT;
        return false;
    }
    const std::string lastPath = folder + "/" + kLastDBName;
    FolderLock lock(folder);

    if (m_lentFile.Held()) {
        // Only the second name goes, and only while it still is the lent file;
        // its semaphore file goes before the record that proves it ours.
        const std::string lentPath = m_lentFile.Path();
        struct stat held {
        }, named{}, last{};
        if (fstat(m_lentFile.Fd(), &held) == 0 && lstat(lentPath.c_str(), &named) == 0 &&
            SameFile(held, named)) {
            if (lstat(lastPath.c_str(), &last) != 0 && errno == ENOENT &&
                link(lentPath.c_str(), lastPath.c_str()) == 0)
                LOG_WARN(qvxlog::QVXDBBld, "SetLastDB() last.db was gone; restored from %s",
                         lentPath.c_str());
            unlink(lentPath.c_str());
        }
        unlink((std::string(m_szFileBase) + ".sem").c_str());
        unlink((std::string(m_szFileBase) + kLentRecord).c_str());
        m_lentFile.Release();
        LOG_INFO(qvxlog::QVXDBBld, "SetLastDB() finish");
        return true;
    }

    const std::string dbPath = m_buildFile.Held() ? m_buildFile.Path() : std::string(m_szFileBase) + ".db";
    if (m_buildFile.Held()) {
        // A build started later that has already finished stays: last.db
        // never goes backwards. A time ahead of the clock proves nothing.
        struct stat last {};
        if (lstat(lastPath.c_str(), &last) == 0 && S_ISREG(last.st_mode) &&
            ModifiedNs(last) > m_llBuildStart && ModifiedNs(last) <= NowNs()) {
            LOG_WARN(qvxlog::QVXDBBld, "SetLastDB() a later build is already last.db; %s dropped",
                     dbPath.c_str());
            m_buildFile.Discard();
            m_bKeptLater = true;
            return true;
        }
        // The file carries the build's start, which later builds compare with.
        const timespec times[2] = {
            {0, UTIME_NOW}, {static_cast<time_t>(m_llBuildStart / 1000000000), m_llBuildStart % 1000000000}};
        futimens(m_buildFile.Fd(), times);
        qvxsupport::TakeReplacedMode(m_buildFile.Fd(), lastPath, qvxsupport::kModeUnchanged);
    }
    // One rename over the old last.db: a failed move leaves it as it was.
    if (m_szFileBase[0] == '\0' || rename(dbPath.c_str(), lastPath.c_str()) != 0) {
        m_nFileError = m_szFileBase[0] == '\0' ? ENOENT : errno;
        LOG_WARN(qvxlog::QVXDBBld, "SetLastDB() CFile::Rename( %s, %s ) failed !", dbPath.c_str(),
                 lastPath.c_str());
        return false;
    }
    // Renamed: the file is last.db now and no longer unfinished.
    m_buildFile.Release();
    m_nFileError = 0;
    LOG_INFO(qvxlog::QVXDBBld, "SetLastDB() finish");
    return true;
}

bool CQVXDBBuilder::GetLastDB() {
    LOG_INFO(qvxlog::QVXDBBld, "GetLastDB() begin");
    std::string folder;
    if (!ProgramFolder(folder)) {
        LOG_WARN(qvxlog::QVXDBBld, "GetLastDB() CQVXWizardDlg::GetProgramPath failed!");
        m_nFileError = ENOENT;
        return false;
    }
    const std::string lastPath = folder + "/" + kLastDBName;
    const std::string dbPath = std::string(m_szFileBase) + ".db";
    if (m_szFileBase[0] == '\0' || m_lentFile.Held()) {
        m_nFileError = EINVAL;
        return false;
    }
    const std::string recordPath = std::string(m_szFileBase) + kLentRecord;
    FolderLock lock(folder);
    struct stat last {};
    if (lstat(lastPath.c_str(), &last) != 0) {
        m_nFileError = errno;
        return false;
    }
    // The record comes first, so that a run killed at any moment leaves
    // nothing a start could not prove its own. A record left by a killed
    // lending takes the name as a lent file would.
    const int nRecord = open(recordPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (nRecord < 0 || !AppendIdentity(nRecord, last)) {
        m_nFileError = errno;
        if (nRecord >= 0) {
            close(nRecord);
            unlink(recordPath.c_str());
        }
        return false;
    }
    auto fail = [&](int nError) {
        close(nRecord);
        unlink(recordPath.c_str());
        m_nFileError = nError;
        return false;
    };
    if (link(lastPath.c_str(), dbPath.c_str()) != 0) {
        const int nError = errno;
        const bool bNoLinks =
            nError == EPERM || nError == EXDEV || nError == EMLINK || nError == ENOTSUP || nError == ENOSYS;
        struct stat copy {};
        if (!bNoLinks || !CopyToNewFile(lastPath, dbPath)) {
            LOG_WARN(qvxlog::QVXDBBld, "GetLastDB() CFile::Rename( %s, %s ) failed !", lastPath.c_str(),
                     dbPath.c_str());
            return fail(bNoLinks ? errno : nError);
        }
        // A copy is a file of its own; until its identity is written it stays at a start.
        if (lstat(dbPath.c_str(), &copy) == 0) AppendIdentity(nRecord, copy);
    }
    close(nRecord);
    // Held shared while lent, so that a start of another run leaves it alone.
    const int nFd = open(dbPath.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (nFd >= 0 && flock(nFd, LOCK_SH | LOCK_NB) != 0)
        LOG_WARN(qvxlog::QVXDBBld, "GetLastDB() locking %s failed", dbPath.c_str());
    if (nFd < 0) {
        m_nFileError = errno;
        unlink(dbPath.c_str());
        unlink(recordPath.c_str());
        return false;
    }
    m_lentFile.Hold(nFd, dbPath, false);
    m_nFileError = 0;
    LOG_INFO(qvxlog::QVXDBBld, "GetLastDB() finish");
    return true;
}

namespace {

// The tidy step of TidyProgramFolder, with the folder's lock held.
void TidyHeldFolder(const std::string& folder) {
    std::vector<std::string> names;
    if (DIR* pDir = opendir(folder.c_str())) {
        while (const dirent* pEntry = readdir(pDir)) names.emplace_back(pEntry->d_name);
        closedir(pDir);
    }
    auto exists = [&folder](const std::string& name) {
        struct stat info {};
        return lstat((folder + "/" + name).c_str(), &info) == 0;
    };
    auto remove = [&folder](const std::string& name) {
        if (unlink((folder + "/" + name).c_str()) == 0)
            LOG_INFO(qvxlog::QVXDBBld, "TidyProgramFolder() removed %s", name.c_str());
    };

    // Builds that did not finish: only the builder's own unique names.
    for (const std::string& name : names) {
        if (!IsUnfinishedName(name)) continue;
        int nFd = -1;
        if (!LockIsFree(folder + "/" + name, nFd)) continue;
        remove(name);
        for (const char* pszSide : kSqliteSideFiles) remove(name + pszSide);
        close(nFd);
    }
    for (const std::string& name : names) {
        for (const char* pszSide : kSqliteSideFiles) {
            const std::string main = name.substr(0, name.size() - std::strlen(pszSide));
            if (EndsWith(name, pszSide) && IsUnfinishedName(main) && !exists(main)) remove(name);
        }
    }

    // Lent names nobody holds, when proven lent: a second name of last.db,
    // or an identity its record holds. The newest recorded one becomes
    // last.db again when last.db is missing; the others go.
    struct stat last {};
    const std::string lastPath = folder + "/" + kLastDBName;
    const bool bLast = lstat(lastPath.c_str(), &last) == 0;
    struct Lent {
        bool bRecorded;
        int64_t llModified;
        std::string base;
        bool operator<(const Lent& other) const {
            return std::tie(bRecorded, llModified, base) <
                   std::tie(other.bRecorded, other.llModified, other.base);
        }
    };
    std::vector<Lent> lent;
    for (const std::string& name : names) {
        if (!IsTimestampedName(name, ".db")) continue;
        const std::string base = name.substr(0, name.size() - 3);
        int nFd = -1;
        if (!LockIsFree(folder + "/" + name, nFd)) continue;
        struct stat info {};
        std::vector<Identity> ids;
        if (fstat(nFd, &info) == 0 && S_ISREG(info.st_mode)) {
            const bool bRecorded =
                ReadLentRecord(folder + "/" + base + kLentRecord, ids) &&
                std::find(ids.begin(), ids.end(), Identity(info.st_dev, info.st_ino)) != ids.end();
            if (bRecorded || (bLast && SameFile(info, last)))
                lent.push_back({bRecorded, ModifiedNs(info), base});
        }
        close(nFd);
    }
    std::sort(lent.rbegin(), lent.rend());
    for (const Lent& entry : lent) {
        const std::string name = entry.base + ".db";
        if (entry.bRecorded && !exists(kLastDBName) &&
            rename((folder + "/" + name).c_str(), lastPath.c_str()) == 0)
            LOG_WARN(qvxlog::QVXDBBld, "TidyProgramFolder() last.db restored from %s", name.c_str());
        else
            remove(name);
    }
    // Records of lendings that are over: with the semaphore file when the
    // lent name went; a name that is no longer the lent file stays, with its
    // semaphore file, as someone else's.
    for (const std::string& name : names) {
        std::vector<Identity> ids;
        if (!IsTimestampedName(name, kLentRecord) || !ReadLentRecord(folder + "/" + name, ids)) continue;
        const std::string base = name.substr(0, name.size() - std::strlen(kLentRecord));
        int nFd = -1;
        if (exists(base + ".db")) {
            if (!LockIsFree(folder + "/" + base + ".db", nFd)) continue;
            close(nFd);
        } else {
            remove(base + ".sem");
        }
        remove(name);
    }
}

}  // namespace

void CQVXDBBuilder::TidyProgramFolder() {
    std::string folder;
    if (!ProgramFolder(folder)) return;
    {
        FolderLock lock(folder);
        TidyHeldFolder(folder);
    }
    qvxdb::TidyStagingFolders(folder);
}

bool CQVXDBBuilder::IsOwnFileName(const std::string& path) {
    const size_t nSlash = path.rfind('/');
    const std::string name = nSlash == std::string::npos ? path : path.substr(nSlash + 1);
    const std::string parent = nSlash == std::string::npos ? "." : nSlash == 0 ? "/" : path.substr(0, nSlash);
    if (qvxdb::IsStagingFolder(parent)) return true;
    std::string folder;
    struct stat here {
    }, data{};
    if (!ProgramFolder(folder) || stat(parent.c_str(), &here) != 0 || stat(folder.c_str(), &data) != 0 ||
        !SameFile(here, data))
        return false;
    // last.db and its side files, and every name made of a file base.
    if (name == kLastDBName || name.rfind(std::string(kLastDBName) + "-", 0) == 0 ||
        qvxdb::IsStagingRecordName(name))
        return true;
    const size_t nDot = name.find('.');
    return nDot != std::string::npos && IsTimestampedName(name.substr(0, nDot), "");
}
