#include "support/TextFileUtils.h"

#include <cerrno>
#include <climits>
#include <cstring>
#include <memory>
#include <new>

#include "support/FileAccess.h"
#include "support/LogModules.h"
#include "support/StringMapTable.h"

using namespace qvxsupport;

namespace {

constexpr int64_t kSearchBlock = 2048;
// Reading a file to split it goes in large pieces; only a line longer than
// this makes the buffer grow.
constexpr int64_t kSplitChunk = 1 << 20;

inline char UpperAscii(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

struct SplitOptions {
    bool bCrLf = true;
    bool bFirstLineEndDecides = false;
    bool bSkipBom = false;
};

// Growable read buffer; new[] leaves the bytes uninitialised, which matters
// for a buffer that is filled from the file right away.
struct ByteBuffer {
    std::unique_ptr<char[]> data;
    size_t size = 0;

    bool Reserve(size_t need) {
        if (need <= size) return true;
        size_t grown = size * 2 > need ? size * 2 : need;
        std::unique_ptr<char[]> bigger(new (std::nothrow) char[grown]);
        if (!bigger) return false;
        if (size > 0) std::memcpy(bigger.get(), data.get(), size);
        data = std::move(bigger);
        size = grown;
        return true;
    }
};

// Looks for the separator in buf[from, end), not beginning before lineBegin.
// Returns its offset or -1.
int64_t FindSeparator(const char* buf, size_t lineBegin, size_t from, size_t end, bool bCrLf) {
    if (!bCrLf) {
        if (from >= end) return -1;
        const void* hit = std::memchr(buf + from, '\n', end - from);
        return hit ? static_cast<const char*>(hit) - buf : -1;
    }
    // The LF of a CR LF pair is searched; its CR must lie inside the line.
    size_t pos = (from > lineBegin ? from : lineBegin) + 1;
    while (pos < end) {
        const void* hit = std::memchr(buf + pos, '\n', end - pos);
        if (!hit) return -1;
        size_t lf = static_cast<const char*>(hit) - buf;
        if (buf[lf - 1] == '\r') return static_cast<int64_t>(lf - 1);
        pos = lf + 1;
    }
    return -1;
}

int ReadFailed(int err) {
    LOG_WARN(qvxlog::KTSF, "SearchStringInFile() ERROR <%d> while ReadFile!", err);
    return KT_ERR_READ;
}

int OutOfMemory() {
    LOG_WARN(qvxlog::KTSF, "SplitFileLines() ERROR OUT OF MEMORY!");
    return KT_ERR_OUT_OF_MEMORY;
}

// FirstLineEndIsCrLf for a file, read up to its first LF.
int FileLinesEndWithCrLf(CFileAccess& file, int64_t nSize, bool* pbCrLf) {
    *pbCrLf = true;
    int64_t chunk = nSize < kSplitChunk ? nSize : kSplitChunk;
    std::unique_ptr<char[]> buf(new (std::nothrow) char[static_cast<size_t>(chunk) + 1]);
    if (!buf) return OutOfMemory();
    char prev = '\0';
    for (int64_t offset = 0; offset < nSize;) {
        int64_t want = nSize - offset < chunk ? nSize - offset : chunk;
        int64_t got = 0;
        int err = file.ReadAt(buf.get(), offset, want, &got);
        if (err != 0) return ReadFailed(err);
        if (got < want) return KT_ERR_READ_SHORT;
        const void* hit = std::memchr(buf.get(), '\n', static_cast<size_t>(got));
        if (hit) {
            const char* lf = static_cast<const char*>(hit);
            *pbCrLf = (lf > buf.get() ? lf[-1] : prev) == '\r';
            return 0;
        }
        prev = buf[static_cast<size_t>(got) - 1];
        offset += got;
    }
    return 0;
}

int SplitOpenFile(CFileAccess& file, CStringMapTable& table, const SplitOptions& options) {
    int64_t size = file.GetFileSize();
    if (size < 0) {
        LOG_WARN(qvxlog::KTSF, "SearchStringInFile() ERROR <%d> while GetFileSize!", errno);
        return KT_ERR_FILE_SIZE;
    }
    bool bCrLf = options.bCrLf;
    if (options.bFirstLineEndDecides) {
        int rc = FileLinesEndWithCrLf(file, size, &bCrLf);
        if (rc != 0) return rc;
    }
    const size_t sepLength = bCrLf ? 2 : 1;

    int64_t nextKey = table.GetCount();
    auto store = [&](const char* line, size_t length) -> int {
        if (length == 0) return 0;
        // A zero byte ends the stored text of its line.
        size_t textLength = strnlen(line, length);
        if (textLength >= static_cast<size_t>(INT_MAX)) {
            LOG_WARN(qvxlog::KTST, "KT_VALIDATE_Result() ERROR INVALID PARAMETER!");
            return KT_ERR_STRING_NO_MEMORY;
        }
        if (nextKey > INT_MAX) {
            LOG_WARN(qvxlog::KTSMT, "AddNewEntry() ERROR could nopt add new entry!");
            return KT_ERR_ENTRY_NOT_ADDED;
        }
        int rc = table.AddEntry(static_cast<int>(nextKey), line, static_cast<int>(textLength));
        if (rc == 0) ++nextKey;
        return rc;
    };

    ByteBuffer buf;
    if (!buf.Reserve(static_cast<size_t>(size < kSplitChunk ? size : kSplitChunk) + 1)) return OutOfMemory();
    size_t begin = 0;  // start of the current line in buf
    size_t scan = 0;   // where the search for its end goes on
    size_t end = 0;    // bytes held in buf
    int64_t offset = 0;
    for (;;) {
        for (;;) {
            int64_t sep = FindSeparator(buf.data.get(), begin, scan, end, bCrLf);
            if (sep < 0) break;
            int rc = store(buf.data.get() + begin, static_cast<size_t>(sep) - begin);
            if (rc != 0) return rc;
            begin = static_cast<size_t>(sep) + sepLength;
            scan = begin;
        }
        // The last bytes may be the first half of a separator.
        scan = end >= begin + sepLength - 1 ? end - (sepLength - 1) : begin;
        if (offset >= size) break;

        if (begin > 0) {
            std::memmove(buf.data.get(), buf.data.get() + begin, end - begin);
            end -= begin;
            scan -= begin;
            begin = 0;
        }
        int64_t want = size - offset < kSplitChunk ? size - offset : kSplitChunk;
        if (!buf.Reserve(end + static_cast<size_t>(want))) return OutOfMemory();
        int64_t got = 0;
        int err = file.ReadAt(buf.data.get() + end, offset, want, &got);
        if (err != 0) return ReadFailed(err);
        if (got < want) return KT_ERR_READ_SHORT;
        if (offset == 0 && options.bSkipBom && got >= 3 &&
            std::memcmp(buf.data.get(), "\xEF\xBB\xBF", 3) == 0) {
            begin = scan = 3;
        }
        end += static_cast<size_t>(got);
        offset += got;
    }
    return store(buf.data.get() + begin, end - begin);
}

int SplitWithOptions(const char* pszPath, CStringMapTable& table, const SplitOptions& options) {
    CFileAccess file;
    int rc = OpenTextFileForRead(pszPath, file);
    if (rc != 0) return rc;
    rc = SplitOpenFile(file, table, options);
    file.CloseFile();
    return rc;
}

}  // namespace

int OpenTextFileForRead(const char* pszPath, CFileAccess& file) {
    if (pszPath == nullptr) {
        LOG_WARN(qvxlog::KTSF, "KT_VALIDATE_Result() ERROR INVALID PARAMETER!");
        return KT_ERR_INVALID_PARAMETER;
    }
    int rc = file.SetFileName(pszPath);
    if (rc != 0) return rc;
    return file.FileOpenRead(true);
}

int64_t SearchStringInFile(CFileAccess& file, const char* pszText, int64_t nStart, int64_t nLimit) {
    if (pszText == nullptr) {
        LOG_WARN(qvxlog::KTSF, "KT_VALIDATE_Result() ERROR INVALID PARAMETER!");
        return KT_ERR_INVALID_PARAMETER;
    }
    size_t textLength = strlen(pszText);
    // A block holds at least two texts, so that every step moves on.
    size_t blockSize = static_cast<size_t>(kSearchBlock);
    if (textLength > blockSize / 2) blockSize = textLength * 2;
    std::unique_ptr<char[]> block(new (std::nothrow) char[blockSize + 1]);
    std::unique_ptr<char[]> upper(new (std::nothrow) char[textLength + 1]);
    if (!block || !upper) {
        LOG_WARN(qvxlog::KTSF, "KT_VALIDATE_NewResult() ERROR OUT OF MEMORY!");
        LOG_WARN(qvxlog::KTSF, "SearchStringInFile() ERROR OUT OF MEMORY!");
        return KT_ERR_OUT_OF_MEMORY;
    }
    for (size_t i = 0; i <= textLength; ++i) upper[i] = UpperAscii(pszText[i]);

    int64_t size = file.GetFileSize();
    if (size < 0) {
        LOG_WARN(qvxlog::KTSF, "SearchStringInFile() ERROR <%d> while GetFileSize!", errno);
        return KT_ERR_FILE_SIZE;
    }

    int64_t result = KT_NOT_FOUND;
    int64_t pos = nStart;
    for (;;) {
        if (pos < 0) {
            LOG_WARN(qvxlog::KTSF, "SearchStringInFile() ERROR <%d> while SetFilePointer!", EINVAL);
            return KT_ERR_SEEK;
        }
        int64_t got = 0;
        int err = file.ReadAt(block.get(), pos, static_cast<int64_t>(blockSize), &got);
        if (err != 0) {
            LOG_WARN(qvxlog::KTSF, "SearchStringInFile() ERROR <%d> while ReadFile!", err);
            return KT_ERR_READ;
        }
        if (pos > size) break;
        for (int64_t i = 0; i < got; ++i) block[i] = UpperAscii(block[i]);
        // The whole block counts: a zero byte does not end the search.
        const void* hit = memmem(block.get(), static_cast<size_t>(got), upper.get(), textLength);
        if (hit) {
            result = pos + (static_cast<const char*>(hit) - block.get());
            break;
        }
        if (pos + got >= size) break;
        // A file cut short while searched ends the search as its end would.
        if (got < static_cast<int64_t>(textLength) || got == 0) break;
        // Step back so that a text cut by the block's end is found whole in
        // the next block.
        pos = pos + got - static_cast<int64_t>(textLength) + 1;
    }
    if (result >= 0 && nLimit > 0 && result > nLimit) result = KT_NOT_FOUND;
    return result;
}

bool FirstLineEndIsCrLf(const char* pText, size_t nLength) {
    const void* hit = nLength > 0 ? std::memchr(pText, '\n', nLength) : nullptr;
    if (hit == nullptr) return true;
    const char* lf = static_cast<const char*>(hit);
    return lf > pText && lf[-1] == '\r';
}

int SplitFileLines(const char* pszPath, CStringMapTable& table, bool bCrLf) {
    SplitOptions options;
    options.bCrLf = bCrLf;
    return SplitWithOptions(pszPath, table, options);
}

int SplitTextFileLines(const char* pszPath, CStringMapTable& table) {
    SplitOptions options;
    options.bFirstLineEndDecides = true;
    options.bSkipBom = true;
    return SplitWithOptions(pszPath, table, options);
}
