// Splits arbitrary bytes as a file into lines, in all three ways, and checks
// the lines against a plain split of the same bytes.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "support/StringMapTable.h"
#include "support/TextFileUtils.h"

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
    bool crlf = bytes.find("\r\n") != std::string::npos || bytes.find('\n') == std::string::npos;
    size_t from = bytes.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
    if (Texts(table) != PlainSplit(bytes, from, crlf ? "\r\n" : "\n")) abort();
    return 0;
}
