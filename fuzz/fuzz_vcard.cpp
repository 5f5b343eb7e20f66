// Feeds arbitrary bytes as a vCard file through the reader (via the CSV
// parser, as the wizard reads it), the rows and the built-in mapping.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "FuzzFiles.h"
#include "import/ColumnSamples.h"
#include "import/ContactsFile.h"
#include "import/DataMap.h"
#include "import/Mapping.h"
#include "import/VCardMapping.h"
#include "import/VCardReader.h"

using qvxfuzz::TempPath;
using qvxfuzz::WriteBytes;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string path = TempPath(".vcf");
    if (!WriteBytes(path, data, size)) return 0;
    // Other files are the CSV target's.
    if (!CVCardReader::IsVCardFile(path.c_str())) return 0;
    CContactsFile parser;
    CDataMap table;
    parser.SetCSVFileName(path.c_str());
    parser.SetTable(&table);
    if (parser.AnalyzeCsvData() != 0) return 0;
    const auto* reader = dynamic_cast<const CVCardReader*>(parser.Reader());
    if (reader == nullptr) __builtin_trap();
    // Unreadable cards are cards, named by ascending first lines.
    const std::vector<int>& lines = parser.GetMismatchedLines();
    if (parser.GetMismatchedCount() < 0 || parser.GetMismatchedCount() > parser.m_nLineCount ||
        lines.size() > static_cast<size_t>(parser.GetMismatchedCount()))
        __builtin_trap();
    for (size_t i = 0; i < lines.size(); ++i)
        if (lines[i] < 1 || (i > 0 && lines[i] <= lines[i - 1])) __builtin_trap();
    if (parser.ParseData(1) != 0) __builtin_trap();
    // The column 0 is the name; headers are distinct.
    const int nColumns = table.GetColumnCount();
    if (nColumns < 1 || reader->GetColumnKind(0) != VCardColumnKind::kName) __builtin_trap();
    const auto samples = CollectColumnSamples(parser, table);
    if (table.GetRowCount() != 0 || samples.size() != static_cast<size_t>(nColumns)) __builtin_trap();
    parser.ParseData(2);
    const int rows = table.GetRowCount();
    if (rows != parser.m_nLineCount - parser.GetMismatchedCount()) __builtin_trap();
    parser.ParseData(2);
    if (table.GetRowCount() != rows) __builtin_trap();
    // The built-in mapping always makes the table complete.
    if (!reader->ApplyBuiltInMapping(table) || !MappingFitsTable(table, nColumns)) __builtin_trap();
    parser.ReleaseLines();
    return 0;
}
