#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "import/DataMap.h"

namespace {

bool AllZero(const char* p, int n) {
    for (int i = 0; i < n; ++i)
        if (p[i] != 0) return false;
    return true;
}

TEST(DataRow, FieldRulesAndBufferSizes) {
    CDataRow row(3);
    EXPECT_EQ(row.GetFieldCount(), 3);
    EXPECT_EQ(row.SetField(-1, "x"), qvxdm::kErrRange);
    EXPECT_EQ(row.SetField(3, "x"), qvxdm::kErrRange);

    std::string s512(512, 'a');
    std::string s513(513, 'b');
    ASSERT_EQ(row.SetField(0, s512.c_str()), 0);
    ASSERT_EQ(row.SetField(1, s513.c_str()), 0);

    // The caller's extra byte keeps a text of exactly `size` bytes terminated.
    std::vector<char> buf(513, 'z');
    buf[512] = 0;
    EXPECT_EQ(row.GetField(0, buf.data(), 512), 0);
    EXPECT_EQ(std::string(buf.data()), s512);

    std::fill(buf.begin(), buf.end(), 'z');
    EXPECT_EQ(row.GetField(1, buf.data(), 512), qvxdm::kErrRange);
    EXPECT_TRUE(AllZero(buf.data(), 512));

    std::fill(buf.begin(), buf.end(), 'z');
    EXPECT_EQ(row.GetField(2, buf.data(), 512), qvxdm::kErrAbsent);
    EXPECT_TRUE(AllZero(buf.data(), 512));

    std::fill(buf.begin(), buf.end(), 'z');
    EXPECT_EQ(row.GetField(7, buf.data(), 512), qvxdm::kErrRange);
    EXPECT_TRUE(AllZero(buf.data(), 512));

    EXPECT_EQ(row.GetField(0, nullptr, 512), qvxdm::kErrMemory);
}

TEST(DataRow, ReplacingAndClearingASlot) {
    CDataRow row(1);
    char buf[16];
    ASSERT_EQ(row.SetField(0, "first"), 0);
    ASSERT_EQ(row.SetField(0, "2nd"), 0);
    ASSERT_EQ(row.GetField(0, buf, 15), 0);
    EXPECT_STREQ(buf, "2nd");
    ASSERT_EQ(row.SetField(0, nullptr), 0);
    EXPECT_EQ(row.GetField(0, buf, 15), qvxdm::kErrAbsent);
    ASSERT_EQ(row.SetField(0, ""), 0);
    EXPECT_EQ(row.GetField(0, buf, 15), 0);
    EXPECT_STREQ(buf, "");
    // A buffer of size 0 still takes the empty text.
    EXPECT_EQ(row.GetField(0, buf, 0), 0);
}

TEST(DataRow, ZeroOrNegativeSlotCount) {
    CDataRow none(0), negative(-5);
    char buf[4];
    EXPECT_EQ(none.SetField(0, "x"), qvxdm::kErrRange);
    EXPECT_EQ(negative.GetFieldCount(), 0);
    EXPECT_EQ(negative.GetField(0, buf, 3), qvxdm::kErrRange);
}

TEST(DataMap, ColumnCountIsFixedByTheFirstCall) {
    CDataMap map;
    EXPECT_EQ(map.SetColumnCount(0), 0);
    EXPECT_EQ(map.SetColumnCount(-2), qvxdm::kErrColumns);
    EXPECT_EQ(map.GetColumnCount(), 0);
    EXPECT_EQ(map.SetColumnCount(3), 3);
    EXPECT_EQ(map.SetColumnCount(4), qvxdm::kErrColumns);
    EXPECT_EQ(map.GetColumnCount(), 3);
    EXPECT_EQ(map.SetColumnCount(3), 3);
    map.Reset(true);
    EXPECT_EQ(map.SetColumnCount(4), 4);
}

TEST(DataMap, AppendingRowsAndWalkingThem) {
    CDataMap map;
    ASSERT_EQ(map.SetColumnCount(2), 2);
    for (int i = 0; i < 3; ++i) {
        ASSERT_EQ(map.AddRow(map.GetRowCount()), 0);
        CDataRow* row = map.NextRow();  // the cursor points at the new row
        ASSERT_NE(row, nullptr);
        EXPECT_EQ(row->GetKey(), i);
        EXPECT_EQ(row->GetFieldCount(), 2);
        ASSERT_EQ(row->SetField(0, std::to_string(i * 10).c_str()), 0);
    }
    EXPECT_EQ(map.AddRow(0), qvxdm::kErrKeyExists);
    EXPECT_EQ(map.GetRowCount(), 3);

    map.Rewind();
    std::vector<int> keys;
    while (CDataRow* row = map.NextRow()) keys.push_back(row->GetKey());
    EXPECT_EQ(keys, (std::vector<int>{0, 1, 2}));
    EXPECT_EQ(map.NextRow(), nullptr);
    map.Rewind();
    ASSERT_NE(map.NextRow(), nullptr);
}

TEST(DataMap, RowsComeInKeyOrderWhateverTheInsertOrder) {
    CDataMap map;
    map.SetColumnCount(1);
    for (int key : {5, -3, 9, 0}) ASSERT_EQ(map.AddRow(key), 0);
    map.Rewind();
    std::vector<int> keys;
    while (CDataRow* row = map.NextRow()) keys.push_back(row->GetKey());
    EXPECT_EQ(keys, (std::vector<int>{-3, 0, 5, 9}));
}

TEST(DataMap, DeletingTheRowAtTheCursorKeepsTheWalkGoing) {
    CDataMap map;
    map.SetColumnCount(1);
    for (int key = 0; key < 4; ++key) ASSERT_EQ(map.AddRow(key), 0);
    map.Rewind();
    ASSERT_EQ(map.NextRow()->GetKey(), 0);
    map.DeleteRow(1);  // the row the cursor points at
    map.DeleteRow(42);
    CDataRow* next = map.NextRow();
    ASSERT_NE(next, nullptr);
    EXPECT_EQ(next->GetKey(), 2);
    EXPECT_EQ(map.GetRowCount(), 3);
    // After the header's row is removed, appending starts again at key 0.
    map.DeleteRow(0);
    map.DeleteRow(2);
    map.DeleteRow(3);
    EXPECT_EQ(map.NextRow(), nullptr);
    EXPECT_EQ(map.AddRow(map.GetRowCount()), 0);
    EXPECT_EQ(map.NextRow()->GetKey(), 0);
}

TEST(DataMap, DeletingARowBeforeTheCursorKeepsTheCursorOnItsRow) {
    CDataMap map;
    map.SetColumnCount(1);
    for (int key : {10, 20, 30, 40}) ASSERT_EQ(map.AddRow(key), 0);
    map.Rewind();
    map.NextRow();
    map.NextRow();
    map.DeleteRow(10);
    ASSERT_NE(map.NextRow(), nullptr);
    map.Rewind();
    map.NextRow();
    EXPECT_EQ(map.NextRow()->GetKey(), 30);
    // A row added between others is found in key order and under its key.
    ASSERT_EQ(map.AddRow(25), 0);
    EXPECT_EQ(map.NextRow()->GetKey(), 25);
    EXPECT_EQ(map.AddRow(25), qvxdm::kErrKeyExists);
    map.Rewind();
    std::vector<int> keys;
    while (CDataRow* row = map.NextRow()) keys.push_back(row->GetKey());
    EXPECT_EQ(keys, (std::vector<int>{20, 25, 30, 40}));
}

// Rows and texts handed out do not move while the table grows, whatever the
// size of the texts.
TEST(DataMap, RowsAndTextsStayWhereTheyAreWhileTheTableGrows) {
    CDataMap map;
    map.SetColumnCount(3);
    const std::string large(600000, 'L');
    ASSERT_EQ(map.AddRow(0), 0);
    CDataRow* first = map.NextRow();
    ASSERT_EQ(first->SetField(0, "first"), 0);
    ASSERT_EQ(first->SetField(1, large.c_str()), 0);
    ASSERT_EQ(first->SetField(2, ""), 0);
    const char* pFirstText = first->PeekField(0)->data();
    for (int i = 1; i < 50000; ++i) {
        ASSERT_EQ(map.AddRow(i), 0);
        CDataRow* row = map.NextRow();
        ASSERT_EQ(row->SetField(0, ("text " + std::to_string(i)).c_str()), 0);
        if (i % 1000 == 0) {
            ASSERT_EQ(row->SetField(1, large.c_str()), 0);
        }
    }
    map.Rewind();
    EXPECT_EQ(map.NextRow(), first);
    EXPECT_EQ(first->PeekField(0)->data(), pFirstText);
    EXPECT_EQ(*first->PeekField(0), "first");
    EXPECT_EQ(*first->PeekField(1), large);
    EXPECT_EQ(*first->PeekField(2), "");
    int n = 1;
    while (CDataRow* row = map.NextRow()) {
        ASSERT_EQ(*row->PeekField(0), "text " + std::to_string(n));
        ASSERT_EQ(row->PeekField(1).has_value(), n % 1000 == 0);
        ASSERT_FALSE(row->PeekField(2).has_value());
        ++n;
    }
    EXPECT_EQ(n, 50000);
}

// Texts are found again under their references, short ones in shared blocks
// and long ones in blocks of their own, in any order.
TEST(CellArena, TextsComeBackUnderTheirReferences) {
    CCellArena arena;
    EXPECT_EQ(arena.GetHeldBytes(), 0u);
    std::vector<std::pair<CCellArena::TextRef, std::string>> stored;
    for (int i = 0; i < 200000; ++i) {
        std::string text = "text " + std::to_string(i);
        if (i % 50000 == 7) text.assign(size_t{300000} + static_cast<size_t>(i), 'L');
        void* pSlots = arena.Allocate(static_cast<size_t>(i % 9) * 4, 4);
        ASSERT_EQ(reinterpret_cast<uintptr_t>(pSlots) % 4, 0u);
        stored.emplace_back(arena.StoreText(text.c_str(), text.size()), text);
    }
    EXPECT_EQ(arena.StoreText("", 0), CCellArena::kEmptyText);
    EXPECT_STREQ(arena.GetText(CCellArena::kEmptyText), "");
    for (const auto& [ref, text] : stored) {
        ASSERT_NE(ref, CCellArena::kNoText);
        ASSERT_EQ(std::string(arena.GetText(ref)), text);
    }
    EXPECT_GE(arena.GetHeldBytes(), size_t{4} * 300000);
    arena.Clear();
    EXPECT_EQ(arena.GetHeldBytes(), 0u);
    EXPECT_STREQ(arena.GetText(arena.StoreText("again", 5)), "again");
}

TEST(DataMap, HeaderAndMappingRows) {
    CDataMap map;
    map.SetColumnCount(3);
    CDataRow* header = map.GetHeaderRow();
    ASSERT_NE(header, nullptr);
    EXPECT_EQ(header, map.GetHeaderRow());
    EXPECT_EQ(header->GetFieldCount(), 3);

    CDataRow* mapping = map.GetMappingRow();
    ASSERT_EQ(mapping->SetField(1, "PD"), 0);
    map.DeleteMappingRow();
    mapping = map.GetMappingRow();
    ASSERT_NE(mapping, nullptr);
    char buf[8] = "junk";
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(mapping->GetField(i, buf, 7), qvxdm::kErrAbsent);
        EXPECT_STREQ(buf, "");
    }

