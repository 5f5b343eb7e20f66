// The command-line programs as installed: from a program folder marked as an
// installation, with a home folder of their own, they keep the user's files
// in the XDG folders and leave the program folder as it was; and they answer
// --help and --version as command-line programs do.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "TestUtil.h"

namespace {

namespace fs = std::filesystem;

struct Result {
    int status = -1;
    std::string out;
    std::string err;
};

class InstalledTools : public ::testing::Test {
protected:
    void SetUp() override {
        program = dir.File("program");
        home = dir.File("home");
        fs::create_directories(program + "/mappings");
        fs::create_directories(program + "/samples");
        fs::create_directories(home);
        for (const char* name : {"qvxbuild", "qvx-phone", "language.ini", "libqvxdevice.so", "qVxLocal.sisx",
                                 "mappings/Beispielkontakte.map", "samples/contacts-example.csv"})
            fs::copy_file(std::string(QVX_PROGRAM_DIR) + "/" + name, program + "/" + name);
        qvxtest::WriteFile(program + "/installed", "installed\n");
        shipped = Snapshot(program);
    }

    // Runs a program of the program folder with only HOME, PATH and LANG set.
    Result Run(const std::string& tool, std::vector<std::string> args) {
        std::vector<std::string> argv{program + "/" + tool};
        argv.insert(argv.end(), args.begin(), args.end());
        std::vector<char*> cargv;
        for (auto& a : argv) cargv.push_back(a.data());
        cargv.push_back(nullptr);
        std::vector<std::string> env{"HOME=" + home, "PATH=/usr/bin:/bin", "LANG=C.UTF-8"};
        std::vector<char*> cenv;
        for (auto& e : env) cenv.push_back(e.data());
        cenv.push_back(nullptr);
        const std::string outPath = dir.File("out.txt"), errPath = dir.File("err.txt");
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        // A working folder of its own: nothing may land there either.
        fs::create_directories(dir.File("work"));
        posix_spawn_file_actions_addchdir_np(&actions, dir.File("work").c_str());
        pid_t pid = 0;
        Result result;
        const int spawned = posix_spawn(&pid, cargv[0], &actions, nullptr, cargv.data(), cenv.data());
        posix_spawn_file_actions_destroy(&actions);
        if (spawned != 0) return result;
        int status = 0;
        waitpid(pid, &status, 0);
        result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        result.out = qvxtest::ReadFile(outPath);
        result.err = qvxtest::ReadFile(errPath);
        return result;
    }

    // Every file below a folder with its bytes.
    static std::vector<std::pair<std::string, std::string>> Snapshot(const std::string& folder) {
        std::vector<std::pair<std::string, std::string>> files;
        for (auto& e : fs::recursive_directory_iterator(folder))
            files.emplace_back(e.path().string(), e.is_regular_file() ? qvxtest::ReadFile(e.path()) : "");
        std::sort(files.begin(), files.end());
        return files;
    }

