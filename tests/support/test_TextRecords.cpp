#include <gtest/gtest.h>

#include <random>
#include <string>
#include <utility>
#include <vector>

#include "LogSandbox.h"
#include "support/FileAccess.h"
#include "support/StringMapTable.h"
#include "support/TextFileUtils.h"
#include "support/TextRecords.h"

using namespace qvxsupport;
using qvxtest::LogSandbox;
using qvxtest::MakeLogConfig;

namespace {

// Record texts with the line each starts on.
using Records = std::vector<std::pair<std::string, int>>;

class TextRecordsTest : public ::testing::Test {
protected:
    LogSandbox m_log{MakeLogConfig("QVXWizard.l_0", 0)};

    std::string Write(const std::string& bytes) {
        std::string path = m_log.Path("input.csv");
        qvxtest::WriteFile(path, bytes);
        return path;
    }
    Records Form(const std::string& bytes, char quote = '"') {
        CTextRecords records;
        EXPECT_EQ(records.Read(Write(bytes).c_str()), 0);
        EXPECT_EQ(records.Form(quote), 0);
        Records out;
        for (int k = 0; k < records.GetCount(); ++k) {
            out.emplace_back(std::string(records.GetRecord(k)), records.GetFirstLine(k));
        }
        return out;
    }
};

TEST_F(TextRecordsTest, QuotedLineEndsStayInTheirRecord) {
    struct Case {
        const char* name;
        std::string bytes;
        Records records;
    } cases[] = {
        {"LF file", "a,b\n1,\"x\ny\"\n2,z\n", {{"a,b", 1}, {"1,\"x\ny\"", 2}, {"2,z", 4}}},
        {"CR LF file", "a,b\r\n1,\"x\r\ny\r\n\"\r\n2,z", {{"a,b", 1}, {"1,\"x\r\ny\r\n\"", 2}, {"2,z", 5}}},
        {"lone LF in a CR LF file stays a byte", "a\r\n\"b\nc\"\r\n", {{"a", 1}, {"\"b\nc\"", 2}}},
        {"empty lines outside are skipped and counted", "\n\na\n\n\nb\n", {{"a", 3}, {"b", 6}}},
        {"empty lines inside stay", "a\n\"x\n\n\ny\"\nb", {{"a", 1}, {"\"x\n\n\ny\"", 2}, {"b", 6}}},
        {"doubled quotes keep the record open",
         "\"a \"\"b\"\"\nc\",d\ne",
         {{"\"a \"\"b\"\"\nc\",d", 1}, {"e", 3}}},
        {"quote open to the end swallows nothing",
         "a\n\"open\nb\nc\n",
         {{"a", 1}, {"\"open", 2}, {"b", 3}, {"c", 4}}},
        {"open quote on the last line", "a\nb \"", {{"a", 1}, {"b \"", 2}}},
        {"each line one quote", "\"x\n\"y\nz\"\n", {{"\"x\n\"y", 1}, {"z\"", 3}}},
        {"unbalanced then balanced", "\"x\nq\n\"y\nz\"\n", {{"\"x\nq\n\"y", 1}, {"z\"", 4}}},
        {"no line end at all", "just one", {{"just one", 1}}},
        {"empty file", "", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Form(c.bytes), c.records);
    }
}

// The first line end of the text decides: a line end of the other kind later
// cuts nothing, inside quotes or outside.
TEST_F(TextRecordsTest, TheFirstLineEndDecides) {
    struct Case {
        const char* name;
        std::string bytes;
        Records records;
    } cases[] = {
        {"LF file, CR LF in a quoted note",
         "a,b\n1,\"x\r\ny\"\n2,z\n",
         {{"a,b", 1}, {"1,\"x\r\ny\"", 2}, {"2,z", 4}}},
        // A CR LF line's CR belongs to no value; a line of it alone is blank.
        {"LF file, CR LF outside quotes", "a,b\n1,c\r\n2,z", {{"a,b", 1}, {"1,c", 2}, {"2,z", 3}}},
        {"LF file ending in CR LF", "a\nb\r\n", {{"a", 1}, {"b", 2}}},
        {"LF file, a CR LF line between", "a\n\r\nb\r\n\r", {{"a", 1}, {"b", 3}}},
        {"LF file, CR LF after a quoted note",
         "a\n1,\"x\r\ny\"\r\n2\n",
         {{"a", 1}, {"1,\"x\r\ny\"", 2}, {"2", 4}}},
        {"CR LF file, lone LFs later", "a\r\nb\nc\r\nd\n", {{"a", 1}, {"b\nc", 2}, {"d\n", 3}}},
        {"CR only", "a\rb\rc\r", {{"a\rb\rc\r", 1}}},
        {"lone CR before the first LF", "a\rb\nc\r\nd", {{"a\rb", 1}, {"c", 2}, {"d", 3}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Form(c.bytes), c.records);
    }
    // Decided in the decoded text: UTF-16 the same way.
    std::string utf16 = "\xFF\xFE";
    for (char c : std::string("a\n\"x\r\ny\"\nb\r\n")) utf16 += std::string{c, '\0'};
    EXPECT_EQ(Form(utf16), (Records{{"a", 1}, {"\"x\r\ny\"", 2}, {"b", 4}}));
}

TEST_F(TextRecordsTest, TheQuoteCharacterDecides) {
    const std::string bytes = "'a\nb',\"c\nd\"\n";
    EXPECT_EQ(Form(bytes, '"'), (Records{{"'a", 1}, {"b',\"c\nd\"", 2}}));
    EXPECT_EQ(Form(bytes, '\''), (Records{{"'a\nb',\"c", 1}, {"d\"", 3}}));
    // Forming again replaces the records.
    CTextRecords records;
    ASSERT_EQ(records.Read(Write(bytes).c_str()), 0);
    ASSERT_EQ(records.Form('"'), 0);
    ASSERT_EQ(records.Form('\''), 0);
    EXPECT_EQ(records.GetCount(), 2);
    EXPECT_EQ(records.GetRecord(2), "");
    EXPECT_EQ(records.GetFirstLine(-1), 0);
    EXPECT_EQ(records.GetLineCount(), 3);
}

TEST_F(TextRecordsTest, ZeroBytesEndTheirLineText) {
    // The rest of the line after a zero byte is dropped; the zero stays so
    // that a line holding only it still counts.
    EXPECT_EQ(Form(std::string("a;b\r\nx\0y;2\r\n\0z\r\nq", 17)),
              (Records{{"a;b", 1}, {std::string("x\0", 2), 2}, {std::string("\0", 1), 3}, {"q", 4}}));
    EXPECT_EQ(Form(std::string("\"a\0\"\nb\"\nc", 9)),
              (Records{{std::string("\"a\0\nb\"", 6), 1}, {"c", 3}}));
}

TEST_F(TextRecordsTest, CharacterSetsAreDecodedFirst) {
    CTextRecords records;
    ASSERT_EQ(records.Read(Write(std::string("\xFF\xFE"
                                             "a\0\r\0\n\0\"\0x\0\r\0\n\0y\0\"\0",
                                             20))
                               .c_str()),
              0);
    EXPECT_EQ(records.GetEncoding(), TextEncoding::kUtf16Le);
    ASSERT_EQ(records.Form('"'), 0);
    ASSERT_EQ(records.GetCount(), 2);
    EXPECT_EQ(records.GetRecord(1), "\"x\r\ny\"");
    ASSERT_EQ(records.Read(Write("N\xE4me\r\n").c_str()), 0);
    EXPECT_EQ(records.GetEncoding(), TextEncoding::kWindows1252);
    ASSERT_EQ(records.Form('"'), 0);
    EXPECT_EQ(records.GetRecord(0), "Näme");
}

// Without quote characters the records are exactly the lines of the plain
// split, and the line count is the same; in an LF file without a CR left of
// a CR LF line.
TEST_F(TextRecordsTest, WithoutQuotesRecordsAreTheSplitLines) {
    std::mt19937 random(20261207);
    const char alphabet[] = {'a', ';', '\r', '\n', '\0', 'x', ' ', '\t'};
    for (int round = 0; round < 40; ++round) {
        SCOPED_TRACE(round);
        std::string data(random() % 3000, 'a');
        for (char& ch : data) ch = random() % 6 == 0 ? alphabet[random() % 8] : 'a' + random() % 26;
        if (round % 3 == 0) data = "\xEF\xBB\xBF" + data;
        std::string path = Write(data);
        CStringMapTable lines;
        ASSERT_EQ(SplitTextFileLines(path.c_str(), lines), 0);
        CTextRecords records;
        ASSERT_EQ(records.Read(path.c_str()), 0);
        ASSERT_EQ(records.Form('"'), 0);
        // A line whose text ends at a zero byte keeps the zero in its record.
        int k = 0;
        lines.Rewind();
        for (int i = 0; i < lines.GetCount(); ++i) {
            std::string want = lines.NextEntry()->GetText();
            const std::string record(k < records.GetCount() ? records.GetRecord(k) : "");
            const bool bZeroEnds =
                record.find('\0') != std::string::npos && record.substr(0, record.find('\0')) == want;
            if (!bZeroEnds && !records.EndsLinesWithCrLf() && !want.empty() && want.back() == '\r') {
                want.pop_back();
                if (want.empty()) continue;
            }
            ASSERT_LT(k, records.GetCount()) << i;
            ASSERT_EQ(record.substr(0, record.find('\0')), want) << i;
            ++k;
        }
        EXPECT_EQ(k, records.GetCount());
        EXPECT_EQ(records.GetLineCount(), records.GetCount());
    }
}

TEST_F(TextRecordsTest, FailuresGiveTheFileLayersCodes) {
    CTextRecords records;
    EXPECT_EQ(records.Read(m_log.Path("missing.csv").c_str()), KT_ERR_OPEN);
    EXPECT_EQ(records.Read(nullptr), KT_ERR_INVALID_PARAMETER);
    EXPECT_EQ(records.Read(("/" + std::string(260, 'p')).c_str()), KT_ERR_NAME_TOO_LONG);
    EXPECT_EQ(records.GetCount(), 0);
    EXPECT_EQ(records.Form('"'), 0);
    EXPECT_EQ(records.GetCount(), 0);
}

}  // namespace
