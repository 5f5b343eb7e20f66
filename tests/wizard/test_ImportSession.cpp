// The import session as the wizard and qvxbuild run it: which mapping the
// list offers and the automatic choice takes, for shipped mappings and the
// user's own copies, and what an analysis keeps whatever runs after it.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "TestUtil.h"
#include "i18n/LanguageTable.h"
#include "platform/ProgramPath.h"
#include "wizard/ImportPreview.h"
#include "wizard/ImportSession.h"
#include "wizard/ImportSet.h"
#include "wizard/WizardState.h"

namespace {

namespace fs = std::filesystem;

const char kCsv[] =
    "Name;Firma;Telefon\r\n"
    "Anna Muster;Muster AG;0711 123456\r\n"
    "Bert Beispiel;Beispiel GmbH;089 987654\r\n";

// A mapping file of a header line and a code line.
std::string Mapping(const std::string& lines, const std::string& name) {
    return "Quorvex mapping file\r\n" + lines + "\r\nName:" + name + "\r\nDescription:d\r\n";
}
const std::string kFits = "\"Name\",\"Firma\",\"Telefon\"\r\n\"N\",\"C\",\"PD\"";
const std::string kFitsOther = "\"Name\",\"Firma\",\"Telefon\"\r\n\"N\",\"X\",\"PD\"";
// Made for another export: it names none of the file's columns.
const std::string kBroken = "\"Nom\",\"Societe\",\"Tel\"\r\n\"N\",\"C\",\"PD\"";

// Where a mapping file lies: shipped beside the program, or the user's own.
enum Where { kShipped, kUsers };
struct File {
    Where where;
    const char* pszName;
    const std::string* pCodes;
    const char* pszTitle;
};

struct Row {
    const char* pszWhat;
    std::vector<File> files;
    std::vector<std::string> labels;  // the list, in the order it shows
    const char* pszChosen;            // "<where>/<file>" the automatic choice takes
};

const Row kRows[] = {
    {"shipped only: the first that fits, by label",
     {{kShipped, "b.map", &kFits, "Beta"}, {kShipped, "a.map", &kBroken, "Alpha"}},
     {"Alpha [a.map]", "Beta [b.map]"},
     "shipped/b.map"},
    {"the user's copy replaces the shipped mapping of its name",
     {{kShipped, "g.map", &kFits, "Google"}, {kUsers, "g.map", &kFitsOther, "Google"}},
     {"Google [g.map, your version]"},
     "user/g.map"},
    {"a broken copy of the user's is not overruled by the shipped one",
     {{kShipped, "g.map", &kFits, "Google"},
      {kUsers, "g.map", &kBroken, "Google"},
      {kShipped, "z.map", &kFits, "Zeta"}},
     {"Google [g.map, your version]", "Zeta [z.map]"},
     "shipped/z.map"},
    {"the user's own mapping sorts in by its label",
     {{kShipped, "z.map", &kFits, "Zeta"}, {kUsers, "mine.map", &kFits, "alpha"}},
     {"alpha [mine.map]", "Zeta [z.map]"},
     "user/mine.map"},
};

// The analysis as the wizard and qvxbuild run it: the step, then its outcome applied.
struct Applied {
    int nResult;
    bool bListChanged;
};
Applied AnalyseAndApply(CImportSession& session) {
    AnalysisOutcome outcome = session.Analyse(true);
    const int nResult = outcome.nResult;
    return {nResult, session.ApplyAnalysis(std::move(outcome))};
}

class ImportSessionTest : public ::testing::Test {
protected:
    void SetUp() override {
        program = dir.File("program");
        fs::create_directories(program + "/mappings");
        qvxtest::WriteFile(program + "/" + qvxplatform::kInstalledMarker, "x\n");
        fs::copy_file(std::string(QVX_PROGRAM_DIR) + "/language.ini", program + "/language.ini");
        for (const char* name : {"HOME", "XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_STATE_HOME"})
            ::unsetenv(name);
        ::setenv("HOME", dir.File("home").c_str(), 1);
        ::setenv("XDG_DATA_HOME", dir.File("data").c_str(), 1);
        qvxplatform::SetProgramFolder(program);
        SetLanguageFile((program + "/language.ini").c_str());
        SetLanguage("English");
        users = qvxplatform::GetUserMappingFolder();
        qvxtest::WriteFile(dir.File("in.csv"), kCsv);
    }
    void TearDown() override { qvxplatform::SetProgramFolder(""); }
    std::string PathOf(Where where, const std::string& name) const {
        return (where == kShipped ? program + "/mappings/" : users + "/") + name;
    }

