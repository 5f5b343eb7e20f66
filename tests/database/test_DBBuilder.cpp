#include <gtest/gtest.h>

#include <string>

#include "DbTestUtil.h"
#include "TestUtil.h"
#include "database/DBBuilder.h"

namespace {

using qvxdbtest::Query;
using qvxdbtest::Scalar;

TEST(DBBuilder, OpenWithoutFileNameFailsAndStaysUsable) {
    qvxtest::TempDir dir;
    CDBBuilder db;
    EXPECT_EQ(db.OpenDB(), qvxdb::kErrNoFileName);
    EXPECT_FALSE(db.IsOpen());
    db.SetDBFileName("");
    EXPECT_EQ(db.OpenDB(), qvxdb::kErrNoFileName);
    db.SetDBFileName(dir.File("a.db").c_str());
    ASSERT_EQ(db.OpenDB(), 0);
    EXPECT_TRUE(db.IsOpen());
    EXPECT_EQ(db.CloseDB(), 0);
    EXPECT_FALSE(db.IsOpen());
    EXPECT_TRUE(qvxtest::FileExists(dir.File("a.db")));
}

TEST(DBBuilder, OpenFailureLeavesItClosedAndRetryable) {
    qvxtest::TempDir dir;
    CDBBuilder db;
    db.SetDBFileName(dir.File("missing/folder/a.db").c_str());
    EXPECT_EQ(db.OpenDB(), qvxdb::kErrOpen);
    EXPECT_FALSE(db.IsOpen());
    db.SetDBFileName(dir.File("a.db").c_str());
    EXPECT_EQ(db.OpenDB(), 0);
    // A second open on the same thread is refused instead of waiting for itself.
    EXPECT_EQ(db.OpenDB(), qvxdb::kErrOpen);
    EXPECT_TRUE(db.IsOpen());
    EXPECT_EQ(db.CloseDB(), 0);
}

TEST(DBBuilder, ExecuteSqlCodes) {
    qvxtest::TempDir dir;
    CDBBuilder db;
    EXPECT_EQ(db.ExecuteSQL("CREATE TABLE t (a)"), qvxdb::kErrNotOpen);
    EXPECT_EQ(db.BeginTransaction(), SQLITE_MISUSE);
    EXPECT_EQ(db.CommitTransaction(), SQLITE_MISUSE);

    db.SetDBFileName(dir.File("a.db").c_str());
    ASSERT_EQ(db.OpenDB(), 0);
    EXPECT_EQ(db.ExecuteSQL("%s", ""), qvxdb::kErrNoText);
    EXPECT_EQ(db.ExecuteSQL("CREATE TABLE t (a INTEGER, b TEXT)"), 0);
    EXPECT_EQ(db.ExecuteSQL("CREATE TABLEE broken"), qvxdb::kErrExecute);
    EXPECT_EQ(db.ExecuteSQL("CREATE TABLE t (a)"), qvxdb::kErrExecute);
    // The connection is still usable after a failed statement.
    EXPECT_EQ(db.BeginTransaction(), SQLITE_OK);
    EXPECT_EQ(db.ExecuteSQL("INSERT INTO t VALUES(%d,'%s')", 7, "seven"), 0);
    EXPECT_EQ(db.CommitTransaction(), SQLITE_OK);
    EXPECT_NE(db.CommitTransaction(), SQLITE_OK);  // no transaction open any more

    // Statements past 5000 characters run whole, never cut.
    std::string longText(12000, 'q');
    EXPECT_EQ(db.ExecuteSQL("INSERT INTO t VALUES(%d,'%s')", 8, longText.c_str()), 0);
    ASSERT_EQ(db.CloseDB(), 0);

    auto rows = Query(dir.File("a.db"), "SELECT a, length(b), substr(b,1,5) FROM t ORDER BY a");
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0], (qvxdbtest::Row{"7", "5", "seven"}));
    EXPECT_EQ(rows[1], (qvxdbtest::Row{"8", "12000", "qqqqq"}));
}

// A handle for the test to leave a statement open behind the builder's back.
class COpenBuilder : public CDBBuilder {
public:
    sqlite3* Handle() const { return GetHandle(); }
};

TEST(DBBuilder, CloseAlwaysEndsClosed) {
    qvxtest::TempDir dir;
    COpenBuilder db;
    db.SetDBFileName(dir.File("a.db").c_str());
    ASSERT_EQ(db.OpenDB(), 0);
    ASSERT_EQ(db.ExecuteSQL("CREATE TABLE t (a)"), 0);
    sqlite3_stmt* leaked = nullptr;
    ASSERT_EQ(sqlite3_prepare_v2(db.Handle(), "SELECT a FROM t", -1, &leaked, nullptr), SQLITE_OK);
    EXPECT_EQ(db.CloseDB(), qvxdb::kErrClose);
    EXPECT_FALSE(db.IsOpen());
    // The lock was released: the same object opens again.
    ASSERT_EQ(db.OpenDB(), 0);
    EXPECT_EQ(db.CloseDB(), 0);
    // Closing a closed builder is harmless.
    EXPECT_EQ(db.CloseDB(), 0);
}

TEST(DBBuilder, DestructionClosesAnOpenConnection) {
    qvxtest::TempDir dir;
    {
        CDBBuilder db;
        db.SetDBFileName(dir.File("a.db").c_str());
        ASSERT_EQ(db.OpenDB(), 0);
        ASSERT_EQ(db.BeginTransaction(), SQLITE_OK);
        ASSERT_EQ(db.ExecuteSQL("CREATE TABLE t (a)"), 0);
        ASSERT_EQ(db.CommitTransaction(), SQLITE_OK);
    }
    EXPECT_EQ(Scalar(dir.File("a.db"), "SELECT count(*) FROM sqlite_master WHERE name='t'"), "1");
}

}  // namespace
