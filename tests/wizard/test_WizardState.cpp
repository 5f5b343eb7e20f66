// The main dialog's rules as a table: the enabled controls for every row of
// the rules, and the info text for every pair of CSV and mapping states.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include "TestUtil.h"
#include "i18n/TextKeys.h"
#include "import/ContactsReader.h"
#include "wizard/WizardState.h"

using qvxwizard::ComposeInfoText;
using qvxwizard::ComposeLastDBText;
using qvxwizard::DescribeWizard;
using qvxwizard::WizardState;

namespace {

// Texts are their keys, so that the expected info texts read as key lists.
std::string KeyItself(const char* pszKey, size_t) {
    return pszKey;
}

WizardState State(int nMode, int nCsv, int nMapping, bool bBusy, bool bFound) {
    WizardState state;
    state.nMode = nMode;
    state.nCSVState = nCsv;
    state.nMappingState = nMapping;
    state.bBusy = bBusy;
    state.bLastDBFound = bFound;
    return state;
}

// Enabled states in the order: CSV row, mapping row, edit mapping, Complete,
// Cancel, radio "new database", radio "last database".
std::string Enabled(const WizardState& state) {
    const qvxwizard::EnabledControls on = DescribeWizard(state).enabled;
    std::string s;
    for (bool b : {on.bCsv, on.bMapping, on.bEditMapping, on.bComplete, on.bCancel, on.bNewDB, on.bLastDB})
        s += b ? '1' : '0';
    return s;
}

struct EnabledRow {
    const char* pszWhat;
    int nMode, nCsv, nMapping;
    bool bBusy, bFound;
    const char* pszExpected;
};

const EnabledRow kEnabledRows[] = {
    // A running worker turns everything off, whatever else holds.
    {"busy", 0, 2, 2, true, true, "0000000"},
    {"busy, last database", 1, 0, 0, true, true, "0000000"},
    {"busy, nothing chosen", 0, 0, 0, true, false, "0000000"},
    // The way "last database": Complete, Cancel and the radios.
    {"last database", 1, 0, 0, false, true, "0001111"},
    {"last database over a ready file", 1, 2, 2, false, true, "0001111"},
    {"last database without last.db", 1, 2, 3, false, false, "0001110"},
    // No analysed CSV file: only the CSV row.
    {"no CSV file", 0, 0, 0, false, false, "1000110"},
    {"no CSV file, mapping chosen", 0, 0, 1, false, true, "1000111"},
    {"CSV file being read", 0, 1, 2, false, true, "1000111"},
    // Analysed, but no usable mapping: another file or mapping can be chosen
    // or a new one created; only editing and Complete stay off.
    {"no usable mapping", 0, 2, 0, false, false, "1100110"},
    {"no usable mapping, last.db", 0, 2, 0, false, true, "1100111"},
    // Otherwise everything, Complete only for a complete mapping.
    {"mapping chosen", 0, 2, 1, false, true, "1110111"},
    {"mapping complete", 0, 2, 2, false, true, "1111111"},
    {"mapping complete, no last.db", 0, 2, 2, false, false, "1111110"},
    {"mapping incomplete", 0, 2, 3, false, true, "1110111"},
};

TEST(WizardState, EnabledControlsFollowTheRules) {
    for (const EnabledRow& row : kEnabledRows) {
        SCOPED_TRACE(row.pszWhat);
        EXPECT_EQ(Enabled(State(row.nMode, row.nCsv, row.nMapping, row.bBusy, row.bFound)), row.pszExpected);
    }
}

TEST(WizardState, EnabledControlsOverEveryCombination) {
    for (int nMode : {0, 1})
        for (int nCsv = 0; nCsv <= 2; ++nCsv)
            for (int nMapping = 0; nMapping <= 3; ++nMapping)
                for (bool bBusy : {false, true})
                    for (bool bFound : {false, true}) {
                        const WizardState state = State(nMode, nCsv, nMapping, bBusy, bFound);
                        SCOPED_TRACE(testing::Message() << nMode << nCsv << nMapping << bBusy << bFound);
                        const std::string enabled = Enabled(state);
                        if (bBusy) {
                            EXPECT_EQ(enabled, "0000000");
                            continue;
                        }
                        // Cancel and the radio of the new way always; the
                        // other radio exactly when last.db was found.
                        EXPECT_EQ(enabled.substr(4), bFound ? "111" : "110");
                        // Complete needs a way that can be completed.
                        EXPECT_EQ(enabled[3] == '1', nMode == 1 || (nCsv == 2 && nMapping == 2));
                        // Editing a mapping needs an analysed file and a mapping.
                        EXPECT_EQ(enabled[2] == '1', nMode == 0 && nCsv == 2 && nMapping != 0);
                    }
}

struct InfoRow {
    int nCsv, nMapping;
    std::string expected;
};

TEST(WizardState, InfoTextForEveryCsvAndMappingState) {
    using namespace qvxtext;
    const std::string noCsv = std::string(kMainDlg_Info_NoCSVFile) + "\n";
    const std::string reading = std::string(kMainDlg_Info_ReadCSVFile) + "\n";
    const std::string read = std::string(kMainDlg_Info_CSVFileOK) + "\n";
    const InfoRow rows[] = {
        // Without a CSV file the first line only, whatever the mapping state.
        {0, 0, noCsv},
        {0, 1, noCsv},
        {0, 2, noCsv},
        {0, 3, noCsv},
        {1, 0, reading + kMainDlg_Info_MappingFileNotOK},
        {1, 1, reading + kMainDlg_Info_ReadMappingFile},
        {1, 2, reading + kMainDlg_Info_MappingFileOK},
        {1, 3, reading + kMainDlg_Info_MappingIncomplete},
        {2, 0, read + kMainDlg_Info_MappingFileNotOK},
        {2, 1, read + kMainDlg_Info_ReadMappingFile},
        {2, 2, read + kMainDlg_Info_MappingFileOK + "\n" + kMainDlg_Info_ReadyToComplete},
        {2, 3, read + kMainDlg_Info_MappingIncomplete},
        // States out of range show empty lines rather than a wrong text.
        {5, 2, "\n" + std::string(kMainDlg_Info_MappingFileOK)},
        {2, -1, read},
    };
    for (const InfoRow& row : rows) {
        SCOPED_TRACE(testing::Message() << "CSV " << row.nCsv << ", mapping " << row.nMapping);
        // In the way "new database" neither a running worker nor last.db
        // changes the info text.
        for (bool bBusy : {false, true})
            for (bool bFound : {false, true}) {
                const qvxwizard::WizardView view =
                    DescribeWizard(State(0, row.nCsv, row.nMapping, bBusy, bFound));
                EXPECT_EQ(ComposeInfoText(view, KeyItself), row.expected);
                EXPECT_STREQ(view.pszCompleteToolTip, qvxtext::kMainDlg_ButtonToolTip_Complete);
            }
    }
}

TEST(WizardState, IncompleteSaysWhyAndAChosenMappingIsNamed) {
    using namespace qvxtext;
    const std::string read = std::string(kMainDlg_Info_CSVFileOK) + "\n";
    WizardState state = State(0, 2, 3, false, false);
    state.pszMappingRule = kMappingDlg_Info_ToMany_Company;
    state.autoChosenMapping = "Outlook (English)";  // only for a complete mapping
    EXPECT_EQ(ComposeInfoText(DescribeWizard(state), KeyItself),
              read + kMainDlg_Info_MappingIncomplete + "\n" + kMappingDlg_Info_ToMany_Company);

    // The chosen mapping's line takes the place of "the mapping fits"; its
    // name is an argument, not a format.
    const auto format = [](const char* pszKey, size_t) {
        return pszKey == std::string(kMainDlg_Info_MappingChosen) ? std::string("took %s")
                                                                  : std::string(pszKey);
    };
    state.nMappingState = 2;
    state.autoChosenMapping = "50 %s";
    EXPECT_EQ(ComposeInfoText(DescribeWizard(state), format),
              read + "took 50 %s\n" + kMainDlg_Info_ReadyToComplete);
    // The rule only with an incomplete mapping, the name only with a complete one.
    for (int nMapping : {0, 1, 3}) {
        state.nMappingState = nMapping;
        state.pszMappingRule = nMapping == 3 ? nullptr : kMappingDlg_Info_No_Name;
        EXPECT_EQ(ComposeInfoText(DescribeWizard(state), KeyItself).find("took"), std::string::npos);
        EXPECT_EQ(ComposeInfoText(DescribeWizard(state), KeyItself).find(kMappingDlg_Info_No_Name),
                  std::string::npos);
    }
    // Not while the file is being read, nor in the way "last database".
    state = State(0, 1, 3, false, false);
    state.pszMappingRule = kMappingDlg_Info_Empty_Entry;
    EXPECT_EQ(ComposeInfoText(DescribeWizard(state), KeyItself),
              std::string(kMainDlg_Info_ReadCSVFile) + "\n" + kMainDlg_Info_MappingIncomplete);
    state.nMode = 1;
    EXPECT_EQ(ComposeInfoText(DescribeWizard(state), KeyItself), kMainDlg_Info_SendLastDB);

    // No mapping fits: what to do, with the nearest mapping as an argument.
    state = State(0, 2, 0, false, false);
    state.bNoMappingFits = true;
    EXPECT_EQ(ComposeInfoText(DescribeWizard(state), KeyItself), read + kMainDlg_Info_NoMappingFits);
    state.nearestMapping = "Google";
    EXPECT_EQ(DescribeWizard(state).infoLines[1].argument, "Google");
    EXPECT_STREQ(DescribeWizard(state).infoLines[1].pszKey, kMainDlg_Info_NearestMapping);
}

TEST(WizardState, LastDatabaseWaySaysThatCompleteSends) {
    for (int nCsv = 0; nCsv <= 2; ++nCsv)
        for (int nMapping = 0; nMapping <= 3; ++nMapping)
            for (bool bFound : {false, true}) {
                SCOPED_TRACE(testing::Message() << nCsv << nMapping << bFound);
                const qvxwizard::WizardView view = DescribeWizard(State(1, nCsv, nMapping, false, bFound));
                EXPECT_EQ(ComposeInfoText(view, KeyItself), qvxtext::kMainDlg_Info_SendLastDB);
                // Nor does Complete's tool tip speak of building.
                EXPECT_STREQ(view.pszCompleteToolTip, qvxtext::kMainDlg_ButtonToolTip_CompleteLastDB);
            }
}

TEST(WizardState, InfoTextsAreCutAsTheirBuffers) {
    std::vector<size_t> sizes;
    // A language file with overlong texts: each is cut to its buffer.
    auto longTexts = [&sizes](const char* pszKey, size_t nSize) {
        sizes.push_back(nSize);
        return std::string(nSize - 1,
                           pszKey == std::string(qvxtext::kMainDlg_Info_LastDB_NotFound) ? 'n' : 'x');
    };
    const qvxwizard::WizardView view = DescribeWizard(State(0, 2, 2, false, false));
    EXPECT_EQ(ComposeInfoText(view, longTexts),
              std::string(128, 'x') + "\n" + std::string(128, 'x') + "\n" + std::string(128, 'x'));
    EXPECT_EQ(sizes, (std::vector<size_t>{129, 129, 129}));
    EXPECT_EQ(ComposeLastDBText(view, longTexts), std::string(260, 'n'));
}

TEST(WizardState, LastDatabaseLine) {
    WizardState state = State(0, 0, 0, false, true);
    // Found at the last check, but gone since: not found.
    EXPECT_EQ(ComposeLastDBText(DescribeWizard(state), KeyItself), qvxtext::kMainDlg_Info_LastDB_NotFound);

    std::tm modified{};
    modified.tm_year = 2026 - 1900;
    modified.tm_mon = 11;
    modified.tm_mday = 7;
    modified.tm_hour = 9;
    modified.tm_min = 5;
    state.lastDBModified = modified;
    auto texts = [](const char* pszKey, size_t) -> std::string {
        if (pszKey == std::string(qvxtext::kMainDlg_Info_LastDB)) return "Built on %s.";
        if (pszKey == std::string(qvxtext::kTimeFormat_DateAndTime)) return "%d.%m.%Y %H:%M";
        return "?";
    };
    EXPECT_EQ(ComposeLastDBText(DescribeWizard(state), texts), "Built on 07.12.2026 09:05.");

    // Formats from the language file are never used unchecked.
    auto broken = [](const char* pszKey, size_t) -> std::string {
        if (pszKey == std::string(qvxtext::kMainDlg_Info_LastDB)) return "Built %s %n %s";
        return "%Y|%n|%Q";
    };
    EXPECT_EQ(ComposeLastDBText(DescribeWizard(state), broken), "Built %s %n %s");
    auto brokenTime = [](const char* pszKey, size_t) -> std::string {
        if (pszKey == std::string(qvxtext::kMainDlg_Info_LastDB)) return "Built: %s";
        return "%Y|%n|%Q";
    };
    EXPECT_EQ(ComposeLastDBText(DescribeWizard(state), brokenTime), "Built: 2026|%n|%Q");
}

}  // namespace

