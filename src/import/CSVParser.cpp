#include "import/CSVParser.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include "import/DataMap.h"
#include "import/VCardReader.h"
#include "support/LogModules.h"
#include "support/TextRecords.h"

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

// The fields of a text without zero bytes, each handed to `onField`; returns
// their number. A separator ends a field where the field so far holds an even
// number of quote characters; a text ending with a separator, open quote or
// not, has one more, empty field; an empty text has none.
template <typename OnField>
int SplitFields(const char* pText, const char* pEnd, char cSeparator, char cQuote, OnField&& onField) {
    int nFields = 0;
    const char* p = pText;
    for (;;) {
        if (p == pEnd) {
            if (p > pText && p[-1] == cSeparator) {
                onField(p, p);
                ++nFields;
            }
            return nFields;
        }
        const char* begin = p;
        bool open = false;
        while (p != pEnd && !(*p == cSeparator && !open)) {
            if (*p == cQuote) open = !open;
            ++p;
        }
        onField(begin, p);
        ++nFields;
        if (p != pEnd) ++p;
    }
}

// A zero byte only ever ends a line's text; the rare record holding one is
// read without it.
std::string_view WithoutZeros(std::string_view text) {
    if (text.empty() || memchr(text.data(), '\0', text.size()) == nullptr) return text;
    thread_local std::string copy;
    copy.clear();
    for (char c : text) {
        if (c != '\0') copy.push_back(c);
    }
    return copy;
}

