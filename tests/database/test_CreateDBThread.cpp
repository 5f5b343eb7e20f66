#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <mutex>
#include <string>
#include <vector>

#include "DbTestUtil.h"
#include "TestUtil.h"
#include "database/CreateDBThread.h"
#include "i18n/LanguageTable.h"
#include "i18n/TextKeys.h"
#include "import/AnalysisStep.h"
#include "import/ContactsFile.h"
#include "import/DataMap.h"
#include "platform/ProgramPath.h"
#include "threads/CallbackReceiver.h"

namespace {

namespace fs = std::filesystem;

// Records the worker's reports; can raise a stop request at a chosen step.
class Recorder : public CCallbackReceiver {
public:
    int OnReceiveCallback(unsigned code, void* param) override {
        std::lock_guard<std::mutex> lock(m_lock);
        codes.push_back(code);
        if (code == CB::SET_RANGE && param) total = *static_cast<int*>(param);
        if (code == CB::INFO_TEXT && param) texts.push_back(static_cast<const char*>(param));
        if (code == CB::STEP) {
            ++steps;
            if (stopAtStep > 0 && steps == stopAtStep) worker->StopWork();
            return steps;
        }
        return 0;
    }
    std::mutex m_lock;
    std::vector<unsigned> codes;
    std::vector<std::string> texts;
    int total = 0;
    int steps = 0;
    int stopAtStep = 0;
    CCreateDBThread* worker = nullptr;
};

class CreateDBThreadTest : public ::testing::Test {
protected:
    void SetUp() override {
        qvxplatform::SetProgramFolder(dir.Path());
        fs::copy_file(std::string(QVX_PROGRAM_DIR) + "/language.ini", dir.File("language.ini"));
        ASSERT_TRUE(SetLanguageFile(dir.File("language.ini").c_str()));
        ASSERT_TRUE(SetLanguage("English"));
    }
    void TearDown() override { qvxplatform::SetProgramFolder(""); }

    void Analyze(const std::string& csv, const std::string& map) {
        qvxtest::WriteFile(dir.File("in.csv"), csv);
        qvxtest::WriteFile(dir.File("in.map"), map);
        parser.SetCSVFileName(dir.File("in.csv").c_str());
        parser.SetMappingFileName(dir.File("in.map").c_str());
        int csvState = CSV_STATE_CHOSEN;
        int mappingState = MAPPING_STATE_CHOSEN;
        ASSERT_EQ(AnalyzeCSVFile(parser, table, csvState, mappingState), 0);
        ASSERT_EQ(mappingState, MAPPING_STATE_COMPLETE);
    }

    void Run(Recorder& recorder) {
        recorder.worker = &worker;
        import.m_pDataMap = &table;
        import.m_pCSVParser = &parser;
        worker.SetImportData(&import);
        worker.SetReceiver(&recorder);
        ASSERT_TRUE(worker.StartThread(0, 0, 0));
        ASSERT_TRUE(worker.WaitForDone(60000));
    }

    std::vector<std::string> DatabaseFiles() {
        std::vector<std::string> names;
        for (auto& entry : fs::directory_iterator(dir.Path())) {
            std::string name = entry.path().filename().string();
            if (name.size() > 3 && name.compare(name.size() - 3, 3, ".db") == 0) names.push_back(name);
        }
        return names;
    }

