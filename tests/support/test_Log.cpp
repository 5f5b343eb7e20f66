#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <string>

#include "LogSandbox.h"
#include "support/Log.h"

using qvxtest::LogSandbox;
using qvxtest::MakeLogConfig;
using qvxtest::StderrCapture;

namespace {

const int nInfoLevel = 3;
const int nWarnLevel = 2;
const int nSilentLevel = 1;
const LOG_MODULE kCopy{"CpyThr", nInfoLevel, &nInfoLevel};
const LOG_MODULE kWarnOnly{"KTFI", nWarnLevel, &nWarnLevel};
const LOG_MODULE kSilent{"Quiet", nSilentLevel, &nSilentLevel};

const char kStart[] = "START LOGGING...\n";
const int kStartLength = 17;

long MonotonicMs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<long>(ts.tv_sec) * 1000L + ts.tv_nsec / 1000000L;
}

std::string ThreadId() {
    char id[16];
    snprintf(id, sizeof id, "%04X", static_cast<unsigned>(gettid()));
    return id;
}

// Length of the header piece of a record of a tag of at most 8 characters.
int HeaderLength() {
    return static_cast<int>(ThreadId().size()) + 1 + 18 + 1 + 10 + 1;
}

}  // namespace

TEST(LogRecord, InformationAndWarningLayout) {
    LogSandbox log(MakeLogConfig("QVXWizard.l_0", 0x200000));
    ASSERT_GE(log.StartResult(), 0);
    long before = MonotonicMs();
    time_t wallBefore = time(nullptr);
    LOG_INFO(kCopy, "StartWork() begin");
    const int warnLine = __LINE__ + 1;
    LOG_WARN(kCopy, "StartWork(): wrong Parameter");
    long after = MonotonicMs();
    time_t wallAfter = time(nullptr);

    std::vector<std::string> lines = qvxtest::ReadLines(log.Path("QVXWizard.l_0"));
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], "START LOGGING...");

    // "<thread> [<day><month> <hhmmss> <tick>] [CpyThr]   <text>"
    size_t header = qvxtest::RecordHeaderLength(lines[1]);
    ASSERT_GT(header, 0u) << lines[1];
    const std::string& info = lines[1];
    EXPECT_EQ(info.substr(0, ThreadId().size() + 2), ThreadId() + " [");
    EXPECT_EQ(info.substr(header), "[CpyThr]   StartWork() begin");

    // The tick part is the last four digits of the millisecond tick count.
    long tick = std::stol(info.substr(header - 6, 4));
    EXPECT_LE(((tick - before % 10000) + 10000) % 10000, after - before);

    tm local{};
    bool dateMatches = false;
    std::string dayMonth = info.substr(header - 18, 4);
    for (time_t t : {wallBefore, wallAfter}) {
        localtime_r(&t, &local);
        char expected[16];
        snprintf(expected, sizeof expected, "%02d%02d", local.tm_mday, local.tm_mon + 1);
        if (dayMonth == expected) dateMatches = true;
    }
    EXPECT_TRUE(dateMatches) << info;

    size_t warnHeader = qvxtest::RecordHeaderLength(lines[2]);
    ASSERT_GT(warnHeader, 0u) << lines[2];
    EXPECT_EQ(lines[2].substr(warnHeader),
              "[CpyThr]   WARNING: StartWork(): wrong Parameter (" + std::to_string(warnLine) + ")");
}

TEST(LogRecord, TagIsPaddedToTenCharacters) {
    struct Case {
        const char* tag;
        const char* expected;
    };
    const Case cases[] = {
        {"INFO", "[INFO]     text"},
        {"QVXDBBld", "[QVXDBBld] text"},
        {"LongTagName", "[LongTagName] text"},
        {"", "[]         text"},
    };
    LogSandbox log(MakeLogConfig("QVXWizard.l_0", 0));
    for (const Case& c : cases) {
        const LOG_MODULE mod{c.tag, nInfoLevel, &nInfoLevel};
        LOG_INFO(mod, "text");
    }
    std::vector<std::string> bodies = qvxtest::RecordBodies(log.Read());
    ASSERT_EQ(bodies.size(), std::size(cases));
    for (size_t i = 0; i < bodies.size(); ++i) EXPECT_EQ(bodies[i], cases[i].expected);
}

