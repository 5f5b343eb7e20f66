// Feeds arbitrary bytes as a vCard file through the reader (via the CSV
// parser, as the wizard reads it), the rows, the built-in mapping, the
// contact rules and the preview.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "FuzzFiles.h"
#include "import/ColumnSamples.h"
#include "import/ContactRules.h"
#include "import/ContactsFile.h"
#include "import/DataMap.h"
#include "import/Mapping.h"
#include "import/VCardMapping.h"
#include "import/VCardReader.h"
#include "wizard/ImportPreview.h"

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
    // Rows carry the lines their cards start on, ascending, none of them
    // an unreadable card's.
    int lastLine = 0;
    table.Rewind();
    while (const CDataRow* row = table.NextRow()) {
        if (row->GetLine() <= lastLine) __builtin_trap();
        for (int line : lines)
            if (line == row->GetLine()) __builtin_trap();
        lastLine = row->GetLine();
    }
    for (const ReaderNotice& notice : reader->GetNotices())
        if (notice.nCount < 1 || notice.lines.empty() ||
            notice.lines.size() > static_cast<size_t>(notice.nCount))
            __builtin_trap();
    // The rules give every row a contact or a reason, every detail a key of
    // its own; the preview counts as the tally does and lists every row.
    const ImportTally tally = TallyImport(table);
    if (tally.nRows != rows || tally.nContacts + tally.nSkipped != rows) __builtin_trap();
    CImportPreview preview(table, parser.GetMismatchedCount(), lines);
    const ImportTally& shown = preview.Tally();
    if (shown.nContacts != tally.nContacts || shown.nSkipped != tally.nSkipped ||
        shown.nNotStored != tally.nNotStored)
        __builtin_trap();
    preview.SetShowSkipped(true);
    if (preview.GetCount() != rows) __builtin_trap();
    CContactRow contact;
    std::string needle;
    for (int i = 0; i < preview.GetCount(); ++i) {
        preview.Read(i, contact);
        for (size_t a = 0; a < contact.details.rows.size(); ++a)
            for (size_t b = a + 1; b < contact.details.rows.size() && b < a + 64; ++b)
                if (contact.details.rows[a].key == contact.details.rows[b].key) __builtin_trap();
        if (needle.empty() && !contact.contact.name.empty()) needle = contact.contact.name;
    }
    // A whole name finds at least its own row.
    if (!needle.empty()) {
        preview.SetFilter(needle);
        if (preview.GetCount() < 1) __builtin_trap();
    }
    return 0;
}
