#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TestUtil.h"
#include "import/AnalysisStep.h"
#include "import/ColumnSamples.h"
#include "import/ContactsFile.h"
#include "import/DataMap.h"

namespace {

using Samples = std::vector<std::vector<std::string>>;

class ColumnSamplesTest : public ::testing::Test {
protected:
    void Analyze(const std::string& csv) {
        qvxtest::WriteFile(dir.File("in.csv"), csv);
        parser.SetCSVFileName(dir.File("in.csv").c_str());
        int csvState = CSV_STATE_CHOSEN;
        int mappingState = MAPPING_STATE_NONE;
        ASSERT_EQ(AnalyzeCSVFile(parser, table, csvState, mappingState), 0);
    }
    qvxtest::TempDir dir;
    CContactsFile parser;
    CDataMap table;
};

TEST_F(ColumnSamplesTest, FirstNonEmptyValuesInRowOrder) {
    Analyze(
        "Name;Phone 1 - Label;Phone 1 - Value;Never\r\n"
        "Anna;;;\r\n"
        "Bert;Mobile;\"+49 171 1\";\r\n"
        "\"Carla \"\"CJ\"\" Jones\";;+49 30 2;\r\n"
        "Dora;Work;;\r\n"
        "Emil;Home;+49 89 3;\r\n"
        "Fritz;Other;+49 40 4;\r\n");
    EXPECT_EQ(CollectColumnSamples(parser, table), (Samples{{"Anna", "Bert", "Carla \"CJ\" Jones"},
                                                            {"Mobile", "Work", "Home"},
                                                            {"+49 171 1", "+49 30 2", "+49 89 3"},
                                                            {}}));
    EXPECT_EQ(CollectColumnSamples(parser, table, 1), (Samples{{"Anna"}, {"Mobile"}, {"+49 171 1"}, {}}));

    // The table keeps its header and gets no data rows; the build still
    // parses every row into it.
    EXPECT_EQ(table.GetRowCount(), 0);
    EXPECT_EQ(*table.GetHeaderRow()->PeekField(2), "Phone 1 - Value");
    ASSERT_EQ(parser.ParseData(2), 0);
    EXPECT_EQ(table.GetRowCount(), 6);
}

TEST_F(ColumnSamplesTest, HeaderOnlyFileGivesEmptyLists) {
    Analyze("Name;Firma\r\n");
    EXPECT_EQ(CollectColumnSamples(parser, table), (Samples{{}, {}}));
}

TEST_F(ColumnSamplesTest, LooksAtALimitedNumberOfRows) {
    // A value in the 1,001st data row is not looked for.
    std::string csv = "Name;Late\r\n";
    for (int i = 0; i < 1000; ++i) {
        csv += 'n';
        csv += std::to_string(i);
        csv += ";\r\n";
    }
    csv += "last;found\r\n";
    Analyze(csv);
    EXPECT_EQ(CollectColumnSamples(parser, table)[1], std::vector<std::string>{});

    // A wide file: 5,000 columns give 50 rows.
    const int nColumns = 5000;
    auto line = [&](const std::string& last) {
        std::string text;
        for (int j = 0; j < nColumns - 1; ++j) text += "x;";
        return text + last + "\r\n";
    };
    std::string header;
    for (int j = 0; j < nColumns; ++j) header += (j ? ";c" : "c") + std::to_string(j);
    std::string wide = header + "\r\n";
    for (int i = 0; i < 49; ++i) wide += line("");
    std::string late = wide + line("") + line("late");
    wide += line("in time");
    Analyze(wide);
    EXPECT_EQ(CollectColumnSamples(parser, table)[nColumns - 1], std::vector<std::string>{"in time"});
    table.Reset(true);
    Analyze(late);
    EXPECT_EQ(CollectColumnSamples(parser, table)[nColumns - 1], std::vector<std::string>{});
}

}  // namespace
