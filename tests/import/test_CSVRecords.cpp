// The parser on records that span lines, on other character sets, and its
// count of rows that do not fit the header; mapping files read the same way.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "../support/LogSandbox.h"
#include "TestUtil.h"
#include "i18n/LanguageTable.h"
#include "import/ContactsFile.h"
#include "import/DataMap.h"
#include "import/Mapping.h"
#include "support/TextRecords.h"

namespace {

using Rows = std::vector<std::vector<std::string>>;

std::string Cell(CDataRow* row, int index) {
    auto text = row ? row->PeekField(index) : std::nullopt;
    return text ? std::string(*text) : "";
}

class RecordsTest : public ::testing::Test {
protected:
    int Analyze(const std::string& bytes) {
        parser = std::make_unique<CContactsFile>();
        qvxtest::WriteFile(log.Path("in.csv"), bytes);
        parser->SetCSVFileName(log.Path("in.csv").c_str());
        parser->SetTable(&table);
        int result = parser->AnalyzeCsvData();
        if (result == 0) result = parser->ParseData(1);
        return result;
    }
    std::vector<std::string> Headers() {
        std::vector<std::string> out;
        for (int j = 0; j < parser->m_nColumnCount; ++j) out.push_back(Cell(table.GetHeaderRow(), j));
        return out;
    }
    Rows Data() {
        EXPECT_EQ(parser->ParseData(2), 0);
        Rows rows;
        table.Rewind();
        while (CDataRow* row = table.NextRow()) {
            rows.emplace_back();
            for (int j = 0; j < table.GetColumnCount(); ++j) rows.back().push_back(Cell(row, j));
        }
        return rows;
    }
    int ApplyMapping(const std::string& bytes) {
        qvxtest::WriteFile(log.Path("in.map"), bytes);
        parser->SetMappingFileName(log.Path("in.map").c_str());
        return parser->ParseAdditionalInformation();
    }
    std::vector<std::string> Codes() {
        std::vector<std::string> out;
        for (int j = 0; j < table.GetColumnCount(); ++j) out.push_back(Cell(table.GetMappingRow(), j));
        return out;
    }

