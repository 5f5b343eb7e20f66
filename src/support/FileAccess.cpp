#include "support/FileAccess.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <new>

#include "support/LogModules.h"

using namespace qvxsupport;

namespace {

// Closes hFile when it is open; on failure the warning and -15209. The
// descriptor is released by Linux even when close() fails, so it is marked
// invalid either way: keeping it would later close an unrelated file.
int CloseDescriptor(int& hFile) {
    if (hFile == CFileAccess::kInvalidHandle) return 0;
    int rc = close(hFile);
    int err = errno;
    hFile = CFileAccess::kInvalidHandle;
    if (rc != 0 && err != EINTR) {
        LOG_WARN(qvxlog::KTFI, "CloseFile() ERROR <%d> while CloseHandle!", err);
        return KT_ERR_CLOSE;
    }
    return 0;
}

int OpenFlags(int nAccess, int nDisposition) {
    int flags = O_CLOEXEC | O_NOCTTY | O_NONBLOCK;
    bool read = (nAccess & CFileAccess::kAccessRead) != 0;
    bool write = (nAccess & CFileAccess::kAccessWrite) != 0;
    if (read && write) {
        flags |= O_RDWR;
    } else if (write) {
        flags |= O_WRONLY;
    } else {
        flags |= O_RDONLY;
    }
    switch (nDisposition) {
        case CFileAccess::kCreateNew:
            flags |= O_CREAT | O_EXCL;
            break;
        case CFileAccess::kCreateAlways:
        case CFileAccess::kOpenAlways:
            flags |= O_CREAT;
            break;
        default:
            break;
    }
    // Truncation waits until the lock is held: truncating first would destroy
    // the data of a file that another holder keeps open.
    return flags;
}

}  // namespace

CFileAccess::CFileAccess() : m_bNameSet(false), m_szFileName{}, m_hFile(kInvalidHandle) {}

CFileAccess::~CFileAccess() {
    CloseFile();
    m_bNameSet = false;
}

int CFileAccess::SetFileName(const char* pszPath) {
    if (pszPath == nullptr) {
        LOG_WARN(qvxlog::KTFI, "SetFileName() ERROR INVALID PARAMETER!");
        return KT_ERR_INVALID_PARAMETER;
    }
    size_t len = strnlen(pszPath, kMaxPathLength + 1);
    if (len > static_cast<size_t>(kMaxPathLength)) {
        LOG_WARN(qvxlog::KTFI, "GetFileName() ERROR BLOCK TOO LONG!");
        return KT_ERR_NAME_TOO_LONG;
    }
    std::memset(m_szFileName, 0, sizeof m_szFileName);
    std::memcpy(m_szFileName, pszPath, len);
    m_bNameSet = true;
    return 0;
}

int CFileAccess::FileOpenRead(bool bLogMissing) {
    if (!m_bNameSet) {
        LOG_WARN(qvxlog::KTFI, "FileOpenRead() ERROR NOT INITIALIZED!");
        return KT_ERR_NOT_INITIALIZED;
    }
    return OpenFile(m_szFileName, m_hFile, kAccessRead, kOpenExisting, bLogMissing);
}