    qvxtest::TempDir dir;
    std::string program, users;
};

TEST_F(ImportSessionTest, ListAndAutomaticChoiceFollowTheShownOrder) {
    for (const Row& row : kRows) {
        SCOPED_TRACE(row.pszWhat);
        fs::remove_all(program + "/mappings");
        fs::remove_all(users);
        fs::create_directories(program + "/mappings");
        fs::create_directories(users);
        for (const File& file : row.files)
            qvxtest::WriteFile(PathOf(file.where, file.pszName), Mapping(*file.pCodes, file.pszTitle));

        CImportSession session(program);
        session.ListMappings();
        std::vector<std::string> labels;
        for (const MappingEntry& entry : session.Mappings())
            labels.push_back(CImportSession::MappingLabel(entry));
        EXPECT_EQ(labels, row.labels);

        ASSERT_EQ(session.SetCSVFile(dir.File("in.csv")), CSV_STATE_CHOSEN);
        ASSERT_EQ(AnalyseAndApply(session).nResult, 0);
        EXPECT_FALSE(session.AutoChosenName().empty());
        const std::string chosen(row.pszChosen);
        EXPECT_EQ(session.SelectedMapping(), PathOf(chosen.rfind("user/", 0) == 0 ? kUsers : kShipped,
                                                    chosen.substr(chosen.find('/') + 1)));
        EXPECT_EQ(session.MappingState(), MAPPING_STATE_COMPLETE);
    }
}

TEST_F(ImportSessionTest, SamplesStayAfterABuildAndAnotherMapping) {
    qvxtest::WriteFile(PathOf(kShipped, "a.map"), Mapping(kFits, "A"));
    qvxtest::WriteFile(PathOf(kShipped, "b.map"), Mapping(kFitsOther, "B"));
    CImportSession session(program);
    session.ListMappings();
    session.SetCSVFile(dir.File("in.csv"));
    session.SetMappingFile(PathOf(kShipped, "a.map"));
    ASSERT_EQ(AnalyseAndApply(session).nResult, 0);
    const std::vector<std::vector<std::string>> samples = session.ColumnSamples();
    ASSERT_EQ(samples.size(), 3u);
    EXPECT_EQ(samples[0], (std::vector<std::string>{"Anna Muster", "Bert Beispiel"}));

    // What a build does to the file's lines, then another mapping.
    CImportData import = session.ImportData();
    ASSERT_EQ(import.m_pCSVParser->ParseData(2), 0);
    import.m_pCSVParser->ReleaseLines();
    session.SetMappingFile(PathOf(kShipped, "b.map"));
    ASSERT_EQ(AnalyseAndApply(session).nResult, 0);
    EXPECT_EQ(session.ColumnSamples(), samples);

    // Another file that is not taken leaves nothing of the earlier one current.
    EXPECT_EQ(session.SetCSVFile(""), CSV_STATE_NONE);
    qvxwizard::WizardState state;
    session.Describe(state);
    EXPECT_EQ(state.nCSVState, CSV_STATE_NONE);
    EXPECT_FALSE(state.autoChosenMapping);
    EXPECT_TRUE(session.ColumnSamples().empty());
}

// A fresh file no mapping fits: the earlier mapping is dropped, not offered
// as if it fitted, and the nearest one is named; a mapping the user picks
// for the file afterwards stays, to be edited.
TEST_F(ImportSessionTest, NoMappingFitsDropsTheEarlierOneAndNamesTheNearest) {
    // Knows two of the three columns: not near (67 %).
    qvxtest::WriteFile(PathOf(kShipped, "a.map"), Mapping("\"Name\",\"Firma\"\r\n\"N\",\"C\"", "Two"));
    qvxtest::WriteFile(PathOf(kShipped, "b.map"), Mapping(kBroken, "Other"));
    CImportSession session(program);
    session.ListMappings();
    session.SetCSVFile(dir.File("in.csv"));
    session.SelectMapping(PathOf(kShipped, "b.map"));
    session.SetMappingFile(PathOf(kShipped, "b.map"));
    const Applied dropped = AnalyseAndApply(session);
    ASSERT_EQ(dropped.nResult, 0);
    EXPECT_TRUE(dropped.bListChanged);
    EXPECT_EQ(session.AutoChosenName(), "");
    EXPECT_TRUE(session.NoMappingFits());
    EXPECT_EQ(session.SelectedMapping(), "");
    EXPECT_EQ(session.MappingState(), MAPPING_STATE_NONE);
    EXPECT_EQ(session.Nearest().nIndex, -1);
    qvxwizard::WizardState state;
    session.Describe(state);
    EXPECT_TRUE(state.bNoMappingFits);
    EXPECT_FALSE(state.nearestMapping);
    EXPECT_EQ(session.NewMappingName(), "in");

    // Four of five columns known: near (80 %).
    qvxtest::WriteFile(dir.File("in4.csv"),
                       "Name;Firma;Telefon;Mobil;Fax\r\nAnna;ACME;0711 1;0171 2;0711 3\r\n");
    qvxtest::WriteFile(
        PathOf(kShipped, "c.map"),
        Mapping("\"Name\",\"Firma\",\"Telefon\",\"Mobil\"\r\n\"N\",\"C\",\"PD\",\"PD\"", "Three"));
    session.ListMappings();
    session.SetCSVFile(dir.File("in4.csv"));
    const Applied none = AnalyseAndApply(session);
    ASSERT_EQ(none.nResult, 0);
    EXPECT_FALSE(none.bListChanged);  // none was selected
    EXPECT_EQ(session.Nearest().path, PathOf(kShipped, "c.map"));
    EXPECT_EQ(session.Nearest().unknownHeaders, std::vector<std::string>{"Fax"});
    state = {};
    session.Describe(state);
    EXPECT_EQ(state.nearestMapping, "Three");
    EXPECT_EQ(session.NewMappingName(), "Three (in4)");

    // Picked by the user for this file: it stays, incomplete.
    session.SelectMapping(PathOf(kShipped, "c.map"));
    session.SetMappingFile(PathOf(kShipped, "c.map"));
    const Applied kept = AnalyseAndApply(session);
    ASSERT_EQ(kept.nResult, 0);
    EXPECT_FALSE(kept.bListChanged);
    EXPECT_FALSE(session.NoMappingFits());
    EXPECT_EQ(session.MappingState(), MAPPING_STATE_INCOMPLETE);
    EXPECT_EQ(session.SelectedMapping(), PathOf(kShipped, "c.map"));
}

}  // namespace

