#include "support/TextRecords.h"

#include <cerrno>
#include <climits>
#include <cstring>
#include <new>

#include "support/FileAccess.h"
#include "support/GuardedString.h"
#include "support/LogModules.h"
#include "support/StringMapTable.h"
#include "support/TextFileUtils.h"

using namespace qvxsupport;

namespace {

// Reads of a whole file go in large pieces.
constexpr int64_t kReadChunk = 64 << 20;

int OutOfMemory() {
    LOG_WARN(qvxlog::KTSF, "SplitFileLines() ERROR OUT OF MEMORY!");
    return KT_ERR_OUT_OF_MEMORY;
}

// Offset of the line end at or after `from`, or `size` when none follows.
// A CR LF is found by its LF, whose CR must lie inside the line.
size_t FindLineEnd(const char* text, size_t from, size_t size, bool bCrLf) {
    for (size_t pos = from; pos < size;) {
        const void* hit = memchr(text + pos, '\n', size - pos);
        if (hit == nullptr) break;
        size_t lf = static_cast<size_t>(static_cast<const char*>(hit) - text);
        if (!bCrLf) return lf;
        if (lf > from && text[lf - 1] == '\r') return lf - 1;
        pos = lf + 1;
    }
    return size;
}

size_t CountByte(const char* p, size_t n, char c) {
    size_t count = 0;
    for (size_t i = 0; i < n; ++i) count += p[i] == c;
    return count;
}

}  // namespace

void CTextRecords::Clear() {
    m_text = TextBytes();
    m_encoding = TextEncoding::kUtf8;
    m_bCrLf = true;
    m_nLines = 0;
    std::vector<Record>().swap(m_records);
}

int CTextRecords::Read(const char* pszPath) {
    Clear();
    CFileAccess file;
    int rc = OpenTextFileForRead(pszPath, file);
    if (rc != 0) return rc;
    int64_t size = file.GetFileSize();
    if (size < 0) {
        LOG_WARN(qvxlog::KTSF, "SearchStringInFile() ERROR <%d> while GetFileSize!", errno);
        file.CloseFile();
        return KT_ERR_FILE_SIZE;
    }
    TextBytes bytes;
    if (static_cast<uint64_t>(size) >= SIZE_MAX || !bytes.Allocate(static_cast<size_t>(size))) {
        file.CloseFile();
        return OutOfMemory();
    }
    for (int64_t offset = 0; offset < size;) {
        int64_t want = size - offset < kReadChunk ? size - offset : kReadChunk;
        int64_t got = 0;
        int err = file.ReadAt(bytes.data.get() + offset, offset, want, &got);
        if (err != 0) {
            LOG_WARN(qvxlog::KTSF, "SearchStringInFile() ERROR <%d> while ReadFile!", err);
            file.CloseFile();
            return KT_ERR_READ;
        }
        if (got < want) {
            file.CloseFile();
            return KT_ERR_READ_SHORT;
        }
        offset += got;
    }
    file.CloseFile();

    if (!DecodeToUtf8(bytes, &m_encoding)) return OutOfMemory();
    m_text = std::move(bytes);
    const char* text = m_text.data.get();
    const size_t n = m_text.size;
    m_bCrLf = FirstLineEndIsCrLf(text, n);
    if (memchr(text, '\0', n) != nullptr) DropZeroTails();
    return 0;
}

void CTextRecords::DropZeroTails() {
    char* text = m_text.data.get();
    const size_t n = m_text.size;
    const size_t sepLength = m_bCrLf ? 2 : 1;
    size_t write = 0;
    for (size_t pos = 0; pos < n;) {
        size_t end = FindLineEnd(text, pos, n, m_bCrLf);
        const void* zero = memchr(text + pos, '\0', end - pos);
        size_t keep = zero ? static_cast<size_t>(static_cast<const char*>(zero) - text) + 1 - pos : end - pos;
        std::memmove(text + write, text + pos, keep);
        write += keep;
        if (end < n) {
            std::memcpy(text + write, m_bCrLf ? "\r\n" : "\n", sepLength);
            write += sepLength;
        }
        pos = end + sepLength;
    }
    m_text.size = write;
    text[write] = '\0';
}

int CTextRecords::Form(char cQuote) {
    std::vector<Record>().swap(m_records);
    m_nLines = 0;
    const char* text = m_text.data.get();
    const size_t n = m_text.data ? m_text.size : 0;
    const size_t sepLength = m_bCrLf ? 2 : 1;
    try {
        // Every record starts on a line of its own: the LF count bounds them.
        m_records.reserve(CountByte(text, n, '\n') + 1);
    } catch (const std::bad_alloc&) {
        return OutOfMemory();
    }
    // In an LF file a CR right before a line end is what is left of a CR LF
    // line (a file pieced together from two sources): it is no part of the
    // line's text, and a line of it alone is blank.
    auto textEnd = [&](size_t begin, size_t end) {
        return !m_bCrLf && end > begin && text[end - 1] == '\r' ? end - 1 : end;
    };
    // Non-empty lines are counted once each, also where the walk goes back
    // after a quote that stays open to the end.
    long long lines = 0;
    size_t counted = 0;
    auto countLine = [&](size_t begin, size_t end) {
        if (begin >= counted && textEnd(begin, end) > begin) ++lines;
        if (end + sepLength > counted) counted = end + sepLength;
    };
    size_t pos = 0;
    uint32_t line = 1;
    while (pos < n) {
        size_t firstEnd = FindLineEnd(text, pos, n, m_bCrLf);
        countLine(pos, firstEnd);
        if (textEnd(pos, firstEnd) == pos) {
            pos = firstEnd + sepLength;
            ++line;
            continue;
        }
        size_t quotes = CountByte(text + pos, firstEnd - pos, cQuote);
        size_t end = firstEnd;
        uint32_t lastLine = line;
        while (quotes % 2 == 1 && end < n) {
            size_t next = end + sepLength;
            end = FindLineEnd(text, next, n, m_bCrLf);
            countLine(next, end);
            ++lastLine;
            quotes += CountByte(text + next, end - next, cQuote);
        }
        if (quotes % 2 == 1) {
            end = firstEnd;
            lastLine = line;
        }
        if (end - pos >= static_cast<size_t>(INT_MAX)) {
            LOG_WARN(qvxlog::KTST, "KT_VALIDATE_Result() ERROR INVALID PARAMETER!");
            return KT_ERR_STRING_NO_MEMORY;
        }
        if (m_records.size() >= static_cast<size_t>(INT_MAX)) {
            LOG_WARN(qvxlog::KTSMT, "AddNewEntry() ERROR could nopt add new entry!");
            return KT_ERR_ENTRY_NOT_ADDED;
        }
        try {
            m_records.push_back({pos, static_cast<uint32_t>(textEnd(pos, end) - pos), line});
        } catch (const std::bad_alloc&) {
            return OutOfMemory();
        }
        pos = end + sepLength;
        line = lastLine + 1;
    }
    m_nLines = lines > INT_MAX ? INT_MAX : static_cast<int>(lines);
    return 0;
}

std::string_view CTextRecords::GetRecord(int k) const {
    if (k < 0 || static_cast<size_t>(k) >= m_records.size()) return std::string_view();
    const Record& r = m_records[static_cast<size_t>(k)];
    return std::string_view(m_text.data.get() + r.offset, r.length);
}

int CTextRecords::GetFirstLine(int k) const {
    if (k < 0 || static_cast<size_t>(k) >= m_records.size()) return 0;
    return static_cast<int>(m_records[static_cast<size_t>(k)].line);
}
