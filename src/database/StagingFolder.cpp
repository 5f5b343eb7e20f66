#include "database/StagingFolder.h"

#include <dirent.h>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <vector>

#include "platform/ProgramPath.h"
#include "support/FileWrite.h"
#include "support/LogModules.h"

namespace qvxdb {

namespace {

constexpr const char* kRecordPrefix = ".qvxstaging.";
constexpr const char* kFolderPrefix = ".qvxbuild-";
constexpr size_t kLetters = 6;
// What mkstemp puts in place of XXXXXX.
constexpr const char* kTempNameLetters = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";

bool HasTempLetters(const std::string& name, const char* pszPrefix) {
    const size_t nPrefix = std::strlen(pszPrefix);
    return name.size() == nPrefix + kLetters && name.compare(0, nPrefix, pszPrefix) == 0 &&
           name.find_first_not_of(kTempNameLetters, nPrefix) == std::string::npos;
}

std::string LastPart(const std::string& path) {
    std::string trimmed = path;
    while (trimmed.size() > 1 && trimmed.back() == '/') trimmed.pop_back();
    const size_t nSlash = trimmed.rfind('/');
    return nSlash == std::string::npos ? trimmed : trimmed.substr(nSlash + 1);
}

// Empties a staging folder of what a build makes there (last.db, a build's
// file, their SQLite side files) and removes it; a folder holding anything
// else stays, with that.
void RemoveFolder(const std::string& folder) {
    struct stat info {};
    if (lstat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) return;
    std::vector<std::string> names;
    if (DIR* pDir = opendir(folder.c_str())) {
        while (const dirent* pEntry = readdir(pDir)) names.emplace_back(pEntry->d_name);
        closedir(pDir);
    }
    for (const std::string& name : names) {
        std::string main = name;
        for (const char* pszSide : {"-journal", "-wal", "-shm"}) {
            const size_t nSide = std::strlen(pszSide);
            if (main.size() > nSide && main.compare(main.size() - nSide, nSide, pszSide) == 0)
                main.resize(main.size() - nSide);
        }
        if (main == "last.db" || (main.size() > 11 && main.compare(main.size() - 11, 11, ".unfinished") == 0))
            unlink((folder + "/" + name).c_str());
    }
    if (rmdir(folder.c_str()) == 0)
        LOG_INFO(qvxlog::QVXDBBld, "removed the staging folder %s", folder.c_str());
    else
        LOG_WARN(qvxlog::QVXDBBld, "staging folder %s kept (%s)", folder.c_str(), strerror(errno));
}

}  // namespace

CStagingFolder::~CStagingFolder() {
    if (!m_path.empty()) RemoveFolder(m_path);
    if (m_nRecordFd >= 0) {
        unlink(m_record.c_str());
        close(m_nRecordFd);
    }
}

bool CStagingFolder::Make(const std::string& out) {
    char resolved[PATH_MAX];
    const size_t nSlash = out.rfind('/');
    const std::string given = nSlash == std::string::npos ? "." : nSlash == 0 ? "/" : out.substr(0, nSlash);
    if (realpath(given.c_str(), resolved) == nullptr) return false;
    const std::string parent = std::string(resolved) == "/" ? std::string() : std::string(resolved);

    const std::string data = qvxplatform::GetUserDataFolder();
    if (data.empty()) {
        std::string pattern = parent + "/" + kFolderPrefix + "XXXXXX";
        if (mkdtemp(pattern.data()) == nullptr) return false;
        m_path = pattern;
        return true;
    }
    for (int nAttempt = 0; nAttempt < 16; ++nAttempt) {
        std::string record = data + "/" + kRecordPrefix + "XXXXXX";
        const int nFd = mkostemp(record.data(), O_CLOEXEC);
        if (nFd < 0) return false;
        while (flock(nFd, LOCK_EX) != 0 && errno == EINTR) {
        }
        // A start may have taken the record away before it was locked.
        struct stat held {
        }, named{};
        if (fstat(nFd, &held) != 0 || lstat(record.c_str(), &named) != 0 || held.st_ino != named.st_ino ||
            held.st_dev != named.st_dev) {
            close(nFd);
            continue;
        }
        const std::string folder = parent + "/" + kFolderPrefix + record.substr(record.size() - kLetters);
        const std::string line = folder + "\n";
        const bool bWritten = qvxsupport::WriteAll(nFd, line);
        if (bWritten && mkdir(folder.c_str(), 0700) == 0) {
            m_path = folder;
            m_record = record;
            m_nRecordFd = nFd;
            return true;
        }
        const int nError = bWritten ? errno : EIO;
        unlink(record.c_str());
        close(nFd);
        if (nError != EEXIST) {
            errno = nError;
            return false;
        }
    }
    errno = EAGAIN;
    return false;
}

bool CStagingFolder::MoveResultTo(const std::string& out) const {
    return qvxsupport::MoveOver(m_path + "/last.db", out);
}

void TidyStagingFolders(const std::string& dataFolder) {
    std::vector<std::string> names;
    if (DIR* pDir = opendir(dataFolder.c_str())) {
        while (const dirent* pEntry = readdir(pDir)) names.emplace_back(pEntry->d_name);
        closedir(pDir);
    }
    for (const std::string& name : names) {
        if (!IsStagingRecordName(name)) continue;
        const std::string record = dataFolder + "/" + name;
        const int nFd = open(record.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
        if (nFd < 0) continue;
        if (flock(nFd, LOCK_EX | LOCK_NB) != 0) {
            close(nFd);
            continue;
        }
        char text[PATH_MAX + 1];
        const ssize_t nRead = read(nFd, text, sizeof text);
        if (nRead >= 0 && (nRead == 0 || text[nRead - 1] == '\n')) {
            const std::string folder(text, nRead > 0 ? static_cast<size_t>(nRead - 1) : 0);
            // Only the folder this record made: absolute, and with the record's letters.
            if (!folder.empty() && folder[0] == '/' &&
                LastPart(folder) == kFolderPrefix + name.substr(name.size() - kLetters)) {
                RemoveFolder(folder);
            }
            unlink(record.c_str());
        }
        close(nFd);
    }
}

bool IsStagingFolder(const std::string& path) {
    return HasTempLetters(LastPart(path), kFolderPrefix);
}

bool IsStagingRecordName(const std::string& name) {
    return HasTempLetters(name, kRecordPrefix);
}

}  // namespace qvxdb
