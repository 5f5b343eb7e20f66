#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "support/GuardedString.h"
#include "support/StringMapTable.h"

TEST(StringMapTable, WritersOnSeveralThreadsKeepEveryEntry) {
    CStringMapTable table;
    std::vector<std::thread> writers;
    for (int t = 0; t < 4; ++t) {
        writers.emplace_back([&table, t] {
            for (int i = 0; i < 500; ++i) table.AddEntry(t * 1000 + i, std::to_string(t * 1000 + i).c_str());
        });
    }
    for (std::thread& w : writers) w.join();
    EXPECT_EQ(table.GetCount(), 2000);
    table.Rewind();
    int key = 0;
    while (CGuardedString* entry = table.NextEntry(&key)) EXPECT_EQ(entry->GetText(), std::to_string(key));
}

TEST(GuardedString, CrossCopiesOnTwoThreadsDoNotDeadlock) {
    CGuardedString a("first");
    CGuardedString b("second");
    std::thread one([&] {
        for (int i = 0; i < 2000; ++i) a.Copy(&b);
    });
    std::thread two([&] {
        for (int i = 0; i < 2000; ++i) b.Copy(&a);
    });
    one.join();
    two.join();
    std::string text = a.GetText();
    EXPECT_TRUE(text == "first" || text == "second");
    EXPECT_EQ(a.GetLength(), static_cast<int>(text.size()));
    EXPECT_EQ(a.GetCapacity(), a.GetLength() + 1);
}