// The number of fields ParseLine finds in a record, without storing them.
int CountFields(std::string_view record, char cSeparator, char cQuote) {
    record = WithoutZeros(record);
    return SplitFields(record.data(), record.data() + record.size(), cSeparator, cQuote,
                       [](const char*, const char*) {});
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

int CCSVParser::ReadRecords(const char* pszPath, CTextRecords& records, bool* pbRead) {
    int result = records.Read(pszPath);
    if (pbRead) *pbRead = result == 0;
    if (result == 0) result = records.Form('"');
    if (result != 0) {
        LOG_WARN(qvxlog::CSVPars, "ERROR <%d> while SplitFileLines(%s)!", errno, pszPath);
    } else {
        LOG_INFO(qvxlog::CSVPars, "SplitFileLines(%s) lines = %d, result = %d", pszPath,
                 records.GetLineCount(), result);
    }
    return result;
}

int CCSVParser::FormRecords(char cDelimiter) {
    if (m_cFormedWith == cDelimiter) return 0;
    m_cFormedWith = 0;
    int result = m_csv.Form(cDelimiter);
    if (result != 0) {
        LOG_WARN(qvxlog::CSVPars, "ERROR <%d> while SplitFileLines(%s)!", result, m_szCSVFile);
        return result;
    }
    m_cFormedWith = cDelimiter;
    m_nLineCount = m_csv.GetCount();
    return 0;
}

int CCSVParser::ParseLine(CDataMap* pTable, CDataRow** ppRow, const char* pszText, char cSeparator,
                          char cDelimiter, int nFirstIndex) {
    if (pszText == nullptr) pszText = "";
    return ParseLine(pTable, ppRow, pszText, strlen(pszText), cSeparator, cDelimiter, nFirstIndex);
}

int CCSVParser::ParseLine(CDataMap* pTable, CDataRow** ppRow, const char* pText, size_t nLength,
                          char cSeparator, char cDelimiter, int nFirstIndex) {
    if (ppRow) *ppRow = nullptr;
    const std::string_view record = WithoutZeros(pText != nullptr ? std::string_view(pText, nLength) : "");

    struct Field {
        const char* pBegin;
        const char* pEnd;
    };
    // Most lines have few fields; the vector keeps its room across calls.
    thread_local std::vector<Field> fields;
    fields.clear();
    SplitFields(record.data(), record.data() + record.size(), cSeparator, cDelimiter,
                [](const char* pBegin, const char* pEnd) {
                    fields.push_back({pBegin, pEnd});
                });
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
        std::string_view line = m_csv.GetRecord(k);
        int n = ParseLine(m_pTable, nullptr, line.data(), line.size(), cSeparator, cDelimiter, 0);
        if (n < 2 || (k > 0 && n != previous)) {
            if (k >= 2) {
                LOG_WARN(qvxlog::CSVPars, "AnalyzeCsvData() failed in line %d (%s)", k + 1,
                         std::string(line).c_str());
            }
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

void CCSVParser::CountMismatched() {
    m_nMismatched = 0;
    m_mismatchedLines.clear();
    for (int k = 1; k < m_nLineCount; ++k) {
        if (CountFields(m_csv.GetRecord(k), m_cSeparator, m_cDelimiter) == m_nColumnCount) continue;
        ++m_nMismatched;
        if (m_mismatchedLines.size() < static_cast<size_t>(kMismatchedLinesKept)) {
            m_mismatchedLines.push_back(m_csv.GetFirstLine(k));
        }
    }
    if (m_nMismatched > 0) {
        LOG_WARN(qvxlog::CSVPars, "AnalyzeCsvData() %d rows do not fit the header, the first in line %d",
                 m_nMismatched, m_mismatchedLines.front());
    }
}

int CCSVParser::AnalyzeCsvData() {
    if (!m_bCSVFileSet) return CSV_ERR_NO_CSV_FILE;
    if (!m_bTableSet) return CSV_ERR_NO_TABLE_SET;
    m_bFound = false;
    m_nMismatched = 0;
    m_mismatchedLines.clear();

    m_cFormedWith = 0;
    m_csv.Clear();
    m_bLinesReleased = false;
    m_pTable->Reset(true);
    m_pVCard.reset();
    if (CVCardReader::IsVCardFile(m_szCSVFile)) return AnalyzeVCard();
    const int read = ReadRecords(m_szCSVFile, m_csv, &m_bFileRead);
    m_encoding = m_csv.GetEncoding();
    if (read != 0) return CSV_ERR_SPLIT;
    m_cFormedWith = '"';
    m_nLineCount = m_csv.GetCount();
    if (m_csv.GetLineCount() == 0) {
        m_nLineCount = 0;
        return CSV_ERR_NO_LINES;
    }

    for (char cDelimiter : kDelimiters) {
        if (FormRecords(cDelimiter) != 0) return CSV_ERR_SPLIT;
        for (const char* s = kSeparators; *s != '\0' && !m_bFound; ++s) TryPair(*s, cDelimiter);
        if (m_bFound) break;
    }

    if (!m_bFound) {
        if (FormRecords('"') != 0) return CSV_ERR_SPLIT;
        std::string_view first = m_csv.GetRecord(0);
        for (const char* s = kSeparators; *s != '\0'; ++s) {
            m_pTable->Reset(true);
            int n = ParseLine(m_pTable, nullptr, first.data(), first.size(), *s, '"', 0);
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
    CountMismatched();
    return 0;
}

int CCSVParser::AnalyzeVCard() {
    m_pVCard = std::make_unique<CVCardReader>();
    const int result = m_pVCard->Read(m_szCSVFile);
    m_bFileRead = result != CSV_ERR_SPLIT;
    m_encoding = m_pVCard->GetEncoding();
    m_nLineCount = m_pVCard->GetCardCount();
    m_nColumnCount = m_pVCard->GetColumnCount();
    m_cSeparator = 0;
    m_cDelimiter = 0;
    m_nMismatched = m_pVCard->GetUnreadableCount();
    m_mismatchedLines = m_pVCard->GetUnreadableLines();
    m_bFound = result == 0;
    return result;
}

int CCSVParser::ParseData(int nMode, PARSE_CALLBACK pCallback, void* pContext) {
    if (m_pTable == nullptr) return CSV_ERR_NO_TABLE_SET;
    if (nMode != 1 && nMode != 2) return 0;
    if (m_pVCard) {
        if (nMode == 2) return m_pVCard->ParseData(*m_pTable, pCallback, pContext);
        if (pCallback) pCallback(pContext);
        return m_pVCard->FillHeader(*m_pTable) == 0 ? 0 : CSV_ERR_HEADER_TOO_LONG;
    }
    if (nMode == 2 && m_bLinesReleased) {
        // Every data line is in the table already: only the steps are left.
        for (int handled = 0; handled < m_nLineCount - 1; ++handled)
            if (pCallback && pCallback(pContext) == -1) return CSV_ERR_ABORTED;
        return 0;
    }
    if (m_csv.GetCount() == 0) return 0;

    if (nMode == 1) {
        CDataRow* row = nullptr;
        std::string_view header = m_csv.GetRecord(0);
        ParseLine(m_pTable, &row, header.data(), header.size(), m_cSeparator, m_cDelimiter, 0);
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
    const int nRecords = m_csv.GetCount();
    for (int handled = 0; handled < m_nLineCount - 1; ++handled) {
        int k = handled + 1;
        if (k >= nRecords) break;
        if (skip > 0) {
            --skip;
        } else {
            std::string_view line = m_csv.GetRecord(k);
            CDataRow* row = nullptr;
            ParseLine(m_pTable, &row, line.data(), line.size(), m_cSeparator, m_cDelimiter, 0);
            // Rows are named by the line they start on, also after the lines are given back.
            if (row != nullptr) row->SetLine(m_csv.GetFirstLine(k));
        }
        if (pCallback && pCallback(pContext) == -1) return CSV_ERR_ABORTED;
    }
    return 0;
}

void CCSVParser::ReleaseLines() {
    if (m_pVCard) {
        const int rows = m_pVCard->GetCardCount() - m_pVCard->GetUnreadableCount();
        if (m_pTable != nullptr && m_pTable->GetRowCount() >= rows) m_pVCard->ReleaseText();
        return;
    }
    if (m_pTable == nullptr || m_pTable->GetRowCount() < m_nLineCount - 1) return;
    m_csv.Clear();
    m_cFormedWith = 0;
    m_bLinesReleased = true;
}

bool CCSVParser::ReadMappingLines(CTextRecords& lines, CDataMap& scratch, int& nEntries) {
    nEntries = 0;
    bool present = false;
    if (LineAt(lines, 0, &present) != kMappingMagic || !present) return false;
    if (lines.GetCount() < 2) return false;
    std::string_view names = lines.GetRecord(1);
    int c = ParseLine(&scratch, nullptr, names.data(), names.size(), ',', '"', 0);
    if (c == 0) return false;
    if (lines.GetCount() < 3) return false;
    std::string_view codes = lines.GetRecord(2);
    if (ParseLine(&scratch, nullptr, codes.data(), codes.size(), ',', '"', 0) != c) return false;
    nEntries = c;
    return true;
}

int CCSVParser::ParseAdditionalInformation() {
    m_nMatchedColumns = 0;
    if (!m_bMappingFileSet || m_pTable == nullptr) return CSV_ERR_MAPPING_FILE;

    int result = ReadRecords(m_szMappingFile, m_mappingLines);
    if (result != 0) return result;
    if (m_mappingLines.GetCount() == 0) return CSV_ERR_MAPPING_FILE;
    if (LineAt(m_mappingLines, 0) != kMappingMagic) return CSV_ERR_MAPPING_FILE;

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

    const std::vector<std::string> info = PlainLinesAfter(m_mappingLines, 2);
    std::string line4 = info.size() > 0 ? info[0] : std::string();
    std::string line5 = info.size() > 1 ? info[1] : std::string();
    m_mappingLines.Clear();
    bool hasName = line4.find(kNameKey) != std::string::npos;
    bool hasDescription = line5.find(kDescriptionKey) != std::string::npos;
    m_pTable->SetName(hasName ? line4.c_str() + sizeof kNameKey - 1 : "");
    m_pTable->SetDescription(hasDescription ? line5.c_str() + sizeof kDescriptionKey - 1 : "");
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
    CTextRecords lines;
    ReadRecords(pszPath, lines);
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

bool CCSVParser::ReadMappingEntries(const char* pszPath, std::vector<std::string>& names,
                                    std::vector<std::string>& codes) {
    names.clear();
    codes.clear();
    if (pszPath == nullptr) return false;
    CTextRecords lines;
    ReadRecords(pszPath, lines);
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
