// The device service through the connectivity layer, with phones simulated
// as folders in a temporary phones folder.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/statvfs.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <random>
#include <thread>

#include "PhoneTestEnv.h"

using qvxconn::FromUtf16;
using qvxconn::ToUtf16;
using qvxtest::PhoneWorld;
using qvxtest::RecordingFSListener;

namespace {

const char16_t kDataFolder[] = u"\\\\C:\\Data\\Quorvex\\";
const char16_t kAppFolder[] = u"\\\\C:\\Quorvex\\";

class DeviceService : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(DMAPI_Initialize(32, 0), CONA_OK);
        ASSERT_EQ(FSAPI_Initialize(32, 0), CONA_OK);
        ASSERT_EQ(CONAOpenDM(&m_dm), CONA_OK);
    }
    void TearDown() override {
        for (CONAHANDLE fs : m_open) CONACloseFS(fs);
        EXPECT_EQ(CONACloseDM(m_dm), CONA_OK);
        EXPECT_EQ(FSAPI_Terminate(0), CONA_OK);
        EXPECT_EQ(DMAPI_Terminate(0), CONA_OK);
    }

    CONAHANDLE OpenFS(const std::string& serial) {
        CONAHANDLE fs = 0;
        EXPECT_EQ(CONAOpenFS(ToUtf16(serial).c_str(), CONA_MEDIA_ALL, &fs, 0), CONA_OK);
        if (fs) m_open.push_back(fs);
        return fs;
    }

    // Copies a PC file into the phone's data folder as the copy worker does.
    uint32_t CopyToData(CONAHANDLE fs, const std::string& pcPath) {
        uint32_t r = CONASetCurrentFolder(fs, kDataFolder);
        if (r != CONA_OK) return r;
        return CONACopyFile(fs, CONA_DIRECT_PC_TO_PHONE | CONA_OVERWRITE, nullptr, ToUtf16(pcPath).c_str(),
                            nullptr);
    }

    uint32_t Install(CONAHANDLE fs, const std::string& folder, const char16_t* package = u"qVxLocal.sisx") {
        CONA_INSTALL_RECORD record{package, nullptr};
        return CONAInstallApplication(fs, CONA_APPLICATION_TYPE_SIS, &record, CONA_DEFAULT_INSTALL_OPTIONS,
                                      ToUtf16(folder + "/").c_str(), nullptr);
    }

    static std::vector<std::string> Listing(const std::string& folder) {
        std::vector<std::string> names;
        for (const auto& e : std::filesystem::directory_iterator(folder))
            names.push_back(e.path().filename());
        std::sort(names.begin(), names.end());
        return names;
    }

    PhoneWorld m_world;  // constructed before SetUp initialises the service
    CONAHANDLE m_dm = 0;
    std::vector<CONAHANDLE> m_open;
};

TEST_F(DeviceService, ListsPhonesInFolderOrderWithRecords) {
    m_world.AddPhone("b-phone", "Name=Büro\nSerialNumber=222\n");
    m_world.AddPhone("a-phone", "SerialNumber=111\n");
    m_world.AddPhone("c-twin", "SerialNumber=111\n");  // duplicate serial: ignored
    std::filesystem::create_directories(m_world.Phones() + "/not-a-phone");
    m_world.AddPhone(".hidden", "SerialNumber=999\n");

    uint32_t count = 0;
    ASSERT_EQ(CONAGetDeviceCount(m_dm, &count), CONA_OK);
    ASSERT_EQ(count, 2u);
    std::vector<CONA_DEVICE_RECORD> records(3);
    uint32_t filled = 3;
    ASSERT_EQ(CONAGetDevices(m_dm, &filled, records.data()), CONA_OK);
    ASSERT_EQ(filled, 2u);
    EXPECT_EQ(FromUtf16(records[0].pstrSerialNumber), "111");
    EXPECT_EQ(FromUtf16(records[0].pItems[0].pstrDeviceName), "a-phone");  // name defaults to the folder
    EXPECT_EQ(FromUtf16(records[1].pstrSerialNumber), "222");
    ASSERT_EQ(records[1].dwNumberOfItems, 1u);
    EXPECT_EQ(FromUtf16(records[1].pItems[0].pstrDeviceName), "Büro");
    EXPECT_EQ(records[1].pItems[0].dwDeviceID, 1u);
    EXPECT_EQ(records[2].pstrSerialNumber, nullptr);  // unused record zeroed
    EXPECT_EQ(CONAFreeDeviceStructure(filled, records.data()), CONA_OK);

    // A smaller array gets what fits.
    filled = 1;
    ASSERT_EQ(CONAGetDevices(m_dm, &filled, records.data()), CONA_OK);
    EXPECT_EQ(filled, 1u);
    EXPECT_EQ(FromUtf16(records[0].pstrSerialNumber), "111");
    EXPECT_EQ(CONAFreeDeviceStructure(filled, records.data()), CONA_OK);
}

