#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "threads/CallbackWorker.h"
#include "threads/ManualResetEvent.h"

namespace {

constexpr uint32_t kLongWait = 10000;

// Records every report with the answer it gets.
class CRecorder : public CCallbackReceiver {
public:
    int OnReceiveCallback(unsigned nCode, void* pParam) override {
        std::lock_guard<std::mutex> lock(m_lock);
        m_codes.push_back(nCode);
        m_threads.push_back(std::this_thread::get_id());
        if (nCode == CB::SET_RANGE && pParam != nullptr) m_nRange = *static_cast<int*>(pParam);
        return static_cast<int>(nCode) + 100;
    }
    std::vector<unsigned> Codes() {
        std::lock_guard<std::mutex> lock(m_lock);
        return m_codes;
    }
    std::vector<std::thread::id> Threads() {
        std::lock_guard<std::mutex> lock(m_lock);
        return m_threads;
    }
    int m_nRange = 0;

private:
    std::mutex m_lock;
    std::vector<unsigned> m_codes;
    std::vector<std::thread::id> m_threads;
};

// A worker in the pattern of the real ones: reports its start, a step and
// its end, and raises the stop request at the end of its own DoWork.
class CTestWorker : public CCallbackWorker {
public:
    ~CTestWorker() override { StopAndWait(); }

