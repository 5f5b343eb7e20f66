#include "import/ContactsFile.h"

#include <cstring>

#include "import/ContactsFormats.h"
#include "import/CsvRecords.h"
#include "import/DataMap.h"
#include "import/MappingFileReader.h"

CContactsFile::CContactsFile() = default;
CContactsFile::~CContactsFile() = default;

int CContactsFile::SetCSVFileName(const char* pszPath) {
    // An empty path names no file at all.
    if (pszPath == nullptr || *pszPath == '\0' || strlen(pszPath) > 260) return CSV_ERR_CSV_PATH;
    memset(m_szCSVFile, 0, sizeof m_szCSVFile);
    strcpy(m_szCSVFile, pszPath);
    m_bCSVFileSet = true;
    return 0;
}

int CContactsFile::SetMappingFileName(const char* pszPath) {
    if (pszPath == nullptr || *pszPath == '\0' || strlen(pszPath) > 260) return CSV_ERR_MAPPING_PATH;
    memset(m_szMappingFile, 0, sizeof m_szMappingFile);
    strcpy(m_szMappingFile, pszPath);
    m_bMappingFileSet = true;
    return 0;
}

int CContactsFile::SetTable(CDataMap* pTable) {
    if (pTable == nullptr) return CSV_ERR_NO_TABLE;
    m_pTable = pTable;
    m_bTableSet = true;
    return 0;
}

int CContactsFile::ParseLine(CDataMap* pTable, CDataRow** ppRow, const char* pszText, char cSeparator,
                             char cDelimiter, int nFirstIndex) {
    if (pszText == nullptr) pszText = "";
    return ParseCsvLine(pTable, ppRow, pszText, strlen(pszText), cSeparator, cDelimiter, nFirstIndex);
}

int CContactsFile::ParseLine(CDataMap* pTable, CDataRow** ppRow, const char* pText, size_t nLength,
                             char cSeparator, char cDelimiter, int nFirstIndex) {
    return ParseCsvLine(pTable, ppRow, pText, nLength, cSeparator, cDelimiter, nFirstIndex);
}

int CContactsFile::AnalyzeCsvData() {
    if (!m_bCSVFileSet) return CSV_ERR_NO_CSV_FILE;
    if (!m_bTableSet) return CSV_ERR_NO_TABLE_SET;
    m_nMismatched = 0;
    m_mismatchedLines.clear();
    m_pTable->Reset(true);
    // The earlier file's text goes before the next one is read.
    m_pReader.reset();
    m_pReader = SniffContactsFormat(m_szCSVFile).makeReader();
    const int result = m_pReader->Analyse(m_szCSVFile, *m_pTable);
    m_bFileRead = m_pReader->IsFileRead();
    m_encoding = m_pReader->GetEncoding();
    m_nLineCount = m_pReader->GetLineCount();
    m_nColumnCount = m_pReader->GetColumnCount();
    m_cSeparator = m_pReader->GetSeparator();
    m_cDelimiter = m_pReader->GetDelimiter();
    m_nMismatched = m_pReader->GetUnreadableCount();
    m_mismatchedLines = m_pReader->GetUnreadableLines();
    return result;
}

int CContactsFile::ParseData(int nMode, PARSE_CALLBACK pCallback, void* pContext) {
    if (m_pTable == nullptr) return CSV_ERR_NO_TABLE_SET;
    if ((nMode != 1 && nMode != 2) || !m_pReader) return 0;
    if (nMode == 1) return m_pReader->ParseHeader(*m_pTable, pCallback, pContext);
    return m_pReader->ParseRows(*m_pTable, pCallback, pContext);
}

void CContactsFile::ReleaseLines() {
    if (m_pTable != nullptr && m_pReader) m_pReader->ReleaseText(*m_pTable);
}

int CContactsFile::ParseAdditionalInformation() {
    m_nMatchedColumns = 0;
    if (!m_bMappingFileSet || m_pTable == nullptr) return CSV_ERR_MAPPING_FILE;
    return ApplyMappingFile(m_szMappingFile, *m_pTable, m_nMatchedColumns);
}

bool CContactsFile::ReadMappingInfo(const char* pszPath, char* pszName, size_t nNameSize,
                                    char* pszDescription, size_t nDescriptionSize) {
    return ::ReadMappingInfo(pszPath, pszName, nNameSize, pszDescription, nDescriptionSize);
}

bool CContactsFile::ReadMappingEntries(const char* pszPath, std::vector<std::string>& names,
                                       std::vector<std::string>& codes) {
    return ::ReadMappingEntries(pszPath, names, codes);
}