    qvxtest::LogSandbox log{qvxtest::MakeLogConfig("QVXWizard.l_0", 0)};
    std::unique_ptr<CContactsFile> parser;
    CDataMap table;
};

TEST_F(RecordsTest, FieldsKeepTheirLineEnds) {
    // The shape that made invented contacts: an address over three lines.
    ASSERT_EQ(Analyze("Name,Address,Phone\n"
                      "Anna,\"Königstraße 1\n70173 Stuttgart\n\nDeutschland\",0711\n"
                      "Bob,,0712\n"),
              0);
    EXPECT_EQ(parser->m_nLineCount, 3);
    EXPECT_EQ(parser->m_cSeparator, ',');
    EXPECT_EQ(Data(),
              (Rows{{"Anna", "Königstraße 1\n70173 Stuttgart\n\nDeutschland", "0711"}, {"Bob", "", "0712"}}));

    ASSERT_EQ(Analyze("Name;Note\r\n\"Zoë\";\"one\r\ntwo \"\"q\"\"\r\n\"\r\nX;y\r\n"), 0);
    EXPECT_EQ(Data(), (Rows{{"Zoë", "one\r\ntwo \"q\"\r\n"}, {"X", "y"}}));

    // A header may span lines too.
    ASSERT_EQ(Analyze("\"Street\nand number\";City\n1;2\n"), 0);
    EXPECT_EQ(Headers(), (std::vector<std::string>{"Street\nand number", "City"}));
}

TEST_F(RecordsTest, OneLineEndOfTheOtherKindCutsNothing) {
    // An LF export whose quoted note holds one pasted CR LF.
    ASSERT_EQ(Analyze("Name,Notes,Phone\nAnna,\"from a mail:\r\nsee you\",0711\nBob,,0712\nCem,x,0713\n"), 0);
    EXPECT_EQ(parser->m_nLineCount, 4);
    EXPECT_EQ(parser->GetMismatchedCount(), 0);
    EXPECT_EQ(Data(),
              (Rows{{"Anna", "from a mail:\r\nsee you", "0711"}, {"Bob", "", "0712"}, {"Cem", "x", "0713"}}));

    // Outside quotes a CR LF line's CR belongs to no value, and a line of a
    // CR alone is blank.
    ASSERT_EQ(Analyze("a;b\n1;2\r\n\r\n3;4"), 0);
    EXPECT_EQ(parser->m_nLineCount, 3);
    EXPECT_EQ(parser->GetMismatchedCount(), 0);
    EXPECT_EQ(Data(), (Rows{{"1", "2"}, {"3", "4"}}));

    // A CR LF file keeps a lone LF inside its line, where it may join rows.
    ASSERT_EQ(Analyze("a;b\r\n1;2\n3;4\r\n5;6\r\n"), 0);
    EXPECT_EQ(parser->m_nLineCount, 3);
    EXPECT_EQ(parser->GetMismatchedCount(), 1);
    EXPECT_EQ(parser->GetMismatchedLines(), std::vector<int>{2});
    EXPECT_EQ(Data(), (Rows{{"1", "2\n3"}, {"5", "6"}}));
}

TEST_F(RecordsTest, AQuoteOpenToTheEndSwallowsNothing) {
    ASSERT_EQ(Analyze("a;b\r\nx;\"open 1\r\nc;2\r\n\r\nd;3\r\n"), 0);
    EXPECT_EQ(parser->m_cDelimiter, '"');
    EXPECT_EQ(parser->m_nLineCount, 4);
    EXPECT_EQ(Data(), (Rows{{"x", "open 1"}, {"c", "2"}, {"d", "3"}}));

    // Where the open quote hides a separator the row is counted, at its line.
    std::string bytes = "a;b\r\n";
    for (int i = 1; i < 2500; ++i) bytes += "x;1\r\n";
    ASSERT_EQ(Analyze(bytes + "\"open;1\r\nc;2\r\n"), 0);
    EXPECT_EQ(parser->m_cDelimiter, '"');
    Rows rows = Data();
    ASSERT_EQ(rows.size(), 2501u);
    EXPECT_EQ(rows[2499], (std::vector<std::string>{"open;1", ""}));
    EXPECT_EQ(rows[2500], (std::vector<std::string>{"c", "2"}));
    EXPECT_EQ(parser->GetMismatchedCount(), 1);
    EXPECT_EQ(parser->GetMismatchedLines(), std::vector<int>{2501});

    // A separator at the end of a record counts one more field, also inside
    // the open quote, as ParseLine splits it.
    ASSERT_EQ(Analyze("Name;Age\nAnn;44\nBob;\"45;"), 0);
    EXPECT_EQ(CContactsFile::ParseLine(nullptr, nullptr, "Bob;\"45;", ';', '"', 0), 3);
    EXPECT_EQ(parser->GetMismatchedCount(), 1);
    EXPECT_EQ(parser->GetMismatchedLines(), std::vector<int>{3});
}

TEST_F(RecordsTest, TheAnalysisCountsRecords) {
    // Record 2,500 spans two lines; what follows it is not examined.
    std::string bytes = "a;b\r\n";
    for (int i = 1; i < 2499; ++i) bytes += "1;2\r\n";
    bytes += "\"x\r\ny\";2\r\n";
    bytes += "1;2;3\r\n";
    ASSERT_EQ(Analyze(bytes), 0);
    EXPECT_EQ(parser->m_cSeparator, ';');
    EXPECT_EQ(parser->m_nColumnCount, 2);
    EXPECT_EQ(parser->m_nLineCount, 2501);
    Rows rows = Data();
    ASSERT_EQ(rows.size(), 2500u);
    EXPECT_EQ(rows[2498], (std::vector<std::string>{"x\r\ny", "2"}));
    EXPECT_EQ(parser->GetMismatchedCount(), 1);
    EXPECT_EQ(parser->GetMismatchedLines(), std::vector<int>{2502});

    // With the apostrophe as delimiter the records are formed by it.
    ASSERT_EQ(Analyze("'a\nb';\"c\n'd';\"e\n"), 0);
    EXPECT_EQ(parser->m_cDelimiter, '\'');
    EXPECT_EQ(parser->m_nLineCount, 2);
    EXPECT_EQ(Headers(), (std::vector<std::string>{"a\nb", "\"c"}));
}

TEST_F(RecordsTest, MismatchedRowsAreCountedWithTheirFirstLines) {
    std::string bytes = "n;c;p\n\n";
    int line = 3;
    std::vector<int> expected;
    for (int i = 0; i < 14; ++i) {
        bytes += "x;y;z\n";
        ++line;
        bytes += i % 2 ? "\"two\nlines\";y\n" : "w;x;y;z\n";
        expected.push_back(line);
        line += i % 2 ? 2 : 1;
        bytes += "\n";
        ++line;
    }
    ASSERT_EQ(Analyze(bytes), 0);
    EXPECT_EQ(parser->m_nColumnCount, 3);
    EXPECT_EQ(parser->GetMismatchedCount(), 14);
    expected.resize(10);
    EXPECT_EQ(parser->GetMismatchedLines(), expected);
    // Still stored as before: surplus fields dropped, missing ones empty.
    Rows rows = Data();
    ASSERT_EQ(rows.size(), 28u);
    EXPECT_EQ(rows[1], (std::vector<std::string>{"w", "x", "y"}));
    EXPECT_EQ(rows[3], (std::vector<std::string>{"two\nlines", "y", ""}));
    EXPECT_NE(log.Read().find("AnalyzeCsvData() 14 rows do not fit the header, the first in line 4"),
              std::string::npos);

    ASSERT_EQ(Analyze("n;c\nx;y\n"), 0);
    EXPECT_EQ(parser->GetMismatchedCount(), 0);
    EXPECT_TRUE(parser->GetMismatchedLines().empty());
}

// The count of rows that do not fit agrees with how ParseLine splits the
// records, open quotes and zero bytes included.
TEST_F(RecordsTest, MismatchedCountAgreesWithTheSplit) {
    std::mt19937 random(4711);
    const char alphabet[] = {';', ';', '"', ' ', 'x', ',', '\'', '\0', '\n'};
    for (int round = 0; round < 40; ++round) {
        std::string bytes = "a;b\n";
        for (int i = 0; i < 50; ++i) {
            for (size_t n = random() % 12; n > 0; --n) bytes += alphabet[random() % 9];
            bytes += "\n";
        }
        ASSERT_EQ(Analyze(bytes), 0);
        ASSERT_EQ(parser->m_cSeparator, ';');
        ASSERT_EQ(parser->m_cDelimiter, '"');
        CTextRecords records;
        ASSERT_EQ(records.Read(log.Path("in.csv").c_str()), 0);
        ASSERT_EQ(records.Form('"'), 0);
        int expected = 0;
        for (int k = 1; k < records.GetCount(); ++k) {
            std::string_view record = records.GetRecord(k);
            expected +=
                CContactsFile::ParseLine(nullptr, nullptr, record.data(), record.size(), ';', '"', 0) != 2;
        }
        EXPECT_EQ(parser->GetMismatchedCount(), expected) << bytes;
    }
}

TEST_F(RecordsTest, CharacterSetsAreReadAsUtf8) {
    ASSERT_EQ(Analyze("Name;Stra\xDF"
                      "e gesch\xE4"
                      "ftlich\r\nM\xFCller;\"K\xF6nigstr. 1\r\n\x80-Haus\"\r\n"),
              0);
    EXPECT_EQ(parser->GetEncoding(), TextEncoding::kWindows1252);
    EXPECT_EQ(Headers(), (std::vector<std::string>{"Name", "Straße geschäftlich"}));
    EXPECT_EQ(Data(), (Rows{{"Müller", "Königstr. 1\r\n€-Haus"}}));

    // Byte limits count UTF-8 bytes: 256 "ü" are 256 bytes in Windows-1252
    // but 512 in UTF-8, 257 are too many.
    ASSERT_EQ(Analyze(std::string(256, '\xFC') + ";b\r\n1;2\r\n"), 0);
    EXPECT_EQ(Headers()[0].size(), 512u);
    EXPECT_EQ(Analyze(std::string(257, '\xFC') + ";b\r\n1;2\r\n"), CSV_ERR_HEADER_TOO_LONG);
    // The character set is known whenever the file could be read.
    EXPECT_TRUE(parser->IsFileRead());
    EXPECT_EQ(parser->GetEncoding(), TextEncoding::kWindows1252);
    EXPECT_EQ(Analyze(""), CSV_ERR_NO_LINES);
    EXPECT_TRUE(parser->IsFileRead());
    EXPECT_EQ(parser->GetEncoding(), TextEncoding::kUtf8);
    EXPECT_EQ(Analyze(std::string("\xFE\xFF\0\r\0\n", 6)), CSV_ERR_NO_LINES);
    EXPECT_EQ(parser->GetEncoding(), TextEncoding::kUtf16Be);
    ASSERT_EQ(parser->SetCSVFileName(log.Path("missing.csv").c_str()), 0);
    EXPECT_EQ(parser->AnalyzeCsvData(), CSV_ERR_SPLIT);
    EXPECT_FALSE(parser->IsFileRead());

    // After a mark what is not UTF-8 arrives as U+FFFD, never as raw bytes.
    ASSERT_EQ(Analyze("\xEF\xBB\xBFName;M\xFCller\r\n\xC3;\xE2\x82\r\n"), 0);
    EXPECT_EQ(parser->GetEncoding(), TextEncoding::kUtf8);
    EXPECT_EQ(Headers(), (std::vector<std::string>{"Name", "M\uFFFDller"}));
    EXPECT_EQ(Data(), (Rows{{"\uFFFD", "\uFFFD"}}));

    ASSERT_EQ(Analyze("\xEF\xBB\xBFName;Zo\xC3\xAB\r\n"), 0);
    EXPECT_EQ(parser->GetEncoding(), TextEncoding::kUtf8);
    EXPECT_EQ(Headers(), (std::vector<std::string>{"Name", "Zoë"}));
}

TEST_F(RecordsTest, MappingFilesAreReadInBothCharacterSetsAndOverLines) {
    ASSERT_EQ(Analyze("Name;Stra\xDF"
                      "e;\"Notiz\r\nlang\"\r\nA;B;C\r\n"),
              0);
    // An old mapping written on Windows matches the converted headers.
    ASSERT_EQ(ApplyMapping("Quorvex mapping file\r\n\"Name\",\"Stra\xDF"
                           "e\",\"Notiz\r\nlang\"\r\n"
                           "\"N\",\"C\",\"-\"\r\nName:M\xFCller\r\nDescription:\r\n"),
              0);
    EXPECT_EQ(parser->GetMatchedColumnCount(), 3);
    EXPECT_EQ(Codes(), (std::vector<std::string>{"N", "C", "-"}));
    char name[97] = {};
    table.GetName(name, 96);
    EXPECT_STREQ(name, "Müller");

    // What the writer saves (UTF-8, the line break quoted) reads back alike.
    ASSERT_TRUE(SetLanguageFile(qvxtest::FixturePath("database/language.ini").c_str()));
    ASSERT_TRUE(WriteMappingFile(log.Path("saved.map").c_str(), table, "Zoë", "über"));
    std::string saved = qvxtest::ReadFile(log.Path("saved.map"));
    EXPECT_NE(saved.find("\"Name\",\"Straße\",\"Notiz\r\nlang\"\r\n"), std::string::npos) << saved;
    ASSERT_EQ(Analyze("\"Notiz\r\nlang\";Name;Straße\r\n"), 0);
    ASSERT_EQ(ApplyMapping(saved), 0);
    EXPECT_EQ(Codes(), (std::vector<std::string>{"-", "N", "C"}));
    char info[97] = {}, description[257] = {};
    ASSERT_TRUE(parser->ReadMappingInfo(log.Path("in.map").c_str(), info, sizeof info, description,
                                        sizeof description));
    EXPECT_STREQ(info, "Zoë");
    EXPECT_STREQ(description, "über");

    // A UTF-16 mapping file too.
    std::string utf16 = "\xFF\xFE";
    for (char c : std::string("Quorvex mapping file\r\n\"Name\"\r\n\"N\"\r\n")) utf16 += std::string{c, '\0'};
    ASSERT_EQ(Analyze("Name;x\r\n"), 0);
    ASSERT_EQ(ApplyMapping(utf16), 0);
    EXPECT_EQ(parser->GetMatchedColumnCount(), 1);
}

TEST_F(RecordsTest, MappingNameAndDescriptionAreLinesOfTheirOwn) {
    // Only the header and code lines are CSV: a lone quote in the name or the
    // description opens nothing, in a CR LF file as in an LF one.
    for (const std::string end : {"\r\n", "\n"}) {
        ASSERT_EQ(Analyze("Name;Telefon" + end + "A;1" + end), 0);
        const std::string map = "Quorvex mapping file" + end + "\"Name\",\"Telefon\"" + end + "\"N\",\"PD\"" +
                                end + "Name:Vom 12\" Laptop" + end + end + "Description:3.5\" Disketten" +
                                end;
        ASSERT_EQ(ApplyMapping(map), 0);
        EXPECT_EQ(Codes(), (std::vector<std::string>{"N", "PD"}));
        char name[97] = {}, description[257] = {};
        table.GetName(name, 96);
        table.GetDescription(description, 256);
        EXPECT_STREQ(name, "Vom 12\" Laptop");
        EXPECT_STREQ(description, "3.5\" Disketten");
        ASSERT_TRUE(parser->ReadMappingInfo(log.Path("in.map").c_str(), name, sizeof name, description,
                                            sizeof description));
        EXPECT_STREQ(name, "Vom 12\" Laptop");
        EXPECT_STREQ(description, "3.5\" Disketten");
    }
}

}  // namespace
