#include <gtest/gtest.h>

#include <filesystem>
#include <mutex>
#include <string>
#include <vector>

#include "PhoneTestEnv.h"
#include "database/QVXDBBuilder.h"
#include "threads/CallbackReceiver.h"
#include "transfer/CopyToPhoneThread.h"

namespace {

namespace fs = std::filesystem;

// Stands in for the copy-to-phone dialog: records the codes, answers the
// install question and can ask for an abort at the first progress report.
class DialogStandIn : public CCallbackReceiver {
public:
    int OnReceiveCallback(unsigned code, void* param) override {
        std::lock_guard<std::mutex> lock(m_lock);
        if (code == CB::COPY_PROGRESS) {
            percents.push_back(param ? *static_cast<int*>(param) : -1);
            if (abortAtFirstProgress && !abortRequested) {
                abortRequested = true;
                worker->RequestAbort();
            }
        }
        if (code == CB::PROG_NOT_FOUND && allowInstall) worker->AllowInstall();
        // Progress and install states are many; keep one of each in a row.
        if (codes.empty() || codes.back() != code ||
            (code != CB::COPY_PROGRESS && code != CB::INSTALL_PROGRESS))
            codes.push_back(code);
        return 0;
    }
    std::mutex m_lock;
    std::vector<unsigned> codes;
    std::vector<int> percents;
    bool allowInstall = false;
    bool abortAtFirstProgress = false;
    bool abortRequested = false;
    CCopyToPhoneThread* worker = nullptr;
};

class CopyToPhoneThreadTest : public ::testing::Test {
protected:
    void SetUp() override {
        qvxtest::WriteFile(world.Program() + "/qVxLocal.sisx", "package");
        builder = std::make_unique<CQVXDBBuilder>();
        char path[261];
        builder->GetDBFileName(path, sizeof path);
        dbPath = path;
        database = std::string(300000, 'd') + "end";
        qvxtest::WriteFile(dbPath, database);
        ASSERT_GT(builder->CreateSemFile(), 0);
        builder->GetSemFileName(path, sizeof path);
        semPath = path;
        ASSERT_EQ(DMAPI_Initialize(32, 0), 0u);
        ASSERT_EQ(FSAPI_Initialize(32, 0), 0u);
    }
    void TearDown() override {
        if (hFS) CONACloseFS(hFS);
        if (hasDevice) CONAFreeDeviceStructure(1, &device);
        FSAPI_Terminate(0);
        DMAPI_Terminate(0);
    }

    void Open(const std::string& serial) {
        CONAHANDLE hDM = 0;
        ASSERT_EQ(CONAOpenDM(&hDM), 0u);
        uint32_t count = 1;
        ASSERT_EQ(CONAGetDevices(hDM, &count, &device), 0u);
        ASSERT_EQ(count, 1u);
        hasDevice = true;
        CONACloseDM(hDM);
        ASSERT_EQ(CONAOpenFS(qvxconn::ToUtf16(serial).c_str(), CONA_MEDIA_ALL, &hFS, 0), 0u);
    }

    void Run(DialogStandIn& dialog, bool withHandle = true) { RunWith(worker, dialog, withHandle); }
    void RunWith(CCopyToPhoneThread& runner, DialogStandIn& dialog, bool withHandle = true) {
        dialog.worker = &runner;
        runner.SetReceiver(&dialog);
        runner.SetDBBuilder(builder.get());
        runner.SetFSHandle(withHandle ? hFS : 0);
        runner.SetDevice(withHandle ? &device : nullptr);
        ASSERT_TRUE(runner.StartThread(0, 0, 0));
        ASSERT_TRUE(runner.WaitForDone(30000));
    }

    std::string OnPhone(const std::string& phone, const std::string& pcPath) {
        return world.PhonePath(phone) + "/C/Data/Quorvex/" + fs::path(pcPath).filename().string();
    }

