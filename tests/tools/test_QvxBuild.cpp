// Runs the qvxbuild companion as a user would, from a program folder of its
// own (a copy of the binary with its files), and checks exit codes and files.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "../database/DbTestUtil.h"
#include "TestUtil.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;

struct Result {
    int status = -1;
    std::string out;
    std::string err;
};

class QvxBuildTest : public ::testing::Test {
protected:
    void SetUp() override {
        program = dir.File("program");
        fs::create_directories(program + "/mappings");
        for (const char* name :
             {"qvxbuild", "qvx-phone", "language.ini", "libqvxdevice.so", "qVxLocal.sisx"}) {
            fs::copy_file(std::string(QVX_PROGRAM_DIR) + "/" + name, program + "/" + name);
        }
        qvxtest::WriteFile(dir.File("contacts.csv"),
                           "Name;Firma;Telefon\r\nAnna Muster;ACME;+49 711 1\r\nBob O'Neil;;0711-2\r\n");
        qvxtest::WriteFile(dir.File("complete.map"),
                           "Quorvex mapping file\r\n\"Name\",\"Firma\",\"Telefon\"\r\n\"N\",\"C\",\"PD\"\r\n"
                           "Name:t\r\nDescription:d\r\n");
        qvxtest::WriteFile(dir.File("partial.map"),
                           "Quorvex mapping file\r\n\"Name\",\"Firma\"\r\n\"N\",\"C\"\r\n");
    }

    // Starts a program of the program folder; with `interruptAfterMs` > 0 it
    // gets SIGINT after that time.
    Result Run(const std::string& tool, std::vector<std::string> args, int interruptAfterMs = 0) {
        std::vector<std::string> argv{program + "/" + tool};
        argv.insert(argv.end(), args.begin(), args.end());
        std::vector<char*> cargv;
        for (auto& a : argv) cargv.push_back(a.data());
        cargv.push_back(nullptr);
        std::string outPath = dir.File("out.txt"), errPath = dir.File("err.txt");
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_addchdir_np(&actions, dir.Path().c_str());
        pid_t pid = 0;
        Result result;
        if (posix_spawn(&pid, cargv[0], &actions, nullptr, cargv.data(), environ) != 0) return result;
        posix_spawn_file_actions_destroy(&actions);
        if (interruptAfterMs > 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(interruptAfterMs));
            kill(pid, SIGINT);
        }
        int status = 0;
        waitpid(pid, &status, 0);
        result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        result.out = qvxtest::ReadFile(outPath);
        result.err = qvxtest::ReadFile(errPath);
        return result;
    }

    std::vector<std::string> DatabaseFiles() {
        std::vector<std::string> names;
        for (auto& e : fs::directory_iterator(program)) {
            std::string n = e.path().filename().string();
            if (n.size() > 3 && (n.ends_with(".db") || n.ends_with(".sem"))) names.push_back(n);
        }
        return names;
    }

    qvxtest::TempDir dir;
    std::string program;
};

TEST_F(QvxBuildTest, AnalyzeReportsAndExitCodes) {
    struct {
        std::vector<std::string> args;
        int status;
        const char* needle;
    } cases[] = {
        {{"analyze"}, 1, nullptr},
        {{"analyze", "contacts.csv", "--bogus"}, 1, nullptr},
        {{"analyze", "contacts.csv"}, 0, "columns: 3"},
        {{"analyze", "contacts.csv", "--map", "complete.map", "--json"},
         0,
         "\"mapping\":{\"result\":0,\"state\":2,\"matched\":3,\"name\":\"t\",\"description\":\"d\","
         "\"codes\":[\"N\",\"C\",\"PD\"]}"},
        {{"analyze", "contacts.csv", "--map", "partial.map"}, 3, "state: 3"},
        {{"analyze", "missing.csv", "--json"}, 2, "\"result\":-230"},
    };
    for (auto& c : cases) {
        Result r = Run("qvxbuild", c.args);
        EXPECT_EQ(r.status, c.status) << c.args.back() << r.err;
        if (c.needle) {
            EXPECT_NE(r.out.find(c.needle), std::string::npos) << r.out;
        }
    }
    qvxtest::WriteFile(dir.File("latin1.csv"), "N\xE4me;Firma\r\nx;y\r\n");
    Result r = Run("qvxbuild", {"analyze", "latin1.csv", "--json"});
    EXPECT_NE(r.out.find("\"N\xC3\xA4me\""), std::string::npos) << r.out;
}

