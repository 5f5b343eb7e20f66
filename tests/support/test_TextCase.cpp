// The case fold, the ASCII compare and Trim that the import, the mapping list
// and the INI files share.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/AsciiCase.h"
#include "support/Latin1Case.h"
#include "support/Trim.h"

namespace {

using qvxsupport::SharpS;

TEST(TextCase, FoldLatin1Case) {
    struct Case {
        const char* text;
        SharpS sharpS;
        const char* folded;
    };
    const std::vector<Case> cases = {
        {"M\xc3\x9cLLER \xc3\x84rzte", SharpS::kKeep, "m\xc3\xbcller \xc3\xa4rzte"},  // MÜLLER Ärzte
        {"\xc3\x80\xc3\x9e", SharpS::kKeep, "\xc3\xa0\xc3\xbe"},                      // À Þ: the row's ends
        {"2\xc3\x97"
         "3",
         SharpS::kKeep,
         "2\xc3\x97"
         "3"},  // × is no letter
        {"Stra\xc3\x9f"
         "e",
         SharpS::kKeep,
         "stra\xc3\x9f"
         "e"},
        {"STRA\xc3\x9f"
         "E",
         SharpS::kAsSs, "strasse"},
        {"\xc5\x81\xce\x91", SharpS::kKeep, "\xc5\x81\xce\x91"},  // Ł and Α: outside Latin-1
        {"A\xc3", SharpS::kKeep, "a\xc3"},                        // a lone lead byte stays
        {"\xc3"
         "A",
         SharpS::kKeep,
         "\xc3"
         "a"},  // ... and pairs with no ASCII letter
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(qvxsupport::FoldLatin1Case(c.text, c.sharpS), c.folded);
    }
}

TEST(TextCase, AsciiCompareAndTrim) {
    EXPECT_LT(qvxsupport::CompareIgnoringCase("apple.map", "Banana.map"), 0);
    EXPECT_GT(qvxsupport::CompareIgnoringCase("b", "A"), 0);
    EXPECT_EQ(qvxsupport::CompareIgnoringCase("OUTLOOK.map", "outlook.MAP"), 0);
    EXPECT_LT(qvxsupport::CompareIgnoringCase("out", "Outlook"), 0);  // a prefix first
    EXPECT_GT(qvxsupport::CompareIgnoringCase("\xc3\xa4", "z"), 0);   // bytes past ASCII after it
    EXPECT_TRUE(qvxsupport::EndsWithIgnoringCase("Google.MAP", ".map"));
    EXPECT_FALSE(qvxsupport::EndsWithIgnoringCase("map", ".map"));

    EXPECT_EQ(qvxsupport::Trim(" \t a b \r\n\v\f"), "a b");
    EXPECT_EQ(qvxsupport::Trim(" \n "), "");
    EXPECT_EQ(qvxsupport::Trim("\nkey = v\n", " \t"), "\nkey = v\n");
}

}  // namespace
