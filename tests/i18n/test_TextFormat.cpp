#include <gtest/gtest.h>

#include <ctime>
#include <string>

#include "i18n/LanguageTable.h"

namespace {

struct PrintfCase {
    const char* name;
    std::string fmt;
    std::string arg;
    std::string expected;
};

class FormatText : public ::testing::TestWithParam<PrintfCase> {};

TEST_P(FormatText, SubstitutesOnlyOneString) {
    const PrintfCase& c = GetParam();
    EXPECT_EQ(FormatTextWithString(c.fmt, c.arg), c.expected);
}

const PrintfCase kPrintfCases[] = {
    {"one_string", "Last built on %s", "07.12.2026", "Last built on 07.12.2026"},
    {"string_first", "%s!", "x", "x!"},
    {"percent_escape", "100%% sure: %s", "yes", "100% sure: yes"},
    {"argument_with_percent_not_expanded", "Column %s", "%s%n%d", "Column %s%n%d"},
    {"empty_argument", "[%s]", "", "[]"},
    {"no_conversion", "Plain text", "x", "Plain text"},
    {"only_escape", "50%%", "x", "50%%"},
    {"two_strings", "%s and %s", "x", "%s and %s"},
    {"int_conversion", "%d contacts %s", "x", "%d contacts %s"},
    {"write_conversion", "%n%s", "x", "%n%s"},
    {"width", "%10s", "x", "%10s"},
    {"precision_star", "%.*s", "x", "%.*s"},
    {"positional", "%1$s", "x", "%1$s"},
    {"lone_percent_at_end", "%s %", "x", "%s %"},
    {"capital_s", "%S", "x", "%S"},
    {"empty_format", "", "x", ""},
    {"long_argument", "<%s>", std::string(5000, 'a'), "<" + std::string(5000, 'a') + ">"},
};

INSTANTIATE_TEST_SUITE_P(Cases, FormatText, ::testing::ValuesIn(kPrintfCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(FormatTextTwice, SubstitutesExactlyTwoStrings) {
    EXPECT_EQ(FormatTextWithStrings("%s rows (lines %s).", "3", "5, 9"), "3 rows (lines 5, 9).");
    EXPECT_EQ(FormatTextWithStrings("100%% %s/%s", "%s", "%d"), "100% %s/%d");
    EXPECT_EQ(FormatTextWithStrings("%s only", "a", "b"), "%s only");
    EXPECT_EQ(FormatTextWithStrings("%s %s %s", "a", "b"), "%s %s %s");
    EXPECT_EQ(FormatTextWithStrings("%s %d %s", "a", "b"), "%s %d %s");
    EXPECT_EQ(FormatTextWithStrings("%s and %s %", "a", "b"), "%s and %s %");
}

struct tm SampleTime() {
    struct tm t {};
    t.tm_year = 2026 - 1900;
    t.tm_mon = 11;
    t.tm_mday = 7;
    t.tm_hour = 9;
    t.tm_min = 5;
    t.tm_sec = 3;
    t.tm_wday = 1;
    t.tm_yday = 340;
    return t;
}

struct TimeCase {
    const char* name;
    std::string fmt;
    std::string expected;
};

class FormatTimeText : public ::testing::TestWithParam<TimeCase> {};

TEST_P(FormatTimeText, KeepsOnlyDateAndTimeConversions) {
    const TimeCase& c = GetParam();
    EXPECT_EQ(FormatTime(c.fmt, SampleTime()), c.expected);
}

const TimeCase kTimeCases[] = {
    {"german", "%d.%m.%Y %H:%M", "07.12.2026 09:05"},
    {"english", "%d %b %Y at %I:%M %p", "07 Dec 2026 at 09:05 AM"},
    {"names", "%A %a %B", "Monday Mon December"},
    {"day_of_year_seconds", "%j %S %y %e", "341 03 26  7"},
    {"iso", "%F %T", "2026-12-07 09:05:03"},
    {"escape", "100%%", "100%"},
    {"newline_and_tab_literal", "%d%n%t", "07%n%t"},
    {"gnu_flags_literal", "%-d %_H %0m", "%-d %_H %0m"},
    {"huge_width_literal", "%999999999Y", "%999999999Y"},
    {"modifiers_literal", "%Ey %OH", "%Ey %OH"},
    {"epoch_literal", "%s", "%s"},
    {"gnu_extensions_literal", "%k %l %P", "%k %l %P"},
    {"lone_percent_at_end", "%H%", "09%"},
    {"no_conversions", "plain", "plain"},
    {"empty", "", ""},
};

INSTANTIATE_TEST_SUITE_P(Cases, FormatTimeText, ::testing::ValuesIn(kTimeCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(FormatTime, LongFormatAndOddTimeDoNotOverflow) {
    std::string fmt;
    for (int i = 0; i < 500; ++i) fmt += "%A %B %c ";
    std::string out = FormatTime(fmt, SampleTime());
    EXPECT_GT(out.size(), fmt.size());
    struct tm odd {};
    odd.tm_mon = 99;
    odd.tm_wday = -4;
    odd.tm_year = 2000000;
    EXPECT_FALSE(FormatTime("%a %b %Y", odd).empty());
    EXPECT_EQ(FormatTime(std::string("%d\0%m", 5), SampleTime()), "07");
}

}  // namespace
