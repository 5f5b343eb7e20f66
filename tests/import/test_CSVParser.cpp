#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "TestUtil.h"
#include "import/ContactsFile.h"
#include "import/DataMap.h"

namespace {

std::string Cell(CDataRow* row, int index) {
    auto text = row ? row->PeekField(index) : std::nullopt;
    return text ? std::string(*text) : "";
}

std::vector<std::string> Cells(CDataRow* row, int count) {
    std::vector<std::string> cells;
    for (int i = 0; i < count; ++i) cells.push_back(Cell(row, i));
    return cells;
}

std::vector<std::vector<std::string>> DataRows(CDataMap& table) {
    std::vector<std::vector<std::string>> rows;
    table.Rewind();
    while (CDataRow* row = table.NextRow()) rows.push_back(Cells(row, table.GetColumnCount()));
    return rows;
}

struct SplitCase {
    const char* text;
    char separator;
    std::vector<std::string> fields;
};

TEST(ParseLine, SplitsTrimsAndUnquotes) {
    const SplitCase cases[] = {
        {"a;b", ';', {"a", "b"}},
        {"a;b;", ';', {"a", "b", ""}},
        {"a;;b", ';', {"a", "", "b"}},
        {"\"x;y\";z", ';', {"x;y", "z"}},
        {" a ; b ", ';', {"a", "b"}},
        {"\" a \";\tb", ';', {" a ", "\tb"}},
        {";", ';', {"", ""}},
        {"\"abc\",\"a\"\"b\",\"\",\"\"\"\",a\"b", ',', {"abc", "a\"b", "", "\"", "ab"}},
        {"\"open;quote", ';', {"open;quote"}},
        {"'x'|'it''s'", '|', {"'x'", "'it''s'"}},
    };
    for (const SplitCase& c : cases) {
        CDataMap table;
        CDataRow* row = nullptr;
        int n = CContactsFile::ParseLine(&table, &row, c.text, c.separator, '"', 0);
        ASSERT_EQ(n, static_cast<int>(c.fields.size())) << c.text;
        ASSERT_NE(row, nullptr) << c.text;
        EXPECT_EQ(Cells(row, n), c.fields) << c.text;
    }
    CDataMap table;
    EXPECT_EQ(CContactsFile::ParseLine(&table, nullptr, "", ';', '"', 0), 0);
}

TEST(ParseLine, LaterRowsKeepTheFirstColumnCount) {
    CDataMap table;
    CDataRow* row = nullptr;
    CContactsFile::ParseLine(&table, &row, "a;b;c", ';', '"', 0);
    CContactsFile::ParseLine(&table, &row, "1;2;3;4;5", ';', '"', 0);
    EXPECT_EQ(table.GetColumnCount(), 3);
    EXPECT_EQ(Cells(row, 3), (std::vector<std::string>{"1", "2", "3"}));
    CContactsFile::ParseLine(&table, &row, "x", ';', '"', 0);
    EXPECT_EQ(Cells(row, 3), (std::vector<std::string>{"x", "", ""}));
    EXPECT_EQ(table.GetRowCount(), 3);
}

struct AnalyzeCase {
    const char* name;
    std::string bytes;
    int result;
    char separator;
    char delimiter;
    int columns;
    std::vector<std::string> headers;
    std::vector<std::vector<std::string>> rows;
};

class AnalyzeTest : public ::testing::Test {
protected:
    int Analyze(const std::string& bytes) {
        owned = std::make_unique<CContactsFile>();
        path = dir.File("input.csv");
        qvxtest::WriteFile(path, bytes);
        parser().SetCSVFileName(path.c_str());
        parser().SetTable(&table);
        int result = parser().AnalyzeCsvData();
        if (result == 0) result = parser().ParseData(1);
        return result;
    }
    CContactsFile& parser() { return *owned; }
    qvxtest::TempDir dir;
    std::string path;
    std::unique_ptr<CContactsFile> owned = std::make_unique<CContactsFile>();
    CDataMap table;
};

TEST_F(AnalyzeTest, DetectsLayouts) {
    const AnalyzeCase cases[] = {
        {"one line", "Name;Phone", 0, ';', '"', 2, {"Name", "Phone"}, {}},
        {"semicolon before comma", "a,b;c\r\n1,2;3\r\n", 0, ';', '"', 2, {"a,b", "c"}, {{"1,2", "3"}}},
        {"quoted semicolons do not count",
         "\"a;x\",b\r\n\"1;y\",2\r\n",
         0,
         ',',
         '"',
         2,
         {"a;x", "b"},
         {{"1;y", "2"}}},
        {"tab", "a\tb\tc\r\n1\t2\t3\r\n", 0, '\t', '"', 3, {"a", "b", "c"}, {{"1", "2", "3"}}},
        {"blank lines ignored", "\r\n\r\nN|T\r\n\r\nx|y\r\n\r\n", 0, '|', '"', 2, {"N", "T"}, {{"x", "y"}}},
        {"single quote delimiter",
         "'a;b';c\r\n'1;2';3;4\r\n",
         0,
         ';',
         '"',
         3,
         {"'a", "b'", "c"},
         {{"'1", "2'", "3"}}},
        {"LF only lines split at LF",
         "Name,Phone\nA,1\nB,2\n",
         0,
         ',',
         '"',
         2,
         {"Name", "Phone"},
         {{"A", "1"}, {"B", "2"}}},
        {"CR LF present keeps lone LF inside",
         "a;b\r\nc\nd;e\r\n",
         0,
         ';',
         '"',
         2,
         {"a", "b"},
         {{"c\nd", "e"}}},
        {"byte-order mark skipped",
         "\xEF\xBB\xBFName;Phone\r\nA;1\r\n",
         0,
         ';',
         '"',
         2,
         {"Name", "Phone"},
         {{"A", "1"}}},
        {"third line differs: fallback to first line",
         "a;b\r\n1;2\r\n1;2;3\r\n",
         0,
         ';',
         '"',
         2,
         {"a", "b"},
         {{"1", "2"},
          {
              "1",
              "2",
          }}},
        {"separator at end of line", "a;b;\r\n1;2;\r\n", 0, ';', '"', 3, {"a", "b", ""}, {{"1", "2", ""}}},
    };
    for (const AnalyzeCase& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_EQ(Analyze(c.bytes), c.result);
        EXPECT_EQ(parser().m_cSeparator, c.separator);
        EXPECT_EQ(parser().m_cDelimiter, c.delimiter);
        EXPECT_EQ(parser().m_nColumnCount, c.columns);
        EXPECT_EQ(Cells(table.GetHeaderRow(), c.columns), c.headers);
        EXPECT_EQ(table.GetRowCount(), 0);
        ASSERT_EQ(parser().ParseData(2), 0);
        auto rows = DataRows(table);
        ASSERT_EQ(rows.size(), c.rows.size());
        for (size_t i = 0; i < rows.size(); ++i) {
            std::vector<std::string> expected = c.rows[i];
            expected.resize(static_cast<size_t>(c.columns));
            EXPECT_EQ(rows[i], expected) << "row " << i;
        }
    }
}

TEST_F(AnalyzeTest, RefusesUnusableFiles) {
    struct {
        const char* name;
        std::string bytes;
        int result;
    } cases[] = {
        {"empty", "", CSV_ERR_NO_LINES},
        {"only line ends", "\r\n\r\n\r\n", CSV_ERR_NO_LINES},
        {"one field everywhere", "abc\r\ndef\r\n", CSV_ERR_NO_SEPARATOR},
        {"CR only line ends, one field", "abc\rdef\r", CSV_ERR_NO_SEPARATOR},
        {"header field over 512 bytes", std::string(513, 'h') + ";b\r\n1;2\r\n", CSV_ERR_HEADER_TOO_LONG},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Analyze(c.bytes), c.result);
    }
    CContactsFile parser2;
    EXPECT_EQ(parser2.AnalyzeCsvData(), CSV_ERR_NO_CSV_FILE);
    parser2.SetCSVFileName(dir.File("missing.csv").c_str());
    EXPECT_EQ(parser2.AnalyzeCsvData(), CSV_ERR_NO_TABLE_SET);
    parser2.SetTable(&table);
    EXPECT_EQ(parser2.AnalyzeCsvData(), CSV_ERR_SPLIT);
    EXPECT_EQ(parser2.SetCSVFileName(nullptr), CSV_ERR_CSV_PATH);
    EXPECT_EQ(parser2.SetCSVFileName(std::string(261, 'p').c_str()), CSV_ERR_CSV_PATH);
    EXPECT_EQ(parser2.SetCSVFileName(std::string(260, 'p').c_str()), 0);
    EXPECT_EQ(parser2.SetMappingFileName(std::string(261, 'p').c_str()), CSV_ERR_MAPPING_PATH);
    EXPECT_EQ(parser2.SetTable(nullptr), CSV_ERR_NO_TABLE);
}