TEST_F(DeviceService, BadHandlesAndPointers) {
    uint32_t count = 0;
    EXPECT_EQ(CONAGetDeviceCount(m_dm + 1000, &count), ECONA_INVALID_HANDLE);
    EXPECT_EQ(CONAGetDeviceCount(m_dm, nullptr), ECONA_INVALID_POINTER);
    EXPECT_EQ(CONASetCurrentFolder(0, kDataFolder), ECONA_INVALID_HANDLE);
    CONAHANDLE fs = 0;
    EXPECT_EQ(CONAOpenFS(u"404", CONA_MEDIA_ALL, &fs, 0), ECONA_DEVICE_NOT_FOUND);
    EXPECT_EQ(CONAOpenFS(nullptr, CONA_MEDIA_ALL, &fs, 0), ECONA_INVALID_PARAMETER);
    EXPECT_EQ(fs, 0u);
}

TEST_F(DeviceService, MemoryValuesFromIniOrFileSystem) {
    m_world.AddPhone("small", "SerialNumber=1\nFreeMemory=5000\nTotalMemory=8000\n");
    m_world.AddPhone("plain", "SerialNumber=2\n");
    CONAHANDLE small = OpenFS("1"), plain = OpenFS("2");

    int64_t free = -2, total = 0, used = 0;
    ASSERT_EQ(CONARefreshDeviceMemoryValues(small), CONA_OK);
    ASSERT_EQ(CONAGetMemoryValues(small, nullptr, &free, &total, &used), CONA_OK);
    EXPECT_EQ(free, 5000);
    EXPECT_EQ(total, 8000);
    EXPECT_EQ(used, 3000);

    // The settings are read again on refresh.
    qvxtest::WriteFile(m_world.PhonePath("small") + "/phone.ini", "[Phone]\nSerialNumber=1\nFreeMemory=42\n");
    ASSERT_EQ(CONARefreshDeviceMemoryValues(small), CONA_OK);
    ASSERT_EQ(CONAGetMemoryValues(small, nullptr, &free, nullptr, nullptr), CONA_OK);
    EXPECT_EQ(free, 42);

    ASSERT_EQ(CONARefreshDeviceMemoryValues(plain), CONA_OK);
    ASSERT_EQ(CONAGetMemoryValues(plain, nullptr, &free, &total, &used), CONA_OK);
    struct statvfs vfs {};
    ASSERT_EQ(statvfs(m_world.PhonePath("plain").c_str(), &vfs), 0);
    EXPECT_GT(free, 0);
    EXPECT_EQ(total, static_cast<int64_t>(vfs.f_blocks) * static_cast<int64_t>(vfs.f_frsize));
    EXPECT_EQ(used, total - free);
}

