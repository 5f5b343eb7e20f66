// Nothing is lost whatever happens to qvxbuild: odd arguments, output paths
// that must not be written, runs killed at any moment, runs at the same time.
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/inotify.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "../database/DbTestUtil.h"
#include "ToolTestEnv.h"

namespace {

namespace fs = std::filesystem;
using qvxtest::Result;

std::string ContactsCsv(int rows, const std::string& prefix) {
    std::string csv = "Name;Firma;Telefon\r\n";
    for (int i = 0; i < rows; ++i)
        csv += prefix + " Person " + std::to_string(i) + ";Firm;0711 " + std::to_string(i) + "\r\n";
    return csv;
}

class QvxBuildFaults : public qvxtest::ToolTest {
protected:
    std::string Last() const { return program + "/last.db"; }
    std::string Contacts(const std::string& path) const {
        return qvxdbtest::Scalar(path, "SELECT COUNT(*) FROM Contact");
    }
    bool Whole(const std::string& path) const {
        return qvxdbtest::Scalar(path, "PRAGMA integrity_check") == "ok";
    }
    // Everything in the program folder that is not part of the program.
    std::vector<std::string> Leftovers() const {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(program)) {
            const std::string n = e.path().filename().string();
            if (n.ends_with(".db") || n.ends_with(".sem") || n.find(".unfinished") != std::string::npos ||
                n.ends_with(".lent") || n.starts_with(".qvxbuild-") || n.starts_with(".qvxstaging."))
                names.push_back(n);
        }
        return names;
    }
    // A start that tidies and then fails (no such phone).
    void StartOnce() { EXPECT_EQ(Run("qvxbuild", {"send", "--phone", "nobody"}).status, 5); }
    void AddPhone(const std::vector<std::string>& args) {
        std::vector<std::string> all{"--phones", program + "/phones", "add"};
        all.insert(all.end(), args.begin(), args.end());
        ASSERT_EQ(Run("qvx-phone", all).status, 0);
    }
};