TEST_F(QvxBuildTest, BuildMakesLastDbOrTheNamedFile) {
    Result r = Run("qvxbuild", {"build", "contacts.csv", "partial.map"});
    EXPECT_EQ(r.status, 3);
    EXPECT_NE(r.err.find("incomplete"), std::string::npos) << r.err;

    r = Run("qvxbuild", {"build", "contacts.csv", "complete.map", "--language", "English"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(DatabaseFiles(), std::vector<std::string>{"last.db"});
    std::string last = qvxtest::ReadFile(program + "/last.db");
    EXPECT_EQ(last.compare(0, 16, std::string("SQLite format 3\0", 16)), 0);

    r = Run("qvxbuild", {"build", "contacts.csv", "complete.map", "--out", "copy.db"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(qvxtest::FileExists(dir.File("copy.db")));
    EXPECT_EQ(qvxtest::ReadFile(program + "/last.db"), last);
    for (auto& e : fs::directory_iterator(dir.Path())) {
        EXPECT_EQ(e.path().filename().string().find(".qvxbuild-"), std::string::npos);
    }
}

TEST_F(QvxBuildTest, HandWrittenMappingsThatBreakTheRulesStopTheBuild) {
    struct {
        const char* codes;
        const char* rule;
    } cases[] = {
        {"\"C\",\"X\",\"PD\"", "No column is mapped to the name."},
        {"\"N\",\"C\",\"C\"", "More than one column is mapped to the company."},
        {"\"N\",\"\",\"PD\"", "Not every column has a property type yet."},
    };
    for (auto& c : cases) {
        qvxtest::WriteFile(
            dir.File("hand.map"),
            std::string("Quorvex mapping file\r\n\"Name\",\"Firma\",\"Telefon\"\r\n") + c.codes + "\r\n");
        Result r = Run("qvxbuild", {"build", "contacts.csv", "hand.map", "--language", "English"});
        EXPECT_EQ(r.status, 3) << c.codes;
        EXPECT_NE(r.err.find(c.rule), std::string::npos) << r.err;
        EXPECT_TRUE(DatabaseFiles().empty());
        EXPECT_EQ(Run("qvxbuild", {"analyze", "contacts.csv", "--map", "hand.map"}).status, 3);
    }
    // Two name columns and no company build.
    qvxtest::WriteFile(dir.File("hand.map"),
                       "Quorvex mapping file\r\n\"Name\",\"Firma\",\"Telefon\"\r\n\"N\",\"N\",\"PD\"\r\n");
    Result r = Run("qvxbuild", {"build", "contacts.csv", "hand.map"});
    EXPECT_EQ(r.status, 0) << r.err;
}

TEST_F(QvxBuildTest, WithoutMappingTheFirstReadyMappingThatFitsIsTaken) {
    for (auto& e : fs::directory_iterator(QVX_SOURCE_DIR "/src/resources/mappings"))
        fs::copy_file(e.path(), program + "/mappings/" + e.path().filename().string());
    const std::string google = qvxtest::FixturePath("exports/google.csv");

    Result r = Run("qvxbuild", {"analyze", google, "--json"});
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find(",\"fitting\":[\"" + program + "/mappings/google-contacts.map\"]"),
              std::string::npos)
        << r.out;
    r = Run("qvxbuild", {"analyze", "contacts.csv"});
    EXPECT_NE(r.out.find("fitting mappings: none"), std::string::npos) << r.out;
    r = Run("qvxbuild", {"analyze", google, "--map", "complete.map", "--json"});
    EXPECT_EQ(r.out.find("fitting"), std::string::npos) << r.out;

    r = Run("qvxbuild", {"build", google, "--out", "google.db"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("\"Google Contacts (Google CSV)\" (" + program + "/mappings/google-contacts.map)"),
              std::string::npos)
        << r.err;
    EXPECT_EQ(qvxdbtest::Scalar(dir.File("google.db"), "SELECT group_concat(Name, '|') FROM Contact"),
              "Hans-Peter Schmidt|José Luis García Pérez");

    // Nothing fits: exit 3, and no database.
    r = Run("qvxbuild", {"build", "contacts.csv"});
    EXPECT_EQ(r.status, 3);
    EXPECT_NE(r.err.find("no mapping in " + program + "/mappings fits the file"), std::string::npos) << r.err;
    EXPECT_TRUE(DatabaseFiles().empty());
}

TEST_F(QvxBuildTest, InterruptedBuildLeavesNoFile) {
    std::string csv = "Name;Firma;Telefon\r\n";
    for (int i = 0; i < 300000; ++i)
        csv += "Person " + std::to_string(i) + ";Firm;0711 " + std::to_string(i) + "\r\n";
    qvxtest::WriteFile(dir.File("big.csv"), csv);
    qvxtest::WriteFile(program + "/last.db", "previous");
    Result r = Run("qvxbuild", {"build", "big.csv", "complete.map"}, 300);
    EXPECT_EQ(r.status, 4) << r.err;
    EXPECT_EQ(DatabaseFiles(), std::vector<std::string>{"last.db"});
    EXPECT_EQ(qvxtest::ReadFile(program + "/last.db"), "previous");
}

TEST_F(QvxBuildTest, SendToSimulatedPhones) {
    Result r = Run("qvxbuild", {"send"});
    EXPECT_EQ(r.status, 5);  // no last.db yet
    ASSERT_EQ(Run("qvxbuild", {"build", "contacts.csv", "complete.map"}).status, 0);
    r = Run("qvxbuild", {"send"});
    EXPECT_EQ(r.status, 5);  // no phone
    ASSERT_EQ(Run("qvx-phone", {"--phones", program + "/phones", "add", "Alpha", "--serial", "A1"}).status,
              0);
    ASSERT_EQ(Run("qvx-phone", {"--phones", program + "/phones", "add", "Tiny", "--serial", "T1", "--free",
                                "1000", "--installed"})
                  .status,
              0);
    r = Run("qvxbuild", {"send"});
    EXPECT_EQ(r.status, 5);
    EXPECT_NE(r.err.find("Alpha"), std::string::npos) << r.err;
    r = Run("qvxbuild", {"send", "--phone", "T1"});
    EXPECT_EQ(r.status, 5);
    EXPECT_NE(r.err.find("free"), std::string::npos) << r.err;
    r = Run("qvxbuild", {"send", "--phone", "Alpha"});
    EXPECT_EQ(r.status, 5);  // application missing, no --install
    EXPECT_EQ(DatabaseFiles(), std::vector<std::string>{"last.db"});

    std::string last = qvxtest::ReadFile(program + "/last.db");
    r = Run("qvxbuild", {"send", "--phone", "Alpha", "--install"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(DatabaseFiles(), std::vector<std::string>{"last.db"});
    std::string data = program + "/phones/Alpha/C/Data/Quorvex";
    std::vector<std::string> arrived;
    for (auto& e : fs::directory_iterator(data)) arrived.push_back(e.path().filename().string());
    ASSERT_EQ(arrived.size(), 2u);
    for (auto& name : arrived) {
        std::string expected = name.ends_with(".db") ? last : std::to_string(last.size());
        EXPECT_EQ(qvxtest::ReadFile(data + "/" + name), expected) << name;
    }
}

}  // namespace
