// CImportSession: one import from a contacts file, as the wizard and qvxbuild
// run it (the counterpart of CPhoneSession for the copy to the phone). It
// owns the parser and the table, the list of mappings of all mapping
// folders, the chosen CSV and mapping files with their states, and runs the
// analysis step: analyse the file, apply the chosen mapping and, when that
// does not make the file complete, take the first mapping of the list that
// does. For a vCard file that is a fitting mapping of the user's own, else
// the built-in vCard mapping (made for the file, listed while such a file
// is analysed, keyed kVCardMappingKey). What the analysis found - the
// table, the sample values, the broken rule, the character set and the rows
// that do not fit - stays readable until another file is chosen. Analyse
// returns what it found; one call, ApplyAnalysis, takes it over.
//
// Threads: Analyse may run on a worker's thread while the owner only reads
// the states; it changes only the parser and the table. Everything else,
// ApplyAnalysis included, runs on the owner's thread while no analysis runs.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "database/CreateDBThread.h"
#include "import/AnalysisStep.h"
#include "import/ContactRules.h"
#include "import/ContactsFile.h"
#include "import/DataMap.h"
#include "import/ImportRows.h"
#include "import/NearestMapping.h"

namespace qvxwizard {
struct WizardState;
}

// What one analysis found, for ApplyAnalysis.
struct AnalysisOutcome {
    // -1 when the CSV analysis failed, else 0.
    int nResult = 0;
    // The parser's results of reading the file and of applying a mapping
    // file (CSV_ERR_MAPPING_PATH when none could be applied).
    int nAnalysisResult = 0;
    int nMappingResult = 0;
    int nCSVState = 0;
    int nMappingState = 0;
    const char* pszBrokenRule = nullptr;
    // The mapping the automatic choice took ("" for none).
    std::string autoChosenPath;
    // A fresh file that no mapping of the list fits, and the nearest one.
    bool bNoneFits = false;
    NearestMapping nearest;
    bool bTallied = false;
    ImportTally tally;
    bool bNewSamples = false;
    std::vector<std::vector<std::string>> samples;
};

// One entry of the mapping list.
struct MappingEntry {
    std::string fileName;     // file name without folder, shown in the label
    std::string path;         // full path; the entry's key
    std::string name;         // mapping name from the file
    std::string description;  // mapping description from the file
    // The user's own copy of a shipped mapping of the same file name, which
    // it replaces in the list.
    bool bUsersCopy = false;
    // The built-in vCard mapping: made for the file, never read from one.
    bool bBuiltIn = false;
};

class CImportSession {
public:
    // Labels of the mapping list are cut to this many characters.
    static constexpr size_t kMaxMappingLabel = 86;

    // The mapping files the program ships in its "mappings" folder.
    static constexpr const char* kShippedMappings[] = {"Beispielkontakte.map", "google-contacts-older.map",
                                                       "google-contacts.map",  "outlook-csv.map",
                                                       "outlook-de.map",       "outlook-en.map",
                                                       "thunderbird-de.map",   "thunderbird.map",
                                                       "vcard-csv.map"};

    // The key of the built-in vCard mapping in the list and as the selected
    // mapping; no file path (those start with '/').
    static constexpr const char* kVCardMappingKey = "built-in:vcard";
    static bool IsBuiltIn(const std::string& path) { return path == kVCardMappingKey; }

    // `programFolder` holds the shipped mappings in "mappings".
    explicit CImportSession(std::string programFolder);

    // The mapping list: the mappings of all mapping folders (the shipped
    // ones, then the user's own, whose copy of a shipped file replaces it),
    // in the order the list shows them (by label); the automatic choice
    // follows that order.
    void ListMappings();
    const std::vector<MappingEntry>& Mappings() const { return m_mappings; }
    // The folders listed, for messages ("A and B").
    std::string MappingFoldersText() const;
    // Adds a mapping file (browsed, dropped, saved by the editor) or updates
    // the entry of its path; the name and description are read from the file
    // unless given. Makes it the selected one. False when it cannot be read.
    bool AddMapping(const std::string& path, const std::string* pName = nullptr,
                    const std::string* pDescription = nullptr);
    // "Name [file.map]", marked when it is the user's copy, cut to kMaxMappingLabel characters.
    static std::string MappingLabel(const MappingEntry& entry);
    // The folder new and edited mappings are saved in, with a trailing '/'.
    std::string UserMappingFolder() const;
    // Where the editor saves `path`: a shipped mapping of an installed
    // program goes to the user's folder under its own file name.
    std::string EditTarget(const std::string& path) const;

    // The CSV file: CSV_STATE_CHOSEN when the parser takes the path, else
    // CSV_STATE_NONE with the path emptied (the parser's result is then
    // CSV_ERR_CSV_PATH). Another file drops what the analysis of the earlier
    // one found.
    int SetCSVFile(const std::string& path);
    // The mapping file selected in the list (may be unusable) and the one
    // the parser applies: MAPPING_STATE_CHOSEN when it takes the path.
    void SelectMapping(const std::string& path) { m_selectedMapping = path; }
    // kVCardMappingKey chooses the built-in vCard mapping (chosen too; it
    // applies to vCard files only).
    int SetMappingFile(const std::string& path);
    bool BuiltInMappingChosen() const { return m_bBuiltIn; }
    // Whether the analysed file is a vCard file, and its versions ("2.1, 3.0").
    bool IsVCard() const { return m_parser.Reader() != nullptr && m_parser.Reader()->HasBuiltInMapping(); }
    std::string VCardVersions() const;
    const std::string& CSVFile() const { return m_csvFile; }
    const std::string& SelectedMapping() const { return m_selectedMapping; }
    int CSVState() const { return m_nCSVState.load(); }
    int MappingState() const { return m_nMappingState.load(); }

