// Thin file object over a POSIX descriptor: a name, a descriptor, and
// operations to open the file, tell its size, read byte ranges and close it.
//
// "Opened without sharing": after open() a non-blocking open-file-description
// lock is taken (shared for reading, exclusive for writing). When another
// holder keeps a conflicting lock the file is closed again and the sharing
// violation -15207 is returned without a warning. Only regular files are
// opened; a folder is refused with -15208 and the system error EISDIR (21)
// in the warning, any other non-regular file (FIFO, device, socket) with
// EINVAL (22), so that no read can ever block.
//
// Every failure is logged as a warning under "KTFI" and returned as a code.
#pragma once

#include <cstdint>

namespace qvxsupport {

// Result codes of the file layer.
enum : int {
    KT_ERR_OUT_OF_MEMORY = -15202,
    KT_ERR_INVALID_PARAMETER = -15203,
    KT_ERR_NOT_INITIALIZED = -15204,
    KT_ERR_POINTER_INITIALIZED = -15205,
    KT_ERR_NO_FILE = -15206,
    KT_ERR_SHARING_VIOLATION = -15207,
    KT_ERR_OPEN = -15208,
    KT_ERR_CLOSE = -15209,
    KT_ERR_READ = -15210,
    KT_ERR_READ_SHORT = -15211,
    KT_ERR_FILE_SIZE = -15214,
    KT_ERR_SEEK = -15215,
    KT_ERR_NAME_TOO_LONG = -15219,
};

// Longest accepted path in bytes (the name buffer holds this plus a zero).
inline constexpr int kMaxPathLength = 260;

}  // namespace qvxsupport

class CFileAccess {
public:
    // Access bits for OpenFile.
    static constexpr int kAccessRead = 1;
    static constexpr int kAccessWrite = 2;
    // Dispositions for OpenFile, as the Windows ones they stand for.
    static constexpr int kCreateNew = 1;         // fails if the file exists
    static constexpr int kCreateAlways = 2;      // creates or truncates
    static constexpr int kOpenExisting = 3;      // fails if the file is missing
    static constexpr int kOpenAlways = 4;        // opens or creates
    static constexpr int kTruncateExisting = 5;  // truncates an existing file

    static constexpr int kInvalidHandle = -1;

    CFileAccess();
    virtual ~CFileAccess();
    CFileAccess(const CFileAccess&) = delete;
    CFileAccess& operator=(const CFileAccess&) = delete;

    // Stores the path for FileOpenRead. A path longer than 260 bytes is
    // refused with -15219 and the old name is kept.
    int SetFileName(const char* pszPath);

    // Opens the named file for reading without sharing; 0, -15204 (no name
    // set) or a code of OpenFile. A missing file is logged when bLogMissing.
    int FileOpenRead(bool bLogMissing = true);

    // Opens pszName with the given access bits and disposition into hFile,
    // closing a descriptor that hFile still holds first (that failure is
    // returned). 0, -15207 (held by another), -15208, -15209.
    int OpenFile(const char* pszName, int& hFile, int nAccess, int nDisposition, bool bLogMissing);

    // Size of the open file in bytes, or -1 with errno set.
    int64_t GetFileSize() const;

    // Reads the bytes [nStart, nEnd) into a new zero-terminated buffer of
    // nEnd - nStart + 1 bytes, handed out in *ppBuffer; the caller frees it
    // with delete[], also after a failed read. *ppBuffer must be null on
    // entry. A negative nStart reads from the current file position.
    // 0, -15202, -15203, -15205, -15206, -15210, -15211.
    int FileRead(char** ppBuffer, int64_t nStart, int64_t nEnd);

    // Reads up to nLength bytes at nOffset into pBuffer without logging;
    // stops early only at the end of the file. Returns 0 or the system error
    // number (EBADF when no file is open); *pnRead receives the bytes read.
    int ReadAt(char* pBuffer, int64_t nOffset, int64_t nLength, int64_t* pnRead) const;

    // Closes an open file; an already closed one is no error. 0 or -15209.
    // The descriptor is given up even when close() reports an error, since
    // Linux releases it in any case.
    int CloseFile();

    bool IsOpen() const { return m_hFile != kInvalidHandle; }
    int GetHandle() const { return m_hFile; }
    const char* GetFileName() const { return m_szFileName; }

private:
    bool m_bNameSet;
    char m_szFileName[qvxsupport::kMaxPathLength + 1];
    int m_hFile;
};