    qvxtest::PhoneWorld world;
    std::unique_ptr<CQVXDBBuilder> builder;
    std::string dbPath, semPath, database;
    CONA_DEVICE_RECORD device{};
    bool hasDevice = false;
    CONAHANDLE hFS = 0;
    CCopyToPhoneThread worker;
};

using Codes = std::vector<unsigned>;

TEST_F(CopyToPhoneThreadTest, CopiesDatabaseThenSemaphoreFile) {
    world.AddPhone("p", "SerialNumber=S1\n", true);
    Open("S1");
    DialogStandIn dialog;
    Run(dialog);
    EXPECT_EQ(dialog.codes, (Codes{CB::COPY_PROGRESS, CB::COPY_FINISHED, CB::END_THREAD}));
    EXPECT_FALSE(dialog.percents.empty());
    EXPECT_EQ(qvxtest::ReadFile(OnPhone("p", dbPath)), database);
    EXPECT_EQ(qvxtest::ReadFile(OnPhone("p", semPath)), qvxtest::ReadFile(semPath));
}

TEST_F(CopyToPhoneThreadTest, MissingApplicationDeclinedOrFailingInstall) {
    world.AddPhone("fresh", "SerialNumber=S2\n", false);
    Open("S2");
    DialogStandIn declined;
    Run(declined);
    EXPECT_EQ(declined.codes, (Codes{CB::PROG_NOT_FOUND, CB::INSTALL_FAILED, CB::END_THREAD}));
    EXPECT_FALSE(qvxtest::FileExists(OnPhone("fresh", dbPath)));

    // Only the data folder present: still not installed.
    fs::create_directories(world.PhonePath("fresh") + "/C/Data/Quorvex");
    DialogStandIn again;
    Run(again);
    EXPECT_EQ(again.codes.front(), CB::PROG_NOT_FOUND);
}

TEST_F(CopyToPhoneThreadTest, InstallThenCopyInTheSameRun) {
    world.AddPhone("fresh", "SerialNumber=S3\n", false);
    Open("S3");
    DialogStandIn dialog;
    dialog.allowInstall = true;
    Run(dialog);
    ASSERT_GE(dialog.codes.size(), 4u);
    EXPECT_EQ(dialog.codes.front(), CB::PROG_NOT_FOUND);
    EXPECT_EQ(dialog.codes.back(), CB::END_THREAD);
    Codes withoutStates;
    for (unsigned c : dialog.codes)
        if (c != CB::INSTALL_PROGRESS && c != CB::COPY_PROGRESS) withoutStates.push_back(c);
    EXPECT_EQ(withoutStates,
              (Codes{CB::PROG_NOT_FOUND, CB::INSTALL_DONE, CB::COPY_FINISHED, CB::END_THREAD}));
    EXPECT_EQ(qvxtest::ReadFile(OnPhone("fresh", dbPath)), database);
    EXPECT_TRUE(qvxtest::FileExists(OnPhone("fresh", semPath)));
}

TEST_F(CopyToPhoneThreadTest, FailingInstall) {
    world.AddPhone("broken", "SerialNumber=S4\nInstallFails=1\n", false);
    Open("S4");
    DialogStandIn dialog;
    dialog.allowInstall = true;
    Run(dialog);
    Codes withoutStates;
    for (unsigned c : dialog.codes)
        if (c != CB::INSTALL_PROGRESS) withoutStates.push_back(c);
    EXPECT_EQ(withoutStates, (Codes{CB::PROG_NOT_FOUND, CB::INSTALL_FAILED, CB::END_THREAD}));
}

TEST_F(CopyToPhoneThreadTest, AbortDuringTheDatabaseCopyLeavesNothing) {
    world.AddPhone("p", "SerialNumber=S5\nCopySpeed=1000000\n", true);
    Open("S5");
    DialogStandIn dialog;
    dialog.abortAtFirstProgress = true;
    Run(dialog);
    EXPECT_EQ(dialog.codes, (Codes{CB::COPY_PROGRESS, CB::COPY_ABORTED, CB::END_THREAD}));
    EXPECT_EQ(dialog.percents.size(), 1u);
    EXPECT_TRUE(fs::is_empty(world.PhonePath("p") + "/C/Data/Quorvex"));
}

// Asks for an abort as soon as the service names the semaphore file, so that
// the request meets the semaphore copy's first state report.
class AbortAtSemaphoreCopy : public CCopyToPhoneThread {
public:
    uint32_t OnFSOperationInfo(uint32_t, const char16_t* pstrName) override {
        if (pstrName && qvxconn::FromUtf16(pstrName).ends_with(".sem")) RequestAbort();
        return 0;
    }
};

TEST_F(CopyToPhoneThreadTest, AbortDuringTheSemaphoreCopy) {
    world.AddPhone("p", "SerialNumber=S7\n", true);
    Open("S7");
    AbortAtSemaphoreCopy runner;
    DialogStandIn dialog;
    RunWith(runner, dialog);
    EXPECT_EQ(dialog.codes, (Codes{CB::COPY_PROGRESS, CB::COPY_ABORTED, CB::END_THREAD}));
    // A database without its semaphore file does not stay on the phone.
    EXPECT_TRUE(fs::is_empty(world.PhonePath("p") + "/C/Data/Quorvex"));
    EXPECT_EQ(runner.GetIncomplete(), CCopyToPhoneThread::Incomplete::kRemoved);
}

// The phone goes away once the database has arrived, before its semaphore file.
class LoseThePhoneAtSemaphoreCopy : public CCopyToPhoneThread {
public:
    std::string phoneIni;
    uint32_t OnFSOperationInfo(uint32_t, const char16_t* pstrName) override {
        if (pstrName && qvxconn::FromUtf16(pstrName).ends_with(".sem")) fs::remove(phoneIni);
        return 0;
    }
};

TEST_F(CopyToPhoneThreadTest, DatabaseThatDoesNotFitIsReported) {
    world.AddPhone("small", "SerialNumber=S10\nFreeMemory=1000\n", true);
    Open("S10");
    DialogStandIn dialog;
    Run(dialog);
    EXPECT_EQ(dialog.codes, (Codes{CB::COPY_ABORTED, CB::END_THREAD}));
    EXPECT_EQ(worker.GetLastError(), ECONA_MEMORY_FULL);
}

TEST_F(CopyToPhoneThreadTest, DatabaseWithoutItsSemaphoreFileIsNoFinishedCopy) {
    // No room for the semaphore file: its name is taken by a folder.
    world.AddPhone("full", "SerialNumber=S8\n", true);
    fs::create_directories(OnPhone("full", semPath));
    Open("S8");
    DialogStandIn dialog;
    Run(dialog);
    EXPECT_EQ(dialog.codes, (Codes{CB::COPY_PROGRESS, CB::COPY_ABORTED, CB::END_THREAD}));
    EXPECT_FALSE(qvxtest::FileExists(OnPhone("full", dbPath)));
    EXPECT_EQ(worker.GetIncomplete(), CCopyToPhoneThread::Incomplete::kRemoved);

    // Lost between the two files: the database cannot be taken back, and the run says so.
    CONACloseFS(hFS);
    hFS = 0;
    CONAFreeDeviceStructure(1, &device);
    hasDevice = false;
    fs::remove_all(world.PhonePath("full"));
    world.AddPhone("lost", "SerialNumber=S9\n", true);
    Open("S9");
    LoseThePhoneAtSemaphoreCopy runner;
    runner.phoneIni = world.PhonePath("lost") + "/phone.ini";
    DialogStandIn lost;
    RunWith(runner, lost);
    EXPECT_EQ(lost.codes, (Codes{CB::COPY_PROGRESS, CB::COPY_ABORTED, CB::END_THREAD}));
    EXPECT_EQ(runner.GetIncomplete(), CCopyToPhoneThread::Incomplete::kLeftOnPhone);
    EXPECT_FALSE(qvxtest::FileExists(OnPhone("lost", semPath)));
}

// Another program folder sent a database of the same name (the same second)
// that the phone has not taken in yet: it is never replaced, and the run is
// no finished copy. The semaphore file on the phone stays the one that
// describes the database beside it.
TEST_F(CopyToPhoneThreadTest, FilesOnThePhoneAreNeverReplaced) {
    world.AddPhone("p", "SerialNumber=S11\n", true);
    qvxtest::WriteFile(OnPhone("p", dbPath), "other's database");
    qvxtest::WriteFile(OnPhone("p", semPath), "16");
    Open("S11");
    DialogStandIn dialog;
    Run(dialog);
    EXPECT_EQ(dialog.codes, (Codes{CB::COPY_ABORTED, CB::END_THREAD}));
    EXPECT_EQ(worker.GetLastError(), ECONA_FILE_ALREADY_EXIST);
    EXPECT_EQ(qvxtest::ReadFile(OnPhone("p", dbPath)), "other's database");
    EXPECT_EQ(qvxtest::ReadFile(OnPhone("p", semPath)), "16");

    // Only the semaphore file's name is taken: this run's database goes again.
    fs::remove(OnPhone("p", dbPath));
    DialogStandIn second;
    Run(second);
    EXPECT_EQ(second.codes, (Codes{CB::COPY_PROGRESS, CB::COPY_ABORTED, CB::END_THREAD}));
    EXPECT_EQ(worker.GetIncomplete(), CCopyToPhoneThread::Incomplete::kRemoved);
    EXPECT_FALSE(qvxtest::FileExists(OnPhone("p", dbPath)));
    EXPECT_EQ(qvxtest::ReadFile(OnPhone("p", semPath)), "16");
}

TEST_F(CopyToPhoneThreadTest, DisconnectMidCopy) {
    world.AddPhone("p", "SerialNumber=S6\nDisconnectAfter=100000\n", true);
    Open("S6");
    DialogStandIn dialog;
    Run(dialog);
    ASSERT_GE(dialog.codes.size(), 2u);
    EXPECT_EQ(dialog.codes[dialog.codes.size() - 2], CB::COPY_ABORTED);
    EXPECT_EQ(dialog.codes.back(), CB::END_THREAD);
    EXPECT_FALSE(qvxtest::FileExists(OnPhone("p", semPath)));
    EXPECT_FALSE(qvxtest::FileExists(OnPhone("p", dbPath)));
}

TEST_F(CopyToPhoneThreadTest, NoHandleOrDeviceEndsAtOnce) {
    DialogStandIn dialog;
    Run(dialog, false);
    EXPECT_EQ(dialog.codes, (Codes{CB::END_THREAD}));
}

}  // namespace