    // A reset without `full` keeps the header row with its texts; a full one drops it.
    ASSERT_EQ(header->SetField(0, "Name"), 0);
    ASSERT_EQ(map.AddRow(0), 0);
    map.Reset(false);
    EXPECT_EQ(map.GetHeaderRow(), header);
    EXPECT_EQ(*header->PeekField(0), "Name");
    map.Reset(true);
    EXPECT_EQ(map.GetColumnCount(), 0);
    EXPECT_EQ(map.GetHeaderRow()->GetFieldCount(), 0);
}

TEST(DataMap, NameAndDescription) {
    CDataMap map;
    char buf[6];
    std::memset(buf, 'z', sizeof buf);
    buf[5] = 0;
    EXPECT_EQ(map.GetName(buf, 5), qvxdm::kErrAbsent);
    EXPECT_TRUE(AllZero(buf, 5));
    ASSERT_EQ(map.SetName("Office"), 0);
    EXPECT_EQ(map.GetName(buf, 5), qvxdm::kErrRange);
    EXPECT_TRUE(AllZero(buf, 5));
    ASSERT_EQ(map.SetName("Home"), 0);
    EXPECT_EQ(map.GetName(buf, 5), 0);
    EXPECT_STREQ(buf, "Home");
    ASSERT_EQ(map.SetDescription("12345"), 0);
    EXPECT_EQ(map.GetDescription(buf, 5), 0);
    EXPECT_STREQ(buf, "12345");
    EXPECT_EQ(map.GetDescription(nullptr, 5), qvxdm::kErrMemory);
}

// The table's own structure stays consistent while one thread appends and
// others ask for counts and the header row.
TEST(DataMap, ConcurrentReadersWhileAppending) {
    CDataMap map;
    map.SetColumnCount(2);
    std::thread writer([&] {
        for (int i = 0; i < 2000; ++i) {
            ASSERT_EQ(map.AddRow(map.GetRowCount()), 0);
            map.NextRow()->SetField(0, "x");
        }
    });
    int last = 0;
    for (int i = 0; i < 2000; ++i) {
        int n = map.GetRowCount();
        EXPECT_GE(n, last);
        last = n;
        EXPECT_EQ(map.GetColumnCount(), 2);
        EXPECT_NE(map.GetHeaderRow(), nullptr);
    }
    writer.join();
    EXPECT_EQ(map.GetRowCount(), 2000);
}

}  // namespace
