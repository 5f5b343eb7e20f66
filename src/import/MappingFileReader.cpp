#include "import/MappingFileReader.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <string_view>
#include <utility>

#include "import/ContactsReader.h"
#include "import/CsvRecords.h"
#include "import/DataMap.h"
#include "support/TextRecords.h"

namespace {

constexpr char kMappingMagic[] = "Quorvex mapping file";
constexpr char kNameKey[] = "Name:";
constexpr char kDescriptionKey[] = "Description:";

// Record `k` as a C text: cut at its first zero byte, as a stored line was.
std::string LineAt(const CTextRecords& lines, int key, bool* pPresent = nullptr) {
    if (pPresent) *pPresent = key >= 0 && key < lines.GetCount();
    std::string_view record = lines.GetRecord(key);
    return std::string(record.substr(0, record.find('\0')));
}

// The name and description lines follow the code line as plain text, not
// CSV: a quote in them holds no line end. The non-empty lines after record
// `k`, each cut at its first zero byte.
std::vector<std::string> PlainLinesAfter(const CTextRecords& lines, int k) {
    std::vector<std::string> out;
    if (k + 1 >= lines.GetCount()) return out;
    const std::string_view first = lines.GetRecord(k + 1);
    const std::string_view last = lines.GetRecord(lines.GetCount() - 1);
    std::string_view rest(first.data(), static_cast<size_t>(last.data() + last.size() - first.data()));
    const std::string_view lineEnd = lines.EndsLinesWithCrLf() ? "\r\n" : "\n";
    while (!rest.empty()) {
        const size_t end = std::min(rest.find(lineEnd), rest.size());
        const std::string_view line = rest.substr(0, end);
        if (!line.empty()) out.emplace_back(line.substr(0, line.find('\0')));
        rest.remove_prefix(std::min(end + lineEnd.size(), rest.size()));
    }
    return out;
}

bool ReadMappingLines(CTextRecords& lines, CDataMap& scratch, int& nEntries) {
    nEntries = 0;
    bool present = false;
    if (LineAt(lines, 0, &present) != kMappingMagic || !present) return false;
    if (lines.GetCount() < 2) return false;
    std::string_view names = lines.GetRecord(1);
    int c = ParseCsvLine(&scratch, nullptr, names.data(), names.size(), ',', '"', 0);
    if (c == 0) return false;
    if (lines.GetCount() < 3) return false;
    std::string_view codes = lines.GetRecord(2);
    if (ParseCsvLine(&scratch, nullptr, codes.data(), codes.size(), ',', '"', 0) != c) return false;
    nEntries = c;
    return true;
}

}  // namespace

std::vector<int> EntryColumns(const std::vector<std::string>& headers,
                              const std::vector<std::string>& entries) {
    std::map<std::string_view, std::vector<int>> columnsOf;
    for (size_t j = 0; j < headers.size(); ++j) columnsOf[headers[j]].push_back(static_cast<int>(j));
    std::map<std::string_view, size_t> seen;
    std::vector<int> columns;
    columns.reserve(entries.size());
    for (const std::string& entry : entries) {
        const auto it = columnsOf.find(entry);
        if (it == columnsOf.end()) {
            columns.push_back(-1);
            continue;
        }
        const size_t k = seen[entry]++;
        columns.push_back(k < it->second.size() ? it->second[k] : it->second.front());
    }
    return columns;
}

