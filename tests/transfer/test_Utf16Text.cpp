// Texts crossing the connectivity interface: UTF-8 to UTF-16 and back.
#include <gtest/gtest.h>

#include "transfer/Utf16Text.h"

using qvxconn::FromUtf16;
using qvxconn::ToUtf16;

namespace {

TEST(Utf16Text, ConvertsValidText) {
    struct Case {
        std::string utf8;
        std::u16string utf16;
    };
    const Case cases[] = {
        {"", u""},
        {"\\\\C:\\Data\\Quorvex\\", u"\\\\C:\\Data\\Quorvex\\"},
        {"Übertragung", u"Übertragung"},
        {"\xe2\x82\xac", u"\u20ac"},
        {"\xf0\x9f\x93\xb1", u"\U0001F4F1"},  // a pair of surrogates
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ToUtf16(c.utf8), c.utf16) << c.utf8;
        EXPECT_EQ(FromUtf16(c.utf16), c.utf8) << c.utf8;
    }
    EXPECT_EQ(FromUtf16(static_cast<const char16_t*>(nullptr)), "");
}

TEST(Utf16Text, InvalidBytesSurviveTheRoundTrip) {
    const std::string cases[] = {
        "M\xfcller.csv",     // Latin-1 byte
        "\xc3",              // cut sequence
        "\xc0\xaf",          // overlong '/'
        "\xed\xa0\x80",      // encoded surrogate
        "\xf4\x90\x80\x80",  // beyond U+10FFFF
        "a\x80\xbf\xfe\xff"
        "b",  // stray continuation and invalid bytes
    };
    for (const auto& text : cases) {
        const std::u16string wide = ToUtf16(text);
        for (char16_t c : wide) EXPECT_NE(c, u'/') << "no byte may turn into a separator";
        EXPECT_EQ(FromUtf16(wide), text);
    }
}

TEST(Utf16Text, LoneSurrogatesFromOutsideBecomeReplacement) {
    EXPECT_EQ(FromUtf16(std::u16string(1, char16_t(0xD800))), "\xef\xbf\xbd");
    EXPECT_EQ(FromUtf16(std::u16string(1, char16_t(0xDC10))), "\xef\xbf\xbd");
    EXPECT_EQ(FromUtf16(std::u16string{char16_t(0xD83D), u'x'}), "\xef\xbf\xbdx");
}

}  // namespace
