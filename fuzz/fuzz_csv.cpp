// Feeds arbitrary bytes as a CSV file through the analysis and both parsing modes.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "FuzzFiles.h"
#include "import/ColumnSamples.h"
#include "import/ContactRules.h"
#include "import/ContactsFile.h"
#include "import/DataMap.h"
#include "support/TextRecords.h"

using qvxfuzz::TempPath;
using qvxfuzz::WriteBytes;

namespace {

// The rows the contact rules make of the table under a mapping taken from
// the input's bytes: every row gives a contact or a reason, every value fits
// its limit, every dial number has two characters or more.
void CheckContactRules(CDataMap& table, const uint8_t* data, size_t size) {
    static const char* const kCodes[] = {"N", "C", "PD", "E", "L", "-", "X", "G"};
    CDataRow* mapping = table.GetMappingRow();
    if (mapping == nullptr || size == 0) return;
    for (int j = 0; j < table.GetColumnCount(); ++j)
        mapping->SetField(j, kCodes[data[static_cast<size_t>(j) % size] % 8]);
    const ImportTally tally = TallyImport(table);
    if (tally.nContacts + tally.nSkipped != tally.nRows || tally.nRows != table.GetRowCount())
        __builtin_trap();
    const CContactRules rules(table);
    CContactRow row;
    table.Rewind();
    while (const CDataRow* pRow = table.NextRow()) {
        rules.ReadRow(pRow, row);
        if (row.skip != qvxrules::SkipReason::kNone) continue;
        if (row.contact.name.empty() || row.contact.name.size() > qvxrules::kMaxNameBytes) __builtin_trap();
        for (const ContactDetailRow& detail : row.details.rows) {
            if (detail.value.empty() || detail.value.size() > qvxrules::kMaxValueBytes) __builtin_trap();
            if (detail.type == "P" && detail.value.size() < 2) __builtin_trap();
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string path = TempPath(".csv");
    if (!WriteBytes(path, data, size)) return 0;
    CContactsFile parser;
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
                CContactsFile::ParseLine(nullptr, nullptr, record.data(), record.size(), parser.m_cSeparator,
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
        CheckContactRules(table, data, size);
    }
    return 0;
}