int CFileAccess::OpenFile(const char* pszName, int& hFile, int nAccess, int nDisposition, bool bLogMissing) {
    int rc = CloseDescriptor(hFile);
    if (rc != 0) return rc;
    if (pszName == nullptr) {
        LOG_WARN(qvxlog::KTFI, "OpenFile() ERROR <%d> while CreateFile <%s>!", EINVAL, "");
        return KT_ERR_OPEN;
    }

    int fd = open(pszName, OpenFlags(nAccess, nDisposition), 0666);
    if (fd < 0) {
        int err = errno;
        if (err != ENOENT || bLogMissing) {
            LOG_WARN(qvxlog::KTFI, "OpenFile() ERROR <%d> while CreateFile <%s>!", err, pszName);
        }
        return KT_ERR_OPEN;
    }

    struct stat st {};
    int err = 0;
    if (fstat(fd, &st) != 0) {
        err = errno;
    } else if (S_ISDIR(st.st_mode)) {
        err = EISDIR;
    } else if (!S_ISREG(st.st_mode)) {
        err = EINVAL;
    }
    if (err != 0) {
        close(fd);
        LOG_WARN(qvxlog::KTFI, "OpenFile() ERROR <%d> while CreateFile <%s>!", err, pszName);
        return KT_ERR_OPEN;
    }

    bool write = (nAccess & kAccessWrite) != 0;
    struct flock lock {};
    lock.l_type = write ? F_WRLCK : F_RDLCK;
    lock.l_whence = SEEK_SET;
    lock.l_start = 0;
    lock.l_len = 0;
    if (fcntl(fd, F_OFD_SETLK, &lock) != 0) {
        err = errno;
        if (err == EAGAIN || err == EACCES) {
            close(fd);
            return KT_ERR_SHARING_VIOLATION;
        }
        // A file system without lock support still serves the file; there is
        // simply nobody who could hold it.
    }

    if (write && (nDisposition == kCreateAlways || nDisposition == kTruncateExisting)) {
        if (ftruncate(fd, 0) != 0) {
            err = errno;
            close(fd);
            LOG_WARN(qvxlog::KTFI, "OpenFile() ERROR <%d> while CreateFile <%s>!", err, pszName);
            return KT_ERR_OPEN;
        }
    }

    int fl = fcntl(fd, F_GETFL);
    if (fl >= 0) fcntl(fd, F_SETFL, fl & ~O_NONBLOCK);
    hFile = fd;
    return 0;
}

int64_t CFileAccess::GetFileSize() const {
    if (m_hFile == kInvalidHandle) {
        errno = EBADF;
        return -1;
    }
    struct stat st {};
    if (fstat(m_hFile, &st) != 0) return -1;
    return static_cast<int64_t>(st.st_size);
}

int CFileAccess::ReadAt(char* pBuffer, int64_t nOffset, int64_t nLength, int64_t* pnRead) const {
    int64_t done = 0;
    if (pnRead) *pnRead = 0;
    if (m_hFile == kInvalidHandle) return EBADF;
    if (pBuffer == nullptr || nLength < 0) return EINVAL;
    while (done < nLength) {
        // One call reads at most about 2 GB; the loop covers the rest.
        size_t ask = static_cast<size_t>(nLength - done);
        ssize_t n = nOffset >= 0 ? pread(m_hFile, pBuffer + done, ask, static_cast<off_t>(nOffset + done))
                                 : read(m_hFile, pBuffer + done, ask);
        if (n < 0) {
            if (errno == EINTR) continue;
            if (pnRead) *pnRead = done;
            return errno;
        }
        if (n == 0) break;
        done += n;
    }
    if (pnRead) *pnRead = done;
    return 0;
}

int CFileAccess::FileRead(char** ppBuffer, int64_t nStart, int64_t nEnd) {
    if (ppBuffer != nullptr && *ppBuffer != nullptr) {
        LOG_WARN(qvxlog::KTFI, "FileRead() ERROR POINTER INITIALIZED!");
        return KT_ERR_POINTER_INITIALIZED;
    }
    if (ppBuffer == nullptr || nEnd < nStart) {
        LOG_WARN(qvxlog::KTFI, "FileRead() ERROR INVALID PARAMETER!");
        return KT_ERR_INVALID_PARAMETER;
    }
    int64_t length = nEnd - nStart;
    char* buffer = nullptr;
    if (length < INT64_MAX && static_cast<uint64_t>(length) < SIZE_MAX) {
        buffer = new (std::nothrow) char[static_cast<size_t>(length) + 1];
    }
    if (buffer == nullptr) {
        LOG_WARN(qvxlog::KTFI, "KT_VALIDATE_NewResult() ERROR OUT OF MEMORY!");
        LOG_WARN(qvxlog::KTFI, "FileRead() ERROR OUT OF MEMORY!");
        return KT_ERR_OUT_OF_MEMORY;
    }
    std::memset(buffer, 0, static_cast<size_t>(length) + 1);
    *ppBuffer = buffer;
    if (m_hFile == kInvalidHandle) return KT_ERR_NO_FILE;

    int64_t got = 0;
    int err = ReadAt(buffer, nStart, length, &got);
    if (err != 0) {
        LOG_WARN(qvxlog::KTFI, "FileRead() ERROR <%d> while ReadFile!", err);
        return KT_ERR_READ;
    }
    if (got < length) return KT_ERR_READ_SHORT;
    return 0;
}

int CFileAccess::CloseFile() {
    return CloseDescriptor(m_hFile);
}
