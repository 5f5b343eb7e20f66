// Feeds arbitrary bytes as a CSV file through the analysis and both parsing modes.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "FuzzFiles.h"
#include "import/CSVParser.h"
#include "import/ColumnSamples.h"
#include "import/DataMap.h"
#include "support/TextRecords.h"

using qvxfuzz::TempPath;
using qvxfuzz::WriteBytes;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string path = TempPath(".csv");
    if (!WriteBytes(path, data, size)) return 0;
    CCSVParser parser;
    CDataMap table;
    parser.SetCSVFileName(path.c_str());
    parser.SetTable(&table);
    const int analysed = parser.AnalyzeCsvData();
    if (analysed == 0) {
        // Counted rows are data rows, named by ascending first lines.
        const std::vector<int>& lines = parser.GetMismatchedLines();
        if (parser.GetMismatchedCount() < 0 || parser.GetMismatchedCount() > parser.m_nLineCount - 1 ||
            lines.size() > static_cast<size_t>(parser.GetMismatchedCount()))
            __builtin_trap();
        for (size_t i = 0; i < lines.size(); ++i)
            if (lines[i] < 2 || (i > 0 && lines[i] <= lines[i - 1])) __builtin_trap();
        // The count is that of ParseLine's field counts.
        CTextRecords records;
        if (records.Read(path.c_str()) != 0 || records.Form(parser.m_cDelimiter) != 0) __builtin_trap();
        int mismatched = 0;
        for (int k = 1; k < records.GetCount(); ++k) {
            std::string_view record = records.GetRecord(k);
            mismatched +=
                CCSVParser::ParseLine(nullptr, nullptr, record.data(), record.size(), parser.m_cSeparator,
                                      parser.m_cDelimiter, 0) != parser.m_nColumnCount;
        }
        if (mismatched != parser.GetMismatchedCount()) __builtin_trap();
    }
    if (analysed == 0 && parser.ParseData(1) == 0) {
        // The editor's sample values leave no row in the table.
        const auto samples = CollectColumnSamples(parser, table);
        if (table.GetRowCount() != 0 || samples.size() != static_cast<size_t>(table.GetColumnCount()))
            __builtin_trap();
        parser.ParseData(2);
        // A second run on the same table must add no row twice.
        int rows = table.GetRowCount();
        parser.ParseData(2);
        if (table.GetRowCount() != rows) __builtin_trap();
    }
    return 0;
}