    qvxtest::TempDir dir;
    CContactsFile parser;
    CDataMap table;
    CImportData import;
    CCreateDBThread worker;
};

const char kMap[] =
    "Quorvex mapping file\r\n\"Name\",\"Firma\",\"Telefon\",\"Mail\",\"Skip\"\r\n"
    "\"N\",\"C\",\"PD\",\"E\",\"X\"\r\nName:t\r\nDescription:\r\n";

std::string Contacts(int n) {
    std::string csv = "Name;Firma;Telefon;Mail;Skip\r\n";
    for (int i = 0; i < n; ++i) {
        csv += "Person " + std::to_string(i) + ";Firm;+49 711 " + std::to_string(1000 + i) + ";p" +
               std::to_string(i) + "@example.org;x\r\n";
    }
    return csv;
}

TEST_F(CreateDBThreadTest, BuildsAndReplacesLastDb) {
    Analyze(Contacts(3) + ";;1;2;3\r\n", kMap);
    Recorder recorder;
    Run(recorder);
    // 5 lines x (5 columns - X - C + 1) = 20
    EXPECT_EQ(recorder.total, 20);
    ASSERT_GE(recorder.codes.size(), 4u);
    EXPECT_EQ(recorder.codes.front(), CB::START_THREAD);
    EXPECT_EQ(recorder.codes[1], CB::SET_RANGE);
    EXPECT_EQ(recorder.codes[2], CB::INFO_TEXT);
    EXPECT_EQ(recorder.codes.back(), CB::END_THREAD);
    EXPECT_EQ(worker.GetLastResult(), 0);
    EXPECT_TRUE(worker.IsStopRequested());

    // Only last.db is left; it holds the three named contacts, and the
    // worker names the row without name or company by its file line.
    EXPECT_EQ(DatabaseFiles(), std::vector<std::string>{"last.db"});
    EXPECT_EQ(qvxdbtest::Scalar(dir.File("last.db"), "SELECT COUNT(*) FROM Contact"), "3");
    EXPECT_EQ(worker.GetLastTally().nSkipped, 1);
    EXPECT_EQ(worker.GetLastTally().skippedLines, std::vector<int>{5});
    // Parse texts first, then contacts, then one details text per detail
    // column, then the finishing text.
    ASSERT_EQ(recorder.texts.size(), 5u);
    EXPECT_NE(recorder.texts[3].find("Mail"), std::string::npos);
    EXPECT_EQ(recorder.texts[4], GetText(qvxtext::kProgressDlg_Info_Finishing));
}

TEST_F(CreateDBThreadTest, StopDuringParsingOrBuildLeavesNoFileAndKeepsLastDb) {
    qvxtest::WriteFile(dir.File("last.db"), "previous");
    // 50 data lines: 50 parse steps, then one step per row of the contact
    // pass, then one per named row of each details column.
    struct {
        const char* name;
        int stopAtStep;
    } cases[] = {
        {"during parsing", 2},
        {"during the contact pass", 50 + 3},
        {"during the details pass", 50 + 50 + 5},
        {"after the last row", 50 + 50 + 2 * 50},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.name);
        table.Reset(true);
        Analyze(Contacts(50), kMap);
        Recorder recorder;
        recorder.stopAtStep = c.stopAtStep;
        Run(recorder);
        EXPECT_NE(worker.GetLastResult(), 0);
        EXPECT_EQ(DatabaseFiles(), std::vector<std::string>{"last.db"});
        EXPECT_EQ(qvxtest::ReadFile(dir.File("last.db")), "previous");
        EXPECT_EQ(recorder.codes.back(), CB::END_THREAD);
    }
}

// The first build hands the parsed lines over to the table; a second build
// from the same analysis writes the same rows again.
TEST_F(CreateDBThreadTest, SecondBuildFromTheSameAnalysisWritesTheSameRows) {
    Analyze(Contacts(20), kMap);
    const char kRows[] =
        "SELECT c.ContactId, c.Name, d.PropertyKey, d.Value FROM Contact c JOIN ContactDetail d "
        "ON c.ContactId = d.ContactId ORDER BY c.rowid, d.rowid";
    Recorder first;
    Run(first);
    ASSERT_EQ(worker.GetLastResult(), 0);
    auto rows = qvxdbtest::Query(dir.File("last.db"), kRows);
    ASSERT_EQ(rows.size(), 20u * 3);

    CCreateDBThread again;
    Recorder second;
    second.worker = &again;
    again.SetImportData(&import);
    again.SetReceiver(&second);
    ASSERT_TRUE(again.StartThread(0, 0, 0));
    ASSERT_TRUE(again.WaitForDone(60000));
    EXPECT_EQ(again.GetLastResult(), 0);
    EXPECT_EQ(second.total, first.total);
    EXPECT_EQ(second.steps, first.steps);
    EXPECT_EQ(qvxdbtest::Query(dir.File("last.db"), kRows), rows);
}

