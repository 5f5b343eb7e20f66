// CVCardReader turns a file of vCards (versions 2.1, 3.0 and 4.0, also mixed
// in one file) into the table a CSV file gives: a header row and one data
// row per card, so that mappings, the editor and the database builder work
// on it as on any CSV file.
//
// The file is read and decoded as CSV files are (support/TextRecords.h) and
// held once; a card is kept as its place in that text and is parsed again
// when its row is made, as CSV records are.
//
// Columns come in the order in which their header first appears. Column 0
// is always the name: FN, else N's given, additional and family names
// joined with a blank, else empty. N's parts, ORG (first component as the
// company, the rest as the department), TITLE, each TEL, EMAIL, ADR, URL
// and IMPP by its label (the X-ABLabel of its group, else its types, as
// "Phone (mobile)"), NOTE, BDAY and the further properties by their names
// follow. The n-th value of one header in a card goes to "<header> (n)".
// Header words come from language.ini in the current language. Binary
// values (PHOTO, LOGO, SOUND, KEY and anything else base64 that is no text
// property) make no column and are never decoded.
//
// A card without END:VCARD or text outside any card is unreadable: it gives
// no row and is counted with the line on which it starts. A line in a card
// that is no property is skipped and counted; the card is kept. A 2.1 card
// embedded after AGENT belongs to the card around it and is passed over.
//
// Past kMaxColumns columns, values whose header has no column yet go to a
// few shared columns per kind ("Phone (more)", "Phone (more) (2)" ...);
// only what does not fit those is counted as not kept (technical values,
// never imported, are dropped without a count).
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "import/ContactsReader.h"
#include "import/VCardMapping.h"
#include "support/TextRecords.h"

class CDataMap;
namespace qvxvcard {
struct VCardWords;
}

class CVCardReader : public CContactsReader {
public:
    CVCardReader();
    ~CVCardReader() override;
    CVCardReader(const CVCardReader&) = delete;
    CVCardReader& operator=(const CVCardReader&) = delete;

    // Whether the file's first non-blank line is BEGIN:VCARD (after a
    // byte-order mark, in any of the character sets read).
    static bool IsVCardFile(const char* pszPath);
    // The same for text already decoded.
    static bool IsVCardText(std::string_view text);

    // Reads the file and finds its cards, columns and versions. 0,
    // CSV_ERR_SPLIT when the file cannot be read, CSV_ERR_NO_LINES when it
    // holds no card at all. Whatever was held before is released first.
    int Read(const char* pszPath);
    // Read, for the owner; the table is left alone.
    int Analyse(const char* pszPath, CDataMap& table) override;
    // Gives back the text and the cards (columns and counts stay) once the
    // table holds a row per readable card.
    void ReleaseText(CDataMap& table) override;

    // Cards found, the unreadable ones and stretches of text between cards
    // included: the file's "lines".
    int GetCardCount() const { return m_nCards; }
    int GetLineCount() const override { return m_nCards; }
    int GetColumnCount() const override { return static_cast<int>(m_columns.size()); }
    // Empty for a bad index.
    std::string GetHeader(int nColumn) const;
    VCardColumnKind GetColumnKind(int nColumn) const;
    TextEncoding GetEncoding() const override { return m_encoding; }
    bool IsFileRead() const override { return m_bFileRead; }
    const char* FormatName() const override { return "vcard"; }
    // The distinct VERSION values in the order first met ("2.1", "3.0", ...).
    const std::vector<std::string>& GetVersions() const override { return m_versions; }
    // Unreadable cards and the lines on which the first ten start.
    int GetUnreadableCount() const override { return m_nUnreadable; }
    const std::vector<int>& GetUnreadableLines() const override { return m_unreadableLines; }
    // Lines skipped in readable cards, values not decoded, values not kept.
    std::vector<ReaderNotice> GetNotices() const override;
    const char* UnreadableKeyOne() const override;
    const char* UnreadableKeyMany() const override;
    // The built-in vCard mapping (import/VCardMapping.h).
    bool HasBuiltInMapping() const override { return true; }
    bool ApplyBuiltInMapping(CDataMap& table) const override;

    // The header texts into the table's header row (setting its column count).
    int FillHeader(CDataMap& table) const;
    // FillHeader after one step of the callback.
    int ParseHeader(CDataMap& table, PARSE_CALLBACK pCallback, void* pContext) override;
    // One row per readable card; the callback is called once per card.
    int ParseRows(CDataMap& table, PARSE_CALLBACK pCallback, void* pContext) override;
    // Whether the text is still held (rows can still be made).
    bool HoldsText() const { return !m_text.GetText().empty(); }

private:
    struct Card {
        uint64_t offset;     // the line after BEGIN:VCARD
        uint32_t length;     // up to END:VCARD
        uint32_t line : 31;  // 1-based line of BEGIN:VCARD
        uint32_t readable : 1;
    };
    struct Column {
        std::string header;
        VCardColumnKind kind;
    };

    // The column of a value's header: a new one while there is room
    // (bAdd), else a shared one (-1: none). `more` counts the values of
    // each kind in the card that went to the shared columns.
    int ColumnOf(const std::string& header, VCardColumnKind kind, std::array<int, 4>& more, bool bAdd);
    int AddColumn(const std::string& header, VCardColumnKind kind);
    void AddUnreadable(uint32_t line);
    // A count and the first lines, ascending and each once.
    struct Tally {
        int nCount = 0;
        int nPlaces = 0;  // distinct lines
        int nLastLine = 0;
        std::vector<int> lines;
        void Add(int nLine, int n = 1);
    };
    void NoteVersion(std::string_view version);
    void DropText();

    CTextRecords m_text;
    TextEncoding m_encoding = TextEncoding::kUtf8;
    bool m_bFileRead = false;
    char m_cLineEnd = '\n';
    // Header words; the English ones are the fallback when language.ini lacks a key.
    std::unique_ptr<qvxvcard::VCardWords> m_words;
    int m_nCards = 0;
    std::vector<Card> m_cards;
    std::vector<Column> m_columns;
    std::unordered_map<std::string, int> m_columnIndex;
    std::vector<std::string> m_versions;
    int m_nUnreadable = 0;
    std::vector<int> m_unreadableLines;
    int m_nMoreColumns = 0;
    Tally m_skippedLines;  // in readable cards
    Tally m_undecoded;     // values, by card
    Tally m_notKept;       // values, by card
};