    // The analysis step (see AnalyzeCSVFile), with the automatic choice of
    // a fitting mapping of the list when bChooseFitting.
    AnalysisOutcome Analyse(bool bChooseFitting);
    // Takes over what Analyse found, on the owner's thread: the states, the
    // automatic choice (made the selected mapping), the built-in mapping
    // listed while a vCard file is analysed, and a freshly chosen file that
    // no mapping fits dropping the earlier, unrelated mapping. True when the
    // list or its selection changed.
    bool ApplyAnalysis(AnalysisOutcome outcome);
    // The name of the mapping the last analysis took by itself ("" for none).
    const std::string& AutoChosenName() const { return m_autoChosenName; }
    // Before an analysis runs on a worker: the earlier choice's name no longer shows.
    void ForgetChosenName();

    // A freshly chosen file that no mapping of the list fits: nothing is
    // offered by itself then, only the nearest mapping named (nIndex -1 for
    // none) as the start of a new one.
    bool NoMappingFits() const { return m_bNoneFits; }
    const NearestMapping& Nearest() const { return m_nearest; }
    // The nearest mapping of the list to the analysed file.
    NearestMapping FindNearest();
    // A name for a new mapping of the analysed file: the nearest mapping's
    // name with the file's, or the file's alone.
    std::string NewMappingName() const;

    // What the analysis found.
    const CContactsFile& Parser() const { return m_parser; }
    const CDataMap& Table() const { return m_table; }
    // The table for the mapping editor, which changes its mapping row.
    CDataMap& Table() { return m_table; }
    // The paths of the list's mappings that fit the analysed file, in list
    // order; for a vCard file the built-in mapping's key first.
    std::vector<std::string> FittingMappings();
    // Sample values are taken by a fresh analysis unless turned off (qvxbuild shows none).
    void SetCollectSamples(bool bCollect) { m_bCollectSamples = bCollect; }
    const std::vector<std::vector<std::string>>& ColumnSamples() const { return m_columnSamples; }
    // The key of the rule an incomplete mapping breaks, or null.
    const char* BrokenRule() const { return m_pszBrokenRule.load(); }
    // Fills the import's part of the wizard's state.
    void Describe(qvxwizard::WizardState& state) const;

    // With tallying on, an analysis that leaves the mapping complete also
    // parses the rows and counts what they give (rows skipped, values not
    // stored), taken over with ApplyAnalysis; null when there is no tally
    // of the current file and mapping.
    void SetTallyRows(bool bTally) { m_bTallyRows = bTally; }
    const ImportTally* Tally() const { return m_bTallied ? &m_tally : nullptr; }

    // The rows step (MakeImportRows) a build takes first, for the counts and
    // the preview without a build. 0 on success.
    int ParseRows() { return MakeImportRows(m_parser); }

    // What a build is lent: the parser and the table.
    CImportData ImportData() { return CImportData{&m_table, &m_parser}; }

    // The user's last.db when it can be read, else "".
    static std::string FindLastDB();
    // Whether the file can be opened for reading (logged when not).
    static bool IsReadableFile(const std::string& path);
    // Why a contacts file is not taken, as a key of language.ini, or null:
    // its name has no extension of the list of formats, or it cannot be read.
    static const char* RefusalOf(const std::string& path);
    // The refusal in the current language: the file and, for a name not
    // taken, the extensions that are.
    static std::string RefusalText(const char* pszKey, const std::string& path);

private:
    void ChooseFittingMapping(int& nMapping, std::string& chosenPath);
    bool ApplyBuiltIn(int& nMapping);
    // A mapping shipped with the program, not one of the user's own.
    bool IsShippedMapping(const std::string& path) const;
    // The built-in mapping is listed (first) while a vCard file is analysed.
    bool ListBuiltInMapping();
    void SortMappings();

    std::string m_programFolder;
    CContactsFile m_parser;
    CDataMap m_table;
    std::vector<MappingEntry> m_mappings;
    std::string m_csvFile;
    std::string m_selectedMapping;
    std::string m_parserMapping;
    bool m_bBuiltIn = false;  // the parser's mapping is the built-in one
    std::atomic<int> m_nCSVState{CSV_STATE_NONE};
    std::atomic<int> m_nMappingState{MAPPING_STATE_NONE};
    std::atomic<const char*> m_pszBrokenRule{nullptr};
    std::vector<std::vector<std::string>> m_columnSamples;
    bool m_bCollectSamples = true;
    std::string m_autoChosenName;
    bool m_bNoneFits = false;
    NearestMapping m_nearest;
    bool m_bTallyRows = false;
    bool m_bTallied = false;
    ImportTally m_tally;
};
