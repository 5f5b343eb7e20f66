// CCSVParser finds out the layout of a contacts CSV file by itself
// (separator, quote character, column count; the first line holds the
// headers), parses its lines into a CDataMap and applies mapping files to it.
//
// Files are decoded to UTF-8 first (support/TextDecoding.h); from then on
// texts are bytes, all lengths are UTF-8 byte counts and comparisons are
// byte by byte. A record is one line, or several when a quoted field holds
// line ends (support/TextRecords.h); "line" below means such a record. The
// file is read once per analysis into the parser's own record store; later
// parsing works on those records, not on the file.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "support/TextRecords.h"

class CDataMap;
class CDataRow;
class CVCardReader;

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

    // Reads the CSV file and settles separator, delimiter and column count,
    // and counts the data records whose number of fields differs from the
    // header's. Leaves the table reset. 0, -200, -210, -220, -230 or -240.
    // A vCard file is read by CVCardReader instead: its cards are the lines
    // (m_nLineCount), its unreadable cards the mismatched rows, and there
    // is no separator; ParseData and ReleaseLines work on its cards.
    int AnalyzeCsvData();
    // The reader of the file last analysed when it was a vCard file, else null.
    const CVCardReader* GetVCardReader() const { return m_pVCard.get(); }
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
    // The entries of a mapping file: each header name with its code, in file
    // order (each read as the mapping is applied). False as ReadMappingInfo.
    bool ReadMappingEntries(const char* pszPath, std::vector<std::string>& names,
                            std::vector<std::string>& codes);

    // Splits one line into fields and appends them as one row to `pTable`;
    // returns the number of fields and hands back the new row.
    static int ParseLine(CDataMap* pTable, CDataRow** ppRow, const char* pszText, char cSeparator,
                         char cDelimiter, int nFirstIndex);
    // The same for nLength bytes of a record; zero bytes in it are skipped.
    static int ParseLine(CDataMap* pTable, CDataRow** ppRow, const char* pText, size_t nLength,
                         char cSeparator, char cDelimiter, int nFirstIndex);

    // The character set the CSV file was read in (last analysis), known
    // whenever the file could be read, also when the analysis failed later.
    TextEncoding GetEncoding() const { return m_encoding; }
    bool IsFileRead() const { return m_bFileRead; }
    // Data records of the last analysis whose number of fields differs from
    // the header's, and the file lines on which the first ten start.
    int GetMismatchedCount() const { return m_nMismatched; }
    const std::vector<int>& GetMismatchedLines() const { return m_mismatchedLines; }
    static constexpr int kMismatchedLinesKept = 10;

    int m_nLineCount = 0;
    int m_nColumnCount = 0;
    char m_cSeparator = 0;
    char m_cDelimiter = 0;

private:
    int ReadRecords(const char* pszPath, CTextRecords& records, bool* pbRead = nullptr);
    int AnalyzeVCard();
    int FormRecords(char cDelimiter);
    bool TryPair(char cSeparator, char cDelimiter);
    void CountMismatched();
    bool ReadMappingLines(CTextRecords& lines, CDataMap& scratch, int& nEntries);

    char m_szCSVFile[261] = {};
    bool m_bCSVFileSet = false;
    char m_szMappingFile[261] = {};
    bool m_bMappingFileSet = false;
    CDataMap* m_pTable = nullptr;
    bool m_bTableSet = false;
    CTextRecords m_csv;
    char m_cFormedWith = 0;
    CTextRecords m_mappingLines;
    TextEncoding m_encoding = TextEncoding::kUtf8;
    bool m_bFileRead = false;
    int m_nMismatched = 0;
    std::vector<int> m_mismatchedLines;
    bool m_bFound = false;
    bool m_bLinesReleased = false;
    std::unique_ptr<CVCardReader> m_pVCard;
    int m_nMatchedColumns = 0;
    int m_nAcceptedFields = 0;
};