TEST_F(AnalyzeTest, HeaderOf512BytesIsKept) {
    std::string header(512, 'h');
    ASSERT_EQ(Analyze(header + ";b\r\n1;2\r\n"), 0);
    EXPECT_EQ(Cell(table.GetHeaderRow(), 0).size(), 512u);
}

TEST_F(AnalyzeTest, OnlyTheFirst2500LinesDecide) {
    std::string bytes = "a;b\r\n";
    for (int i = 1; i < 2500; ++i) bytes += "1;2\r\n";
    std::string tail = "x;y;z\r\n";
    ASSERT_EQ(Analyze(bytes + tail), 0);
    EXPECT_EQ(parser().m_nColumnCount, 2);
    EXPECT_EQ(parser().m_nLineCount, 2501);
    ASSERT_EQ(parser().ParseData(2), 0);
    EXPECT_EQ(table.GetRowCount(), 2500);

    // A line that differs within the first 2,500 makes every pair fail and
    // the first line decides alone.
    std::string early = "a;b\r\n1;2\r\n1,2\r\n";
    ASSERT_EQ(Analyze(early), 0);
    EXPECT_EQ(parser().m_cSeparator, ';');
}

int CountingCallback(void* context) {
    int* calls = static_cast<int*>(context);
    return ++*calls >= 3 ? -1 : 0;
}

TEST_F(AnalyzeTest, ParseDataCallsBackAndAborts) {
    ASSERT_EQ(Analyze("a;b\r\n1;2\r\n3;4\r\n5;6\r\n7;8\r\n"), 0);
    int calls = 0;
    EXPECT_EQ(parser().ParseData(2, CountingCallback, &calls), CSV_ERR_ABORTED);
    EXPECT_EQ(calls, 3);
    EXPECT_EQ(table.GetRowCount(), 3);
    // A second run skips the rows already parsed and adds the rest once.
    EXPECT_EQ(parser().ParseData(2), 0);
    auto rows = DataRows(table);
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(rows[3], (std::vector<std::string>{"7", "8"}));
}

TEST_F(AnalyzeTest, ZeroBytesAndLongLinesDoNotBreakTheAnalysis) {
    std::string bytes = std::string("a;b\r\nx\0y;2\r\n", 12) + std::string(100000, 'v') + ";w\r\n";
    ASSERT_EQ(Analyze(bytes), 0);
    ASSERT_EQ(parser().ParseData(2), 0);
    auto rows = DataRows(table);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0][0], "x");
    EXPECT_EQ(rows[1][0].size(), 100000u);
}

}  // namespace
