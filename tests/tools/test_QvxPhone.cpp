// qvx-phone, the tool that attaches simulated phones, run as a program.
#include <gtest/gtest.h>
#include <stdio.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

#include "TestUtil.h"

namespace {

struct Outcome {
    int status;
    std::string output;
};

Outcome Phone(const std::string& phones, const std::string& args) {
    const std::string command =
        std::string(QVX_PROGRAM_DIR) + "/qvx-phone --phones '" + phones + "' " + args + " 2>&1";
    Outcome run{-1, ""};
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return run;
    char buffer[512];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) run.output.append(buffer, n);
    const int status = pclose(pipe);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

TEST(QvxPhone, AddListRemove) {
    qvxtest::TempDir dir;
    const std::string phones = dir.File("phones");  // created on the first add
    ASSERT_EQ(Phone(phones,
                    "add Alpha --serial 111 --free 5000 --speed 100000 --disconnect-after 7 --install-fails")
                  .status,
              0);
    const auto ini = qvxtest::ReadFile(phones + "/Alpha/phone.ini");
    for (const char* line : {"Name=Alpha\n", "SerialNumber=111\n", "FreeMemory=5000\n", "CopySpeed=100000\n",
                             "DisconnectAfter=7\n", "InstallFails=1\n"}) {
        EXPECT_NE(ini.find(line), std::string::npos) << line;
    }
    EXPECT_TRUE(std::filesystem::is_directory(phones + "/Alpha/C"));
    EXPECT_FALSE(std::filesystem::exists(phones + "/Alpha/C/Quorvex"));

    const Outcome beta = Phone(phones, "add Beta --installed");
    ASSERT_EQ(beta.status, 0);
    EXPECT_TRUE(std::filesystem::is_directory(phones + "/Beta/C/Data/Quorvex"));
    EXPECT_TRUE(std::filesystem::is_directory(phones + "/Beta/C/Quorvex"));
    EXPECT_EQ(beta.output.substr(0, 5), "Beta\t");  // followed by the serial number made up

    const Outcome list = Phone(phones, "list");
    EXPECT_EQ(list.status, 0);
    EXPECT_NE(list.output.find("Alpha"), std::string::npos);
    EXPECT_NE(list.output.find("111"), std::string::npos);
    EXPECT_NE(list.output.find("installed"), std::string::npos);
    // The names alone, whole, for scripts.
    ASSERT_EQ(Phone(phones, "add 'My Phone'").status, 0);
    const Outcome names = Phone(phones, "list --names");
    EXPECT_EQ(names.status, 0);
    EXPECT_EQ(names.output, "Alpha\nBeta\nMy Phone\n");
    EXPECT_EQ(Phone(phones, "remove 'My Phone'").status, 0);

    EXPECT_EQ(Phone(phones, "remove 111").status, 0);  // by serial number
    EXPECT_FALSE(std::filesystem::exists(phones + "/Alpha"));
    EXPECT_EQ(Phone(phones, "remove Beta").status, 0);  // by name
    EXPECT_TRUE(std::filesystem::is_empty(phones));
}

TEST(QvxPhone, RefusesBadRequests) {
    qvxtest::TempDir dir;
    const std::string phones = dir.Path();
    ASSERT_EQ(Phone(phones, "add One --serial 1").status, 0);
    const struct {
        const char* args;
        int status;
    } cases[] = {
        {"add One", 1},                 // name taken
        {"add Two --serial 1", 1},      // serial taken
        {"add ../Escape", 1},           // not a plain name
        {"add .hidden", 1},             //
        {"add ' Lead'", 1},             // outer blanks: the service reads names without them
        {"add 'Trail '", 1},            //
        {"add Four --serial ' 4'", 2},  //
        {"add Three --free -5", 2},     // not a byte count
        {"add Three --free", 2},        //
        {"add Three --colour red", 2},  // unknown option
        {"remove Nobody", 1},           //
        {"remove", 2},                  //
        {"list extra", 2},              //
        {"list --names extra", 2},      //
        {"fly", 2},                     //
        {"", 2},                        //
    };
    for (const auto& c : cases) EXPECT_EQ(Phone(phones, c.args).status, c.status) << c.args;
    EXPECT_FALSE(std::filesystem::exists(dir.Path() + "/../Escape"));
    EXPECT_FALSE(std::filesystem::exists(phones + "/Three"));
    // Nothing half-made is left behind.
    int entries = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(phones)) ++entries;
    EXPECT_EQ(entries, 1);
}

TEST(QvxPhone, AnEmptyPhonesFolderIsRefused) {
    // Were it taken as no choice, the phone would land in the usual folder.
    qvxtest::TempDir dir;
    ::setenv("QVX_PHONES_DIR", dir.Path().c_str(), 1);
    const Outcome added = Phone("", "add Lost");
    ::unsetenv("QVX_PHONES_DIR");
    EXPECT_EQ(added.status, 2);
    EXPECT_NE(added.output.find("--phones needs a folder"), std::string::npos) << added.output;
    EXPECT_TRUE(std::filesystem::is_empty(dir.Path()));
}

TEST(QvxPhone, FixedModesAndTheFoldersRealNameLimit) {
    qvxtest::TempDir dir;
    const std::string phones = dir.Path();
    const mode_t previous = umask(0);
    const Outcome added = Phone(phones, "add Open");
    umask(previous);
    ASSERT_EQ(added.status, 0) << added.output;
    struct stat info {};
    ASSERT_EQ(stat((phones + "/Open/phone.ini").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0644u);
    ASSERT_EQ(stat((phones + "/Open/C").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0755u);

    // The longest name the folder takes works, one byte more is refused with a reason.
    const long limit = pathconf(phones.c_str(), _PC_NAME_MAX);
    ASSERT_GT(limit, 8);
    const std::string longest(static_cast<size_t>(limit), 'n');
    const Outcome fits = Phone(phones, "add " + longest);
    EXPECT_EQ(fits.status, 0) << fits.output;
    EXPECT_TRUE(std::filesystem::is_directory(phones + "/" + longest + "/C/Data"));
    const Outcome tooLong = Phone(phones, "add " + longest + "n");
    EXPECT_EQ(tooLong.status, 1);
    EXPECT_NE(tooLong.output.find("at most"), std::string::npos) << tooLong.output;
    EXPECT_EQ(Phone(phones, "remove " + longest).status, 0);
    EXPECT_FALSE(std::filesystem::exists(phones + "/" + longest));
}

}  // namespace