// A vCard file: a mapping of the user's own that fits comes first; else the
// built-in one, listed first under its name (a shipped mapping that fits
// the headers is made for CSV files and passed over); a CSV file then drops
// the built-in entry and its selection, and the mapping that fits it is
// applied, not left at "no usable mapping" while shown as selected.
TEST_F(ImportSessionTest, VCardFileTakesTheUsersOwnThenTheBuiltInMapping) {
    qvxtest::WriteFile(dir.File("in.vcf"),
                       "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Anna Muster\r\nTEL;TYPE=CELL:0171 1\r\nEND:VCARD\r\n"
                       "BEGIN:VCARD\r\nVERSION:2.1\r\nFN:Bert\r\nTEL;CELL:0171 2\r\n");
    const std::string kVCardFits = "\"Name\",\"VERSION\",\"Phone (mobile)\"\r\n\"N\",\"X\",\"PD\"";
    qvxtest::WriteFile(PathOf(kShipped, "a.map"), Mapping(kVCardFits, "Shipped"));
    qvxtest::WriteFile(PathOf(kShipped, "c.map"), Mapping(kFits, "For CSV"));
    for (const bool bUsersOwn : {true, false}) {
        SCOPED_TRACE(bUsersOwn ? "the user's own fits" : "only a shipped one fits");
        fs::remove_all(users);
        fs::create_directories(users);
        if (bUsersOwn) qvxtest::WriteFile(PathOf(kUsers, "mine.map"), Mapping(kVCardFits, "Mine"));
        CImportSession session(program);
        session.ListMappings();
        ASSERT_EQ(session.SetCSVFile(dir.File("in.vcf")), CSV_STATE_CHOSEN);
        const Applied vcard = AnalyseAndApply(session);
        ASSERT_EQ(vcard.nResult, 0);
        EXPECT_TRUE(vcard.bListChanged);
        EXPECT_EQ(session.MappingState(), MAPPING_STATE_COMPLETE);
        EXPECT_EQ(session.SelectedMapping(), bUsersOwn ? PathOf(kUsers, "mine.map") : "built-in:vcard");
        EXPECT_EQ(session.BuiltInMappingChosen(), !bUsersOwn);
        ASSERT_FALSE(session.Mappings().empty());
        EXPECT_EQ(CImportSession::MappingLabel(session.Mappings()[0]), "vCard (automatic)");
        EXPECT_EQ(session.FittingMappings()[0], "built-in:vcard");
        qvxwizard::WizardState state;
        session.Describe(state);
        EXPECT_EQ(state.autoChosenMapping, bUsersOwn ? "Mine" : "vCard (automatic)");
        EXPECT_EQ(state.vcardVersions, "3.0");
        EXPECT_EQ(state.nMismatchedRows, 1);  // the card cut off
        // Chosen again (after the editor was cancelled): applied, not read from a file.
        session.SelectMapping("built-in:vcard");
        session.SetMappingFile("built-in:vcard");
        ASSERT_EQ(AnalyseAndApply(session).nResult, 0);
        EXPECT_EQ(session.MappingState(), MAPPING_STATE_COMPLETE);

        ASSERT_EQ(session.SetCSVFile(dir.File("in.csv")), CSV_STATE_CHOSEN);
        const Applied csv = AnalyseAndApply(session);
        ASSERT_EQ(csv.nResult, 0);
        EXPECT_TRUE(csv.bListChanged);
        EXPECT_FALSE(session.Mappings()[0].bBuiltIn);
        EXPECT_FALSE(session.BuiltInMappingChosen());
        EXPECT_EQ(session.SelectedMapping(), PathOf(kShipped, "c.map"));
        EXPECT_EQ(session.MappingState(), MAPPING_STATE_COMPLETE);
        state = {};
        session.Describe(state);
        EXPECT_EQ(state.autoChosenMapping, "For CSV");
        EXPECT_FALSE(state.bNoMappingFits);
    }
}

