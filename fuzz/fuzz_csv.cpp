// Feeds arbitrary bytes as a CSV file through the analysis and both parsing modes.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "import/CSVParser.h"
#include "import/DataMap.h"

namespace {

std::string TempPath(const char* suffix) {
    return "/tmp/qvxfuzz-" + std::to_string(getpid()) + suffix;
}

bool WriteBytes(const std::string& path, const uint8_t* data, size_t size) {
    FILE* f = fopen(path.c_str(), "wb");
    if (!f) return false;
    bool ok = fwrite(data, 1, size, f) == size;
    return fclose(f) == 0 && ok;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string path = TempPath(".csv");
    if (!WriteBytes(path, data, size)) return 0;
    CCSVParser parser;
    CDataMap table;
    parser.SetCSVFileName(path.c_str());
    parser.SetTable(&table);
    if (parser.AnalyzeCsvData() == 0 && parser.ParseData(1) == 0) {
        parser.ParseData(2);
        // A second run on the same table must add no row twice.
        int rows = table.GetRowCount();
        parser.ParseData(2);
        if (table.GetRowCount() != rows) __builtin_trap();
    }
    return 0;
}