int ApplyMappingFile(const char* pszPath, CDataMap& table, int& nMatched) {
    nMatched = 0;
    CTextRecords mappingLines;
    int result = ReadCsvRecords(pszPath, mappingLines);
    if (result != 0) return result;
    if (mappingLines.GetCount() == 0) return CSV_ERR_MAPPING_FILE;
    if (LineAt(mappingLines, 0) != kMappingMagic) return CSV_ERR_MAPPING_FILE;

    CDataMap scratch;
    int nEntries = 0;
    if (!ReadMappingLines(mappingLines, scratch, nEntries)) return CSV_ERR_MAPPING_LINES;
    scratch.Rewind();
    CDataRow* names = scratch.NextRow();
    CDataRow* codes = scratch.NextRow();

    const int nColumns = table.GetColumnCount();
    table.DeleteMappingRow();
    CDataRow* mapping = table.GetMappingRow();
    CDataRow* header = table.GetHeaderRow();
    for (int j = 0; j < nColumns && mapping; ++j) mapping->SetField(j, "");

    std::vector<std::string> headers;
    headers.reserve(static_cast<size_t>(nColumns));
    for (int j = 0; j < nColumns; ++j) headers.push_back(ReadField512(header, j));
    std::vector<std::string> entries;
    entries.reserve(static_cast<size_t>(nEntries));
    for (int i = 0; i < nEntries; ++i) entries.push_back(ReadField512(names, i));

    const std::vector<int> columns = EntryColumns(headers, entries);
    for (int i = 0; i < nEntries; ++i) {
        const int j = columns[static_cast<size_t>(i)];
        if (j < 0) continue;
        if (mapping) mapping->SetField(j, ReadField512(codes, i).c_str());
        ++nMatched;
    }

    const std::vector<std::string> info = PlainLinesAfter(mappingLines, 2);
    std::string line4 = info.size() > 0 ? info[0] : std::string();
    std::string line5 = info.size() > 1 ? info[1] : std::string();
    mappingLines.Clear();
    NameOrder order;
    for (const std::string& line : info) {
        if (line.rfind(kNameOrderKey, 0) != 0) continue;
        for (NameOrderItem item :
             ParseNameOrderText(std::string_view(line).substr(sizeof kNameOrderKey - 1))) {
            if (item.nColumn >= nEntries) continue;
            item.nColumn = columns[static_cast<size_t>(item.nColumn)];
            if (item.nColumn >= 0) order.push_back(item);
        }
        break;
    }
    table.SetNameOrder(std::move(order));
    bool hasName = line4.find(kNameKey) != std::string::npos;
    bool hasDescription = line5.find(kDescriptionKey) != std::string::npos;
    table.SetName(hasName ? line4.c_str() + sizeof kNameKey - 1 : "");
    table.SetDescription(hasDescription ? line5.c_str() + sizeof kDescriptionKey - 1 : "");
    return 0;
}

namespace {

// Copies the text of `line` after its first `nKey` bytes when the line holds
// `pszKey` and the text fits the buffer; the buffer is cleared first.
void CopyMappingValue(const char* line, const char* pszKey, size_t nKey, char* pszOut, size_t nSize) {
    if (pszOut == nullptr || nSize == 0) return;
    memset(pszOut, 0, nSize);
    if (line == nullptr || strstr(line, pszKey) == nullptr) return;
    size_t length = strlen(line);
    if (length < nKey) return;
    size_t valueLength = length - nKey;
    if (valueLength < nSize) memcpy(pszOut, line + nKey, valueLength);
}

}  // namespace

bool ReadMappingInfo(const char* pszPath, char* pszName, size_t nNameSize, char* pszDescription,
                     size_t nDescriptionSize) {
    if (pszName && nNameSize) pszName[0] = '\0';
    if (pszDescription && nDescriptionSize) pszDescription[0] = '\0';
    if (pszPath == nullptr) return false;
    CTextRecords lines;
    ReadCsvRecords(pszPath, lines);
    if (lines.GetCount() == 0) return false;
    CDataMap scratch;
    int nEntries = 0;
    if (!ReadMappingLines(lines, scratch, nEntries)) return false;
    const std::vector<std::string> info = PlainLinesAfter(lines, 2);
    CopyMappingValue(info.size() > 0 ? info[0].c_str() : nullptr, kNameKey, sizeof kNameKey - 1, pszName,
                     nNameSize);
    CopyMappingValue(info.size() > 1 ? info[1].c_str() : nullptr, kDescriptionKey, sizeof kDescriptionKey - 1,
                     pszDescription, nDescriptionSize);
    return true;
}

bool ReadMappingEntries(const char* pszPath, std::vector<std::string>& names,
                        std::vector<std::string>& codes) {
    names.clear();
    codes.clear();
    if (pszPath == nullptr) return false;
    CTextRecords lines;
    ReadCsvRecords(pszPath, lines);
    CDataMap scratch;
    int nEntries = 0;
    if (lines.GetCount() == 0 || !ReadMappingLines(lines, scratch, nEntries)) return false;
    scratch.Rewind();
    CDataRow* pNames = scratch.NextRow();
    CDataRow* pCodes = scratch.NextRow();
    for (int i = 0; i < nEntries; ++i) {
        names.push_back(ReadField512(pNames, i));
        codes.push_back(ReadField512(pCodes, i));
    }
    return true;
}