TEST(LogRecord, LevelDecidesWhatIsWritten) {
    LogSandbox log(MakeLogConfig("QVXWizard.l_0", 0));
    LOG_INFO(kWarnOnly, "info of a warning module");
    LOG_WARN(kWarnOnly, "warning of a warning module");
    LOG_INFO(kSilent, "info of a silent module");
    LOG_WARN(kSilent, "warning of a silent module");

    std::vector<std::string> bodies = qvxtest::RecordBodies(log.Read());
    ASSERT_EQ(bodies.size(), 1u);
    EXPECT_EQ(qvxtest::WarningTexts(log.Read(), "KTFI"),
              std::vector<std::string>{"warning of a warning module"});
}

TEST(LogRecord, FormatArgumentsAreNotFormatsThemselves) {
    LogSandbox log(MakeLogConfig("QVXWizard.l_0", 0));
    LOG_INFO(kCopy, "%s <%d>", "100%s %n", 7);
    EXPECT_EQ(qvxtest::RecordBodies(log.Read()), std::vector<std::string>{"[CpyThr]   100%s %n <7>"});
}

TEST(LogPiece, LongPiecesAreCutTo252CharactersAndDots) {
    struct Case {
        size_t length;
        size_t written;
        bool cut;
    };
    const Case cases[] = {
        {0, 0, false},     {1, 1, false},    {254, 254, false},
        {255, 255, false}, {256, 255, true}, {1000, 255, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.length);
        LogSandbox log(MakeLogConfig("QVXWizard.l_0", 0));
        std::string text(c.length, 'x');
        EXPECT_EQ(LOG_PRINTF("%s", text.c_str()), static_cast<int>(c.written));
        std::string expected = c.cut ? std::string(252, 'x') + "..." : text;
        EXPECT_EQ(log.Read(), kStart + expected);
    }
}

TEST(LogPiece, LongPrefixCutsTheHeaderLineThenTheRecordGoesOn) {
    LogSandbox log(MakeLogConfig("QVXWizard.l_0", 0));
    std::string prefix(300, 'p');
    int header = LOG_HEADER("CpyThr", "%s", prefix.c_str());
    LOG_PRINTF("rest");
    LOG_PRINTF("\n");
    EXPECT_EQ(header, 255);

    std::string content = log.Read().substr(kStartLength);
    ASSERT_EQ(content.size(), 255u + 4 + 1);
    std::string line = content.substr(0, 255);
    EXPECT_EQ(line.substr(HeaderLength() - 11, 11), "[CpyThr]   ");
    EXPECT_EQ(line.substr(HeaderLength(), 252 - HeaderLength()), std::string(252 - HeaderLength(), 'p'));
    EXPECT_EQ(line.substr(252), "...");
    EXPECT_EQ(content.substr(255), "rest\n");
}

TEST(LogSwitch, SwitchesWhenAPieceWouldPassHalfTheLimit) {
    LogSandbox log(MakeLogConfig("QVXWizard.l_0", 200));
    std::string fill(100 - kStartLength, 'a');
    EXPECT_EQ(LOG_PRINTF("%s", fill.c_str()), 100 - kStartLength);
    EXPECT_FALSE(log.Exists("QVXWizard.l_1")) << "exactly half the limit still fits";

    EXPECT_EQ(LOG_PRINTF("b"), 1);
    EXPECT_EQ(log.Read("QVXWizard.l_0"), kStart + fill);
    const std::string note0 = "VORIGE DATEI: QVXWizard.l_0\n";
    EXPECT_EQ(log.Read("QVXWizard.l_1"), note0 + "b");

    // The note counts: the second file is switched at the same limit and the
    // first one is truncated when it is taken again.
    std::string fill2(100 - note0.size() - 1, 'c');
    LOG_PRINTF("%s", fill2.c_str());
    LOG_PRINTF("d");
    EXPECT_EQ(log.Read("QVXWizard.l_1"), note0 + "b" + fill2);
    EXPECT_EQ(log.Read("QVXWizard.l_0"), "VORIGE DATEI: QVXWizard.l_1\nd");
}