TEST_F(DeviceService, CurrentFolderMustExist) {
    m_world.AddPhone("p", "SerialNumber=7\n");
    CONAHANDLE fs = OpenFS("7");
    struct Case {
        const char16_t* path;
        bool ok;
    };
    const Case cases[] = {
        {kDataFolder, false},       // not installed yet
        {u"\\\\C:\\Data\\", true},  // drive C: is the phone's folder C
        {u"\\\\C:\\Data", true},    //
        {u"c:\\data", false},       // folder names keep their case
        {u"C:\\", true},            // without the leading backslashes
        {u"Data", true},            // relative to the current folder (C:\)
        {u"..", true},              // back to C:\ from C:\Data
        {u"..", false},             // no way above the drive
        {u"\\\\E:\\", false},       // no drive E:
        {u"\\\\C:\\..\\..\\..", false},
        {u"\\\\C:\\Data/..", false},  // '/' is no separator on the phone
        {u"", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(CONASetCurrentFolder(fs, c.path) == CONA_OK, c.ok) << FromUtf16(c.path);
    }
    EXPECT_EQ(CONASetCurrentFolder(fs, nullptr), ECONA_INVALID_POINTER);
}

TEST_F(DeviceService, CopyReportsProgressAndLandsInCurrentFolder) {
    m_world.AddPhone("p", "SerialNumber=7\n", true);
    const std::string source = m_world.Pc() + "/contacts.db";
    qvxtest::WriteFile(source, std::string(700 * 1024, 'x'));
    CONAHANDLE fs = OpenFS("7");
    RecordingFSListener listener;
    ASSERT_EQ(CONARegisterFSNotifyIF(fs, CONA_API_REGISTER, &listener), CONA_OK);
    EXPECT_EQ(CONARegisterFSNotifyIF(fs, CONA_API_REGISTER, &listener), ECONA_REGISTER_ALREADY_DONE);

    ASSERT_EQ(CopyToData(fs, source), CONA_OK);
    const std::string target = m_world.PhonePath("p") + "/C/Data/Quorvex/contacts.db";
    EXPECT_EQ(qvxtest::ReadFile(target), qvxtest::ReadFile(source));
    auto states = listener.States();
    ASSERT_GE(states.size(), 3u);
    int64_t lastDone = 0;
    for (const auto& s : states) {
        EXPECT_EQ(s.operation, CONA_OPERATION_COPY_FILE);
        EXPECT_EQ(s.total, 700 * 1024);
        EXPECT_GT(s.done, lastDone);
        EXPECT_EQ(s.status, static_cast<uint32_t>(s.done * 100 / s.total));
        lastDone = s.done;
    }
    EXPECT_EQ(states.back().status, 100u);
    EXPECT_EQ(listener.Names(), std::vector<std::string>{"contacts.db"});

    // Without CONA_OVERWRITE an existing file stays.
    EXPECT_EQ(CONACopyFile(fs, CONA_DIRECT_PC_TO_PHONE, nullptr, ToUtf16(source).c_str(), nullptr),
              ECONA_FILE_ALREADY_EXIST);
    // An empty file reports once, at 100 %.
    const std::string empty = m_world.Pc() + "/empty.sem";
    qvxtest::WriteFile(empty, "");
    ASSERT_EQ(CopyToData(fs, empty), CONA_OK);
    EXPECT_EQ(listener.States().back().status, 100u);
    EXPECT_TRUE(qvxtest::FileExists(m_world.PhonePath("p") + "/C/Data/Quorvex/empty.sem"));

    EXPECT_EQ(CONARegisterFSNotifyIF(fs, CONA_API_UNREGISTER, &listener), CONA_OK);
    EXPECT_EQ(CONARegisterFSNotifyIF(fs, CONA_API_UNREGISTER, &listener), ECONA_NOT_FOUND);
}

TEST_F(DeviceService, CopyFailuresLeaveNothingBehind) {
    m_world.AddPhone("p", "SerialNumber=7\nFreeMemory=1000\n", true);
    CONAHANDLE fs = OpenFS("7");
    const std::string big = m_world.Pc() + "/big.db";
    qvxtest::WriteFile(big, std::string(1001, 'b'));
    EXPECT_EQ(CopyToData(fs, big), ECONA_MEMORY_FULL);
    EXPECT_EQ(CopyToData(fs, m_world.Pc() + "/missing.db"), ECONA_FILE_NOT_FOUND);
    EXPECT_EQ(CopyToData(fs, m_world.Pc()), ECONA_FILE_NOT_FOUND);  // a folder is no file
    EXPECT_EQ(CONACopyFile(fs, 0, nullptr, ToUtf16(big).c_str(), nullptr), ECONA_INVALID_PARAMETER);
    EXPECT_EQ(CONACopyFile(fs, CONA_DIRECT_PC_TO_PHONE, nullptr, ToUtf16(big).c_str(), u"\\\\C:\\Nowhere"),
              ECONA_FOLDER_NOT_FOUND);
    EXPECT_TRUE(Listing(m_world.PhonePath("p") + "/C/Data/Quorvex").empty());
}

// Opening a phone removes only what a killed copy of the program's files
// provably left: part files of its database and semaphore names, in the
// folder it writes to, that no running copy holds locked (whatever process
// number their name carries: a copy in another namespace may have any).
TEST_F(DeviceService, OpeningAPhoneRemovesWhatKilledCopiesLeft) {
    m_world.AddPhone("p", "SerialNumber=7\n", true);
    const std::string data = m_world.PhonePath("p") + "/C/Data/Quorvex";
    // The number of a process that has ended.
    const pid_t child = fork();
    if (child == 0) _exit(0);
    ASSERT_GT(child, 0);
    waitpid(child, nullptr, 0);
    const std::string dead = std::to_string(child);
    const std::string db = ".1213524000000_2008-06-15_full.db.part-" + dead + "-0";
    const std::string sem = ".1213524000000_2008-06-15_full.sem.part-" + dead + "-1";
    qvxtest::WriteFile(data + "/" + db, "stale");
    qvxtest::WriteFile(data + "/" + sem, "stale");
    // A running copy's file (locked), whatever its number says.
    const std::string running = ".1213524001000_2008-06-15_full.db.part-" + dead + "-2";
    qvxtest::WriteFile(data + "/" + running, "running");
    const int held = open((data + "/" + running).c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(held, 0);
    ASSERT_EQ(flock(held, LOCK_EX), 0);
    // Files of the user's named like part files, here and elsewhere on the phone, and a link.
    const std::vector<std::string> users = {".x.part-2023-07", ".notes.db.part-" + dead + "-0",
                                            ".1213524000000_2008-06-15_full.txt.part-" + dead + "-0"};
    for (const std::string& name : users) qvxtest::WriteFile(data + "/" + name, "user's");
    qvxtest::WriteFile(m_world.PhonePath("p") + "/C/" + db, "user's elsewhere");
    qvxtest::WriteFile(m_world.PhonePath("p") + "/C/.x.part-2023-07", "user's elsewhere");
    const std::string outside = m_world.Pc() + "/victim";
    qvxtest::WriteFile(outside, "keep");
    const std::string link = ".1213524002000_2008-06-15_full.db.part-" + dead + "-3";
    std::filesystem::create_symlink(outside, data + "/" + link);

    CONAHANDLE fs = OpenFS("7");
    std::vector<std::string> kept = users;
    kept.push_back(running);
    kept.push_back(link);
    std::sort(kept.begin(), kept.end());
    EXPECT_EQ(Listing(data), kept);
    EXPECT_EQ(Listing(m_world.PhonePath("p") + "/C"),
              (std::vector<std::string>{db, ".x.part-2023-07", "Data", "Quorvex"}));
    EXPECT_EQ(qvxtest::ReadFile(outside), "keep");
    // Once its copy has ended, the lock is free and the file goes.
    close(held);
    OpenFS("7");
    EXPECT_FALSE(qvxtest::FileExists(data + "/" + running));
    // A file of the phone can be deleted; a link only as itself, never its target.
    EXPECT_EQ(CONADeleteFile(fs, u".e.db.part-0-0", 0, kDataFolder), ECONA_FILE_NOT_FOUND);
    EXPECT_EQ(CONADeleteFile(fs, ToUtf16(link).c_str(), 0, kDataFolder), ECONA_INVALID_NAME);
    EXPECT_EQ(qvxtest::ReadFile(outside), "keep");
    EXPECT_EQ(CONADeleteFile(fs, u".x.part-2023-07", 0, kDataFolder), CONA_OK);
    EXPECT_FALSE(qvxtest::FileExists(data + "/.x.part-2023-07"));
}

// Two copies of one name at once without CONA_OVERWRITE (two program folders
// sending in the same second): one arrives, the other is refused, however
// they overlap; nothing is replaced and no part file stays.
TEST_F(DeviceService, TwoCopiesOfOneNameNeverReplaceEachOther) {
    m_world.AddPhone("p", "SerialNumber=7\nCopySpeed=400000\n", true);
    std::filesystem::create_directories(m_world.Pc() + "/a");
    std::filesystem::create_directories(m_world.Pc() + "/b");
    qvxtest::WriteFile(m_world.Pc() + "/a/x.db", std::string(100000, 'a'));
    qvxtest::WriteFile(m_world.Pc() + "/b/x.db", std::string(100000, 'b'));
    CONAHANDLE first = OpenFS("7"), second = OpenFS("7");
    ASSERT_EQ(CONASetCurrentFolder(first, kDataFolder), CONA_OK);
    ASSERT_EQ(CONASetCurrentFolder(second, kDataFolder), CONA_OK);
    uint32_t resultA = 0, resultB = 0;
    std::thread a([&] {
        resultA = CONACopyFile(first, CONA_DIRECT_PC_TO_PHONE, nullptr,
                               ToUtf16(m_world.Pc() + "/a/x.db").c_str(), nullptr);
    });
    std::thread b([&] {
        resultB = CONACopyFile(second, CONA_DIRECT_PC_TO_PHONE, nullptr,
                               ToUtf16(m_world.Pc() + "/b/x.db").c_str(), nullptr);
    });
    a.join();
    b.join();
    ASSERT_TRUE((resultA == CONA_OK) != (resultB == CONA_OK)) << resultA << " " << resultB;
    EXPECT_EQ(resultA == CONA_OK ? resultB : resultA, ECONA_FILE_ALREADY_EXIST);
    const std::string data = m_world.PhonePath("p") + "/C/Data/Quorvex";
    EXPECT_EQ(qvxtest::ReadFile(data + "/x.db"), std::string(100000, resultA == CONA_OK ? 'a' : 'b'));
    EXPECT_EQ(Listing(data), std::vector<std::string>{"x.db"});
}

TEST_F(DeviceService, ListenerCancelsCopyWithoutPartialFile) {
    m_world.AddPhone("p", "SerialNumber=7\n", true);
    const std::string source = m_world.Pc() + "/contacts.db";
    qvxtest::WriteFile(source, std::string(2 * 1024 * 1024, 'c'));
    CONAHANDLE fs = OpenFS("7");
    RecordingFSListener listener;
    listener.CancelAtPercent(30);
    ASSERT_EQ(CONARegisterFSNotifyIF(fs, CONA_API_REGISTER, &listener), CONA_OK);
    EXPECT_EQ(CopyToData(fs, source), ECONA_CANCELLED);
    EXPECT_TRUE(Listing(m_world.PhonePath("p") + "/C/Data/Quorvex").empty());
    EXPECT_LT(listener.States().back().status, 100u);
    EXPECT_TRUE(listener.Lost().empty());
}

TEST_F(DeviceService, DisconnectDuringCopyLosesConnection) {
    m_world.AddPhone("p", "SerialNumber=7\nDisconnectAfter=300000\n", true);
    const std::string source = m_world.Pc() + "/contacts.db";
    qvxtest::WriteFile(source, std::string(1024 * 1024, 'd'));
    CONAHANDLE fs = OpenFS("7");
    RecordingFSListener listener;
    ASSERT_EQ(CONARegisterFSNotifyIF(fs, CONA_API_REGISTER, &listener), CONA_OK);
    EXPECT_EQ(CopyToData(fs, source), ECONA_CONNECTION_LOST);
    EXPECT_EQ(listener.Lost(), std::vector<uint32_t>{ECONA_CONNECTION_LOST});
    EXPECT_TRUE(Listing(m_world.PhonePath("p") + "/C/Data/Quorvex").empty());
    for (const auto& s : listener.States()) EXPECT_LE(s.done, 300000);

    // The lost file system stays lost; a small file cannot pass either. The
    // listener hears of the loss only once and can still be unregistered.
    const std::string small = m_world.Pc() + "/small.sem";
    qvxtest::WriteFile(small, "12");
    EXPECT_EQ(CopyToData(fs, small), ECONA_CONNECTION_LOST);
    EXPECT_EQ(listener.Lost().size(), 1u);
    EXPECT_EQ(CONARegisterFSNotifyIF(fs, CONA_API_UNREGISTER, &listener), CONA_OK);

    // Reopened, a copy below the limit goes through.
    CONAHANDLE again = OpenFS("7");
    EXPECT_EQ(CopyToData(again, small), CONA_OK);
}

TEST_F(DeviceService, PhoneVanishingDuringCopyLosesConnection) {
    m_world.AddPhone("p", "SerialNumber=7\nCopySpeed=4000000\n", true);
    const std::string source = m_world.Pc() + "/contacts.db";
    qvxtest::WriteFile(source, std::string(4 * 1024 * 1024, 'v'));
    CONAHANDLE fs = OpenFS("7");
    struct Unplugger : RecordingFSListener {
        std::string phone;
        uint32_t OnFSOperationState(uint32_t op, uint32_t status, int64_t done, int64_t total) override {
            if (status >= 20 && !phone.empty()) {
                std::filesystem::rename(phone, phone + ".gone");  // unplugged
                phone.clear();
            }
            return RecordingFSListener::OnFSOperationState(op, status, done, total);
        }
    } listener;
    listener.phone = m_world.PhonePath("p");
    ASSERT_EQ(CONARegisterFSNotifyIF(fs, CONA_API_REGISTER, &listener), CONA_OK);
    EXPECT_EQ(CopyToData(fs, source), ECONA_CONNECTION_LOST);
    EXPECT_EQ(listener.Lost().size(), 1u);
    EXPECT_TRUE(Listing(m_world.PhonePath("p") + ".gone/C/Data/Quorvex").empty());
    EXPECT_EQ(CONASetCurrentFolder(fs, kDataFolder), ECONA_CONNECTION_LOST);
    int64_t free = 0;
    EXPECT_EQ(CONAGetMemoryValues(fs, nullptr, &free, nullptr, nullptr), ECONA_CONNECTION_LOST);
}

TEST_F(DeviceService, InstallCreatesApplicationFolders) {
    m_world.AddPhone("p", "SerialNumber=7\n");
    qvxtest::WriteFile(m_world.Pc() + "/qVxLocal.sisx", std::string(600 * 1024, 's'));
    CONAHANDLE fs = OpenFS("7");
    RecordingFSListener listener;
    ASSERT_EQ(CONARegisterFSNotifyIF(fs, CONA_API_REGISTER, &listener), CONA_OK);
    EXPECT_NE(CONASetCurrentFolder(fs, kAppFolder), CONA_OK);

    ASSERT_EQ(Install(fs, m_world.Pc()), CONA_OK);
    EXPECT_EQ(CONASetCurrentFolder(fs, kDataFolder), CONA_OK);
    EXPECT_EQ(CONASetCurrentFolder(fs, kAppFolder), CONA_OK);
    auto states = listener.States();
    ASSERT_FALSE(states.empty());
    for (const auto& s : states) EXPECT_EQ(s.operation, CONA_OPERATION_INSTALL);
    EXPECT_EQ(states.back().status, 100u);
    EXPECT_EQ(listener.Names(), std::vector<std::string>{"qVxLocal.sisx"});
}

TEST_F(DeviceService, InstallFailures) {
    m_world.AddPhone("failing", "SerialNumber=1\nInstallFails=1\n");
    m_world.AddPhone("fine", "SerialNumber=2\n");
    qvxtest::WriteFile(m_world.Pc() + "/qVxLocal.sisx", "package");
    CONAHANDLE failing = OpenFS("1"), fine = OpenFS("2");

    EXPECT_EQ(Install(failing, m_world.Pc()), ECONA_INSTALLATION_FAILED);
    EXPECT_FALSE(qvxtest::FileExists(m_world.PhonePath("failing") + "/C/Quorvex"));

    EXPECT_EQ(Install(fine, m_world.Pc() + "/nowhere"), ECONA_FILE_NOT_FOUND);
    EXPECT_EQ(Install(fine, m_world.Pc(), u"other.sisx"), ECONA_FILE_NOT_FOUND);
    EXPECT_EQ(Install(fine, m_world.Pc(), u"../qVxLocal.sisx"), ECONA_INVALID_NAME);
    CONA_INSTALL_RECORD record{u"qVxLocal.sisx", nullptr};
    EXPECT_EQ(CONAInstallApplication(fine, 2, &record, 0, ToUtf16(m_world.Pc()).c_str(), nullptr),
              ECONA_NOT_SUPPORTED);
    EXPECT_FALSE(qvxtest::FileExists(m_world.PhonePath("fine") + "/C/Quorvex"));

    // A listener cancelling the installation leaves the phone as it was.
    RecordingFSListener listener;
    listener.CancelAtPercent(0);
    ASSERT_EQ(CONARegisterFSNotifyIF(fine, CONA_API_REGISTER, &listener), CONA_OK);
    EXPECT_EQ(Install(fine, m_world.Pc()), ECONA_CANCELLED);
    EXPECT_FALSE(qvxtest::FileExists(m_world.PhonePath("fine") + "/C/Quorvex"));
}

TEST_F(DeviceService, CopiesFromPhoneToPc) {
    m_world.AddPhone("p", "SerialNumber=7\n", true);
    qvxtest::WriteFile(m_world.PhonePath("p") + "/C/Data/Quorvex/back.db", "phone data");
    CONAHANDLE fs = OpenFS("7");
    ASSERT_EQ(CONASetCurrentFolder(fs, kDataFolder), CONA_OK);
    ASSERT_EQ(CONACopyFile(fs, CONA_DIRECT_PHONE_TO_PC, u"back.db", nullptr, ToUtf16(m_world.Pc()).c_str()),
              CONA_OK);
    EXPECT_EQ(qvxtest::ReadFile(m_world.Pc() + "/back.db"), "phone data");
    EXPECT_EQ(CONACopyFile(fs, CONA_DIRECT_PHONE_TO_PC, u"none.db", nullptr, ToUtf16(m_world.Pc()).c_str()),
              ECONA_FILE_NOT_FOUND);
}

class DeviceEvents : public DMNotifyIF {
public:
    void OnDeviceListChanged() override {}
    void OnDeviceAdded(const char16_t* serial, uint32_t) override {
        Record(std::string("+").append(FromUtf16(serial)));
    }
    void OnDeviceRemoved(const char16_t* serial, uint32_t) override {
        Record(std::string("-").append(FromUtf16(serial)));
    }
    void OnDeviceUpdated(const char16_t* serial, uint32_t) override {
        Record(std::string("~").append(FromUtf16(serial)));
    }

    bool WaitForCount(size_t n) {
        return qvxtest::WaitFor(m_mutex, m_cv, [&] { return m_events.size() >= n; });
    }
    std::vector<std::string> Events() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_events;
    }

private:
    void Record(const std::string& e) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_events.push_back(e);
        m_cv.notify_all();
    }
    std::mutex m_mutex;
    std::condition_variable m_cv;
    std::vector<std::string> m_events;
};

