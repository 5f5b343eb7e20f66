// UTF-8 reading, writing, counting and cutting over any bytes.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "support/Utf8.h"

using namespace qvxsupport;

namespace {

TEST(Utf8, DecodesValidSequencesOnly) {
    struct Case {
        std::string bytes;
        size_t nLength;  // 0: no valid sequence at the start
        char32_t cp;
    };
    const Case cases[] = {
        {"A", 1, U'A'},
        {"\x7f", 1, 0x7F},
        {"\xc3\xbc"
         "x",
         2, 0xFC},
        {"\xe2\x82\xac", 3, 0x20AC},
        {"\xf0\x9f\x93\xb1", 4, 0x1F4F1},
        {"\xf4\x8f\xbf\xbf", 4, 0x10FFFF},
        {"", 0, 0},
        {"\x80", 0, 0},  // stray continuation byte
        {"\xc3", 0, 0},  // cut at the end of the text
        {"\xc3"
         "a",
         0, 0},                      // cut by the next character
        {"\xc0\xaf", 0, 0},          // overlong '/'
        {"\xe0\x80\xaf", 0, 0},      // overlong '/' in three bytes
        {"\xf0\x80\x80\xaf", 0, 0},  // and in four
        {"\xed\xa0\x80", 0, 0},      // an encoded surrogate
        {"\xf4\x90\x80\x80", 0, 0},  // beyond U+10FFFF
        {"\xfc", 0, 0},              // a Latin-1 letter
    };
    for (const Case& c : cases) {
        char32_t cp = 0;
        EXPECT_EQ(DecodeUtf8(c.bytes, cp), c.nLength) << testing::PrintToString(c.bytes);
        if (c.nLength > 0) {
            EXPECT_EQ(static_cast<uint32_t>(cp), static_cast<uint32_t>(c.cp))
                << testing::PrintToString(c.bytes);
        }
    }
}

TEST(Utf8, WritesWhatItReadsAtEveryLengthBoundary) {
    for (char32_t cp :
         {0x00u, 0x7Fu, 0x80u, 0x7FFu, 0x800u, 0xD7FFu, 0xE000u, 0xFFFFu, 0x10000u, 0x10FFFFu}) {
        std::string bytes;
        AppendUtf8(bytes, cp);
        const size_t nExpected = cp < 0x80 ? 1 : cp < 0x800 ? 2 : cp < 0x10000 ? 3 : 4;
        char32_t back = 0xFFFFFFFF;
        EXPECT_EQ(bytes.size(), nExpected) << static_cast<uint32_t>(cp);
        EXPECT_EQ(DecodeUtf8(bytes, back), nExpected) << static_cast<uint32_t>(cp);
        EXPECT_EQ(static_cast<uint32_t>(back), static_cast<uint32_t>(cp));
    }
}

TEST(Utf8, CountsCharactersNotBytes) {
    EXPECT_EQ(CountUtf8Chars("M\xc3\xbcller.csv"), 10u);
    EXPECT_EQ(CountUtf8Chars("\xf0\x9f\x93\xb1"), 1u);
    EXPECT_EQ(CountUtf8Chars(""), 0u);
    EXPECT_EQ(CountUtf8Chars(static_cast<const char*>(nullptr)), 0u);
    // Other bytes count as one each; a stray continuation byte as none.
    EXPECT_EQ(CountUtf8Chars("M\xfcller"), 6u);
    EXPECT_EQ(CountUtf8Chars("a\x80"), 1u);
}

TEST(Utf8, CutsBeforeACharacterThatDoesNotFitWhole) {
    struct Case {
        std::string text;
        size_t nBuffer;
        std::string expected;
    };
    const std::string euro = "\xe2\x82\xac";
    const std::string phone = "\xf0\x9f\x93\xb1";
    const Case cases[] = {
        {"abc", 4, "abc"},                          // fits exactly
        {"abcd", 4, "abc"},                         // ASCII is cut anywhere
        {"a" + euro, 4, "a"},                       // one byte of the euro sign missing
        {"a" + euro, 5, "a" + euro},                // fits
        {"ab" + euro, 4, "ab"},                     // only its lead byte would fit
        {"a" + phone + "b", 5, "a"},                // four-byte character
        {"a" + phone + "b", 6, "a" + phone},        // cut after it
        {"\xc3\xbc\xc3\xbc", 4, "\xc3\xbc"},        // two-byte characters
        {"a\x80\x80\x80\x80\x80", 4, "a\x80\x80"},  // invalid bytes are kept
        {"M\xfcller", 3, "M\xfc"},                  // and Latin-1 too
        {"abc", 1, ""},
        {"abc", 0, ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(CutUtf8(c.text, c.nBuffer), c.expected)
            << testing::PrintToString(c.text) << " into " << c.nBuffer;
    }
    EXPECT_EQ(CompleteUtf8Length("a\xe2\x82", 3), 1u);
    EXPECT_EQ(CompleteUtf8Length("a\xe2\x82\xac", 4), 4u);
}

}  // namespace
