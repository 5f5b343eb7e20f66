#include "import/CSVParser.h"

#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include "import/DataMap.h"
#include "support/LogModules.h"
#include "support/TextFileUtils.h"

namespace {

constexpr char kDelimiters[] = {'"', '\''};
constexpr char kSeparators[] = ";,:\t|#";
constexpr int kMaxAnalyzedLines = 2500;
constexpr size_t kFieldBuffer = 512;
constexpr char kMappingMagic[] = "Quorvex mapping file";
constexpr char kNameKey[] = "Name:";
constexpr char kDescriptionKey[] = "Description:";

// Drops trailing, then leading blanks (0x20 only; tabs stay).
void TrimField(const char*& pBegin, const char*& pEnd) {
    while (pEnd > pBegin && pEnd[-1] == ' ') --pEnd;
    while (pBegin < pEnd && *pBegin == ' ') ++pBegin;
}

// Removes the quoting: a doubled quote becomes one, a lone one disappears,
// and a field of quotes only loses its enclosing pair.
void UnquoteField(const char* pBegin, const char* pEnd, char cQuote, std::string& out) {
    out.clear();
    const size_t n = static_cast<size_t>(pEnd - pBegin);
    size_t i = 0;
    while (i < n) {
        if (pBegin[i] != cQuote) {
            out.push_back(pBegin[i]);
            ++i;
            continue;
        }
        size_t j = i;
        while (j < n && pBegin[j] == cQuote) ++j;
        size_t run = j - i;
        if (j == n && run > 1 && i == 0) run -= 2;
        if (run % 2 == 1) run -= 1;
        out.append(run / 2, cQuote);
        if (j < n) out.push_back(pBegin[j]);
        i = j + 1;
    }
}

const char* EntryText(CGuardedString* pEntry) {
    const char* text = pEntry ? pEntry->GetText() : nullptr;
    return text ? text : "";
}

// The line under `key`, or null when there is none.
const char* LineAt(CStringMapTable& lines, int key) {
    CGuardedString* entry = nullptr;
    if (lines.GetEntry(key, &entry) != 0) return nullptr;
    return EntryText(entry);
}

// Field `index` of `row` read through a buffer of 512 bytes (+1 for the end).
std::string ReadField512(CDataRow* pRow, int index, int* pResult = nullptr) {
    char buffer[kFieldBuffer + 1];
    int result = pRow ? pRow->GetField(index, buffer, static_cast<int>(kFieldBuffer)) : qvxdm::kErrAbsent;
    if (pResult) *pResult = result;
    if (result != 0) buffer[0] = '\0';
    buffer[kFieldBuffer] = '\0';
    return buffer;
}

}  // namespace

CCSVParser::CCSVParser() = default;
CCSVParser::~CCSVParser() = default;

int CCSVParser::SetCSVFileName(const char* pszPath) {
    // An empty path names no file at all.
    if (pszPath == nullptr || *pszPath == '\0' || strlen(pszPath) > 260) return CSV_ERR_CSV_PATH;
    memset(m_szCSVFile, 0, sizeof m_szCSVFile);
    strcpy(m_szCSVFile, pszPath);
    m_bCSVFileSet = true;
    return 0;
}

int CCSVParser::SetMappingFileName(const char* pszPath) {
    if (pszPath == nullptr || *pszPath == '\0' || strlen(pszPath) > 260) return CSV_ERR_MAPPING_PATH;
    memset(m_szMappingFile, 0, sizeof m_szMappingFile);
    strcpy(m_szMappingFile, pszPath);
    m_bMappingFileSet = true;
    return 0;
}

int CCSVParser::SetTable(CDataMap* pTable) {
    if (pTable == nullptr) return CSV_ERR_NO_TABLE;
    m_pTable = pTable;
    m_bTableSet = true;
    return 0;
}

int CCSVParser::SplitLines(const char* pszPath, CStringMapTable& lines) {
    int result = SplitTextFileLines(pszPath, lines);
    if (result != 0) {
        LOG_WARN(qvxlog::CSVPars, "ERROR <%d> while SplitFileLines(%s)!", errno, pszPath);
    } else {
        LOG_INFO(qvxlog::CSVPars, "SplitFileLines(%s) lines = %d, result = %d", pszPath, lines.GetCount(),
                 result);
    }
    return result;
}

