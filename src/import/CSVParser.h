// CCSVParser finds out the layout of a contacts CSV file by itself
// (separator, quote character, column count; the first line holds the
// headers), parses its lines into a CDataMap and applies mapping files to it.
//
// Texts are bytes; all lengths are byte counts and comparisons are byte by
// byte. Lines are read once per analysis into the parser's own line table;
// later parsing works on those lines, not on the file.
#pragma once

#include <cstddef>

#include "support/StringMapTable.h"

class CDataMap;
class CDataRow;

// Called once per line handled by ParseData; -1 aborts the parsing.
typedef int (*PARSE_CALLBACK)(void* pContext);

enum {
    CSV_ERR_CSV_PATH = -100,
    CSV_ERR_MAPPING_PATH = -110,
    CSV_ERR_NO_TABLE = -120,
    CSV_ERR_NO_CSV_FILE = -200,
    CSV_ERR_NO_TABLE_SET = -210,
    CSV_ERR_NO_LINES = -220,
    CSV_ERR_SPLIT = -230,
    CSV_ERR_NO_SEPARATOR = -240,
    CSV_ERR_HEADER_TOO_LONG = -300,
    CSV_ERR_MAPPING_FILE = -400,
    CSV_ERR_MAPPING_LINES = -410,
    CSV_ERR_ABORTED = -1,
};

class CCSVParser {
public:
    CCSVParser();
    ~CCSVParser();
    CCSVParser(const CCSVParser&) = delete;
    CCSVParser& operator=(const CCSVParser&) = delete;

    // -100 for a missing path or one longer than 260 bytes.
    int SetCSVFileName(const char* pszPath);
    // -110 for a missing path or one longer than 260 bytes.
    int SetMappingFileName(const char* pszPath);
    // -120 for a missing table. The table stays the caller's.
    int SetTable(CDataMap* pTable);

    // Reads the CSV file and settles separator, delimiter and column count.
    // Leaves the table reset. 0, -200, -210, -220, -230 or -240.
    int AnalyzeCsvData();
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
    // Name and description of a mapping file, each delivered whole when it
    // fits its buffer (length below the size), else empty. False for a file
    // that is unreadable or not a mapping file. Leaves the parser's state alone.
    bool ReadMappingInfo(const char* pszPath, char* pszName, size_t nNameSize, char* pszDescription,
                         size_t nDescriptionSize);

    // Splits one line into fields and appends them as one row to `pTable`;
    // returns the number of fields and hands back the new row.
    static int ParseLine(CDataMap* pTable, CDataRow** ppRow, const char* pszText, char cSeparator,
                         char cDelimiter, int nFirstIndex);

    int m_nLineCount = 0;
    int m_nColumnCount = 0;
    char m_cSeparator = 0;
    char m_cDelimiter = 0;

private:
    int SplitLines(const char* pszPath, CStringMapTable& lines);
    bool TryPair(char cSeparator, char cDelimiter);
    bool ReadMappingLines(CStringMapTable& lines, CDataMap& scratch, int& nEntries);

    char m_szCSVFile[261] = {};
    bool m_bCSVFileSet = false;
    char m_szMappingFile[261] = {};
    bool m_bMappingFileSet = false;
    CDataMap* m_pTable = nullptr;
    bool m_bTableSet = false;
    CStringMapTable m_csvLines;
    CStringMapTable m_mappingLines;
    bool m_bFound = false;
    bool m_bLinesReleased = false;
    int m_nMatchedColumns = 0;
    int m_nAcceptedFields = 0;
};
