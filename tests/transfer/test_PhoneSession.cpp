// The phone session without windows: the service groups it starts and stops,
// the device list, the file system, the memory rule and lending last.db.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "PhoneTestEnv.h"
#include "database/QVXDBBuilder.h"
#include "transfer/PhoneSession.h"

namespace {

using qvxconn::ApiGroup;

class CountingListener : public DMNotifyIF {
public:
    void OnDeviceListChanged() override {}
    void OnDeviceAdded(const char16_t*, uint32_t) override { ++added; }
    void OnDeviceRemoved(const char16_t*, uint32_t) override {}
    void OnDeviceUpdated(const char16_t*, uint32_t) override {}
    std::atomic<int> added{0};
};

class PhoneSessionTest : public ::testing::Test {
protected:
    std::string LastDB() const { return world.Program() + "/last.db"; }
    qvxtest::PhoneWorld world;
};

TEST_F(PhoneSessionTest, StartsAndStopsOnlyItsOwnGroups) {
    ASSERT_EQ(DMAPI_Initialize(CONA_DMAPI_VERSION, 0), 0u);  // someone else's start
    {
        CPhoneSession session;
        EXPECT_EQ(session.StartResult(), 0u);
        EXPECT_EQ(qvxconn::GetGroupInitCount(ApiGroup::DM), 2);
        EXPECT_EQ(qvxconn::GetGroupInitCount(ApiGroup::FS), 1);
        session.End();
        session.End();  // once only
        EXPECT_EQ(qvxconn::GetGroupInitCount(ApiGroup::DM), 1);
        EXPECT_EQ(qvxconn::GetGroupInitCount(ApiGroup::FS), 0);
    }
    EXPECT_EQ(qvxconn::GetGroupInitCount(ApiGroup::DM), 1);
    DMAPI_Terminate(0);

    // Without a service library the failure is reported and nothing is stopped.
    qvxtest::WriteFile(world.Program() + "/registry.ini",
                       std::string(qvxtest::kApiSection) + "DMAPI=/nonexistent.so\nFSAPI=/nonexistent.so\n");
    CPhoneSession broken;
    EXPECT_NE(broken.StartResult(), 0u);
    EXPECT_FALSE(broken.OpenDeviceManager());
    EXPECT_FALSE(broken.RefreshDevices());
    EXPECT_EQ(broken.DeviceCount(), 0u);
}

TEST_F(PhoneSessionTest, ListsPhonesAndHearsOfNewOnes) {
    world.AddPhone("a", "Name=First\nSerialNumber=S1\n");
    world.AddPhone("b", "SerialNumber=S2\n");
    CountingListener listener;
    CPhoneSession session;
    ASSERT_TRUE(session.OpenDeviceManager(&listener));
    ASSERT_TRUE(session.RefreshDevices());
    ASSERT_EQ(session.DeviceCount(), 2u);
    EXPECT_EQ(session.Device(2), nullptr);
    std::vector<std::string> seen;
    for (size_t i = 0; i < session.DeviceCount(); ++i)
        seen.push_back(CPhoneSession::DeviceName(*session.Device(i)) + "/" +
                       CPhoneSession::DeviceSerial(*session.Device(i)));
    std::sort(seen.begin(), seen.end());
    EXPECT_EQ(seen, (std::vector<std::string>{"First/S1", "b/S2"}));  // unnamed: the folder name

    world.AddPhone("c", "Name=Third\n");
    EXPECT_TRUE(qvxtest::PollFor([&] { return listener.added.load() > 0; }));
    ASSERT_TRUE(session.RefreshDevices());
    EXPECT_EQ(session.DeviceCount(), 3u);
    session.End();
    // No event reaches the listener after the end.
    const int before = listener.added.load();
    world.AddPhone("d", "Name=Fourth\n");
    std::this_thread::sleep_for(std::chrono::milliseconds(400));
    EXPECT_EQ(listener.added.load(), before);
    EXPECT_EQ(session.DeviceCount(), 0u);
}

TEST_F(PhoneSessionTest, MemoryRuleNeedsTwiceTheDatabase) {
    struct Case {
        int64_t database, free;
        bool fits;
    } cases[] = {{1000, 2000, true}, {1000, 1999, false}, {0, 0, true}, {1, -2, false}};
    for (const Case& c : cases) {
        CPhoneSession::MemoryReport report = CPhoneSession::ApplyMemoryRule(c.database, c.free);
        EXPECT_EQ(report.bFits, c.fits) << c.database << " " << c.free;
    }
    CPhoneSession::MemoryReport mb = CPhoneSession::ApplyMemoryRule(1024 * 1024, 3 * 1024 * 1024);
    EXPECT_DOUBLE_EQ(mb.dNeededMB, 2.0);
    EXPECT_DOUBLE_EQ(mb.dFreeMB, 3.0);

    // Against the phone: the lent database's size and the phone's free memory.
    world.AddPhone("p", "Name=P\nFreeMemory=2000\n");
    qvxtest::WriteFile(LastDB(), std::string(1000, 'd'));
    CPhoneSession session;
    session.OpenDeviceManager();
    ASSERT_TRUE(session.RefreshDevices());
    CPhoneSession::MemoryReport report;
    EXPECT_FALSE(session.CheckMemory(report));  // no file system open
    ASSERT_NE(session.OpenFileSystem(0), 0u);
    // Nothing lent never fits.
    ASSERT_TRUE(session.CheckMemory(report));
    EXPECT_FALSE(report.bFits);
    ASSERT_TRUE(session.LendDatabase());
    ASSERT_TRUE(session.CheckMemory(report));
    EXPECT_TRUE(report.bFits);
    qvxtest::WriteFile(world.PhonePath("p") + "/phone.ini", "[Phone]\nName=P\nFreeMemory=1999\n");
    ASSERT_TRUE(session.CheckMemory(report));
    EXPECT_FALSE(report.bFits);
    EXPECT_EQ(session.OpenFileSystem(7), 0u);
    EXPECT_EQ(session.FileSystem(), 0u);
}

TEST_F(PhoneSessionTest, LendsLastDbAndGivesItBack) {
    {
        CPhoneSession session;
        EXPECT_FALSE(session.LendDatabase());
        EXPECT_TRUE(session.NoDatabaseToLend());
        EXPECT_FALSE(session.DatabaseLent());
    }
    // A last.db that cannot be lent is not called missing.
    ASSERT_EQ(mkdir(LastDB().c_str(), 0755), 0);
    {
        CPhoneSession session;
        EXPECT_FALSE(session.LendDatabase());
        EXPECT_FALSE(session.NoDatabaseToLend());
        EXPECT_NE(session.LendFailure().find("Is a directory"), std::string::npos) << session.LendFailure();
    }
    ASSERT_EQ(rmdir(LastDB().c_str()), 0);

    qvxtest::WriteFile(LastDB(), "the database");
    std::string lent, sem;
    {
        CPhoneSession session;
        ASSERT_TRUE(session.LendDatabase());
        EXPECT_TRUE(session.LendDatabase());  // already lent
        char path[261];
        session.Database().GetDBFileName(path, sizeof path);
        lent = path;
        session.Database().GetSemFileName(path, sizeof path);
        sem = path;
        EXPECT_EQ(qvxtest::ReadFile(lent), "the database");
        EXPECT_EQ(qvxtest::ReadFile(sem), "12");
        EXPECT_EQ(session.Database().GetDBSize(), 12);
        session.ReturnDatabase();
        EXPECT_FALSE(qvxtest::FileExists(sem));
        EXPECT_EQ(qvxtest::ReadFile(LastDB()), "the database");
        ASSERT_TRUE(session.LendDatabase());                     // lent again, given back at the end
        EXPECT_EQ(qvxtest::ReadFile(LastDB()), "the database");  // a second name: last.db stays

        // A copy started in the same second takes the next free name.
        CPhoneSession second;
        ASSERT_TRUE(second.LendDatabase());
        EXPECT_NE(std::string(second.Database().GetFileBase()),
                  std::string(session.Database().GetFileBase()));
    }
    EXPECT_FALSE(qvxtest::FileExists(lent));
    EXPECT_FALSE(qvxtest::FileExists(sem));
    EXPECT_EQ(qvxtest::ReadFile(LastDB()), "the database");
}

}  // namespace
