// The database files of a builder: the timestamped file base in the user's
// data folder (see platform/ProgramPath.h), the semaphore file, and last.db.
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <string>

#include "database/QVXDBBuilder.h"
#include "platform/ProgramPath.h"
#include "support/LogModules.h"

namespace {

constexpr size_t kMaxPath = 260;
constexpr const char* kLastDBName = "last.db";

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

// Renames without replacing an existing target.
bool RenameNoReplace(const char* pszFrom, const char* pszTo) {
    if (renameat2(AT_FDCWD, pszFrom, AT_FDCWD, pszTo, RENAME_NOREPLACE) == 0) return true;
    if (errno != EINVAL && errno != ENOSYS) return false;
    // A file system without that flag: a hard link fails on an existing target too.
    if (link(pszFrom, pszTo) != 0) return false;
    unlink(pszFrom);
    return true;
}

}  // namespace

void CQVXDBBuilder::Init(int32_t nSeconds) {
    m_nDBFileSize = 0;
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

int CQVXDBBuilder::CreateSemFile() {
    LOG_INFO(qvxlog::QVXDBBld, "CreateSemFile() begin");
    std::string dbPath = std::string(m_szFileBase) + ".db";
    std::string semPath = std::string(m_szFileBase) + ".sem";
    int32_t nSize = static_cast<int32_t>(m_szFileBase[0] != '\0' ? GetDBFileSize(dbPath.c_str()) : -1);
    // Only the low half is filled: a missing file (-1) is stored as 4294967295.
    m_nDBFileSize = static_cast<int64_t>(static_cast<uint32_t>(nSize));

    FILE* pFile = m_szFileBase[0] != '\0' ? fopen(semPath.c_str(), "w") : nullptr;
    if (pFile == nullptr) {
        LOG_WARN(qvxlog::QVXDBBld, "CreateSemFile() fopen( %s, \"w\" ) failed !", semPath.c_str());
        return -1;
    }
    LOG_INFO(qvxlog::QVXDBBld, "CreateSemFile() fopen( %s, \"w\" )", semPath.c_str());
    bool bWritten = fprintf(pFile, "%d", nSize) > 0;
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
    if (m_szFileBase[0] != '\0') unlink((std::string(m_szFileBase) + ".db").c_str());
    LOG_INFO(qvxlog::QVXDBBld, "DeleteDBFile() finish");
    return 0;
}

int CQVXDBBuilder::DeleteSemFile() {
    LOG_INFO(qvxlog::QVXDBBld, "DeleteSemFile() begin");
    if (m_szFileBase[0] != '\0') unlink((std::string(m_szFileBase) + ".sem").c_str());
    LOG_INFO(qvxlog::QVXDBBld, "DeleteSemFile() finish");
    return 0;
}

bool CQVXDBBuilder::SetLastDB() {
    LOG_INFO(qvxlog::QVXDBBld, "SetLastDB() begin");
    std::string folder;
    if (!ProgramFolder(folder)) {
        LOG_WARN(qvxlog::QVXDBBld, "SetLastDB() CQVXWizardDlg::GetProgramPath failed!");
        return false;
    }
    std::string lastPath = folder + "/" + kLastDBName;
    std::string dbPath = std::string(m_szFileBase) + ".db";
    // One rename over the old last.db: a failed move leaves it as it was.
    if (m_szFileBase[0] == '\0' || rename(dbPath.c_str(), lastPath.c_str()) != 0) {
        LOG_WARN(qvxlog::QVXDBBld, "SetLastDB() CFile::Rename( %s, %s ) failed !", dbPath.c_str(),
                 lastPath.c_str());
        return false;
    }
    LOG_INFO(qvxlog::QVXDBBld, "SetLastDB() finish");
    return true;
}

bool CQVXDBBuilder::GetLastDB() {
    LOG_INFO(qvxlog::QVXDBBld, "GetLastDB() begin");
    std::string folder;
    if (!ProgramFolder(folder)) {
        LOG_WARN(qvxlog::QVXDBBld, "GetLastDB() CQVXWizardDlg::GetProgramPath failed!");
        return false;
    }
    std::string lastPath = folder + "/" + kLastDBName;
    std::string dbPath = std::string(m_szFileBase) + ".db";
    if (m_szFileBase[0] == '\0' || !RenameNoReplace(lastPath.c_str(), dbPath.c_str())) {
        LOG_WARN(qvxlog::QVXDBBld, "GetLastDB() CFile::Rename( %s, %s ) failed !", lastPath.c_str(),
                 dbPath.c_str());
        return false;
    }
    LOG_INFO(qvxlog::QVXDBBld, "GetLastDB() finish");
    return true;
}
