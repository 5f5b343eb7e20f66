// Splits arbitrary bytes as a file into lines, in all three ways, and checks
// the lines against a plain split of the same bytes; then reads them as
// records, which are always UTF-8 and without quote characters must be those
// lines.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "support/StringMapTable.h"
#include "support/TextDecoding.h"
#include "support/TextFileUtils.h"
#include "support/TextRecords.h"

namespace {

std::vector<std::string> PlainSplit(const std::string& data, size_t from, const std::string& sep) {
    std::vector<std::string> lines;
    size_t start = from;
    for (;;) {
        size_t hit = data.find(sep, start);
        size_t end = hit == std::string::npos ? data.size() : hit;
        if (end > start) lines.emplace_back(data.data() + start, strnlen(data.data() + start, end - start));
        if (hit == std::string::npos) break;
        start = hit + sep.size();
    }
    return lines;
}

std::vector<std::string> Texts(CStringMapTable& table) {
    std::vector<std::string> lines;
    table.Rewind();
    int key = 0;
    int expectedKey = 0;
    while (CGuardedString* entry = table.NextEntry(&key)) {
        if (key != expectedKey++) abort();
        lines.emplace_back(entry->GetText(), static_cast<size_t>(entry->GetLength()));
    }
    return lines;
}

// One scratch file for all runs, removed when the fuzzer ends.
struct ScratchFile {
    std::string path;
    ScratchFile() {
        char pattern[] = "/tmp/fuzz_split.XXXXXX";
        int fd = mkstemp(pattern);
        if (fd >= 0) close(fd);
        path = pattern;
    }
    ~ScratchFile() { unlink(path.c_str()); }
};

const std::string& FilePath() {
    static ScratchFile file;
    return file.path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string bytes(reinterpret_cast<const char*>(data), size);
    FILE* out = fopen(FilePath().c_str(), "wb");
    if (!out) return 0;
    fwrite(bytes.data(), 1, bytes.size(), out);
    fclose(out);

    for (bool crlf : {true, false}) {
        CStringMapTable table;
        if (SplitFileLines(FilePath().c_str(), table, crlf) != 0) abort();
        if (Texts(table) != PlainSplit(bytes, 0, crlf ? "\r\n" : "\n")) abort();
    }

    CStringMapTable table;
    if (SplitTextFileLines(FilePath().c_str(), table) != 0) abort();
    // The first line end decides.
    const size_t firstLf = bytes.find('\n');
    const bool crlf = firstLf == std::string::npos || (firstLf > 0 && bytes[firstLf - 1] == '\r');
    if (crlf != FirstLineEndIsCrLf(bytes.data(), bytes.size())) abort();
    size_t from = bytes.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
    std::vector<std::string> lines = Texts(table);
    if (lines != PlainSplit(bytes, from, crlf ? "\r\n" : "\n")) abort();

    CTextRecords records;
    if (records.Read(FilePath().c_str()) != 0 || records.Form('"') != 0) abort();
    size_t total = 0;
    for (int k = 0; k < records.GetCount(); ++k) {
        total += records.GetRecord(k).size();
        if (k > 0 && records.GetFirstLine(k) <= records.GetFirstLine(k - 1)) abort();
    }
    if (records.GetCount() > records.GetLineCount()) abort();
    bool converted = records.GetEncoding() != TextEncoding::kUtf8 || from == 3;
    if (!converted && total > bytes.size()) abort();
    // Whatever the bytes, the records are UTF-8 (ill-formed parts after a
    // mark replaced).
    for (int k = 0; k < records.GetCount(); ++k) {
        std::string_view record = records.GetRecord(k);
        if (!IsValidUtf8(record.data(), record.size())) abort();
    }
    if (from == 0 && bytes.find('"') == std::string::npos && IsValidUtf8(bytes.data(), bytes.size())) {
        // The records are the lines, but for what is left of CR LF lines in an
        // LF file: the CR before a line end (unless a zero byte ends the line's
        // text after it), and a line of it alone.
        int k = 0;
        for (std::string line : lines) {
            const std::string_view record =
                k < records.GetCount() ? records.GetRecord(k) : std::string_view();
            const size_t zero = record.find('\0');
            const bool zeroEnds = zero != std::string_view::npos && record.substr(0, zero) == line;
            if (!records.EndsLinesWithCrLf() && !zeroEnds && !line.empty() && line.back() == '\r') {
                line.pop_back();
                if (line.empty()) continue;
            }
            if (k >= records.GetCount() || record.substr(0, zero) != line) abort();
            ++k;
        }
        if (k != records.GetCount()) abort();
    }
    return 0;
}