namespace {

// What reading the file found stands right below the line that it was read,
// and only once it is analysed.
TEST(WizardState, ReadingLinesNameCharacterSetAndMismatchedRows) {
    using namespace qvxtext;
    auto texts = [](const char* pszKey, size_t) -> std::string {
        const std::string key = pszKey;
        if (key == kMainDlg_Info_ReadAs) return "as %s";
        if (key == kMainDlg_Info_RowMismatched) return "one at %s";
        if (key == kMainDlg_Info_RowsMismatched) return "%s at %s";
        return key;
    };
    WizardState state = State(0, 2, 2, false, false);
    state.csvCharset = "Windows-1252";
    state.nMismatchedRows = 12;
    state.mismatchedLines = {5, 9, 12, 15, 18, 21, 24, 27, 30, 33};
    const std::string tail = std::string(kMainDlg_Info_MappingFileOK) + "\n" + kMainDlg_Info_ReadyToComplete;
    EXPECT_EQ(ComposeInfoText(DescribeWizard(state), texts),
              std::string(kMainDlg_Info_CSVFileOK) + "\nas Windows-1252\n12 at 5, 9, 12, 15, 18, …\n" + tail);

    state.csvCharset.clear();
    state.nMismatchedRows = 3;
    state.mismatchedLines = {5, 9, 12};
    EXPECT_EQ(ComposeInfoText(DescribeWizard(state), texts),
              std::string(kMainDlg_Info_CSVFileOK) + "\n3 at 5, 9, 12\n" + tail);
    state.nMismatchedRows = 1;
    state.mismatchedLines = {7};
    state.nMappingState = 0;
    EXPECT_EQ(ComposeInfoText(DescribeWizard(state), texts),
              std::string(kMainDlg_Info_CSVFileOK) + "\none at 7\n" + kMainDlg_Info_MappingFileNotOK);

    // A UTF-8 file that fits its header adds nothing; nor does a file not
    // analysed yet, nor the way "last database".
    state.nMismatchedRows = 0;
    state.mismatchedLines.clear();
    EXPECT_EQ(ComposeInfoText(DescribeWizard(state), texts),
              std::string(kMainDlg_Info_CSVFileOK) + "\n" + kMainDlg_Info_MappingFileNotOK);
    state.csvCharset = "UTF-16LE";
    state.nMismatchedRows = 2;
    state.nCSVState = 1;
    EXPECT_EQ(ComposeInfoText(DescribeWizard(state), texts),
              std::string(kMainDlg_Info_ReadCSVFile) + "\n" + kMainDlg_Info_MappingFileNotOK);
    state.nCSVState = 2;
    state.nMode = 1;
    EXPECT_EQ(ComposeInfoText(DescribeWizard(state), texts), kMainDlg_Info_SendLastDB);
}

}  // namespace