// One rule in both layouts: for a vCard file a mapping of the user's own
// that fits comes first, then the built-in one; a shipped mapping is made
// for CSV headers and passed over, also where a portable folder keeps the
// user's own mappings beside the shipped ones.
TEST_F(ImportSessionTest, VCardPassesOverShippedMappingsInEitherLayout) {
    qvxtest::WriteFile(
        dir.File("in.vcf"),
        "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Anna Muster\r\nTEL;TYPE=CELL:0171 1\r\nEND:VCARD\r\n");
    const std::string kVCardFits = "\"Name\",\"VERSION\",\"Phone (mobile)\"\r\n\"N\",\"X\",\"PD\"";
    for (const bool bInstalled : {true, false}) {
        for (const bool bOwn : {true, false}) {
            SCOPED_TRACE(std::string(bInstalled ? "installed" : "portable") + (bOwn ? ", own mapping" : ""));
            fs::remove_all(program + "/mappings");
            fs::remove_all(users);
            fs::create_directories(program + "/mappings");
            fs::create_directories(users);
            if (bInstalled)
                qvxtest::WriteFile(program + "/" + qvxplatform::kInstalledMarker, "x\n");
            else
                fs::remove(program + "/" + qvxplatform::kInstalledMarker);
            ASSERT_EQ(qvxplatform::UserFilesBesideProgram(), !bInstalled);
            const std::string own = (bInstalled ? users : program + "/mappings") + "/mine.map";
            qvxtest::WriteFile(program + "/mappings/vcard-csv.map", Mapping(kVCardFits, "Shipped"));
            if (bOwn) qvxtest::WriteFile(own, Mapping(kVCardFits, "Mine"));

            CImportSession session(program);
            session.ListMappings();
            ASSERT_EQ(session.SetCSVFile(dir.File("in.vcf")), CSV_STATE_CHOSEN);
            ASSERT_EQ(AnalyseAndApply(session).nResult, 0);
            EXPECT_EQ(session.MappingState(), MAPPING_STATE_COMPLETE);
            EXPECT_EQ(session.SelectedMapping(), bOwn ? own : std::string("built-in:vcard"));
        }
    }
}

