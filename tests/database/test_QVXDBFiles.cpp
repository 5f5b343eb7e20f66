// File names, the semaphore file and last.db of the database builder, and
// builds that cannot write their file completely.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <string>

#include "BuildTestUtil.h"
#include "DbTestUtil.h"
#include "transfer/PhoneSession.h"

namespace {

using qvxtest::FileExists;
using qvxtest::ReadFile;
using qvxtest::WriteFile;

class DBFiles : public qvxdbtest::CBuildSandbox {
protected:
    std::string LastDB() const { return m_dir.File("last.db"); }
    std::string Base() const { return m_dir.Path() + "/1213524000000_2008-06-15_full"; }
};

TEST_F(DBFiles, NamesFollowTheMomentOfConstruction) {
    CQVXDBBuilder builder(qvxdbtest::kBuildSeconds);
    EXPECT_STREQ(builder.GetUpdateDate(), "2008-06-15");
    EXPECT_EQ(std::string(builder.GetFileBase()), Base());
    EXPECT_EQ(std::string(builder.GetDBFilePath()), Base() + ".db");

    char db[260], sem[260];
    builder.GetDBFileName(db, sizeof db);
    builder.GetSemFileName(sem, sizeof sem);
    EXPECT_EQ(std::string(db), Base() + ".db");
    EXPECT_EQ(std::string(sem), Base() + ".sem");

    // A buffer too small for the path stays empty instead of holding a cut path.
    char small[8];
    std::memset(small, 'z', sizeof small);
    builder.GetDBFileName(small, sizeof small);
    EXPECT_EQ(std::string(small, sizeof small), std::string(sizeof small, '\0'));

    // The local date decides the date part (Berlin: already the 15th at 23:30 UTC on the 14th).
    setenv("TZ", "Europe/Berlin", 1);
    tzset();
    CQVXDBBuilder late(1213486200);
    EXPECT_STREQ(late.GetUpdateDate(), "2008-06-15");
    EXPECT_EQ(std::string(late.GetFileBase()), m_dir.Path() + "/1213486200000_2008-06-15_full");

    CQVXDBBuilder now;
    EXPECT_EQ(std::strlen(now.GetUpdateDate()), 10u);
}

TEST_F(DBFiles, TooLongProgramFolderGivesNoFilesAtAll) {
    std::string folder = m_dir.Path() + "/" + std::string(240, 'f');
    ASSERT_EQ(mkdir(folder.c_str(), 0700), 0);
    qvxplatform::SetProgramFolder(folder);
    CQVXDBBuilder builder(qvxdbtest::kBuildSeconds);
    EXPECT_STREQ(builder.GetFileBase(), "");
    char db[260] = "x";
    builder.GetDBFileName(db, sizeof db);
    EXPECT_STREQ(db, "");
    EXPECT_EQ(builder.OpenDB(), qvxdb::kErrNoFileName);
    CDataMap map;
    qvxdbtest::FillTable(map, {"Name"}, {"N"}, {{"a"}});
    EXPECT_EQ(builder.BuildDb(map, nullptr), -1);
    EXPECT_EQ(builder.CreateSemFile(), -1);
    EXPECT_EQ(builder.DeleteDBFile(), 0);
    EXPECT_FALSE(builder.SetLastDB());
    EXPECT_FALSE(builder.GetLastDB());
}

TEST_F(DBFiles, SemaphoreFileHoldsTheSize) {
    struct Case {
        const char* name;
        int64_t bytes;  // -1: no database file
        const char* text;
        int64_t result;
        int64_t stored;
    };
    // Beyond 4 GiB the whole size counts (a sparse file takes no room).
    for (const Case& c : {Case{"sized", 1234567, "1234567", 1234567, 1234567}, Case{"empty", 0, "0", 0, 0},
                          Case{"missing", -1, "-1", -1, 4294967295LL},
                          Case{"5 GB", 5000000000LL, "5000000000", 5000000000LL, 5000000000LL}}) {
        SCOPED_TRACE(c.name);
        CQVXDBBuilder builder(qvxdbtest::kBuildSeconds);
        EXPECT_EQ(builder.GetDBSize(), 0);
        if (c.bytes >= 0) {
            WriteFile(Base() + ".db", "");
            ASSERT_EQ(truncate((Base() + ".db").c_str(), c.bytes), 0);
        }
        EXPECT_EQ(builder.CreateSemFile(), c.result);
        EXPECT_EQ(ReadFile(Base() + ".sem"), c.text);
        EXPECT_EQ(builder.GetDBSize(), c.stored);
        EXPECT_EQ(CQVXDBBuilder::GetDBFileSize((Base() + ".db").c_str()), c.bytes);
        // A phone with 6 GB free has no room for twice 5 GB.
        EXPECT_EQ(CPhoneSession::ApplyMemoryRule(builder.GetDBSize(), 6000000000LL).bFits,
                  c.bytes == 1234567 || c.bytes == 0);
        EXPECT_EQ(builder.DeleteSemFile(), 0);
        EXPECT_EQ(builder.DeleteDBFile(), 0);
        EXPECT_FALSE(FileExists(Base() + ".sem"));
        EXPECT_FALSE(FileExists(Base() + ".db"));
        // Deleting what is gone is no error.
        EXPECT_EQ(builder.DeleteSemFile(), 0);
    }
    EXPECT_EQ(CQVXDBBuilder::GetDBFileSize(m_dir.Path().c_str()), -1);  // a folder has no size
    EXPECT_EQ(CQVXDBBuilder::GetDBFileSize(nullptr), -1);
}

TEST_F(DBFiles, SemaphoreFileThatCannotBeCreated) {
    CQVXDBBuilder builder(qvxdbtest::kBuildSeconds);
    WriteFile(Base() + ".db", "12345");
    ASSERT_EQ(mkdir((Base() + ".sem").c_str(), 0700), 0);
    EXPECT_EQ(builder.CreateSemFile(), -1);
    EXPECT_EQ(builder.GetDBSize(), 5);  // measured all the same
}

TEST_F(DBFiles, LastDBRoundTrip) {
    CQVXDBBuilder build(qvxdbtest::kBuildSeconds);
    WriteFile(Base() + ".db", "new database");
    WriteFile(LastDB(), "previous");
    ASSERT_TRUE(build.SetLastDB());
    EXPECT_EQ(ReadFile(LastDB()), "new database");
    EXPECT_FALSE(FileExists(Base() + ".db"));

    // A second move finds no database file and keeps last.db as it was.
    EXPECT_FALSE(build.SetLastDB());
    EXPECT_EQ(ReadFile(LastDB()), "new database");

    // The transfer lends it under its own name (last.db stays) and gives it back.
    CQVXDBBuilder transfer(qvxdbtest::kBuildSeconds + 60);
    char db[260];
    transfer.GetDBFileName(db, sizeof db);
    ASSERT_TRUE(transfer.GetLastDB());
    EXPECT_EQ(ReadFile(LastDB()), "new database");
    EXPECT_EQ(ReadFile(db), "new database");
    EXPECT_EQ(transfer.CreateSemFile(), 12);
    ASSERT_TRUE(transfer.SetLastDB());
    EXPECT_EQ(transfer.DeleteSemFile(), 0);
    EXPECT_FALSE(FileExists(db));
    EXPECT_EQ(ReadFile(LastDB()), "new database");
}

TEST_F(DBFiles, GetLastDBNeverReplacesAFile) {
    CQVXDBBuilder builder(qvxdbtest::kBuildSeconds);
    // Without last.db: false, and the builder's path stays free.
    EXPECT_FALSE(builder.GetLastDB());
    EXPECT_FALSE(FileExists(Base() + ".db"));

    WriteFile(LastDB(), "last");
    WriteFile(Base() + ".db", "someone else's");
    EXPECT_FALSE(builder.GetLastDB());
    EXPECT_EQ(ReadFile(LastDB()), "last");
    EXPECT_EQ(ReadFile(Base() + ".db"), "someone else's");
}

TEST_F(DBFiles, FailedMoveKeepsThePreviousLastDB) {
    CQVXDBBuilder builder(qvxdbtest::kBuildSeconds);
    WriteFile(LastDB(), "previous");
    // A folder in place of the database file cannot replace a file.
    ASSERT_EQ(mkdir((Base() + ".db").c_str(), 0700), 0);
    EXPECT_FALSE(builder.SetLastDB());
    EXPECT_EQ(ReadFile(LastDB()), "previous");
}

// Runs a build in a child process whose files may grow to nLimit bytes; the
// child's exit code is 0 for a BuildDb result of 0, 1 for -1, else 2.
int BuildUnderFileSizeLimit(CDataMap& map, rlim_t nLimit) {
    pid_t pid = fork();
    if (pid == 0) {
        signal(SIGXFSZ, SIG_IGN);  // the write fails with EFBIG instead
        rlimit limit{nLimit, nLimit};
        if (setrlimit(RLIMIT_FSIZE, &limit) != 0) _exit(3);
        CQVXDBBuilder builder(qvxdbtest::kBuildSeconds);
        int rc = builder.BuildDb(map, nullptr);
        _exit(rc == 0 ? 0 : rc == -1 ? 1 : 2);
    }
    int status = 0;
    if (pid < 0 || waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
}

TEST_F(DBFiles, BuildThatHitsTheFileSizeLimitFails) {
    CDataMap map;
    std::vector<std::vector<qvxdbtest::Cell>> rows;
    for (int i = 0; i < 3000; ++i) {
        std::string n = std::to_string(i);
        rows.push_back(
            {"Name " + n, "Company " + n, "+49 30 " + n, "mail" + n + "@example.org", "City " + n});
    }
    qvxdbtest::FillTable(map, {"Name", "Firma", "Tel", "Mail", "Ort"}, {"N", "C", "PD", "E", "L"}, rows);

    EXPECT_EQ(BuildUnderFileSizeLimit(map, 64 * 1024), 1);
    EXPECT_EQ(BuildUnderFileSizeLimit(map, 256 * 1024 * 1024), 0);
    EXPECT_EQ(qvxdbtest::Scalar(Base() + ".db", "SELECT count(*) FROM ContactDetail"), "12000");
}

}  // namespace