namespace {

// A failed analysis names the file and why, in words: a missing file, a
// folder, a file without separators; never the parser's result code.
TEST(WizardState, AnalysisFailureNamesTheFileAndWhy) {
    using namespace qvxtext;
    using qvxwizard::AnalysisFailureText;
    auto texts = [](const char* pszKey, size_t) -> std::string {
        const std::string key = pszKey;
        if (key == kMsg_File_NotFound) return "missing %s";
        if (key == kMsg_File_Unreadable) return "unreadable %s: %s";
        if (key == kMsg_File_Empty) return "empty %s";
        if (key == kMsg_File_NoSeparator) return "no separator in %s";
        if (key == kMsg_File_HeaderTooLong) return "long header in %s";
        if (key == kMsg_File_PathTooLong) return "long path %s";
        return key;
    };
    qvxtest::TempDir dir;
    const std::string gone = dir.File("gone.csv");
    EXPECT_EQ(AnalysisFailureText(CSV_ERR_SPLIT, gone, texts), "missing " + gone);
    const std::string file = dir.File("file.csv");
    qvxtest::WriteFile(file, "Name;Firma\r\n");
    EXPECT_EQ(AnalysisFailureText(CSV_ERR_SPLIT, file + "/x.csv", texts), "missing " + file + "/x.csv");
    ASSERT_EQ(mkdir(dir.File("folder.csv").c_str(), 0700), 0);
    EXPECT_EQ(AnalysisFailureText(CSV_ERR_SPLIT, dir.File("folder.csv"), texts),
              "unreadable " + dir.File("folder.csv") + ": " + kFileReason_Folder);
    // Readable now: the reader ran out of room.
    EXPECT_EQ(AnalysisFailureText(CSV_ERR_SPLIT, file, texts),
              "unreadable " + file + ": " + kFileReason_TooLarge);
    EXPECT_EQ(AnalysisFailureText(CSV_ERR_NO_LINES, file, texts), "empty " + file);
    EXPECT_EQ(AnalysisFailureText(CSV_ERR_NO_SEPARATOR, file, texts), "no separator in " + file);
    EXPECT_EQ(AnalysisFailureText(CSV_ERR_HEADER_TOO_LONG, file, texts), "long header in " + file);
    EXPECT_EQ(AnalysisFailureText(CSV_ERR_CSV_PATH, "", texts), kMainDlg_Info_NoCSVFile);
    const std::string longPath(300, 'x');
    EXPECT_EQ(AnalysisFailureText(CSV_ERR_CSV_PATH, longPath, texts), "long path " + longPath);
    // A reason without a text of its own is the system's.
    EXPECT_EQ(qvxwizard::FileErrorText(EIO, texts), strerror(EIO));
}

// A vCard file is called by its own name, also when its cards give no
// version; several values of one row name one line.
TEST(WizardState, VCardTextsAndValuesOfOneRow) {
    using namespace qvxtext;
    auto texts = [](const char* pszKey, size_t) -> std::string {
        const std::string key = pszKey;
        if (key == kVCard_Info_ReadAs) return "vCard %s";
        if (key == kMainDlg_Info_ValuesNotStored) return "%s values, lines %s";
        if (key == kMainDlg_Info_ValuesNotStoredInRow) return "%s values, line %s";
        if (key == kVCard_Info_ValuesNotDecoded) return "%s not decoded, cards %s";
        return key;
    };
    WizardState state = State(0, 2, 2, false, false);
    state.bVCard = true;
    EXPECT_EQ(ComposeInfoText(DescribeWizard(state), texts), std::string(kVCard_Info_Read) + "\n" +
                                                                 kVCard_Info_MappingFileOK + "\n" +
                                                                 kMainDlg_Info_ReadyToComplete);
    state.vcardVersions = "2.1, 3.0";
    state.nValuesNotStored = 3;
    state.nNotStoredRows = 1;
    state.notStoredLines = {5};
    EXPECT_EQ(ComposeInfoText(DescribeWizard(state), texts),
              std::string("vCard 2.1, 3.0\n") + kVCard_Info_MappingFileOK + "\n3 values, line 5\n" +
                  kMainDlg_Info_ReadyToComplete);
    state.nNotStoredRows = 2;
    state.notStoredLines = {5, 8};
    EXPECT_EQ(ComposeInfoText(DescribeWizard(state), texts),
              std::string("vCard 2.1, 3.0\n") + kVCard_Info_MappingFileOK + "\n3 values, lines 5, 8\n" +
                  kMainDlg_Info_ReadyToComplete);
    // Two values not decoded on one card: its line alone, without a "..."
    // that would promise more cards.
    state.readerNotes.push_back({kVCard_Info_ValueNotDecoded, kVCard_Info_ValuesNotDecoded, 2, {21}, 1});
    EXPECT_NE(ComposeInfoText(DescribeWizard(state), texts).find("\n2 not decoded, cards 21\n"),
              std::string::npos)
        << ComposeInfoText(DescribeWizard(state), texts);
    state.readerNotes.clear();
    // An incomplete mapping of a vCard file keeps its own line.
    state.nMappingState = 3;
    EXPECT_EQ(ComposeInfoText(DescribeWizard(state), texts),
              std::string("vCard 2.1, 3.0\n") + kMainDlg_Info_MappingIncomplete);
}

}  // namespace