TEST(LogSwitch, SwitchBetweenThePiecesOfOneRecord) {
    const int half = kStartLength + HeaderLength();
    LogSandbox log(MakeLogConfig("QVXWizard.l_0", 2 * half));
    LOG_INFO(kCopy, "Work() finish");

    std::string first = log.Read("QVXWizard.l_0");
    ASSERT_EQ(first.size(), static_cast<size_t>(half));
    EXPECT_EQ(first.substr(first.size() - 11), "[CpyThr]   ");
    EXPECT_EQ(log.Read("QVXWizard.l_1"), "VORIGE DATEI: QVXWizard.l_0\nWork() finish\n");
}

TEST(LogSwitch, FileCountDecidesTheSetOfFiles) {
    struct Case {
        int nFiles;
        int setSize;
    };
    const Case cases[] = {{0, 2}, {1, 1}, {2, 2}, {3, 3}, {10, 10}, {11, 10}, {99, 10}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.nFiles);
        // Every piece is too big for the room left, so each one switches.
        LogSandbox log(MakeLogConfig("QVXWizard.l_0", 60, c.nFiles));
        for (int i = 1; i <= 12; ++i) {
            char piece[32];
            snprintf(piece, sizeof piece, "piece %02d of the run", i);
            LOG_PRINTF("%s", piece);
            int index = i % c.setSize;
            int previous = (i - 1) % c.setSize;
            std::string expected = "VORIGE DATEI: QVXWizard.l_" + std::to_string(previous) + "\n" + piece;
            ASSERT_EQ(log.Read("QVXWizard.l_" + std::to_string(index)), expected) << "piece " << i;
        }
        int files = 0;
        for (const auto& entry : std::filesystem::directory_iterator(log.Dir().Path())) {
            (void)entry;
            ++files;
        }
        EXPECT_EQ(files, c.setSize);
    }
}

TEST(LogSwitch, NoSwitchingAtALimitOfTwoOrLess) {
    for (int limit : {-100, 0, 1, 2}) {
        SCOPED_TRACE(limit);
        LogSandbox log(MakeLogConfig("QVXWizard.l_0", limit));
        std::string piece(200, 'z');
        for (int i = 0; i < 50; ++i) LOG_PRINTF("%s", piece.c_str());
        EXPECT_EQ(log.Read().size(), kStartLength + 50u * 200);
        EXPECT_FALSE(log.Exists("QVXWizard.l_1"));
    }
}

TEST(LogStart, NewRunTruncatesTheFirstFileAndKeepsTheSecond) {
    LogSandbox log;
    qvxtest::WriteFile(log.Path("QVXWizard.l_0"), "old first\n");
    qvxtest::WriteFile(log.Path("QVXWizard.l_1"), "old second\n");
    LOG_CONFIG config = MakeLogConfig("QVXWizard.l_0", 0x200000);
    ASSERT_GE(log.Start(config), 0);
    EXPECT_EQ(log.Read("QVXWizard.l_0"), kStart);
    EXPECT_EQ(log.Read("QVXWizard.l_1"), "old second\n");
}

