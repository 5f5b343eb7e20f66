// The main dialog's rules: from the wizard's state - the way, the CSV and
// mapping states, a running worker, last.db - follow which controls can be
// used and which info lines show. No window is involved: the dialog gathers
// the state, asks DescribeWizard and applies the answer.
#pragma once

#include <cstddef>
#include <ctime>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace qvxwizard {

inline constexpr int kWayNewDatabase = 0;
inline constexpr int kWayLastDatabase = 1;

// Everything the rules read; the dialog fills it in CurrentState. Facts that
// further info lines report - the character set the CSV file was read in,
// rows that do not fit its header, a ready mapping chosen by itself - belong
// here beside the state they explain; DescribeWizard turns them into lines
// whose keys are formats, with the fact as InfoLine::argument.
struct WizardState {
    int nMode = kWayNewDatabase;
    int nCSVState = 0;      // CsvState of import/AnalysisStep.h
    int nMappingState = 0;  // MappingState of import/AnalysisStep.h
    bool bBusy = false;     // a worker runs
    bool bLastDBFound = false;
    // When last.db was last changed, as far as it can be looked up now (it
    // may have vanished since bLastDBFound was set).
    std::optional<std::tm> lastDBModified;
    // The language key of the rule an incomplete mapping breaks
    // (FirstBrokenMappingRule), shown after the mapping line; null for none.
    const char* pszMappingRule = nullptr;
    // The name of the mapping the wizard chose by itself after the analysis,
    // because the chosen one did not fit; it replaces the line that says the
    // mapping fits.
    std::optional<std::string> autoChosenMapping;
    // No mapping of the list fits the analysed file (and none is selected):
    // the mapping line says what the user can do, naming the nearest
    // mapping, the start of a new one, when there is one.
    bool bNoMappingFits = false;
    std::optional<std::string> nearestMapping;
    // What reading the analysed CSV file found: the character set when it
    // was not UTF-8 (the name users know, empty for UTF-8), and the data rows
    // whose number of fields differs from the header's, with the file lines
    // on which the first of them start.
    std::string csvCharset;
    // A vCard file, with the versions its cards give ("2.1, 3.0").
    bool bVCard = false;
    std::string vcardVersions;
    int nMismatchedRows = 0;
    std::vector<int> mismatchedLines;
    // Further counts the reader gives (a vCard file's skipped lines, say):
    // texts for one and for several, and the lines of the first.
    struct ReaderNote {
        const char* pszKeyOne;
        const char* pszKeyMany;
        int nCount;
        std::vector<int> lines;
        int nPlaces;  // lines the counted things are on
    };
    std::vector<ReaderNote> readerNotes;
    // With a complete mapping: the rows that give no contact and the values
    // not stored, with the lines of the first rows.
    int nSkippedRows = 0;
    std::vector<int> skippedLines;
    int nValuesNotStored = 0;
    int nNotStoredRows = 0;
    std::vector<int> notStoredLines;
    // A file the user chose or dropped that is not taken, and why (a format
    // with one "%s" for the file); it replaces the line asking for a file.
    const char* pszCSVRefusal = nullptr;
    std::string refusedCSV;
};

// Which controls can be used. Help and the web address always can.
struct EnabledControls {
    bool bCsv = false;          // the CSV path field and its browse button
    bool bMapping = false;      // the mapping list, browsing and creating a mapping
    bool bEditMapping = false;  // editing the current mapping
    bool bComplete = false;
    bool bCancel = false;
    bool bNewDB = false;  // the two radio buttons of the ways
    bool bLastDB = false;
    bool operator==(const EnabledControls&) const = default;
};

// One line of an info text: a language key, shown as it stands or, with an
// argument, used as a format with one "%s" (FormatTextWithString), with a
// second argument too as one with two (FormatTextWithStrings). A time
// argument is first written with the text TimeFormat_DateAndTime.
struct InfoLine {
    const char* pszKey = nullptr;  // null: an empty line
    std::optional<std::string> argument;
    std::optional<std::tm> timeArgument;
    std::optional<std::string> secondArgument;
};

// Mismatched rows named in the info text, by the lines they start on.
inline constexpr size_t kMismatchedLinesShown = 5;

// "5, 9, 12": the first nShown of the lines that nCount rows start on, with
// ", …" when more rows were counted than are named.
std::string MismatchedLinesText(int nCount, const std::vector<int>& lines,
                                size_t nShown = kMismatchedLinesShown);

struct WizardView {
    EnabledControls enabled;
    std::vector<InfoLine> infoLines;           // the wizard's info text, lines joined by "\n"
    InfoLine lastDBLine;                       // the line beside the way "last database"
    const char* pszCompleteToolTip = nullptr;  // Complete's tool tip: what it does in this way
};

WizardView DescribeWizard(const WizardState& state);

// Looks a key up in the current language, cut as a buffer of nBufferSize
// bytes would cut it. The default is the language table.
using TextLookup = std::function<std::string(const char* pszKey, size_t nBufferSize)>;

// The info text as shown: each key's text at most 128 bytes, the whole at
// most 512 bytes.
std::string ComposeInfoText(const WizardView& view, const TextLookup& lookup = {});
// The line naming a contacts file that is not taken and why (a key of
// CImportSession::RefusalOf); a name not taken is told the extensions that
// are (import/ContactsFormats.h).
InfoLine RefusalLine(const char* pszKey, const std::string& path);
// One line's text, as the info text shows it.
std::string InfoLineText(const InfoLine& line, const TextLookup& lookup = {});
// The last-database line: its texts at most 260 bytes.
std::string ComposeLastDBText(const WizardView& view, const TextLookup& lookup = {});

// Why the analysis of a contacts file failed (nResult: a CSV_ERR_ code of
// import/ContactsReader.h), naming the file, at most 512 bytes. A file that
// could not be read is opened once more to learn why.
std::string AnalysisFailureText(int nResult, const std::string& path, const TextLookup& lookup = {});
// Why a file could not be opened or read (errno nError), as the end of a
// sentence in the current language.
std::string FileErrorText(int nError, const TextLookup& lookup = {});
// That the trace log cannot be written, and why.
std::string LogFailureText(const std::string& path, int nError, const TextLookup& lookup = {});
// "one contact with 3 details": each count with the form of its number;
// the counts are given as the dialog writes numbers too.
std::string DatabaseContentsText(long long nContacts, const std::string& contacts, long long nDetails,
                                 const std::string& details, const TextLookup& lookup = {});
// "on line 5" or "on lines 5, 9, …" for nCount rows starting on `lines`.
std::string OnLinesText(int nCount, const std::vector<int>& lines, const TextLookup& lookup = {});

}  // namespace qvxwizard
