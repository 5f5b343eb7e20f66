#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "LogSandbox.h"
#include "support/GuardedString.h"
#include "support/StringMapTable.h"

using namespace qvxsupport;

namespace {

// Keys and texts of a table in walking order.
std::vector<std::pair<int, std::string>> Walk(CStringMapTable& table) {
    std::vector<std::pair<int, std::string>> out;
    table.Rewind();
    int key = 0;
    while (CGuardedString* entry = table.NextEntry(&key)) {
        out.emplace_back(key, entry->GetText() ? entry->GetText() : "<none>");
    }
    return out;
}

}  // namespace

TEST(GuardedString, AssignCopyAndEmpty) {
    CGuardedString empty;
    EXPECT_EQ(empty.GetText(), nullptr);
    EXPECT_EQ(empty.GetLength(), 0);
    EXPECT_EQ(empty.GetCapacity(), 0);

    CGuardedString s("abc");
    EXPECT_STREQ(s.GetText(), "abc");
    EXPECT_EQ(s.GetLength(), 3);
    EXPECT_EQ(s.GetCapacity(), 4);

    EXPECT_EQ(s.Assign("hello world", 5), 0);
    EXPECT_STREQ(s.GetText(), "hello");
    EXPECT_EQ(s.GetCapacity(), 6);
    EXPECT_EQ(s.Assign("", 0), 0);
    EXPECT_STREQ(s.GetText(), "");
    EXPECT_EQ(s.GetCapacity(), 1);

    EXPECT_EQ(s.Assign(nullptr, 3), KT_ERR_STRING_MISSING);
    EXPECT_EQ(s.Assign("abc", -1), KT_ERR_STRING_MISSING);
    EXPECT_STREQ(s.GetText(), "") << "a refused assignment keeps the text";

    CGuardedString copy;
    EXPECT_EQ(copy.Copy(nullptr), KT_ERR_STRING_MISSING);
    EXPECT_EQ(copy.Copy(&empty), KT_ERR_STRING_MISSING);
    CGuardedString source("line");
    EXPECT_EQ(copy.Copy(&source), 0);
    EXPECT_STREQ(copy.GetText(), "line");
    EXPECT_NE(copy.GetText(), source.GetText());
    EXPECT_EQ(copy.GetCapacity(), 5);
    EXPECT_EQ(copy.Copy(&copy), 0);
    EXPECT_STREQ(copy.GetText(), "line");

    // A text taken from the string itself survives its own replacement.
    EXPECT_EQ(copy.Assign(copy.GetText() + 1, 2), 0);
    EXPECT_STREQ(copy.GetText(), "in");
}

TEST(StringMapTable, KeysAndCodes) {
    CStringMapTable table;
    EXPECT_EQ(table.AddNewEntry(5), 0);
    EXPECT_EQ(table.AddNewEntry(5), KT_ERR_KEY_PRESENT);
    EXPECT_EQ(table.GetCount(), 1);
    EXPECT_EQ(table.AddEntry(5, "x"), KT_ERR_KEY_PRESENT);

    EXPECT_EQ(table.AddEntry(0, "abc"), 0);
    CGuardedString* entry = nullptr;
    ASSERT_EQ(table.GetEntry(0, &entry), 0);
    EXPECT_STREQ(entry->GetText(), "abc");
    EXPECT_EQ(entry->GetLength(), 3);
    EXPECT_EQ(entry->GetCapacity(), 4);

    EXPECT_EQ(table.AddNewEntry(0), KT_ERR_KEY_PRESENT) << "a key below the last one is found too";
    EXPECT_EQ(table.GetCount(), 2);

    EXPECT_EQ(table.GetEntry(9, &entry), KT_ERR_KEY_NOT_FOUND);
    EXPECT_EQ(entry, nullptr);
    EXPECT_EQ(table.GetEntry(0, nullptr), KT_ERR_STRING_MISSING);

    // A missing text leaves no half entry behind.
    EXPECT_EQ(table.AddEntry(7, nullptr), KT_ERR_STRING_MISSING);
    EXPECT_EQ(table.GetEntry(7, &entry), KT_ERR_KEY_NOT_FOUND);
    EXPECT_EQ(table.GetCount(), 2);

    // Bytes after a zero are kept when a length is given.
    EXPECT_EQ(table.AddEntry(-3, "a\0b", 3), 0);
    ASSERT_EQ(table.GetEntry(-3, &entry), 0);
    EXPECT_EQ(entry->GetLength(), 3);
    EXPECT_EQ(std::string(entry->GetText(), 3), std::string("a\0b", 3));
}

TEST(StringMapTable, WalksInAscendingKeyOrder) {
    CStringMapTable table;
    EXPECT_EQ(table.NextEntry(), nullptr) << "a new table has nothing under its cursor";
    for (int key : {2, 0, 1, -7, 1000})
        table.AddEntry(key, std::string("k").append(std::to_string(key)).c_str());
    const std::vector<std::pair<int, std::string>> expected = {
        {-7, "k-7"}, {0, "k0"}, {1, "k1"}, {2, "k2"}, {1000, "k1000"}};
    EXPECT_EQ(Walk(table), expected);
    EXPECT_EQ(table.NextEntry(), nullptr);

    // GetEntry and AddNewEntry move the cursor to their key.
    CGuardedString* entry = nullptr;
    table.GetEntry(1, &entry);
    ASSERT_NE(table.NextEntry(), nullptr);
    EXPECT_STREQ(table.NextEntry()->GetText(), "k2");
    table.AddNewEntry(500);
    EXPECT_EQ(table.NextEntry()->GetText(), nullptr) << "the new entry is empty";
    EXPECT_STREQ(table.NextEntry()->GetText(), "k1000");
    table.GetEntry(12345, &entry);
    EXPECT_EQ(table.NextEntry(), nullptr) << "a missing key leaves the cursor at the end";
}

TEST(StringMapTable, ClearEmptiesTheTableAndItsCursor) {
    CStringMapTable table;
    table.AddEntry(0, "a");
    table.AddEntry(1, "b");
    table.Rewind();
    EXPECT_EQ(table.Clear(), 0);
    EXPECT_EQ(table.GetCount(), 0);
    EXPECT_EQ(table.NextEntry(), nullptr);
    table.Rewind();
    EXPECT_EQ(table.NextEntry(), nullptr);
    EXPECT_EQ(table.AddEntry(0, "again"), 0);
    EXPECT_EQ(Walk(table), (std::vector<std::pair<int, std::string>>{{0, "again"}}));
}