    qvxtest::TempDir dir;
    std::string program, home;
    std::vector<std::pair<std::string, std::string>> shipped;
};

TEST_F(InstalledTools, WalkFromTheSampleToAPhoneKeepsTheUsersFilesInXdgFolders) {
    Result build = Run("qvxbuild", {"build", program + "/samples/contacts-example.csv",
                                    program + "/mappings/Beispielkontakte.map"});
    ASSERT_EQ(build.status, 0) << build.err;
    const std::string data = home + "/.local/share/qvxwizard";
    EXPECT_EQ(build.out, data + "/last.db\n");
    EXPECT_TRUE(fs::is_regular_file(data + "/last.db"));
    EXPECT_TRUE(fs::is_regular_file(home + "/.local/state/qvxwizard/QVXWizard.l_0"));
    EXPECT_NE(qvxtest::ReadFile(home + "/.config/qvxwizard/language.ini").find("language=English"),
              std::string::npos);

    // The README's example phone.
    Result add = Run("qvx-phone", {"add", "My phone", "--free", "1000000000"});
    ASSERT_EQ(add.status, 0) << add.err;
    EXPECT_TRUE(fs::is_regular_file(data + "/phones/My phone/phone.ini"));
    Result send = Run("qvxbuild", {"send", "--phone", "My phone", "--install"});
    ASSERT_EQ(send.status, 0) << send.err;
    bool arrived = false;
    for (auto& e : fs::directory_iterator(data + "/phones/My phone/C/Data/Quorvex"))
        arrived = arrived || e.path().extension() == ".db";
    EXPECT_TRUE(arrived);
    EXPECT_TRUE(fs::is_regular_file(data + "/last.db"));  // given back after the copy

    // Nothing was written into the program folder or the working folder.
    EXPECT_EQ(Snapshot(program), shipped);
    EXPECT_TRUE(fs::is_empty(dir.File("work")));
}

TEST_F(InstalledTools, MappingsTheUserMadeAreFoundWithTheShippedOnes) {
    // Saved by the wizard of this user: among the user's files, not beside the program.
    const std::string own = home + "/.local/share/qvxwizard/mappings";
    fs::create_directories(own);
    qvxtest::WriteFile(own + "/club.map",
                       "Quorvex mapping file\n\"Mitglied\",\"Nummer\"\n\"N\",\"PD\"\n"
                       "Name:Verein\nDescription:Mitgliederliste\n");
    qvxtest::WriteFile(dir.File("club.csv"), "Mitglied;Nummer\r\nEva Berg;0711 1\r\n");

    Result analyze = Run("qvxbuild", {"analyze", dir.File("club.csv")});
    EXPECT_EQ(analyze.status, 0) << analyze.err;
    EXPECT_NE(analyze.out.find(own + "/club.map"), std::string::npos) << analyze.out;
    Result build = Run("qvxbuild", {"build", dir.File("club.csv")});
    ASSERT_EQ(build.status, 0) << build.err;
    EXPECT_NE(build.err.find("\"Verein\""), std::string::npos) << build.err;
    // The shipped mapping still fits its sample.
    Result sample = Run("qvxbuild", {"build", program + "/samples/contacts-example.csv"});
    EXPECT_EQ(sample.status, 0) << sample.err;
    EXPECT_NE(sample.err.find("Beispielkontakte"), std::string::npos) << sample.err;

    // The user's edited copy of a shipped mapping takes its place.
    fs::copy_file(program + "/mappings/Beispielkontakte.map", own + "/Beispielkontakte.map");
    Result fitting = Run("qvxbuild", {"analyze", program + "/samples/contacts-example.csv"});
    EXPECT_NE(fitting.out.find(own + "/Beispielkontakte.map"), std::string::npos) << fitting.out;
    EXPECT_EQ(fitting.out.find(program + "/mappings/Beispielkontakte.map"), std::string::npos) << fitting.out;
    Result copy = Run("qvxbuild", {"build", program + "/samples/contacts-example.csv"});
    EXPECT_EQ(copy.status, 0) << copy.err;
    EXPECT_NE(copy.err.find("(" + own + "/Beispielkontakte.map)"), std::string::npos) << copy.err;
}

TEST_F(InstalledTools, NoFolderForTheUsersFilesIsNamedAsTheReason) {
    qvxtest::WriteFile(home + "/.local", "a file in the way\n");
    const std::string csv = program + "/samples/contacts-example.csv";
    const std::string map = program + "/mappings/Beispielkontakte.map";
    // Said once, in the user's language; no trace log anywhere, no complaint about one.
    auto saidOnce = [](const std::string& err, const std::string& text) {
        const size_t at = err.find(text);
        return at != std::string::npos && err.find(text, at + 1) == std::string::npos &&
               err.find("FEHLER") == std::string::npos &&
               err.find(".local/share/qvxwizard") != std::string::npos;
    };
    Result build = Run("qvxbuild", {"build", csv, map, "--language", "English"});
    EXPECT_EQ(build.status, 4);
    EXPECT_TRUE(saidOnce(build.err, "The folders for your files cannot be made")) << build.err;
    Result german = Run("qvxbuild", {"build", csv, map, "--language", "Deutsch"});
    EXPECT_TRUE(saidOnce(german.err, "Die Ordner für Ihre Dateien können nicht angelegt werden"))
        << german.err;
    Result send = Run("qvxbuild", {"send"});
    EXPECT_EQ(send.status, 5);
    EXPECT_EQ(send.err.find("no last.db"), std::string::npos) << send.err;
    EXPECT_TRUE(saidOnce(send.err, "~/.local/share/qvxwizard")) << send.err;
    Result analyze = Run("qvxbuild", {"analyze", csv});
    EXPECT_TRUE(saidOnce(analyze.err, "~/.local/share/qvxwizard")) << analyze.err;
    // A database of its own needs no such folder.
    Result out = Run("qvxbuild", {"build", csv, map, "--out", dir.File("own.db")});
    EXPECT_EQ(out.status, 0) << out.err;
    // No phones below the program folder either.
    Result add = Run("qvx-phone", {"add", "Office"});
    EXPECT_EQ(add.status, 1);
    EXPECT_TRUE(saidOnce(add.err, "Die Ordner für Ihre Dateien")) << add.err;
    EXPECT_EQ(Snapshot(program), shipped);
    EXPECT_TRUE(fs::is_empty(dir.File("work")));
}

TEST_F(InstalledTools, PortableCopyKeepsEverythingBesideTheProgram) {
    fs::remove(program + "/installed");
    Result build = Run("qvxbuild", {"build", program + "/samples/contacts-example.csv",
                                    program + "/mappings/Beispielkontakte.map"});
    ASSERT_EQ(build.status, 0) << build.err;
    EXPECT_EQ(build.out, program + "/last.db\n");
    // The log stays beside the program too, never in the working folder.
    EXPECT_TRUE(fs::is_regular_file(program + "/QVXWizard.l_0"));
    EXPECT_TRUE(fs::is_empty(dir.File("work")));
    Result add = Run("qvx-phone", {"add", "Office"});
    ASSERT_EQ(add.status, 0) << add.err;
    EXPECT_TRUE(fs::is_directory(program + "/phones/Office"));
    EXPECT_TRUE(fs::is_empty(home));
}

TEST_F(InstalledTools, HelpAndVersionGoToStandardOutput) {
    for (const char* tool : {"qvxbuild", "qvx-phone"}) {
        for (const char* option : {"--help", "-h"}) {
            Result help = Run(tool, {option});
            EXPECT_EQ(help.status, 0) << tool << option;
            EXPECT_EQ(help.out.rfind(std::string("Usage: ") + tool + " ", 0), 0u) << help.out;
            EXPECT_EQ(help.err, "");
        }
        for (const char* option : {"--version", "-V"}) {
            Result version = Run(tool, {option});
            EXPECT_EQ(version.status, 0);
            EXPECT_EQ(version.out.rfind(std::string(tool) + " (QVXWizard) 1.", 0), 0u) << version.out;
            EXPECT_EQ(version.out.back(), '\n');
        }
    }
    // A file name that begins with '-' needs the end of the options.
    EXPECT_NE(Run("qvxbuild", {"--help"}).out.find("\n  --  "), std::string::npos);
    // Asked after a command, the help is given too; after "--" it is a file name.
    for (const char* command : {"analyze", "build", "send"}) {
        Result help = Run("qvxbuild", {command, "--help"});
        EXPECT_EQ(help.status, 0) << command;
        EXPECT_EQ(help.out.rfind("Usage: qvxbuild ", 0), 0u) << command;
    }
    EXPECT_NE(Run("qvxbuild", {"analyze", "--", "--help"}).status, 0);
    // A mistake still gives the short usage on standard error.
    Result wrong = Run("qvxbuild", {"--frobnicate"});
    EXPECT_EQ(wrong.status, 1);
    EXPECT_EQ(wrong.out, "");
    EXPECT_NE(wrong.err.find("usage:"), std::string::npos);
}

}  // namespace
