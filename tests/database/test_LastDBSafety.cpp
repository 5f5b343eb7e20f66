// last.db is never absent and never goes backwards: lending by a second
// name, builds in unique unfinished files, the newer build winning, failed
// replacement, and tidying what killed runs left.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "BuildTestUtil.h"
#include "DbTestUtil.h"

namespace {

namespace fs = std::filesystem;
using qvxtest::FileExists;
using qvxtest::ReadFile;
using qvxtest::WriteFile;

class LastDBSafety : public qvxdbtest::CBuildSandbox {
protected:
    std::string LastDB() const { return m_dir.File("last.db"); }
    std::vector<std::string> Names() const {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(m_dir.Path())) {
            const std::string n = e.path().filename().string();
            if (n != "language.ini") names.push_back(n);
        }
        std::sort(names.begin(), names.end());
        return names;
    }
    // Starts a build file and writes `bytes` into it as the finished database.
    static void Build(CQVXDBBuilder& builder, const std::string& bytes) {
        ASSERT_TRUE(builder.BeginBuildFile());
        WriteFile(builder.GetDBFilePath(), bytes);
    }
};

TEST_F(LastDBSafety, LendingKeepsLastDbAndAReplacedOneIsNotUndone) {
    WriteFile(LastDB(), "old");
    CQVXDBBuilder lender(qvxdbtest::kBuildSeconds);
    ASSERT_TRUE(lender.GetLastDB());
    const std::string lent = std::string(lender.GetFileBase()) + ".db";
    EXPECT_EQ(ReadFile(LastDB()), "old");
    EXPECT_EQ(ReadFile(lent), "old");

    // A build finishing meanwhile replaces last.db; the lent copy stays as it was.
    CQVXDBBuilder build;
    Build(build, "new");
    ASSERT_TRUE(build.SetLastDB());
    EXPECT_EQ(ReadFile(lent), "old");
    // Giving back removes only the second name.
    ASSERT_TRUE(lender.SetLastDB());
    EXPECT_EQ(ReadFile(LastDB()), "new");
    EXPECT_EQ(Names(), std::vector<std::string>{"last.db"});

    // A last.db removed while lent comes back from the lent name.
    ASSERT_TRUE(lender.GetLastDB());
    ASSERT_EQ(unlink(LastDB().c_str()), 0);
    ASSERT_TRUE(lender.SetLastDB());
    EXPECT_EQ(ReadFile(LastDB()), "new");
    EXPECT_EQ(Names(), std::vector<std::string>{"last.db"});

    // Why a lending fails.
    CQVXDBBuilder second(qvxdbtest::kBuildSeconds);
    ASSERT_TRUE(lender.GetLastDB());
    EXPECT_FALSE(second.GetLastDB());
    EXPECT_EQ(second.GetFileError(), EEXIST);
    second.NameAfter(qvxdbtest::kBuildSeconds + 1);
    EXPECT_TRUE(second.GetLastDB());
    EXPECT_TRUE(second.SetLastDB());
    EXPECT_TRUE(lender.SetLastDB());
    ASSERT_EQ(unlink(LastDB().c_str()), 0);
    EXPECT_FALSE(second.GetLastDB());
    EXPECT_EQ(second.GetFileError(), ENOENT);
}

