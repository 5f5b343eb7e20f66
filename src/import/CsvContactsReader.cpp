#include "import/CsvContactsReader.h"

#include <string>
#include <string_view>

#include "import/CsvRecords.h"
#include "import/DataMap.h"
#include "support/LogModules.h"

namespace {

constexpr char kDelimiters[] = {'"', '\''};
constexpr char kSeparators[] = ";,:\t|#";
constexpr int kMaxAnalyzedLines = 2500;

}  // namespace

int CCsvContactsReader::FormRecords(char cDelimiter) {
    if (m_cFormedWith == cDelimiter) return 0;
    m_cFormedWith = 0;
    int result = m_csv.Form(cDelimiter);
    if (result != 0) {
        LOG_WARN(qvxlog::CSVPars, "ERROR <%d> while SplitFileLines(%s)!", result, m_path.c_str());
        return result;
    }
    m_cFormedWith = cDelimiter;
    m_nLineCount = m_csv.GetCount();
    return 0;
}

bool CCsvContactsReader::TryPair(CDataMap& table, char cSeparator, char cDelimiter) {
    table.Reset(true);
    int previous = 0;
    for (int k = 0; k < m_nLineCount && k < kMaxAnalyzedLines; ++k) {
        std::string_view line = m_csv.GetRecord(k);
        int n = ParseCsvLine(&table, nullptr, line.data(), line.size(), cSeparator, cDelimiter, 0);
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

void CCsvContactsReader::CountMismatched() {
    m_nMismatched = 0;
    m_mismatchedLines.clear();
    for (int k = 1; k < m_nLineCount; ++k) {
        if (CountCsvFields(m_csv.GetRecord(k), m_cSeparator, m_cDelimiter) == m_nColumnCount) continue;
        ++m_nMismatched;
        if (m_mismatchedLines.size() < static_cast<size_t>(kUnreadableLinesKept)) {
            m_mismatchedLines.push_back(m_csv.GetFirstLine(k));
        }
    }
    if (m_nMismatched > 0) {
        LOG_WARN(qvxlog::CSVPars, "AnalyzeCsvData() %d rows do not fit the header, the first in line %d",
                 m_nMismatched, m_mismatchedLines.front());
    }
}

int CCsvContactsReader::Analyse(const char* pszPath, CDataMap& table) {
    m_path = pszPath;
    m_bFound = false;
    m_nMismatched = 0;
    m_mismatchedLines.clear();
    m_cFormedWith = 0;
    m_csv.Clear();
    m_bLinesReleased = false;

    const int read = ReadCsvRecords(pszPath, m_csv, &m_bFileRead);
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
        for (const char* s = kSeparators; *s != '\0' && !m_bFound; ++s) TryPair(table, *s, cDelimiter);
        if (m_bFound) break;
    }

    if (!m_bFound) {
        if (FormRecords('"') != 0) return CSV_ERR_SPLIT;
        std::string_view first = m_csv.GetRecord(0);
        for (const char* s = kSeparators; *s != '\0'; ++s) {
            table.Reset(true);
            int n = ParseCsvLine(&table, nullptr, first.data(), first.size(), *s, '"', 0);
            if (n >= 2) {
                m_cSeparator = *s;
                m_cDelimiter = '"';
                m_bFound = true;
                m_nAcceptedFields = n;
                break;
            }
        }
    }

    table.Reset(true);
    if (!m_bFound) return CSV_ERR_NO_SEPARATOR;
    m_nColumnCount = m_nAcceptedFields;
    CountMismatched();
    return 0;
}

int CCsvContactsReader::ParseHeader(CDataMap& table, PARSE_CALLBACK pCallback, void* pContext) {
    if (m_bLinesReleased || m_csv.GetCount() == 0) return 0;
    CDataRow* row = nullptr;
    std::string_view header = m_csv.GetRecord(0);
    ParseCsvLine(&table, &row, header.data(), header.size(), m_cSeparator, m_cDelimiter, 0);
    if (pCallback) pCallback(pContext);
    int result = 0;
    CDataRow* headerRow = table.GetHeaderRow();
    for (int k = 0; k < m_nColumnCount; ++k) {
        int read = 0;
        std::string text = ReadField512(row, k, &read);
        if (read == qvxdm::kErrRange) {
            result = CSV_ERR_HEADER_TOO_LONG;
            continue;
        }
        if (headerRow) headerRow->SetField(k, text.c_str());
    }
    if (m_nColumnCount > 0 && row != nullptr) table.DeleteRow(row->GetKey());
    return result;
}

int CCsvContactsReader::ParseRows(CDataMap& table, PARSE_CALLBACK pCallback, void* pContext) {
    if (m_bLinesReleased) {
        // Every data line is in the table already: only the steps are left.
        for (int handled = 0; handled < m_nLineCount - 1; ++handled)
            if (pCallback && pCallback(pContext) == -1) return CSV_ERR_ABORTED;
        return 0;
    }
    if (m_csv.GetCount() == 0) return 0;
    // The rows the table holds already were parsed by an earlier run.
    int skip = table.GetRowCount();
    const int nRecords = m_csv.GetCount();
    for (int handled = 0; handled < m_nLineCount - 1; ++handled) {
        int k = handled + 1;
        if (k >= nRecords) break;
        if (skip > 0) {
            --skip;
        } else {
            std::string_view line = m_csv.GetRecord(k);
            CDataRow* row = nullptr;
            ParseCsvLine(&table, &row, line.data(), line.size(), m_cSeparator, m_cDelimiter, 0);
            // Rows are named by the line they start on, also after the lines are given back.
            if (row != nullptr) row->SetLine(m_csv.GetFirstLine(k));
        }
        if (pCallback && pCallback(pContext) == -1) return CSV_ERR_ABORTED;
    }
    return 0;
}

void CCsvContactsReader::ReleaseText(CDataMap& table) {
    if (table.GetRowCount() < m_nLineCount - 1) return;
    m_csv.Clear();
    m_cFormedWith = 0;
    m_bLinesReleased = true;
}