    bool StartWork() override {
        m_steps.push_back("start");
        int range = 7;
        m_answers.push_back(SendCallback(CB::START_THREAD));
        m_answers.push_back(SendCallback(CB::SET_RANGE, &range));
        m_started.Set();
        if (m_bHoldStart) m_release.Wait();
        if (m_bThrowInStart) throw std::runtime_error("start");
        return m_bStartResult;
    }
    void DoWork() override {
        m_steps.push_back("do");
        m_answers.push_back(SendCallback(CB::STEP));
        if (m_bLoopUntilStop) {
            m_looping.Set();
            while (m_bStop.load() == 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        if (m_bThrowInDo) throw std::runtime_error("do");
        StopWork();
    }
    void EndWork() override {
        m_steps.push_back("end");
        m_answers.push_back(SendCallback(CB::END_THREAD));
    }

    // Written by the run, read by the test only after WaitForDone.
    std::vector<std::string> m_steps;
    std::vector<int> m_answers;
    CManualResetEvent m_started{false};
    CManualResetEvent m_looping{false};
    CManualResetEvent m_release{false};
    bool m_bStartResult = true;
    bool m_bHoldStart = false;
    bool m_bLoopUntilStop = false;
    bool m_bThrowInStart = false;
    bool m_bThrowInDo = false;
};

TEST(WorkerThread, RunsTheStepsInOrderOnItsOwnThread) {
    CRecorder receiver;
    CTestWorker worker;
    EXPECT_TRUE(worker.SetReceiver(&receiver));
    EXPECT_FALSE(worker.IsRunning());
    ASSERT_TRUE(worker.StartThread(0, 0, 0));
    ASSERT_TRUE(worker.WaitForDone(kLongWait));
    EXPECT_FALSE(worker.IsRunning());

    EXPECT_EQ(worker.m_steps, (std::vector<std::string>{"start", "do", "end"}));
    EXPECT_EQ(receiver.Codes(),
              (std::vector<unsigned>{CB::START_THREAD, CB::SET_RANGE, CB::STEP, CB::END_THREAD}));
    EXPECT_EQ(worker.m_answers, (std::vector<int>{100, 105, 101, 120}));
    EXPECT_EQ(receiver.m_nRange, 7);
    for (auto id : receiver.Threads()) EXPECT_NE(id, std::this_thread::get_id());
    // The worker's own DoWork leaves the stop flag set until the next start.
    EXPECT_TRUE(worker.IsStopRequested());
}

TEST(WorkerThread, RefusedOrStoppedStartSkipsDoWorkButNotEndWork) {
    struct Case {
        const char* name;
        bool startResult;
        bool throwInStart;
        bool stopDuringStart;
    };
    for (const Case& c : {Case{"refused", false, false, false}, Case{"thrown", true, true, false},
                          Case{"stopped", true, false, true}}) {
        SCOPED_TRACE(c.name);
        CRecorder receiver;
        CTestWorker worker;
        worker.SetReceiver(&receiver);
        worker.m_bStartResult = c.startResult;
        worker.m_bThrowInStart = c.throwInStart;
        worker.m_bHoldStart = c.stopDuringStart;
        ASSERT_TRUE(worker.StartThread());
        if (c.stopDuringStart) {
            ASSERT_TRUE(worker.m_started.Wait(kLongWait));
            worker.StopWork();
            worker.m_release.Set();
        }
        ASSERT_TRUE(worker.WaitForDone(kLongWait));
        EXPECT_EQ(worker.m_steps, (std::vector<std::string>{"start", "end"}));
        EXPECT_EQ(receiver.Codes().back(), CB::END_THREAD);
        EXPECT_TRUE(worker.IsStopRequested());
    }
}

TEST(WorkerThread, StopBeforeStartIsClearedByStartThread) {
    CTestWorker worker;
    worker.StopWork();
    worker.StopWork();
    EXPECT_TRUE(worker.IsStopRequested());
    ASSERT_TRUE(worker.StartThread());
    ASSERT_TRUE(worker.WaitForDone(kLongWait));
    EXPECT_EQ(worker.m_steps, (std::vector<std::string>{"start", "do", "end"}));
}

TEST(WorkerThread, WithoutAReceiverEveryReportAnswersMinusOne) {
    CTestWorker worker;
    ASSERT_TRUE(worker.StartThread());
    ASSERT_TRUE(worker.WaitForDone(kLongWait));
    EXPECT_EQ(worker.m_answers, (std::vector<int>{-1, -1, -1, -1}));

    CRecorder receiver;
    EXPECT_TRUE(worker.SetReceiver(&receiver));
    EXPECT_EQ(worker.SendCallback(CB::INFO_TEXT, const_cast<char*>("x")), 102);
    EXPECT_FALSE(worker.SetReceiver(nullptr));
    EXPECT_EQ(worker.SendCallback(CB::INFO_TEXT), -1);
}

TEST(WorkerThread, CanBeStartedAgainAfterARun) {
    CRecorder receiver;
    CTestWorker worker;
    worker.SetReceiver(&receiver);
    for (int run = 0; run < 3; ++run) {
        ASSERT_TRUE(worker.StartThread());
        ASSERT_TRUE(worker.WaitForDone(kLongWait));
    }
    EXPECT_EQ(worker.m_steps.size(), 9u);
    EXPECT_EQ(receiver.Codes().size(), 12u);
    // Restarting straight after the end report, without waiting first.
    for (int run = 0; run < 20; ++run) {
        while (!worker.StartThread()) std::this_thread::yield();
    }
    ASSERT_TRUE(worker.WaitForDone(kLongWait));
    EXPECT_EQ(worker.m_steps.size(), 9u + 60u);
}

TEST(WorkerThread, SecondStartWhileRunningIsRefused) {
    CTestWorker worker;
    worker.m_bLoopUntilStop = true;
    ASSERT_TRUE(worker.StartThread());
    // Waits for DoWork itself: a stop raised before it would rightly skip it.
    ASSERT_TRUE(worker.m_looping.Wait(kLongWait));
    EXPECT_TRUE(worker.IsRunning());
    EXPECT_FALSE(worker.StartThread());
    EXPECT_FALSE(worker.WaitForDone(20));
    worker.StopWork();
    ASSERT_TRUE(worker.WaitForDone(kLongWait));
    EXPECT_EQ(worker.m_steps, (std::vector<std::string>{"start", "do", "end"}));
}

TEST(WorkerThread, StartWaitEndsEarlyOnAStopRequest) {
    CTestWorker worker;
    auto begin = std::chrono::steady_clock::now();
    ASSERT_TRUE(worker.StartThread(0, 0, 60000));
    ASSERT_TRUE(worker.m_started.Wait(kLongWait));
    worker.StopWork();
    ASSERT_TRUE(worker.WaitForDone(kLongWait));
    EXPECT_LT(std::chrono::steady_clock::now() - begin, std::chrono::seconds(30));
    EXPECT_EQ(worker.m_steps, (std::vector<std::string>{"start", "end"}));

    // Without a stop the run goes on after the wait.
    ASSERT_TRUE(worker.StartThread(0, 0, 30));
    ASSERT_TRUE(worker.WaitForDone(kLongWait));
    EXPECT_EQ(worker.m_steps.back(), "end");
    EXPECT_EQ(worker.m_steps[worker.m_steps.size() - 2], "do");
}

TEST(WorkerThread, ExceptionInDoWorkStillEndsTheRun) {
    CRecorder receiver;
    CTestWorker worker;
    worker.SetReceiver(&receiver);
    worker.m_bThrowInDo = true;
    ASSERT_TRUE(worker.StartThread());
    ASSERT_TRUE(worker.WaitForDone(kLongWait));
    EXPECT_EQ(worker.m_steps, (std::vector<std::string>{"start", "do", "end"}));
    EXPECT_EQ(receiver.Codes().back(), CB::END_THREAD);
}

TEST(WorkerThread, StackSizeIsHonoured) {
    CTestWorker worker;
    ASSERT_TRUE(worker.StartThread(0, 256 * 1024, 0));
    ASSERT_TRUE(worker.WaitForDone(kLongWait));
    EXPECT_EQ(worker.m_steps.size(), 3u);
}

TEST(WorkerThread, DestroyingARunningWorkerStopsAndWaitsForIt) {
    CRecorder receiver;
    {
        CTestWorker worker;
        worker.SetReceiver(&receiver);
        worker.m_bLoopUntilStop = true;
        ASSERT_TRUE(worker.StartThread());
        ASSERT_TRUE(worker.m_started.Wait(kLongWait));
    }
    // The end report arrived before the worker was gone.
    EXPECT_EQ(receiver.Codes().back(), CB::END_THREAD);
}

// A worker whose run may delete it: the thread is then left to end alone.
class CSelfDeletingWorker : public CCallbackWorker {
public:
    explicit CSelfDeletingWorker(CManualResetEvent& gone) : m_gone(gone) {}
    ~CSelfDeletingWorker() override { m_gone.Set(); }
    bool StartWork() override { return true; }
    void EndWork() override { delete this; }

private:
    CManualResetEvent& m_gone;
};

TEST(WorkerThread, AWorkerMayBeDeletedByItsOwnRun) {
    CManualResetEvent gone(false);
    auto* worker = new CSelfDeletingWorker(gone);
    ASSERT_TRUE(worker->StartThread());
    EXPECT_TRUE(gone.Wait(kLongWait));
}

TEST(ManualResetEvent, StaysSetUntilReset) {
    CManualResetEvent event(false);
    EXPECT_FALSE(event.Wait(0));
    EXPECT_FALSE(event.Wait(10));
    std::thread setter([&] { event.Set(); });
    EXPECT_TRUE(event.Wait(kLongWait));
    setter.join();
    EXPECT_TRUE(event.Wait(0));
    EXPECT_TRUE(event.IsSet());
    event.Reset();
    EXPECT_FALSE(event.IsSet());
    CManualResetEvent signalled(true);
    signalled.Wait();
}

}  // namespace