TEST_F(DeviceService, HotPlugEventsReachListeners) {
    DeviceEvents events;
    ASSERT_EQ(CONARegisterDMNotifyIF(m_dm, CONA_API_REGISTER, &events), CONA_OK);

    m_world.AddPhone("new", "SerialNumber=200\nName=New\n");
    ASSERT_TRUE(events.WaitForCount(1));
    qvxtest::WriteFile(m_world.PhonePath("new") + "/phone.ini", "[Phone]\nSerialNumber=200\nName=Renamed\n");
    ASSERT_TRUE(events.WaitForCount(2));
    m_world.RemovePhone("new");
    ASSERT_TRUE(events.WaitForCount(3));
    EXPECT_EQ(events.Events(), (std::vector<std::string>{"+200", "~200", "-200"}));

    ASSERT_EQ(CONARegisterDMNotifyIF(m_dm, CONA_API_UNREGISTER, &events), CONA_OK);
    m_world.AddPhone("unheard", "SerialNumber=300\n");
    std::this_thread::sleep_for(std::chrono::milliseconds(600));
    EXPECT_EQ(events.Events().size(), 3u);
}

TEST_F(DeviceService, ListenerMayUnregisterDuringEvent) {
    struct OneShot : DeviceEvents {
        CONAHANDLE dm = 0;
        std::atomic<uint32_t> result{1};
        void OnDeviceAdded(const char16_t* serial, uint32_t status) override {
            result = CONARegisterDMNotifyIF(dm, CONA_API_UNREGISTER, this);
            DeviceEvents::OnDeviceAdded(serial, status);
        }
    } listener;
    listener.dm = m_dm;
    ASSERT_EQ(CONARegisterDMNotifyIF(m_dm, CONA_API_REGISTER, &listener), CONA_OK);
    m_world.AddPhone("a", "SerialNumber=1\n");
    ASSERT_TRUE(listener.WaitForCount(1));
    EXPECT_EQ(listener.result.load(), CONA_OK);
}

