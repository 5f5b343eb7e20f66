// Texts into fixed buffers, case-blind names and the shown progress percentage.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "support/AsciiCase.h"
#include "support/ProgressPercent.h"
#include "support/TextBuffer.h"

using namespace qvxsupport;

namespace {

TEST(TextBuffer, CopiesWholeOrLeavesEmpty) {
    char buffer[8];
    std::memset(buffer, 'x', sizeof buffer);
    EXPECT_TRUE(CopyWholeOrEmpty(buffer, sizeof buffer, "1234567"));
    EXPECT_STREQ(buffer, "1234567");
    // One byte more would need the closing zero's place: nothing is kept.
    EXPECT_FALSE(CopyWholeOrEmpty(buffer, sizeof buffer, "12345678"));
    EXPECT_STREQ(buffer, "");
    EXPECT_TRUE(CopyWholeOrEmpty(buffer, sizeof buffer, std::string()));
    EXPECT_STREQ(buffer, "");
    EXPECT_FALSE(CopyWholeOrEmpty(nullptr, 8, "a"));
    buffer[0] = 'x';
    EXPECT_FALSE(CopyWholeOrEmpty(buffer, 0, "a"));
    EXPECT_EQ(buffer[0], 'x');
}

TEST(TextBuffer, CopiesCut) {
    char buffer[6];
    CopyCut(buffer, sizeof buffer, "abcdefgh");
    EXPECT_STREQ(buffer, "abcde");
    CopyCut(buffer, sizeof buffer, "ab");
    EXPECT_STREQ(buffer, "ab");
    CopyCut(buffer, sizeof buffer, nullptr);
    EXPECT_STREQ(buffer, "");
    // From within the buffer itself (a code replacing its own text).
    std::memcpy(buffer, "abcde", 6);
    CopyCut(buffer, 3, buffer + 2);
    EXPECT_STREQ(buffer, "cd");
    buffer[0] = 'x';
    CopyCut(buffer, 0, "abc");
    EXPECT_EQ(buffer[0], 'x');
}

TEST(TextBuffer, CutToBufferEndsAtTheFirstZero) {
    const std::string text("abc\0def", 7);
    EXPECT_EQ(CutToBuffer(text, 100), "abc");
    EXPECT_EQ(CutToBuffer(text, 3), "ab");
    EXPECT_EQ(CutToBuffer("abcdef", 4), "abc");
    EXPECT_EQ(CutToBuffer("abc", 0), "");
}

TEST(AsciiCase, FoldsOnlyLatinLetters) {
    EXPECT_TRUE(EqualsIgnoringCase("Deutsch", "dEUTSCH"));
    EXPECT_TRUE(EqualsIgnoringCase(".CSV", ".csv"));
    EXPECT_TRUE(EqualsIgnoringCase("", ""));
    EXPECT_FALSE(EqualsIgnoringCase("abc", "abcd"));
    EXPECT_FALSE(EqualsIgnoringCase("a", ""));
    // Neighbours of the letters differ by the same bit but are no letters.
    EXPECT_FALSE(EqualsIgnoringCase("@[\\]^", "`{|}~"));
    // UTF-8 letters must match exactly.
    EXPECT_FALSE(EqualsIgnoringCase("\xc3\x84", "\xc3\xa4"));
    EXPECT_TRUE(EqualsIgnoringCase("\xc3\x84X", "\xc3\x84x"));
}

TEST(ProgressPercent, ShownOneAheadAndNeverBack) {
    int nShown = 0;
    std::vector<int> displayed;
    for (int nCount = 1; nCount <= 200; ++nCount) {
        if (RaiseShownPercent(nCount, 200, nShown)) displayed.push_back(DisplayedPercent(nShown));
    }
    ASSERT_EQ(displayed.size(), 100u);
    EXPECT_EQ(displayed.front(), 2);  // a computed 1 %
    EXPECT_EQ(displayed[97], 99);     // a computed 98 %
    EXPECT_EQ(displayed[98], 100);    // and from 99 % on: 100 %
    EXPECT_EQ(displayed.back(), 100);
    EXPECT_EQ(DisplayedPercent(0), 0);

    // A new, smaller range starts from 0 without lowering what is shown.
    EXPECT_FALSE(RaiseShownPercent(1, 2, nShown));
    EXPECT_EQ(nShown, 100);
    // Counts beyond the total are capped; no total computes nothing.
    EXPECT_TRUE(RaiseShownPercent(1000000, 1, nShown));
    EXPECT_EQ(nShown, 1000);
    EXPECT_FALSE(RaiseShownPercent(2000000, 1, nShown));
    EXPECT_EQ(DisplayedPercent(nShown), 100);
    int nNone = 0;
    EXPECT_FALSE(RaiseShownPercent(5, 0, nNone));
    EXPECT_EQ(nNone, 0);
}

}  // namespace
