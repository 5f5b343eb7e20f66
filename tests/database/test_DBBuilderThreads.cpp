// The builder's lock: one connection per builder object at a time.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "TestUtil.h"
#include "database/DBBuilder.h"

namespace {

TEST(DBBuilderThreads, SecondOpenerWaitsForTheFirstClose) {
    qvxtest::TempDir dir;
    CDBBuilder db;
    db.SetDBFileName(dir.File("a.db").c_str());
    ASSERT_EQ(db.OpenDB(), 0);

    std::atomic<int> secondResult{1};
    std::thread second([&] {
        int rc = db.OpenDB();
        secondResult.store(rc);
        if (rc == 0) {
            db.ExecuteSQL("CREATE TABLE second (a)");
            db.CloseDB();
        }
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(secondResult.load(), 1);  // still waiting
    ASSERT_EQ(db.ExecuteSQL("CREATE TABLE first (a)"), 0);
    ASSERT_EQ(db.CloseDB(), 0);
    second.join();
    EXPECT_EQ(secondResult.load(), 0);
    EXPECT_FALSE(db.IsOpen());
}

TEST(DBBuilderThreads, SeparateBuildersDoNotShareALock) {
    qvxtest::TempDir dir;
    CDBBuilder a, b;
    a.SetDBFileName(dir.File("a.db").c_str());
    b.SetDBFileName(dir.File("b.db").c_str());
    ASSERT_EQ(a.OpenDB(), 0);
    std::thread other([&] {
        EXPECT_EQ(b.OpenDB(), 0);
        EXPECT_EQ(b.CloseDB(), 0);
    });
    other.join();
    EXPECT_EQ(a.CloseDB(), 0);
}

}  // namespace
