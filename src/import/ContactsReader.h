// CContactsReader: what every reader of a contacts file offers its owner
// (CContactsFile). A reader reads the file once, holds its text, finds its
// records ("lines"), columns and the records it cannot read, and later
// makes the table's header row and data rows from the text it holds.
//
// A new format needs a reader of this kind and an entry in the list of
// formats (import/ContactsFormats.h); nothing else picks readers.
#pragma once

#include <string>
#include <vector>

#include "support/TextDecoding.h"

class CDataMap;

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

// Something a reader met that a user should hear of besides the records it
// could not read: how often, the lines of the records it concerns (the
// first CContactsReader::kUnreadableLinesKept) and the language texts that
// say it for one and for several (each with a count and a line list).
struct ReaderNotice {
    const char* keyOne;
    const char* keyMany;
    int nCount;
    std::vector<int> lines;
    // The lines (cards) the counted things are on: one card may hold several.
    int nPlaces;
};

class CContactsReader {
public:
    // Unreadable records are all counted; the lines of this many are kept.
    static constexpr int kUnreadableLinesKept = 10;

    virtual ~CContactsReader() = default;

    // Reads the file and finds its lines, columns and unreadable records.
    // The table may serve as scratch and is left reset. 0, CSV_ERR_SPLIT
    // (unreadable), CSV_ERR_NO_LINES or CSV_ERR_NO_SEPARATOR.
    virtual int Analyse(const char* pszPath, CDataMap& table) = 0;
    // The header texts into the table's header row; the callback is called
    // once. 0 or CSV_ERR_HEADER_TOO_LONG.
    virtual int ParseHeader(CDataMap& table, PARSE_CALLBACK pCallback, void* pContext) = 0;
    // One row per readable data record, keyed 0, 1, 2 ... after the rows the
    // table holds already (a second run adds none twice); the callback is
    // called once per record and stops the run with -1 (CSV_ERR_ABORTED).
    // Once the text is released only the steps are reported.
    virtual int ParseRows(CDataMap& table, PARSE_CALLBACK pCallback, void* pContext) = 0;
    // Gives back the text once the table holds every row.
    virtual void ReleaseText(CDataMap& table) = 0;

    // The format's name, as the list of formats has it ("csv", "vcard").
    virtual const char* FormatName() const = 0;
    // Whether the file could be read (also when the analysis failed later)
    // and the character set it was read in.
    virtual bool IsFileRead() const = 0;
    virtual TextEncoding GetEncoding() const = 0;
    // Records found, the header and unreadable ones included.
    virtual int GetLineCount() const = 0;
    virtual int GetColumnCount() const = 0;
    // Records that give no row, and the lines on which the first
    // kUnreadableLinesKept of them start.
    virtual int GetUnreadableCount() const = 0;
    virtual const std::vector<int>& GetUnreadableLines() const = 0;
    // What else the analysis met, in the format's own words; none for CSV.
    virtual std::vector<ReaderNotice> GetNotices() const { return {}; }
    // The texts that name unreadable records for one and for several,
    // null for the CSV words (rows that do not fit the header).
    virtual const char* UnreadableKeyOne() const { return nullptr; }
    virtual const char* UnreadableKeyMany() const { return nullptr; }
    // Field separator and quote character; 0 when the format has none.
    virtual char GetSeparator() const { return 0; }
    virtual char GetDelimiter() const { return 0; }
    // The format versions met, in the order first met ("2.1", "3.0").
    virtual const std::vector<std::string>& GetVersions() const {
        static const std::vector<std::string> none;
        return none;
    }

    // A mapping made for the file at hand, for formats whose headers no
    // mapping file can know beforehand. Fills the table's mapping row, name
    // and description; false when the format has none or the table's
    // columns are not the reader's.
    virtual bool HasBuiltInMapping() const { return false; }
    virtual bool ApplyBuiltInMapping(CDataMap& /*table*/) const { return false; }
};