TEST(LogStart, NeverFollowsALinkNorWidensAMode) {
    LogSandbox log;
    const std::string victim = log.Path("private");
    qvxtest::WriteFile(victim, "the user's own\n");
    ASSERT_EQ(chmod(victim.c_str(), 0600), 0);
    ASSERT_EQ(symlink(victim.c_str(), log.Path("QVXWizard.l_0").c_str()), 0);
    ASSERT_EQ(symlink(victim.c_str(), log.Path("QVXWizard.l_1").c_str()), 0);
    {
        StderrCapture err;
        EXPECT_EQ(log.Start(MakeLogConfig("QVXWizard.l_0", 0x200000)), LOG_ERR_OPEN);
    }
    struct stat st {};
    ASSERT_EQ(stat(victim.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0600u);
    EXPECT_EQ(log.Read("private"), "the user's own\n");
    // A file of its own keeps its mode, and a new one is the owner's alone.
    ASSERT_EQ(unlink(log.Path("QVXWizard.l_0").c_str()), 0);
    ASSERT_EQ(unlink(log.Path("QVXWizard.l_1").c_str()), 0);
    qvxtest::WriteFile(log.Path("QVXWizard.l_0"), "old\n");
    ASSERT_EQ(chmod(log.Path("QVXWizard.l_0").c_str(), 0400 | 0200), 0);
    ASSERT_GE(log.Start(MakeLogConfig("QVXWizard.l_0", 60)), 0);
    LOG_PRINTF("%s", std::string(50, 'x').c_str());  // switches to the second file
    for (const char* name : {"QVXWizard.l_0", "QVXWizard.l_1"}) {
        ASSERT_EQ(stat(log.Path(name).c_str(), &st), 0) << name;
        EXPECT_EQ(st.st_mode & 07777, 0600u) << name;
    }
}

// A second run starts while the first still writes: neither loses lines, and
// no hole of NUL bytes appears.
TEST(LogStart, SecondRunKeepsTheFirstRunsLines) {
    LogSandbox log;
    int toChild[2], toParent[2];
    ASSERT_EQ(pipe(toChild), 0);
    ASSERT_EQ(pipe(toParent), 0);
    const pid_t child = fork();
    if (child == 0) {
        char c = 0;
        LOG_CONFIG config = MakeLogConfig("QVXWizard.l_0", 0x200000);
        if (LOG_START(&config) < 0) _exit(2);
        LOG_PRINTF("first run, early line\n");
        if (write(toParent[1], "a", 1) != 1 || read(toChild[0], &c, 1) != 1) _exit(3);
        LOG_PRINTF("first run, late line\n");
        LOG_STOP();
        _exit(0);
    }
    ASSERT_GT(child, 0);
    char c = 0;
    ASSERT_EQ(read(toParent[0], &c, 1), 1);
    ASSERT_GE(log.Start(MakeLogConfig("QVXWizard.l_0", 0x200000)), 0);
    LOG_PRINTF("second run\n");
    ASSERT_EQ(write(toChild[1], "b", 1), 1);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_EQ(status, 0);
    for (int fd : {toChild[0], toChild[1], toParent[0], toParent[1]}) close(fd);
    const std::string text = log.Read();
    EXPECT_EQ(text.find('\0'), std::string::npos);
    EXPECT_EQ(text, std::string(kStart) + "first run, early line\n" + kStart + "second run\n" +
                        "first run, late line\n\n");
    // Once no run writes there, a new run empties the file as before.
    LOG_STOP();
    ASSERT_GE(log.Start(MakeLogConfig("QVXWizard.l_0", 0x200000)), 0);
    EXPECT_EQ(log.Read(), kStart);
}

TEST(LogStart, AppendKeepsTheFirstFile) {
    LogSandbox log;
    qvxtest::WriteFile(log.Path("QVXWizard.l_0"), "old first\n");
    ASSERT_GE(log.Start(MakeLogConfig("QVXWizard.l_0", 0x200000, 0, 1)), 0);
    LOG_PRINTF("new");
    EXPECT_EQ(log.Read(), std::string("old first\n") + kStart + "new");
}

TEST(LogStart, FileNameEndsInUnderscoreAndIndex) {
    struct Case {
        std::string given;
        std::string created;
    };
    const Case cases[] = {
        {"QVXWizard.l_0", "QVXWizard.l_0"},
        {"trace.log", "trace.l_0"},
        {"ab", "_0"},
        {std::string(199, 'n'), std::string(196, 'n') + "_0"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.given);
        LogSandbox log(MakeLogConfig(c.given.c_str(), 0));
        ASSERT_GE(log.StartResult(), 0);
        EXPECT_EQ(log.Read(c.created), kStart);
    }
}

TEST(LogStart, StartWhileOpenKeepsTheConfigurationAndClosesTheOldFile) {
    auto openDescriptors = [] {
        int n = 0;
        for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
            (void)entry;
            ++n;
        }
        return n;
    };
    LogSandbox log(MakeLogConfig("first.l_0", 0));
    LOG_PRINTF("one");
    int descriptors = openDescriptors();
    LOG_CONFIG other = MakeLogConfig("other.l_0", 0, 0, 1);
    EXPECT_GE(LOG_START(&other), 0);
    LOG_PRINTF("two");
    EXPECT_EQ(openDescriptors(), descriptors);
    EXPECT_FALSE(log.Exists("other.l_0"));
    EXPECT_EQ(log.Read("first.l_0"), std::string(kStart) + "one" + kStart + "two");
}