int CCSVParser::ParseLine(CDataMap* pTable, CDataRow** ppRow, const char* pszText, char cSeparator,
                          char cDelimiter, int nFirstIndex) {
    if (ppRow) *ppRow = nullptr;
    if (pszText == nullptr) pszText = "";

    struct Field {
        const char* pBegin;
        const char* pEnd;
    };
    // Most lines have few fields; the vector keeps its room across calls.
    thread_local std::vector<Field> fields;
    fields.clear();
    const char* p = pszText;
    for (;;) {
        if (*p == '\0') {
            if (p > pszText && p[-1] == cSeparator) fields.push_back({p, p});
            break;
        }
        const char* begin = p;
        int quotes = 0;
        while (*p != '\0' && !(*p == cSeparator && quotes % 2 == 0)) {
            if (*p == cDelimiter) ++quotes;
            ++p;
        }
        fields.push_back({begin, p});
        if (*p == cSeparator) ++p;
    }
    const int nFields = static_cast<int>(fields.size());
    if (pTable == nullptr) return nFields;

    pTable->SetColumnCount(nFields);
    if (pTable->AddRow(pTable->GetRowCount()) != 0) return nFields;
    CDataRow* row = pTable->NextRow();
    if (row == nullptr) return nFields;
    const int nColumns = pTable->GetColumnCount();
    std::string text;
    for (int i = 0; i < nFields; ++i) {
        int index = nFirstIndex + i;
        if (index >= nColumns) break;
        const char* begin = fields[i].pBegin;
        const char* end = fields[i].pEnd;
        TrimField(begin, end);
        UnquoteField(begin, end, cDelimiter, text);
        row->SetField(index, text.c_str());
    }
    if (ppRow) *ppRow = row;
    return nFields;
}

bool CCSVParser::TryPair(char cSeparator, char cDelimiter) {
    m_pTable->Reset(true);
    int previous = 0;
    for (int k = 0; k < m_nLineCount && k < kMaxAnalyzedLines; ++k) {
        const char* line = LineAt(m_csvLines, k);
        if (line == nullptr) return false;
        int n = ParseLine(m_pTable, nullptr, line, cSeparator, cDelimiter, 0);
        if (n < 2 || (k > 0 && n != previous)) {
            if (k >= 2) LOG_WARN(qvxlog::CSVPars, "AnalyzeCsvData() failed in line %d (%s)", k + 1, line);
            return false;
        }
        previous = n;
        if (k == m_nLineCount - 1 || k == kMaxAnalyzedLines - 1) {
            m_cSeparator = cSeparator;
            m_cDelimiter = cDelimiter;
            m_bFound = true;
            m_nAcceptedFields = n;
            LOG_INFO(qvxlog::CSVPars, "Seperator: %c", m_cSeparator);
            LOG_INFO(qvxlog::CSVPars, "Delimiter: %c", m_cDelimiter);
            LOG_INFO(qvxlog::CSVPars, "ColumnCount: %d", n);
            return true;
        }
    }
    return false;
}

int CCSVParser::AnalyzeCsvData() {
    if (!m_bCSVFileSet) return CSV_ERR_NO_CSV_FILE;
    if (!m_bTableSet) return CSV_ERR_NO_TABLE_SET;
    m_bFound = false;

    m_csvLines.Clear();
    m_bLinesReleased = false;
    m_pTable->Reset(true);
    if (SplitLines(m_szCSVFile, m_csvLines) != 0) return CSV_ERR_SPLIT;
    m_nLineCount = m_csvLines.GetCount();
    if (m_nLineCount == 0) return CSV_ERR_NO_LINES;

    for (char cDelimiter : kDelimiters) {
        for (const char* s = kSeparators; *s != '\0' && !m_bFound; ++s) TryPair(*s, cDelimiter);
        if (m_bFound) break;
    }

    if (!m_bFound) {
        const char* first = LineAt(m_csvLines, 0);
        for (const char* s = kSeparators; *s != '\0' && first != nullptr; ++s) {
            m_pTable->Reset(true);
            int n = ParseLine(m_pTable, nullptr, first, *s, '"', 0);
            if (n >= 2) {
                m_cSeparator = *s;
                m_cDelimiter = '"';
                m_bFound = true;
                m_nAcceptedFields = n;
                break;
            }
        }
    }

    m_pTable->Reset(true);
    if (!m_bFound) return CSV_ERR_NO_SEPARATOR;
    m_nColumnCount = m_nAcceptedFields;
    return 0;
}

int CCSVParser::ParseData(int nMode, PARSE_CALLBACK pCallback, void* pContext) {
    if (m_pTable == nullptr) return CSV_ERR_NO_TABLE_SET;
    if (nMode != 1 && nMode != 2) return 0;
    if (nMode == 2 && m_bLinesReleased) {
        // Every data line is in the table already: only the steps are left.
        for (int handled = 0; handled < m_nLineCount - 1; ++handled)
            if (pCallback && pCallback(pContext) == -1) return CSV_ERR_ABORTED;
        return 0;
    }
    m_csvLines.Rewind();
    CGuardedString* header = m_csvLines.NextEntry();
    if (header == nullptr) return 0;

    if (nMode == 1) {
        CDataRow* row = nullptr;
        ParseLine(m_pTable, &row, EntryText(header), m_cSeparator, m_cDelimiter, 0);
        if (pCallback) pCallback(pContext);
        int result = 0;
        CDataRow* headerRow = m_pTable->GetHeaderRow();
        for (int k = 0; k < m_nColumnCount; ++k) {
            int read = 0;
            std::string text = ReadField512(row, k, &read);
            if (read == qvxdm::kErrRange) {
                result = CSV_ERR_HEADER_TOO_LONG;
                continue;
            }
            if (headerRow) headerRow->SetField(k, text.c_str());
        }
        if (m_nColumnCount > 0 && row != nullptr) m_pTable->DeleteRow(row->GetKey());
        return result;
    }

    // Mode 2: the rows the table holds already were parsed by an earlier run.
    int skip = m_pTable->GetRowCount();
    for (int handled = 0; handled < m_nLineCount - 1; ++handled) {
        CGuardedString* line = m_csvLines.NextEntry();
        if (line == nullptr) break;
        if (skip > 0) {
            --skip;
        } else {
            ParseLine(m_pTable, nullptr, EntryText(line), m_cSeparator, m_cDelimiter, 0);
        }
        if (pCallback && pCallback(pContext) == -1) return CSV_ERR_ABORTED;
    }
    return 0;
}