// The phone replaces its whole contact book with the database it gets: one
// without a contact goes only when asked for.
TEST_F(QvxBuildFaults, EmptyDatabaseIsSentOnlyWithAllowEmpty) {
    qvxtest::WriteFile(dir.File("nobody.csv"), "Name;Firma;Telefon\r\n;;0711 1\r\n");
    ASSERT_EQ(Run("qvxbuild", {"build", "nobody.csv", "complete.map"}).status, 0);
    ASSERT_EQ(Contacts(Last()), "0");
    AddPhone({"Office", "--serial", "O1", "--installed"});
    const std::string data = program + "/phones/Office/C/Data/Quorvex";
    Result r = Run("qvxbuild", {"send"});
    EXPECT_EQ(r.status, 5) << r.err;
    EXPECT_NE(r.err.find("no contact"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("--allow-empty"), std::string::npos) << r.err;
    EXPECT_TRUE(fs::is_empty(data));
    EXPECT_EQ(Leftovers(), std::vector<std::string>{"last.db"});
    r = Run("qvxbuild", {"send", "--allow-empty"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(std::distance(fs::directory_iterator(data), fs::directory_iterator()), 2);
}

TEST_F(QvxBuildFaults, OddArgumentsEndInAMessageAndAnExitCode) {
    const std::vector<std::string> odd = {"", "-", "--", std::string(5000, 'x'), "/no/such/folder/file"};
    std::vector<std::vector<std::string>> runs;
    for (const std::string& a : odd) {
        runs.push_back({"analyze", a});
        runs.push_back({"analyze", a, a});
        runs.push_back({"analyze", "contacts.csv", "--map", a});
        runs.push_back({"build", a});
        runs.push_back({"build", a, "complete.map"});
        runs.push_back({"build", "contacts.csv", a});
        runs.push_back({"build", "contacts.csv", "complete.map", "--out", a});
        runs.push_back({"build", "contacts.csv", "complete.map", "--language", a});
        runs.push_back({"send", a});
        runs.push_back({"send", "--phone", a});
        runs.push_back({a});
    }
    for (const auto& args : runs) {
        Result r = Run("qvxbuild", args);
        std::string shown;
        for (const auto& a : args) {
            shown += '\'';
            shown += a.substr(0, 30);
            shown += "' ";
        }
        EXPECT_GE(r.status, 1) << shown;
        EXPECT_LE(r.status, 5) << shown << r.err;
        EXPECT_FALSE(r.err.empty() && r.out.empty()) << shown;
    }
    EXPECT_TRUE(Leftovers().empty());

    // An empty path is a missing path.
    Result r = Run("qvxbuild", {"analyze", "", "--json"});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.out.find("\"result\":-100"), std::string::npos) << r.out;
}

TEST_F(QvxBuildFaults, TwoDashesEndTheOptions) {
    qvxtest::WriteFile(dir.File("-x.csv"), qvxtest::ReadFile(dir.File("contacts.csv")));
    EXPECT_EQ(Run("qvxbuild", {"analyze", "--", "-x.csv"}).status, 0);
    Result r = Run("qvxbuild", {"build", "--out", "x.db", "--", "-x.csv", "complete.map"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(Contacts(dir.File("x.db")), "2");
    EXPECT_EQ(Run("qvxbuild", {"send", "--"}).status, 5);  // accepted; nothing to send yet
    // send takes no file: the refusal names what follows the end of the options.
    r = Run("qvxbuild", {"send", "--", "-x.csv"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("unexpected argument '-x.csv'"), std::string::npos) << r.err;
}

TEST_F(QvxBuildFaults, OutputThatMustNotBeWritten) {
    const std::string csv = qvxtest::ReadFile(dir.File("contacts.csv"));
    const std::string map = qvxtest::ReadFile(dir.File("complete.map"));
    fs::create_directory(dir.File("folder"));
    fs::create_symlink(dir.File("contacts.csv"), dir.File("link.csv"));
    fs::create_symlink("/dev/null", dir.File("null"));
    ASSERT_EQ(mkfifo(dir.File("fifo").c_str(), 0644), 0);
    qvxtest::WriteFile(dir.File("notes.txt"), "my notes");
    for (const char* out : {"", "-", "contacts.csv", "complete.map", "link.csv", "folder", "null", "fifo",
                            "notes.txt", "/dev/null"}) {
        Result r = Run("qvxbuild", {"build", "contacts.csv", "complete.map", "--out", out});
        EXPECT_EQ(r.status, 1) << out << r.err;
        EXPECT_FALSE(r.err.empty()) << out;
    }
    EXPECT_EQ(qvxtest::ReadFile(dir.File("contacts.csv")), csv);
    EXPECT_EQ(qvxtest::ReadFile(dir.File("complete.map")), map);
    EXPECT_EQ(qvxtest::ReadFile(dir.File("notes.txt")), "my notes");
    EXPECT_TRUE(fs::is_symlink(dir.File("null")));
    EXPECT_TRUE(fs::is_character_file("/dev/null"));

    // The program's own files, also by another way into its folder: last.db
    // (a build without --out makes it), a lent name, a build's file.
    qvxtest::WriteFile(dir.File("more.csv"), ContactsCsv(5, "More"));
    ASSERT_EQ(Run("qvxbuild", {"build", "contacts.csv", "complete.map"}).status, 0);
    const std::string last = qvxtest::ReadFile(Last());
    fs::create_directory_symlink(program, dir.File("via"));
    for (const std::string& out :
         {program + "/last.db", dir.File("via/last.db"), program + "/1213524000000_2008-06-15_full.db",
          program + "/1213524000000_2008-06-15_full.AbCdEf.unfinished"}) {
        Result r = Run("qvxbuild", {"build", "more.csv", "complete.map", "--out", out});
        EXPECT_EQ(r.status, 1) << out << r.err;
        EXPECT_NE(r.err.find("keeps for itself"), std::string::npos) << r.err;
    }
    EXPECT_TRUE(qvxtest::ReadFile(Last()) == last);
    EXPECT_EQ(Leftovers(), std::vector<std::string>{"last.db"});
    // The trace log's files, the one written now and the next one, which a
    // later run empties whether or not it exists yet.
    for (const std::string& out :
         {program + "/QVXWizard.l_0", program + "/QVXWizard.l_1", dir.File("via/QVXWizard.l_1")}) {
        Result r = Run("qvxbuild", {"build", "more.csv", "complete.map", "--out", out});
        EXPECT_EQ(r.status, 1) << out << r.err;
        EXPECT_NE(r.err.find("trace log"), std::string::npos) << r.err;
    }
    EXPECT_FALSE(fs::exists(program + "/QVXWizard.l_1"));

    // An existing database is replaced, and keeps its mode.
    ASSERT_EQ(Run("qvxbuild", {"build", "contacts.csv", "complete.map", "--out", "x.db"}).status, 0);
    ASSERT_EQ(chmod(dir.File("x.db").c_str(), 0400), 0);
    ASSERT_EQ(Run("qvxbuild", {"build", "more.csv", "complete.map", "--out", "x.db"}).status, 0);
    EXPECT_EQ(Contacts(dir.File("x.db")), "5");
    struct stat info {};
    ASSERT_EQ(stat(dir.File("x.db").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0400u);
    for (const auto& e : fs::directory_iterator(dir.Path()))
        EXPECT_FALSE(e.path().filename().string().starts_with(".qvxbuild-")) << e.path();

    // Folders of the user's that are named like a staging folder stay, however old.
    for (const char* folder : {".qvxbuild-AbCdEf", ".qvxbuild-notes"}) {
        fs::create_directory(dir.File(folder));
        qvxtest::WriteFile(dir.File(folder) + "/.held", "");
        qvxtest::WriteFile(dir.File(folder) + "/last.db", "mine");
        fs::last_write_time(dir.File(folder), fs::last_write_time(dir.File(folder)) - std::chrono::hours(2));
    }
    ASSERT_EQ(Run("qvxbuild", {"build", "contacts.csv", "complete.map", "--out", "x.db"}).status, 0);
    StartOnce();
    for (const char* folder : {".qvxbuild-AbCdEf", ".qvxbuild-notes"})
        EXPECT_EQ(qvxtest::ReadFile(dir.File(folder) + "/last.db"), "mine") << folder;
}

// A killed --out build leaves its staging folder beside the output; the
// next start of any command removes it, wherever it is.
TEST_F(QvxBuildFaults, AKilledOutBuildIsTidiedByTheNextStart) {
    qvxtest::WriteFile(dir.File("big.csv"), ContactsCsv(60000, "Big"));
    fs::create_directory(dir.File("elsewhere"));
    auto staging = [this] {
        std::vector<std::string> found;
        for (const auto& e : fs::directory_iterator(dir.File("elsewhere")))
            if (e.path().filename().string().starts_with(".qvxbuild-")) found.push_back(e.path());
        return found;
    };
    auto building = [&staging] {
        std::error_code ec;
        for (const std::string& folder : staging())
            for (const auto& e : fs::directory_iterator(folder, ec))
                if (e.path().extension() == ".unfinished") return true;
        return false;
    };
    const pid_t pid = Start("qvxbuild", {"build", "big.csv", "complete.map", "--out", "elsewhere/o.db"});
    for (int i = 0; i < 4000 && !building(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    kill(pid, SIGKILL);
    EXPECT_EQ(Wait(pid).status, 128 + SIGKILL);
    ASSERT_EQ(staging().size(), 1u);

    StartOnce();
    EXPECT_TRUE(staging().empty());
    EXPECT_FALSE(fs::exists(dir.File("elsewhere/o.db")));
    EXPECT_TRUE(Leftovers().empty());
}

// A stop that comes as a build ends (here: as the finished database is
// closed): either the build finished and says so, or nothing was replaced.
TEST_F(QvxBuildFaults, AStopAsTheBuildEndsTellsWhatHappened) {
    ASSERT_EQ(Run("qvxbuild", {"build", "contacts.csv", "complete.map"}).status, 0);
    qvxtest::WriteFile(dir.File("big.csv"), ContactsCsv(60000, "Big"));
    for (int round = 0; round < 3; ++round) {
        const std::string before = qvxtest::ReadFile(Last());
        const int watch = inotify_init1(IN_CLOEXEC);
        ASSERT_GE(inotify_add_watch(watch, program.c_str(), IN_CLOSE_WRITE), 0);
        const pid_t pid = Start("qvxbuild", {"build", "big.csv", "complete.map"});
        alignas(inotify_event) char events[4096];
        pollfd ready{watch, POLLIN, 0};
        bool closed = false;
        while (!closed && poll(&ready, 1, 20000) == 1) {
            const ssize_t n = read(watch, events, sizeof events);
            for (ssize_t at = 0; at < n;) {
                const auto* event = reinterpret_cast<const inotify_event*>(events + at);
                closed = closed || (event->len > 0 && std::string(event->name).ends_with(".unfinished"));
                at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
            }
        }
        kill(pid, SIGINT);
        close(watch);
        ASSERT_TRUE(closed);
        Result r = Wait(pid);
        const bool replaced = qvxtest::ReadFile(Last()) != before;
        if (r.status == 0) {
            EXPECT_TRUE(replaced);
            EXPECT_NE(r.out.find("last.db"), std::string::npos);
        } else {
            EXPECT_EQ(r.status, 4);
            EXPECT_FALSE(replaced) << r.err;
            EXPECT_NE(r.err.find("stopped; no database was written"), std::string::npos) << r.err;
        }
        if (replaced) {
            ASSERT_EQ(Run("qvxbuild", {"build", "contacts.csv", "complete.map"}).status, 0);
        }
    }
    EXPECT_EQ(Leftovers(), std::vector<std::string>{"last.db"});
}

TEST_F(QvxBuildFaults, AFailedReplacementOfLastDbIsAFailedBuild) {
    fs::create_directory(Last());
    Result r = Run("qvxbuild", {"build", "contacts.csv", "complete.map"});
    EXPECT_EQ(r.status, 4);
    EXPECT_NE(r.err.find("last.db"), std::string::npos) << r.err;
    EXPECT_TRUE(fs::is_directory(Last()));
    EXPECT_EQ(Leftovers(), std::vector<std::string>{"last.db"});
}

TEST_F(QvxBuildFaults, BuildsAtTheSameTimeBothSucceed) {
    qvxtest::WriteFile(dir.File("big.csv"), ContactsCsv(20000, "Big"));
    const pid_t a = Start("qvxbuild", {"build", "big.csv", "complete.map"}, "a");
    const pid_t b = Start("qvxbuild", {"build", "big.csv", "complete.map"}, "b");
    Result ra = Wait(a, "a"), rb = Wait(b, "b");
    // Both are built; one that finishes after a later start says that its
    // database was not kept, and does not end with success.
    for (const Result* r : {&ra, &rb}) {
        if (r->status != 0) {
            EXPECT_EQ(r->status, 4) << r->err;
            EXPECT_NE(r->err.find("started later is already last.db"), std::string::npos) << r->err;
        }
    }
    EXPECT_TRUE(ra.status == 0 || rb.status == 0);
    EXPECT_EQ(Leftovers(), std::vector<std::string>{"last.db"});
    EXPECT_TRUE(Whole(Last()));
    EXPECT_EQ(Contacts(Last()), "20000");
}

TEST_F(QvxBuildFaults, BuildsAndSendsAtTheSameTime) {
    ASSERT_EQ(Run("qvxbuild", {"build", "contacts.csv", "complete.map"}).status, 0);
    const std::string old = qvxtest::ReadFile(Last());
    AddPhone({"Slow", "--serial", "S1", "--installed", "--speed", std::to_string(old.size() * 2)});
    AddPhone({"Other", "--serial", "S2", "--installed", "--speed", std::to_string(old.size() * 2)});
    qvxtest::WriteFile(dir.File("new.csv"), ContactsCsv(300, "New"));

    // A send, a second send started at once, and builds meanwhile: the sends
    // take the old database, the later build stays last.db.
    const pid_t send = Start("qvxbuild", {"send", "--phone", "Slow"}, "send");
    const pid_t second = Start("qvxbuild", {"send", "--phone", "Other"}, "second");
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    const pid_t build1 = Start("qvxbuild", {"build", "new.csv", "complete.map"}, "b1");
    Result r1 = Wait(build1, "b1");
    Result rs = Wait(send, "send"), r2 = Wait(second, "second");
    EXPECT_EQ(r1.status, 0) << r1.err;
    EXPECT_EQ(rs.status, 0) << rs.err;
    EXPECT_EQ(r2.status, 0) << r2.err;
    EXPECT_EQ(Contacts(Last()), "300");
    EXPECT_EQ(Leftovers(), std::vector<std::string>{"last.db"});
    for (const char* phone : {"Slow", "Other"}) {
        for (const auto& e : fs::directory_iterator(program + "/phones/" + phone + "/C/Data/Quorvex"))
            if (e.path().extension() == ".db") {
                EXPECT_EQ(qvxtest::ReadFile(e.path()), old) << phone;
            }
    }
}

// A long build, a send, then a short build started last and finished first:
// the send keeps the database it started with, and the long build, finishing
// last, does not take last.db back from the later start, and says so.
TEST_F(QvxBuildFaults, ABuildRacingASendRacingASecondBuild) {
    ASSERT_EQ(Run("qvxbuild", {"build", "contacts.csv", "complete.map"}).status, 0);
    const std::string old = qvxtest::ReadFile(Last());
    AddPhone({"Slow", "--serial", "S1", "--installed", "--speed", std::to_string(old.size() * 2)});
    qvxtest::WriteFile(dir.File("big.csv"), ContactsCsv(60000, "Big"));
    qvxtest::WriteFile(dir.File("small.csv"), ContactsCsv(7, "Small"));

    const pid_t big = Start("qvxbuild", {"build", "big.csv", "complete.map"}, "big");
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    const pid_t send = Start("qvxbuild", {"send", "--phone", "Slow"}, "send");
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    const pid_t small = Start("qvxbuild", {"build", "small.csv", "complete.map"}, "small");
    Result rSmall = Wait(small, "small");
    Result rBig = Wait(big, "big"), rSend = Wait(send, "send");
    EXPECT_EQ(rSmall.status, 0) << rSmall.err;
    EXPECT_EQ(rBig.status, 4) << rBig.err;
    EXPECT_NE(rBig.err.find("started later is already last.db"), std::string::npos) << rBig.err;
    EXPECT_EQ(rBig.out, "");
    EXPECT_EQ(rSend.status, 0) << rSend.err;
    EXPECT_TRUE(Whole(Last()));
    EXPECT_EQ(Contacts(Last()), "7");
    EXPECT_EQ(Leftovers(), std::vector<std::string>{"last.db"});
    for (const auto& e : fs::directory_iterator(program + "/phones/Slow/C/Data/Quorvex"))
        if (e.path().extension() == ".db") {
            EXPECT_EQ(qvxtest::ReadFile(e.path()), old);
        }
}

TEST_F(QvxBuildFaults, ALinkOutOfThePhoneIsAnError) {
    ASSERT_EQ(Run("qvxbuild", {"build", "contacts.csv", "complete.map"}).status, 0);
    AddPhone({"Tricky", "--serial", "T1", "--installed"});
    const std::string data = program + "/phones/Tricky/C/Data/Quorvex";
    fs::remove(data);
    fs::create_directory(dir.File("elsewhere"));
    fs::create_directory_symlink(dir.File("elsewhere"), data);
    for (bool install : {false, true}) {
        std::vector<std::string> args{"send", "--phone", "Tricky"};
        if (install) args.push_back("--install");
        Result r = Run("qvxbuild", args);
        EXPECT_EQ(r.status, 5) << r.err;
        EXPECT_NE(r.err.find("leads out"), std::string::npos) << r.err;
        EXPECT_TRUE(fs::is_empty(dir.File("elsewhere")));
    }
    EXPECT_EQ(Leftovers(), std::vector<std::string>{"last.db"});
}

// Kills a build or a send at several moments with each signal; afterwards
// last.db is there, whole, and the old or the new database, and the next
// start leaves nothing else.
TEST_F(QvxBuildFaults, KilledAtAnyMomentLosesNothing) {
    ASSERT_EQ(Run("qvxbuild", {"build", "contacts.csv", "complete.map"}).status, 0);
    const std::string old = qvxtest::ReadFile(Last());
    qvxtest::WriteFile(dir.File("big.csv"), ContactsCsv(60000, "Big"));
    AddPhone({"Slow", "--serial", "S1", "--installed", "--speed", std::to_string(old.size() * 4)});

    for (int sig : {SIGKILL, SIGHUP, SIGTERM, SIGINT}) {
        for (int delayMs : {60, 250, 700}) {
            for (bool build : {true, false}) {
                SCOPED_TRACE(std::string(build ? "build" : "send") + " signal " + std::to_string(sig) +
                             " after " + std::to_string(delayMs) + " ms");
                const std::string before = qvxtest::ReadFile(Last());
                const pid_t pid = build ? Start("qvxbuild", {"build", "big.csv", "complete.map"})
                                        : Start("qvxbuild", {"send", "--phone", "Slow"});
                std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
                kill(pid, sig);
                Result r = Wait(pid);
                EXPECT_NE(r.status, 134) << r.err;  // never an abort
                ASSERT_TRUE(qvxtest::FileExists(Last()));
                EXPECT_TRUE(Whole(Last()));
                const std::string count = Contacts(Last());
                if (build) {
                    EXPECT_TRUE(count == "60000" || qvxtest::ReadFile(Last()) == before) << count;
                } else {
                    EXPECT_EQ(qvxtest::ReadFile(Last()), before);
                }
                StartOnce();
                EXPECT_EQ(Leftovers(), std::vector<std::string>{"last.db"});
                // Back to the small database for the next round.
                if (count != "2") {
                    ASSERT_EQ(Run("qvxbuild", {"build", "contacts.csv", "complete.map"}).status, 0);
                }
            }
        }
    }
}

}  // namespace
