// CCsvContactsReader finds out the layout of a contacts CSV file by itself
// (separator, quote character, column count; the first line holds the
// headers) and parses its lines into the table.
//
// Files are decoded to UTF-8 first (support/TextDecoding.h); from then on
// texts are bytes, all lengths are UTF-8 byte counts and comparisons are
// byte by byte. A "line" is a record (import/CsvRecords.h). The file is
// read once per analysis; later parsing works on its records, not on the file.
#pragma once

#include <vector>

#include "import/ContactsReader.h"
#include "support/TextRecords.h"

class CCsvContactsReader : public CContactsReader {
public:
    // Settles separator, delimiter and column count and counts the data
    // records whose number of fields differs from the header's (the
    // unreadable ones).
    int Analyse(const char* pszPath, CDataMap& table) override;
    int ParseHeader(CDataMap& table, PARSE_CALLBACK pCallback, void* pContext) override;
    int ParseRows(CDataMap& table, PARSE_CALLBACK pCallback, void* pContext) override;
    void ReleaseText(CDataMap& table) override;

    const char* FormatName() const override { return "csv"; }
    bool IsFileRead() const override { return m_bFileRead; }
    TextEncoding GetEncoding() const override { return m_encoding; }
    int GetLineCount() const override { return m_nLineCount; }
    int GetColumnCount() const override { return m_nColumnCount; }
    int GetUnreadableCount() const override { return m_nMismatched; }
    const std::vector<int>& GetUnreadableLines() const override { return m_mismatchedLines; }
    char GetSeparator() const override { return m_cSeparator; }
    char GetDelimiter() const override { return m_cDelimiter; }

private:
    int FormRecords(char cDelimiter);
    bool TryPair(CDataMap& table, char cSeparator, char cDelimiter);
    void CountMismatched();

    std::string m_path;
    CTextRecords m_csv;
    char m_cFormedWith = 0;
    TextEncoding m_encoding = TextEncoding::kUtf8;
    bool m_bFileRead = false;
    int m_nLineCount = 0;
    int m_nColumnCount = 0;
    char m_cSeparator = 0;
    char m_cDelimiter = 0;
    int m_nMismatched = 0;
    std::vector<int> m_mismatchedLines;
    bool m_bFound = false;
    bool m_bLinesReleased = false;
    int m_nAcceptedFields = 0;
};