TEST(LogStart, ReopenAfterEveryWriteReachesANewFile) {
    LogSandbox log(MakeLogConfig("QVXWizard.l_0", 0, 0, 0, LOG_FLAG_REOPEN));
    EXPECT_EQ(LOG_PRINTF("a"), 1);
    EXPECT_EQ(log.Read(), std::string(kStart) + "a");
    // A file removed behind the log's back is created anew at the next piece.
    ASSERT_EQ(unlink(log.Path("QVXWizard.l_0").c_str()), 0);
    EXPECT_EQ(LOG_PRINTF("b"), 1);
    EXPECT_EQ(LOG_PRINTF("c"), 1);
    EXPECT_EQ(log.Read(), "c");
}

TEST(LogState, CodesOutsideTheOpenState) {
    LogSandbox log;
    // Closed, initialised.
    EXPECT_EQ(LOG_HEADER("T", "%s", ""), LOG_ERR_NO_DESCRIPTOR);
    EXPECT_EQ(LOG_PRINTF("x"), LOG_ERR_NO_DESCRIPTOR);
    EXPECT_EQ(LOG_STOP(), LOG_ERR_NO_DESCRIPTOR);
    EXPECT_EQ(LOG_WRITE(-1, "x", 1), LOG_ERR_NO_DESCRIPTOR);

    LOG_CONFIG badMode = MakeLogConfig("QVXWizard.l_0", 0, 0, 0, 0, 7);
    EXPECT_EQ(LOG_START(&badMode), LOG_ERR_MODE);
    EXPECT_EQ(LOG_PRINTF("x"), LOG_ERR_NO_DESCRIPTOR);

    // Not initialised.
    EXPECT_EQ(LOG_EXIT(), 0);
    LOG_CONFIG config = MakeLogConfig("QVXWizard.l_0", 0);
    EXPECT_EQ(LOG_START(&config), LOG_ERR_NOT_INITIALISED);
    EXPECT_EQ(LOG_HEADER("T", "%s", ""), LOG_ERR_NOT_INITIALISED);
    EXPECT_EQ(LOG_PRINTF("x"), LOG_ERR_NOT_INITIALISED);
    EXPECT_EQ(LOG_STOP(), LOG_ERR_NOT_INITIALISED);
    EXPECT_EQ(LOG_WRITE(1, "x", 1), LOG_ERR_NOT_INITIALISED);
    LOG_INFO(kCopy, "dropped");
    EXPECT_FALSE(log.Exists("QVXWizard.l_0"));

    EXPECT_EQ(LOG_INIT(), 0);
    EXPECT_EQ(LOG_STOP(), LOG_ERR_NO_DESCRIPTOR);
    EXPECT_GE(LOG_START(&config), 0);
    EXPECT_EQ(LOG_STOP(), 0);
    EXPECT_EQ(log.Read(), std::string(kStart) + "\n");
}