void CCSVParser::ReleaseLines() {
    if (m_pTable == nullptr || m_pTable->GetRowCount() < m_nLineCount - 1) return;
    m_csvLines.Clear();
    m_bLinesReleased = true;
}

bool CCSVParser::ReadMappingLines(CStringMapTable& lines, CDataMap& scratch, int& nEntries) {
    nEntries = 0;
    const char* first = LineAt(lines, 0);
    if (first == nullptr || strcmp(first, kMappingMagic) != 0) return false;
    const char* names = LineAt(lines, 1);
    if (names == nullptr) return false;
    int c = ParseLine(&scratch, nullptr, names, ',', '"', 0);
    if (c == 0) return false;
    const char* codes = LineAt(lines, 2);
    if (codes == nullptr) return false;
    if (ParseLine(&scratch, nullptr, codes, ',', '"', 0) != c) return false;
    nEntries = c;
    return true;
}

int CCSVParser::ParseAdditionalInformation() {
    m_nMatchedColumns = 0;
    if (!m_bMappingFileSet || m_pTable == nullptr) return CSV_ERR_MAPPING_FILE;

    m_mappingLines.Clear();
    int result = SplitLines(m_szMappingFile, m_mappingLines);
    if (result != 0) return result;
    if (m_mappingLines.GetCount() == 0) return CSV_ERR_MAPPING_FILE;
    const char* first = LineAt(m_mappingLines, 0);
    if (first == nullptr || strcmp(first, kMappingMagic) != 0) return CSV_ERR_MAPPING_FILE;

    CDataMap scratch;
    int nEntries = 0;
    if (!ReadMappingLines(m_mappingLines, scratch, nEntries)) return CSV_ERR_MAPPING_LINES;
    scratch.Rewind();
    CDataRow* names = scratch.NextRow();
    CDataRow* codes = scratch.NextRow();

    const int nColumns = m_pTable->GetColumnCount();
    m_pTable->DeleteMappingRow();
    CDataRow* mapping = m_pTable->GetMappingRow();
    CDataRow* header = m_pTable->GetHeaderRow();
    for (int j = 0; j < nColumns && mapping; ++j) mapping->SetField(j, "");

    std::vector<std::string> headers;
    headers.reserve(static_cast<size_t>(nColumns));
    for (int j = 0; j < nColumns; ++j) headers.push_back(ReadField512(header, j));

    for (int i = 0; i < nEntries; ++i) {
        std::string name = ReadField512(names, i);
        for (int j = 0; j < nColumns; ++j) {
            if (headers[static_cast<size_t>(j)] == name) {
                if (mapping) mapping->SetField(j, ReadField512(codes, i).c_str());
                ++m_nMatchedColumns;
                break;
            }
        }
    }

    const char* line4 = LineAt(m_mappingLines, 3);
    const char* line5 = LineAt(m_mappingLines, 4);
    bool hasName = line4 && strstr(line4, kNameKey) && strlen(line4) >= sizeof kNameKey - 1;
    bool hasDescription =
        line5 && strstr(line5, kDescriptionKey) && strlen(line5) >= sizeof kDescriptionKey - 1;
    m_pTable->SetName(hasName ? line4 + sizeof kNameKey - 1 : "");
    m_pTable->SetDescription(hasDescription ? line5 + sizeof kDescriptionKey - 1 : "");
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

bool CCSVParser::ReadMappingInfo(const char* pszPath, char* pszName, size_t nNameSize, char* pszDescription,
                                 size_t nDescriptionSize) {
    if (pszName && nNameSize) pszName[0] = '\0';
    if (pszDescription && nDescriptionSize) pszDescription[0] = '\0';
    if (pszPath == nullptr) return false;
    CStringMapTable lines;
    SplitLines(pszPath, lines);
    if (lines.GetCount() == 0) return false;
    CDataMap scratch;
    int nEntries = 0;
    if (!ReadMappingLines(lines, scratch, nEntries)) return false;
    CopyMappingValue(LineAt(lines, 3), kNameKey, sizeof kNameKey - 1, pszName, nNameSize);
    CopyMappingValue(LineAt(lines, 4), kDescriptionKey, sizeof kDescriptionKey - 1, pszDescription,
                     nDescriptionSize);
    return true;
}
