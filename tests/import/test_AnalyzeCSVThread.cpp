#include <gtest/gtest.h>

#include <mutex>
#include <thread>
#include <vector>

#include "TestUtil.h"
#include "import/AnalysisStep.h"
#include "import/AnalyzeCSVThread.h"
#include "import/ContactsFile.h"
#include "import/DataMap.h"
#include "threads/CallbackReceiver.h"

namespace {

// Receives the worker's reports the way the main dialog does: the analysis
// step runs inside the handler of ANALYZE_CSV, on the worker's thread.
class StepReceiver : public CCallbackReceiver {
public:
    int OnReceiveCallback(unsigned code, void*) override {
        std::lock_guard<std::mutex> lock(m_lock);
        m_codes.push_back(code);
        if (code == CB::ANALYZE_CSV) {
            m_onWorker = std::this_thread::get_id() != m_mainThread;
            m_result = AnalyzeCSVFile(parser, table, csvState, mappingState);
        }
        return 0;
    }
    std::vector<unsigned> Codes() {
        std::lock_guard<std::mutex> lock(m_lock);
        return m_codes;
    }
    CContactsFile parser;
    CDataMap table;
    int csvState = CSV_STATE_CHOSEN;
    int mappingState = MAPPING_STATE_NONE;
    int m_result = 1;
    bool m_onWorker = false;

private:
    std::mutex m_lock;
    std::vector<unsigned> m_codes;
    std::thread::id m_mainThread = std::this_thread::get_id();
};

TEST(AnalyzeCSVThread, ReportsStartAnalysisAndEndAndCanRunAgain) {
    qvxtest::TempDir dir;
    qvxtest::WriteFile(dir.File("a.csv"), "Name;Firma\r\nA;B\r\n");
    qvxtest::WriteFile(dir.File("b.csv"), "no separator here\r\n");
    StepReceiver receiver;
    CQVXWAnalyzeCSVThread worker;
    worker.SetReceiver(&receiver);

    receiver.parser.SetCSVFileName(dir.File("a.csv").c_str());
    ASSERT_TRUE(worker.StartThread(0, 0, 0));
    ASSERT_TRUE(worker.WaitForDone(10000));
    EXPECT_EQ(receiver.Codes(), (std::vector<unsigned>{CB::START_THREAD, CB::ANALYZE_CSV, CB::END_THREAD}));
    EXPECT_TRUE(receiver.m_onWorker);
    EXPECT_EQ(receiver.m_result, 0);
    EXPECT_EQ(receiver.csvState, CSV_STATE_ANALYZED);
    EXPECT_TRUE(worker.IsStopRequested());

    receiver.parser.SetCSVFileName(dir.File("b.csv").c_str());
    receiver.csvState = CSV_STATE_CHOSEN;
    ASSERT_TRUE(worker.StartThread(0, 0, 0));
    ASSERT_TRUE(worker.WaitForDone(10000));
    EXPECT_EQ(receiver.m_result, -1);
    EXPECT_EQ(receiver.csvState, CSV_STATE_NONE);
    EXPECT_EQ(receiver.Codes().size(), 6u);
}

}  // namespace
