// CContactsFile is one contacts file as the import sees it: the reader of its
// format (made from the list of formats, import/ContactsFormats.h), what
// the analysis found, the table it parses into and the mapping file
// applied to that table.
//
// The file is read once per analysis into its reader; later parsing works
// on the text the reader holds, not on the file.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "import/ContactsReader.h"

class CDataMap;
class CDataRow;

class CContactsFile {
public:
    CContactsFile();
    ~CContactsFile();
    CContactsFile(const CContactsFile&) = delete;
    CContactsFile& operator=(const CContactsFile&) = delete;

    // -100 for a missing path or one longer than 260 bytes.
    int SetCSVFileName(const char* pszPath);
    // -110 for a missing path or one longer than 260 bytes.
    int SetMappingFileName(const char* pszPath);
    // -120 for a missing table. The table stays the caller's.
    int SetTable(CDataMap* pTable);

    // Makes the reader of the file's format and lets it read the file:
    // lines, columns (and for a CSV file separator and delimiter), the
    // unreadable records. Leaves the table reset. 0, -200, -210, -220,
    // -230 or -240.
    int AnalyzeCsvData();
    // The reader of the file last analysed, else null.
    const CContactsReader* Reader() const { return m_pReader.get(); }
    // Mode 1: the header line into the table's header row (0 or -300).
    // Mode 2: the data lines into rows keyed 0, 1, 2 ... (0 or -1 on abort).
    int ParseData(int nMode, PARSE_CALLBACK pCallback = nullptr, void* pContext = nullptr);
    // Gives back the file's lines once the table holds every data line; a
    // later ParseData(2) then only reports its steps.
    void ReleaseLines();
    // Applies the mapping file by column header. 0, -400, -410 or a read code.
    int ParseAdditionalInformation();
    // Entries of the mapping file that found their column in the last application.
    int GetMatchedColumnCount() const { return m_nMatchedColumns; }
    // import/MappingFileReader.h; the parser's state stays as it is.
    bool ReadMappingInfo(const char* pszPath, char* pszName, size_t nNameSize, char* pszDescription,
                         size_t nDescriptionSize);
    bool ReadMappingEntries(const char* pszPath, std::vector<std::string>& names,
                            std::vector<std::string>& codes);

    // Splits one line into fields and appends them as one row to `pTable`
    // (import/CsvRecords.h); returns the number of fields and hands back the new row.
    static int ParseLine(CDataMap* pTable, CDataRow** ppRow, const char* pszText, char cSeparator,
                         char cDelimiter, int nFirstIndex);
    // The same for nLength bytes of a record; zero bytes in it are skipped.
    static int ParseLine(CDataMap* pTable, CDataRow** ppRow, const char* pText, size_t nLength,
                         char cSeparator, char cDelimiter, int nFirstIndex);

    // The character set the file was read in (last analysis), known
    // whenever the file could be read, also when the analysis failed later.
    TextEncoding GetEncoding() const { return m_encoding; }
    bool IsFileRead() const { return m_bFileRead; }
    // Data records of the last analysis that give no row (for a CSV file:
    // whose number of fields differs from the header's), and the file lines
    // on which the first ten start.
    int GetMismatchedCount() const { return m_nMismatched; }
    const std::vector<int>& GetMismatchedLines() const { return m_mismatchedLines; }
    static constexpr int kMismatchedLinesKept = CContactsReader::kUnreadableLinesKept;

    int m_nLineCount = 0;
    int m_nColumnCount = 0;
    char m_cSeparator = 0;
    char m_cDelimiter = 0;

private:
    char m_szCSVFile[261] = {};
    bool m_bCSVFileSet = false;
    char m_szMappingFile[261] = {};
    bool m_bMappingFileSet = false;
    CDataMap* m_pTable = nullptr;
    bool m_bTableSet = false;
    std::unique_ptr<CContactsReader> m_pReader;
    TextEncoding m_encoding = TextEncoding::kUtf8;
    bool m_bFileRead = false;
    int m_nMismatched = 0;
    std::vector<int> m_mismatchedLines;
    int m_nMatchedColumns = 0;
};