// A build counts as started when its command (or Complete) started, not when
// the worker made its builder: one started earlier that finishes after a
// later start is not kept, and says so.
TEST_F(CreateDBThreadTest, ABuildStartedEarlierDoesNotReplaceALaterOne) {
    Analyze(Contacts(3), kMap);
    const int64_t earlier = CQVXDBBuilder::NowNs();
    Recorder later;
    Run(later);
    ASSERT_EQ(worker.GetLastResult(), 0);
    EXPECT_FALSE(worker.KeptLaterBuild());
    const fs::file_time_type kept = fs::last_write_time(dir.File("last.db"));

    CCreateDBThread first;
    Recorder recorder;
    recorder.worker = &first;
    CImportData early = import;
    early.m_llStartNs = earlier;
    first.SetImportData(&early);
    first.SetReceiver(&recorder);
    ASSERT_TRUE(first.StartThread(0, 0, 0));
    ASSERT_TRUE(first.WaitForDone(60000));
    EXPECT_EQ(first.GetLastResult(), 0);
    EXPECT_TRUE(first.KeptLaterBuild());
    EXPECT_EQ(fs::last_write_time(dir.File("last.db")), kept);
    EXPECT_EQ(DatabaseFiles(), std::vector<std::string>{"last.db"});
}

TEST_F(CreateDBThreadTest, ADatabaseThatCannotBecomeLastDbIsAFailedBuild) {
    ASSERT_TRUE(fs::create_directory(dir.File("last.db")));
    Analyze(Contacts(3), kMap);
    Recorder recorder;
    Run(recorder);
    EXPECT_EQ(worker.GetLastResult(), -1);
    EXPECT_NE(worker.GetLastDBError(), 0);
    EXPECT_EQ(recorder.codes.back(), CB::END_THREAD);
    // Nothing but what was there before: no database, no unfinished file.
    std::vector<std::string> names;
    for (auto& entry : fs::directory_iterator(dir.Path())) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"in.csv", "in.map", "language.ini", "last.db"}));
    EXPECT_TRUE(fs::is_directory(dir.File("last.db")));
}

TEST_F(CreateDBThreadTest, WithoutReceiverNothingIsBuilt) {
    Analyze(Contacts(3), kMap);
    import.m_pDataMap = &table;
    import.m_pCSVParser = &parser;
    worker.SetImportData(&import);
    ASSERT_TRUE(worker.StartThread(0, 0, 0));
    ASSERT_TRUE(worker.WaitForDone(60000));
    EXPECT_EQ(worker.GetLastResult(), 1);
    EXPECT_TRUE(DatabaseFiles().empty());
}

TEST_F(CreateDBThreadTest, HeaderOnlyFileGivesAnEmptyBookAndCountsHiddenColumns) {
    Analyze("Name;Firma;Telefon;Mail;Skip\r\n", kMap);
    import.m_pDataMap = &table;
    import.m_pCSVParser = &parser;
    worker.SetImportData(&import);
    EXPECT_EQ(worker.CountHiddenPropTypes(), 2);
    Recorder recorder;
    Run(recorder);
    EXPECT_EQ(recorder.total, 1 * (5 - 2 + 1));
    EXPECT_EQ(worker.GetLastResult(), 0);
    EXPECT_EQ(qvxdbtest::Scalar(dir.File("last.db"), "SELECT COUNT(*) FROM Contact"), "0");
    EXPECT_EQ(qvxdbtest::Scalar(dir.File("last.db"), "SELECT COUNT(*) FROM ContactBook"), "1");
}

TEST_F(CreateDBThreadTest, NameInPartsCountsAsOnePass) {
    Analyze("Vorname;Weitere;Nachname;Telefon\r\nAnna;;Muster;0711 1\r\nJosé;Luis;García;0711 2\r\n",
            "Quorvex mapping file\r\n\"Vorname\",\"Weitere\",\"Nachname\",\"Telefon\"\r\n"
            "\"N\",\"N\",\"N\",\"PD\"\r\nName:t\r\nDescription:\r\n");
    Recorder recorder;
    Run(recorder);
    // The second and third name column are no pass of their own.
    EXPECT_EQ(worker.CountHiddenPropTypes(), 2);
    // 3 lines x (4 columns - 2 + 1); 2 parse, 2 contact and 2 detail steps.
    EXPECT_EQ(recorder.total, 3 * 3);
    EXPECT_EQ(recorder.steps, 6);
    EXPECT_EQ(qvxdbtest::Scalar(dir.File("last.db"), "SELECT group_concat(Name, '|') FROM Contact"),
              "Anna Muster|José Luis García");
}

}  // namespace
