#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "support/TextDecoding.h"

namespace {

struct Decoded {
    std::string text;
    TextEncoding encoding;
};

Decoded Decode(const std::string& bytes) {
    TextBytes buffer;
    EXPECT_TRUE(buffer.Allocate(bytes.size()));
    std::memcpy(buffer.data.get(), bytes.data(), bytes.size());
    TextEncoding encoding = TextEncoding::kUtf8;
    EXPECT_TRUE(DecodeToUtf8(buffer, &encoding));
    EXPECT_EQ(buffer.data[buffer.size], '\0') << "the spare byte terminates the text";
    return {std::string(buffer.data.get(), buffer.size), encoding};
}

std::string Replacements(int n) {
    std::string out;
    for (int i = 0; i < n; ++i) out += "\uFFFD";
    return out;
}

std::string Utf16(const std::u16string& text, bool bigEndian, bool mark = true) {
    std::string out = mark ? (bigEndian ? "\xFE\xFF" : "\xFF\xFE") : "";
    for (char16_t u : text) {
        char hi = static_cast<char>(u >> 8), lo = static_cast<char>(u & 0xFF);
        out += bigEndian ? std::string{hi, lo} : std::string{lo, hi};
    }
    return out;
}

TEST(TextDecoding, Utf8StaysAsItIsAndLosesOnlyItsMark) {
    const std::string text = "Name;Straße\r\nZoë;山田 🎉\r\n";
    Decoded plain = Decode(text);
    EXPECT_EQ(plain.text, text);
    EXPECT_EQ(plain.encoding, TextEncoding::kUtf8);
    Decoded marked = Decode("\xEF\xBB\xBF" + text);
    EXPECT_EQ(marked.text, text);
    EXPECT_EQ(marked.encoding, TextEncoding::kUtf8);
    // After a mark, each ill-formed part becomes one U+FFFD (maximal
    // subparts): a cut sequence is one part, a byte that cannot go on one
    // starts the next.
    EXPECT_EQ(Decode("\xEF\xBB\xBFM\xFCller").text, "M\uFFFDller");
    EXPECT_EQ(Decode("\xEF\xBB\xBF\xE0\x80"
                     "A\xF0\x90\x80\xED\xA0\x80\xC0\xAF\xF4\x90\x80\x80\xE1\x80")
                  .text,
              Replacements(2) + "A" + Replacements(11));
    // Text that triples grows in place; valid text around it stays.
    Decoded grown = Decode("\xEF\xBB\xBFZo\xC3\xAB;" + std::string(5000, '\xFF') + ";\xF0\x9F\x8E\x89");
    EXPECT_EQ(grown.encoding, TextEncoding::kUtf8);
    EXPECT_EQ(grown.text, "Zoë;" + Replacements(5000) + ";🎉");
    EXPECT_EQ(Decode(std::string("a\0b", 3)).text, std::string("a\0b", 3));
    EXPECT_EQ(Decode("").text, "");
    EXPECT_EQ(Decode("\xEF\xBB").encoding, TextEncoding::kWindows1252);
}

TEST(TextDecoding, AnythingElseIsWindows1252) {
    Decoded d = Decode(
        "M\xFCller;Stra\xDF"
        "e gesch\xE4"
        "ftlich;\x80 \x84x\x93\x96\x9F");
    EXPECT_EQ(d.encoding, TextEncoding::kWindows1252);
    EXPECT_EQ(d.text, "Müller;Straße geschäftlich;€ „x“–Ÿ");
    // The five bytes without a character stand for the C1 controls.
    EXPECT_EQ(Decode("\x81\x8D\x8F\x90\x9D").text, "\xC2\x81\xC2\x8D\xC2\x8F\xC2\x90\xC2\x9D");
    // From 0xA0 on the bytes are Latin-1 itself: the no-break space, not the table's.
    EXPECT_EQ(Decode("\x9F\xA0\xA1").text, "\xC5\xB8\xC2\xA0\xC2\xA1");
    // One wrong byte in an otherwise UTF-8 file makes the whole file 1252.
    EXPECT_EQ(Decode("Zo\xC3\xAB \xE9").text, "ZoÃ« é");
}

TEST(TextDecoding, Utf16BothWays) {
    const std::u16string text = u"Name\tFirma\r\nZoë\t山田 \U0001F389\r\n";
    const std::string utf8 = "Name\tFirma\r\nZoë\t山田 🎉\r\n";
    Decoded le = Decode(Utf16(text, false));
    EXPECT_EQ(le.encoding, TextEncoding::kUtf16Le);
    EXPECT_EQ(le.text, utf8);
    Decoded be = Decode(Utf16(text, true));
    EXPECT_EQ(be.encoding, TextEncoding::kUtf16Be);
    EXPECT_EQ(be.text, utf8);

    // Text that grows in UTF-8 is converted into a buffer of its own.
    EXPECT_EQ(Decode(Utf16(u"山田太郎さん", false)).text, "山田太郎さん");
    EXPECT_EQ(Decode(Utf16(u"a山田太郎さん", true)).text, "a山田太郎さん");

    // Unpaired surrogates and a lone last byte become U+FFFD; U+0000 one zero
    // byte. A high surrogate cut off by the end is one ill-formed character,
    // with or without a last lone byte.
    std::u16string broken = u"a";
    broken += char16_t(0xD800);
    broken += u"b";
    broken += char16_t(0xDC00);
    broken += char16_t(0);
    broken += char16_t(0xD83C);
    for (bool bigEndian : {false, true}) {
        EXPECT_EQ(Decode(Utf16(broken, bigEndian) + "x").text, std::string("a\uFFFDb\uFFFD\0\uFFFD", 12));
        EXPECT_EQ(Decode(Utf16(broken, bigEndian)).text, std::string("a\uFFFDb\uFFFD\0\uFFFD", 12));
        EXPECT_EQ(Decode(Utf16(u"ab", bigEndian) + "x").text, "ab\uFFFD");
    }
    EXPECT_EQ(Decode("\xFF\xFE").text, "");
}

TEST(TextDecoding, Utf8Validation) {
    const char* valid[] = {"",
                           "plain ascii text over eight bytes",
                           "\xC2\x80",
                           "\xDF\xBF",
                           "\xE0\xA0\x80",
                           "\xED\x9F\xBF",
                           "\xEF\xBF\xBF",
                           "\xF0\x90\x80\x80",
                           "\xF4\x8F\xBF\xBF"};
    for (const char* text : valid) EXPECT_TRUE(IsValidUtf8(text, strlen(text))) << text;
    const char* invalid[] = {"\x80",         "\xC0\xAF",         "\xC1\xBF",         "\xE0\x9F\xBF",
                             "\xED\xA0\x80", "\xF0\x8F\xBF\xBF", "\xF4\x90\x80\x80", "\xF5\x80\x80\x80",
                             "\xC3",         "abcdefgh\xE2\x82", "\xE2\x28\xA1",     "\xFF"};
    for (const char* text : invalid) EXPECT_FALSE(IsValidUtf8(text, strlen(text))) << text;
    EXPECT_STREQ(TextEncodingName(TextEncoding::kWindows1252), "windows-1252");
    EXPECT_STREQ(TextEncodingName(TextEncoding::kUtf16Be), "utf-16be");
    EXPECT_STREQ(TextEncodingLabel(TextEncoding::kUtf16Le), "UTF-16LE");
}

}  // namespace