// The log writes no failure itself (it cannot know the user's language):
// the first is handed to the program's report, once, also when the report
// is set after the failure.
std::string g_failures;
void NoteFailure(const char* pszFile, int nError) {
    g_failures += std::string(pszFile) + ": " + strerror(nError) + "\n";
}

struct FailureReport {
    FailureReport() {
        g_failures.clear();
        LOG_SET_FAILURE_REPORT(NoteFailure);
    }
    ~FailureReport() { LOG_SET_FAILURE_REPORT(nullptr); }
};

TEST(LogState, FailedWriteIsReportedOnce) {
    LogSandbox log(MakeLogConfig("QVXWizard.l_0", 0));
    StderrCapture err;
    int fd = dup(0);
    close(fd);
    EXPECT_EQ(LOG_WRITE(fd, "x", 1), -1);
    EXPECT_EQ(LOG_WRITE(fd, "x", 1), -1);
    FailureReport report;
    EXPECT_EQ(g_failures, "QVXWizard.l_0: Bad file descriptor\n");
    EXPECT_EQ(err.Text(), "");
}

TEST(LogFailure, FirstFileCannotBeOpened) {
    LogSandbox log;
    ASSERT_EQ(mkdir(log.Path("QVXWizard.l_0").c_str(), 0700), 0);
    StderrCapture err;
    FailureReport report;
    EXPECT_EQ(log.Start(MakeLogConfig("QVXWizard.l_0", 0)), LOG_ERR_OPEN);
    EXPECT_EQ(g_failures, "QVXWizard.l_0: Is a directory\n");
    EXPECT_EQ(err.Text(), "");
    EXPECT_EQ(LOG_HEADER("T", "%s", ""), LOG_ERR_NO_DESCRIPTOR);
    LOG_INFO(kCopy, "goes nowhere");
}

TEST(LogFailure, NextFileCannotBeOpenedAtASwitch) {
    LogSandbox log;
    ASSERT_EQ(mkdir(log.Path("QVXWizard.l_1").c_str(), 0700), 0);
    log.Start(MakeLogConfig("QVXWizard.l_0", 60));
    FailureReport report;
    EXPECT_EQ(LOG_PRINTF("%s", std::string(40, 'x').c_str()), LOG_ERR_OPEN);
    EXPECT_EQ(g_failures, "QVXWizard.l_1: Is a directory\n");
    // The log stays silent for the rest of the run.
    EXPECT_EQ(LOG_PRINTF("y"), LOG_ERR_NO_DESCRIPTOR);
    LOG_INFO(kCopy, "lost");
    EXPECT_EQ(log.Read(), kStart);
}

// Runs in a child without the rights of root, since root may write anywhere.
TEST(LogFailure, UnwritableFolderLeavesTheProgramRunningWithoutLog) {
    qvxtest::TempDir dir;
    ASSERT_EQ(chmod(dir.Path().c_str(), 0555), 0);
    auto child = [&dir] {
        if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) _exit(2);
        if (chdir(dir.Path().c_str()) != 0) _exit(3);
        LOG_STOP();
        LOG_INIT();
        LOG_SET_FAILURE_REPORT([](const char* pszFile, int nError) {
            fprintf(stderr, "report: %s: %s\n", pszFile, strerror(nError));
        });
        LOG_CONFIG config = MakeLogConfig("QVXWizard.l_0", 0x200000);
        if (LOG_START(&config) != LOG_ERR_OPEN) _exit(4);
        LOG_INFO(kCopy, "still running");
        if (LOG_HEADER("T", "%s", "") != LOG_ERR_NO_DESCRIPTOR) _exit(5);
        if (access("QVXWizard.l_0", F_OK) == 0) _exit(6);
        _exit(0);
    };
    EXPECT_EXIT(child(), ::testing::ExitedWithCode(0), "report: QVXWizard\\.l_0: Permission denied");
}