// 50 MB in one go: progress throughout and a byte-identical result.
TEST_F(DeviceService, LargeFileArrivesIdentical) {
    m_world.AddPhone("p", "SerialNumber=7\n", true);
    const std::string source = m_world.Pc() + "/large.db";
    std::string bytes(50 * 1024 * 1024, '\0');
    std::mt19937 gen(7);
    for (size_t i = 0; i < bytes.size(); i += 4) {
        const uint32_t v = gen();
        std::memcpy(&bytes[i], &v, 4);
    }
    qvxtest::WriteFile(source, bytes);
    CONAHANDLE fs = OpenFS("7");
    RecordingFSListener listener;
    ASSERT_EQ(CONARegisterFSNotifyIF(fs, CONA_API_REGISTER, &listener), CONA_OK);
    ASSERT_EQ(CopyToData(fs, source), CONA_OK);
    EXPECT_TRUE(qvxtest::ReadFile(m_world.PhonePath("p") + "/C/Data/Quorvex/large.db") == bytes);
    const auto states = listener.States();
    EXPECT_GE(states.size(), 100u);
    EXPECT_EQ(states.back().done, static_cast<int64_t>(bytes.size()));
    EXPECT_EQ(states.back().status, 100u);
}

}  // namespace

namespace {

TEST_F(DeviceService, SpeedLimitMakesSmallerSteps) {
    m_world.AddPhone("slow", "SerialNumber=5\nCopySpeed=100000\n", true);
    const std::string source = m_world.Pc() + "/contacts.db";
    qvxtest::WriteFile(source, std::string(50000, 's'));
    CONAHANDLE fs = OpenFS("5");
    RecordingFSListener listener;
    ASSERT_EQ(CONARegisterFSNotifyIF(fs, CONA_API_REGISTER, &listener), CONA_OK);
    ASSERT_EQ(CopyToData(fs, source), CONA_OK);
    // A tenth of a second's worth per step.
    const auto states = listener.States();
    ASSERT_EQ(states.size(), 5u);
    for (size_t i = 0; i < states.size(); ++i) EXPECT_EQ(states[i].done, static_cast<int64_t>(i + 1) * 10000);
}

TEST(DeviceServiceStart, PhonesPresentAtStartAreNotAnnounced) {
    PhoneWorld world;
    world.AddPhone("early", "SerialNumber=1\n");
    ASSERT_EQ(DMAPI_Initialize(32, 0), CONA_OK);
    CONAHANDLE dm = 0;
    ASSERT_EQ(CONAOpenDM(&dm), CONA_OK);
    DeviceEvents events;
    ASSERT_EQ(CONARegisterDMNotifyIF(dm, CONA_API_REGISTER, &events), CONA_OK);
    world.AddPhone("late", "SerialNumber=2\n");
    ASSERT_TRUE(events.WaitForCount(1));
    EXPECT_EQ(events.Events(), std::vector<std::string>{"+2"});
    // Closing the handle drops its listeners; terminating stops the watch.
    EXPECT_EQ(CONACloseDM(dm), CONA_OK);
    EXPECT_EQ(CONARegisterDMNotifyIF(dm, CONA_API_UNREGISTER, &events), ECONA_INVALID_HANDLE);
    EXPECT_EQ(DMAPI_Terminate(0), CONA_OK);
}

}  // namespace