TEST_F(LastDBSafety, BuildsOfTheSameSecondMeetNeverAndTheLaterStartWins) {
    CQVXDBBuilder first(qvxdbtest::kBuildSeconds);
    CQVXDBBuilder second(qvxdbtest::kBuildSeconds);
    Build(first, "first");
    Build(second, "second");
    EXPECT_NE(std::string(first.GetDBFilePath()), std::string(second.GetDBFilePath()));
    EXPECT_TRUE(std::string(first.GetDBFilePath()).ends_with(".unfinished"));

    // The later started build finishes first; the earlier one must not replace it.
    ASSERT_TRUE(second.SetLastDB());
    ASSERT_TRUE(first.SetLastDB());
    EXPECT_EQ(ReadFile(LastDB()), "second");
    EXPECT_EQ(Names(), std::vector<std::string>{"last.db"});

    // In the usual order the later build replaces the earlier.
    CQVXDBBuilder third;
    Build(third, "third");
    ASSERT_TRUE(third.SetLastDB());
    EXPECT_EQ(ReadFile(LastDB()), "third");
    struct stat info {};
    ASSERT_EQ(stat(LastDB().c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0644u);

    // Two builds finishing in the order they started: the later one is last.db.
    CQVXDBBuilder earlier;
    CQVXDBBuilder later;
    Build(earlier, "earlier");
    Build(later, "later");
    ASSERT_TRUE(earlier.SetLastDB());
    ASSERT_TRUE(later.SetLastDB());
    EXPECT_EQ(ReadFile(LastDB()), "later");
}

TEST_F(LastDBSafety, AFailedReplacementKeepsLastDbAndSaysWhy) {
    ASSERT_EQ(mkdir(LastDB().c_str(), 0755), 0);
    CQVXDBBuilder build;
    Build(build, "new");
    EXPECT_FALSE(build.SetLastDB());
    EXPECT_NE(build.GetFileError(), 0);
    build.DeleteDBFile();
    EXPECT_EQ(Names(), std::vector<std::string>{"last.db"});
    EXPECT_TRUE(fs::is_directory(LastDB()));
}

// A start removes what killed runs of the program left, and only that: a
// name that merely looks like the program's (a database copied back from a
// phone, a user's unfinished file) is never removed nor taken for last.db.
TEST_F(LastDBSafety, AStartTidiesOnlyWhatItProvesItsOwn) {
    WriteFile(LastDB(), "current");
    // Held by runs still going: a lending and a build.
    CQVXDBBuilder lending(qvxdbtest::kBuildSeconds + 180);
    ASSERT_TRUE(lending.GetLastDB());
    ASSERT_GT(lending.CreateSemFile(), 0);
    CQVXDBBuilder running;
    ASSERT_TRUE(running.BeginBuildFile());
    // Left by killed runs: a build's own file, a lending killed before a
    // build replaced last.db (its record proves it), and a lent name that
    // still is last.db.
    WriteFile(m_dir.File("1213524000000_2008-06-15_full.AbCdEf.unfinished"), "partial");
    CQVXDBBuilder first;
    Build(first, "new");
    ASSERT_TRUE(first.SetLastDB());
    {
        CQVXDBBuilder killed(qvxdbtest::kBuildSeconds + 60);
        ASSERT_TRUE(killed.GetLastDB());
        ASSERT_GT(killed.CreateSemFile(), 0);
    }
    CQVXDBBuilder second;
    Build(second, "newer");
    ASSERT_EQ(chmod(LastDB().c_str(), 0600), 0);
    ASSERT_TRUE(second.SetLastDB());
    struct stat info {};
    ASSERT_EQ(stat(LastDB().c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);  // the replaced file's mode stays
    ASSERT_EQ(link(LastDB().c_str(), m_dir.File("1213524120000_2008-06-15_full.db").c_str()), 0);
    // The user's, though named alike.
    const std::vector<std::string> users = {
        "1213524000000_2008-06-15_full.db", "1213524000000_2008-06-15_full.sem",
        "1213524240000_2008-06-15_full.sem", "notes.db", "thesis.unfinished"};
    for (const std::string& name : users) WriteFile(m_dir.File(name), "mine");

    CQVXDBBuilder::TidyProgramFolder();
    std::vector<std::string> expected = users;
    for (const char* name : {"last.db", "1213524180000_2008-06-15_full.db",
                             "1213524180000_2008-06-15_full.sem", "1213524180000_2008-06-15_full.lent"})
        expected.emplace_back(name);
    expected.push_back(fs::path(running.GetDBFilePath()).filename().string());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(Names(), expected);
    EXPECT_EQ(ReadFile(LastDB()), "newer");

    // A missing last.db comes back from the newest lent copy a killed run
    // left, whatever its name says, and never from the user's newer file of
    // the same kind of name.
    running.DeleteDBFile();
    ASSERT_TRUE(lending.SetLastDB());
    {
        CQVXDBBuilder older(qvxdbtest::kBuildSeconds + 360);
        ASSERT_TRUE(older.GetLastDB());
    }
    CQVXDBBuilder third;
    Build(third, "newest");
    ASSERT_TRUE(third.SetLastDB());
    {
        CQVXDBBuilder killed(qvxdbtest::kBuildSeconds + 300);
        ASSERT_TRUE(killed.GetLastDB());
    }
    ASSERT_EQ(unlink(LastDB().c_str()), 0);
    WriteFile(m_dir.File("1213524000000_2008-06-15_full.db"), "mine");
    CQVXDBBuilder::TidyProgramFolder();
    expected = users;
    expected.emplace_back("last.db");
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(Names(), expected);
    EXPECT_EQ(ReadFile(LastDB()), "newest");
    for (const std::string& name : users) EXPECT_EQ(ReadFile(m_dir.File(name)), "mine") << name;
}

}  // namespace