// The names the rule above tells shipped mappings by are those the program ships.
// Each file of a set keeps its own analysis and mapping; the set is complete
// only with every file, and its preview runs the ids on across the files.
TEST_F(ImportSessionTest, SetKeepsEachFilesMappingAndJoinsTheirContacts) {
    qvxtest::WriteFile(PathOf(kShipped, "a.map"), Mapping(kFits, "A"));
    qvxtest::WriteFile(dir.File("other.csv"), "Nom;Societe;Tel\r\nCamille;;01 23\r\n");
    CImportSet set(program);
    for (const char* name : {"in.csv", "other.csv"}) {
        set.Add(dir.File(name));
        CImportSession& session = set.At(set.Count() - 1);
        session.ApplyAnalysis(session.Analyse(true));
    }
    EXPECT_EQ(set.At(0).SelectedMapping(), PathOf(kShipped, "a.map"));
    EXPECT_EQ(set.At(1).MappingState(), MAPPING_STATE_NONE);
    EXPECT_FALSE(set.IsComplete());

    qvxtest::WriteFile(PathOf(kShipped, "b.map"), Mapping(kBroken, "B"));
    set.At(1).SetMappingFile(PathOf(kShipped, "b.map"));
    set.At(1).ApplyAnalysis(set.At(1).Analyse(true));
    ASSERT_TRUE(set.IsComplete());
    EXPECT_EQ(set.At(0).SelectedMapping(), PathOf(kShipped, "a.map"));
    EXPECT_EQ(set.Find(dir.File("other.csv")), 1);

    const std::unique_ptr<CImportPreview> pPreview = OpenImportPreview(set);
    ASSERT_TRUE(pPreview);
    ASSERT_EQ(pPreview->GetCount(), 3);
    CContactRow row;
    pPreview->Read(2, row);
    EXPECT_EQ(row.nKey, 2);
    EXPECT_EQ(row.contact.name, "Camille");
    EXPECT_EQ(pPreview->SourceAt(2).nFile, 1);
    EXPECT_EQ(pPreview->SourceAt(2).nLine, 2);
    EXPECT_EQ(pPreview->FileTallies()[1].nContacts, 1);
    EXPECT_EQ(set.ImportData().Files().size(), 2u);

    set.Remove(0);
    EXPECT_EQ(set.Count(), 1);
    EXPECT_EQ(set.At(0).CSVFile(), dir.File("other.csv"));
    EXPECT_TRUE(set.IsComplete());
}

TEST(ImportSessionShipped, ListNamesEveryShippedMapping) {
    std::vector<std::string> shipped;
    for (const auto& entry : fs::directory_iterator(std::string(QVX_PROGRAM_DIR) + "/mappings"))
        shipped.push_back(entry.path().filename().string());
    std::sort(shipped.begin(), shipped.end());
    std::vector<std::string> listed(std::begin(CImportSession::kShippedMappings),
                                    std::end(CImportSession::kShippedMappings));
    std::sort(listed.begin(), listed.end());
    EXPECT_EQ(shipped, listed);
}

namespace {

// The wizard names the lines of the rows whose values are not stored, and
// adds "…" only when more such rows exist than are named: three values in
// two rows are two rows, both named.
TEST_F(ImportSessionTest, ValuesNotStoredNameTheirRowsWithoutAnEllipsis) {
    qvxtest::WriteFile(dir.File("short.csv"),
                       "Name;Firma;Telefon\r\nAnna;A;n/a ::: x\r\nBert;B;0711 1\r\nCarl;C;-\r\n");
    qvxtest::WriteFile(dir.File("short.map"), Mapping(kFits, "Short"));
    CImportSession session(program);
    session.SetTallyRows(true);
    ASSERT_EQ(session.SetCSVFile(dir.File("short.csv")), CSV_STATE_CHOSEN);
    ASSERT_EQ(session.SetMappingFile(dir.File("short.map")), MAPPING_STATE_CHOSEN);
    AnalysisOutcome outcome = session.Analyse(false);
    ASSERT_EQ(outcome.nResult, 0);
    session.ApplyAnalysis(std::move(outcome));
    qvxwizard::WizardState state;
    session.Describe(state);
    ASSERT_EQ(state.nValuesNotStored, 3);
    const std::string info = qvxwizard::ComposeInfoText(qvxwizard::DescribeWizard(state));
    EXPECT_NE(info.find("2, 4"), std::string::npos) << info;
    EXPECT_EQ(info.find("\xe2\x80\xa6"), std::string::npos) << info;
}

}  // namespace
