// The connectivity layer: loading per group, counted initialisation, the
// library missing, and the watcher of the restart signals.
#include <gtest/gtest.h>

#include "PhoneTestEnv.h"

using qvxconn::ApiGroup;
using qvxtest::PhoneWorld;

namespace {

// Every call of the interface, made with harmless arguments.
std::vector<std::pair<const char*, uint32_t>> CallEverything() {
    CONAHANDLE h = 0;
    uint32_t count = 0;
    CONA_DEVICE_RECORD record{};
    int64_t free = 0, total = 0, used = 0;
    CONA_INSTALL_RECORD install{u"qVxLocal.sisx", nullptr};
    return {
        {"CONAOpenDM", CONAOpenDM(&h)},
        {"CONACloseDM", CONACloseDM(1)},
        {"CONARegisterDMNotifyIF", CONARegisterDMNotifyIF(1, CONA_API_REGISTER, nullptr)},
        {"CONAGetDeviceCount", CONAGetDeviceCount(1, &count)},
        {"CONAGetDevices", CONAGetDevices(1, &count, &record)},
        {"CONAOpenFS", CONAOpenFS(u"1", CONA_MEDIA_ALL, &h, 0)},
        {"CONACloseFS", CONACloseFS(1)},
        {"CONARegisterFSNotifyIF", CONARegisterFSNotifyIF(1, CONA_API_REGISTER, nullptr)},
        {"CONARefreshDeviceMemoryValues", CONARefreshDeviceMemoryValues(1)},
        {"CONAGetMemoryValues", CONAGetMemoryValues(1, nullptr, &free, &total, &used)},
        {"CONASetCurrentFolder", CONASetCurrentFolder(1, u"\\\\C:\\")},
        {"CONACopyFile", CONACopyFile(1, 0x14, nullptr, u"/etc/hostname", nullptr)},
        {"CONADeleteFile", CONADeleteFile(1, u"x.db", 0, nullptr)},
        {"CONAInstallApplication", CONAInstallApplication(1, 1, &install, 0x50010, u"/tmp/", nullptr)},
        {"CFAPI_Terminate", CFAPI_Terminate(0)},
        {"DMAPI_Terminate", DMAPI_Terminate(0)},
        {"FSAPI_Terminate", FSAPI_Terminate(0)},
    };
}

TEST(ConnApi, WithoutLibraryEveryCallReportsNotInitialised) {
    qvxtest::TempDir dir;
    qvxplatform::SetProgramFolder(dir.Path());  // no registry.ini, no library beside it
    EXPECT_EQ(DMAPI_Initialize(32, 0), ECONA_NOT_INITIALIZED);
    EXPECT_EQ(FSAPI_Initialize(32, 0), ECONA_NOT_INITIALIZED);
    EXPECT_EQ(CFAPI_Initialize(10, 0), ECONA_NOT_INITIALIZED);
    for (const auto& [name, result] : CallEverything()) EXPECT_EQ(result, ECONA_NOT_INITIALIZED) << name;
    EXPECT_EQ(qvxconn::GetGroupInitCount(ApiGroup::DM), 0);

    // A registry value naming a missing file fails the same way.
    qvxtest::WriteFile(dir.File("registry.ini"),
                       std::string(qvxtest::kApiSection) + "DMAPI=" + dir.File("none.so"));
    EXPECT_EQ(DMAPI_Initialize(32, 0), ECONA_NOT_INITIALIZED);
    qvxplatform::SetProgramFolder("");
}

TEST(ConnApi, RegistryNamesLibraryPerGroup) {
    qvxtest::TempDir dir;
    // Only DMAPI is named; the others look beside the (empty) program folder.
    qvxtest::WriteFile(dir.File("registry.ini"),
                       std::string(qvxtest::kApiSection) + "DMAPI=" + qvxtest::ServiceLibrary() + "\n");
    qvxplatform::SetProgramFolder(dir.Path());
    EXPECT_EQ(DMAPI_Initialize(32, 0), CONA_OK);
    EXPECT_EQ(FSAPI_Initialize(32, 0), ECONA_NOT_INITIALIZED);
    EXPECT_TRUE(qvxconn::IsGroupLoaded(ApiGroup::DM));
    EXPECT_FALSE(qvxconn::IsGroupLoaded(ApiGroup::FS));
    EXPECT_EQ(DMAPI_Terminate(0), CONA_OK);
    qvxplatform::SetProgramFolder("");
}

TEST(ConnApi, InitialisationIsCounted) {
    PhoneWorld world;
    EXPECT_EQ(DMAPI_Initialize(32, 0), CONA_OK);
    EXPECT_EQ(DMAPI_Initialize(32, 0), CONA_OK);
    EXPECT_EQ(qvxconn::GetGroupInitCount(ApiGroup::DM), 2);

    EXPECT_EQ(DMAPI_Terminate(0), CONA_OK);
    ASSERT_TRUE(qvxconn::IsGroupLoaded(ApiGroup::DM));
    CONAHANDLE dm = 0;
    ASSERT_EQ(CONAOpenDM(&dm), CONA_OK);
    EXPECT_EQ(CONACloseDM(dm), CONA_OK);

    EXPECT_EQ(DMAPI_Terminate(0), CONA_OK);
    EXPECT_FALSE(qvxconn::IsGroupLoaded(ApiGroup::DM));
    EXPECT_EQ(CONAOpenDM(&dm), ECONA_NOT_INITIALIZED);
    EXPECT_EQ(DMAPI_Terminate(0), ECONA_NOT_INITIALIZED);
    EXPECT_EQ(qvxconn::GetGroupInitCount(ApiGroup::DM), 0);
}

TEST(ConnApi, GroupsAreIndependent) {
    PhoneWorld world;
    // The start-up probe: each group initialised and released in turn.
    EXPECT_EQ(DMAPI_Initialize(32, 0), CONA_OK);
    EXPECT_EQ(DMAPI_Terminate(0), CONA_OK);
    EXPECT_EQ(FSAPI_Initialize(32, 0), CONA_OK);
    EXPECT_EQ(FSAPI_Terminate(0), CONA_OK);
    EXPECT_EQ(CFAPI_Initialize(10, 0), CONA_OK);
    EXPECT_EQ(CFAPI_Terminate(0), CONA_OK);
    for (auto g : {ApiGroup::CF, ApiGroup::DM, ApiGroup::FS}) EXPECT_FALSE(qvxconn::IsGroupLoaded(g));

    // A device-management call needs DMAPI, not just some group.
    ASSERT_EQ(FSAPI_Initialize(32, 0), CONA_OK);
    CONAHANDLE dm = 0;
    EXPECT_EQ(CONAOpenDM(&dm), ECONA_NOT_INITIALIZED);
    EXPECT_EQ(FSAPI_Terminate(0), CONA_OK);
}

TEST(ConnApi, UnsupportedVersionIsRefusedAndNotCounted) {
    PhoneWorld world;
    EXPECT_EQ(DMAPI_Initialize(33, 0), ECONA_UNSUPPORTED_API_VERSION);
    EXPECT_EQ(CFAPI_Initialize(0, 0), ECONA_UNSUPPORTED_API_VERSION);
    EXPECT_EQ(qvxconn::GetGroupInitCount(ApiGroup::DM), 0);
    EXPECT_FALSE(qvxconn::IsGroupLoaded(ApiGroup::DM));
}

TEST(ConnApi, RestartSignalsUnloadAndReloadGroup) {
    PhoneWorld world;
    world.AddPhone("one", "SerialNumber=111\n");
    ASSERT_EQ(DMAPI_Initialize(32, 0), CONA_OK);
    ASSERT_EQ(FSAPI_Initialize(32, 0), CONA_OK);

    qvxtest::WriteFile(world.Signals() + "/" + qvxconn::kStopSignal, "");
    ASSERT_TRUE(qvxtest::PollFor([] { return !qvxconn::IsGroupLoaded(ApiGroup::DM); }));
    ASSERT_TRUE(qvxtest::PollFor([] { return !qvxconn::IsGroupLoaded(ApiGroup::FS); }));
    CONAHANDLE dm = 0;
    EXPECT_EQ(CONAOpenDM(&dm), ECONA_NOT_INITIALIZED);
    EXPECT_EQ(DMAPI_Initialize(32, 0), ECONA_NOT_INITIALIZED);  // unusable, not counted

    // The start marker alone does not reload while the stop marker stays.
    qvxtest::WriteFile(world.Signals() + "/" + qvxconn::kStartSignal, "");
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    EXPECT_FALSE(qvxconn::IsGroupLoaded(ApiGroup::DM));

    std::filesystem::remove(world.Signals() + "/" + qvxconn::kStopSignal);
    ASSERT_TRUE(qvxtest::PollFor([] { return qvxconn::IsGroupLoaded(ApiGroup::DM); }));
    ASSERT_EQ(CONAOpenDM(&dm), CONA_OK);
    uint32_t count = 0;
    EXPECT_EQ(CONAGetDeviceCount(dm, &count), CONA_OK);
    EXPECT_EQ(count, 1u);
    EXPECT_EQ(CONACloseDM(dm), CONA_OK);

    EXPECT_EQ(qvxconn::GetGroupInitCount(ApiGroup::DM), 1);
    EXPECT_EQ(DMAPI_Terminate(0), CONA_OK);
    ASSERT_TRUE(qvxtest::PollFor([] { return qvxconn::IsGroupLoaded(ApiGroup::FS); }));
    EXPECT_EQ(FSAPI_Terminate(0), CONA_OK);
    EXPECT_FALSE(qvxconn::IsGroupLoaded(ApiGroup::FS));
}

TEST(ConnApi, OptionsBitZeroDisablesWatcher) {
    PhoneWorld world("Options=1\n");
    ASSERT_EQ(DMAPI_Initialize(32, 0), CONA_OK);
    qvxtest::WriteFile(world.Signals() + "/" + qvxconn::kStopSignal, "");
    std::this_thread::sleep_for(std::chrono::milliseconds(600));
    EXPECT_TRUE(qvxconn::IsGroupLoaded(ApiGroup::DM));
    EXPECT_EQ(DMAPI_Terminate(0), CONA_OK);
}

TEST(ConnApi, FreeDeviceStructureWorksAfterUnload) {
    PhoneWorld world;
    world.AddPhone("one", "SerialNumber=111\nName=First\n");
    ASSERT_EQ(DMAPI_Initialize(32, 0), CONA_OK);
    CONAHANDLE dm = 0;
    ASSERT_EQ(CONAOpenDM(&dm), CONA_OK);
    uint32_t count = 1;
    CONA_DEVICE_RECORD record{};
    ASSERT_EQ(CONAGetDevices(dm, &count, &record), CONA_OK);
    ASSERT_EQ(count, 1u);
    EXPECT_EQ(CONACloseDM(dm), CONA_OK);
    EXPECT_EQ(DMAPI_Terminate(0), CONA_OK);
    // Released by the layer itself; the leak checker of the sanitizer build watches this.
    EXPECT_EQ(CONAFreeDeviceStructure(count, &record), CONA_OK);
    EXPECT_EQ(record.pstrSerialNumber, nullptr);
    EXPECT_EQ(record.pItems, nullptr);
}

}  // namespace
