// The ready mappings shipped in the program's "mappings" folder and the
// choice of a fitting mapping by itself (the exports each mapping is made for
// are the shape-* case folders).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "BuildTestUtil.h"
#include "TestUtil.h"
#include "import/AnalysisStep.h"
#include "import/ContactsFile.h"
#include "import/DataMap.h"
#include "import/MappingChoice.h"

namespace {

const std::string kShipped = QVX_SOURCE_DIR "/src/resources/mappings";

std::string FileName(const std::string& path) {
    return path.substr(path.rfind('/') + 1);
}

class ReadyMappings : public qvxdbtest::CBuildSandbox {
protected:
    void Analyze(const std::string& csv) {
        table.Reset(true);
        ASSERT_EQ(parser.SetCSVFileName(csv.c_str()), 0);
        int csvState = CSV_STATE_CHOSEN;
        int mappingState = MAPPING_STATE_NONE;
        ASSERT_EQ(AnalyzeCSVFile(parser, table, csvState, mappingState), 0);
    }
    CContactsFile parser;
    CDataMap table;
};

TEST_F(ReadyMappings, EveryShippedMappingIsListedWithItsName) {
    const std::vector<std::string> shipped = ListMappingFiles(kShipped);
    ASSERT_EQ(shipped.size(), 9u);
    for (const std::string& path : shipped) {
        SCOPED_TRACE(path);
        // The main dialog's buffers: a name that does not fit would be listed without it.
        char name[97];
        char description[257];
        ASSERT_TRUE(parser.ReadMappingInfo(path.c_str(), name, sizeof name, description, sizeof description));
        EXPECT_NE(name[0], '\0');
        EXPECT_NE(description[0], '\0');
    }
}

TEST_F(ReadyMappings, ChoiceLeavesTheTableAloneAndTakesTheFirstInListOrder) {
    qvxtest::TempDir folder;
    const std::string csv = folder.File("in.csv");
    qvxtest::WriteFile(csv, "Name;Telefon;E-Mail\r\nAnna;0711 1;a@b.de\r\n");
    const std::string fits =
        "Quorvex mapping file\r\n\"Name\",\"Telefon\",\"E-Mail\"\r\n\"N\",\"PD\",\"E\"\r\n";
    qvxtest::WriteFile(folder.File("b-second.MAP"), fits + "Name:second\r\n");
    qvxtest::WriteFile(folder.File("A-first.map"), fits + "Name:first\r\n");
    qvxtest::WriteFile(folder.File(".hidden.map"), fits);
    qvxtest::WriteFile(folder.File("notes.txt"), fits);
    qvxtest::WriteFile(folder.File("0-partial.map"),
                       "Quorvex mapping file\r\n\"Name\",\"Telefon\"\r\n\"N\",\"PD\"\r\n");
    qvxtest::WriteFile(folder.File("1-twofirms.map"),
                       "Quorvex mapping file\r\n\"Name\",\"Telefon\",\"E-Mail\"\r\n\"C\",\"C\",\"E\"\r\n");
    const std::vector<std::string> paths = ListMappingFiles(folder.Path());
    std::vector<std::string> names;
    for (const std::string& path : paths) names.push_back(FileName(path));
    EXPECT_EQ(names,
              (std::vector<std::string>{"0-partial.map", "1-twofirms.map", "A-first.map", "b-second.MAP"}));

    Analyze(csv);
    table.GetMappingRow()->SetField(0, "X");
    EXPECT_EQ(FindFittingMapping(table, paths), 2);
    EXPECT_EQ(*table.GetMappingRow()->PeekField(0), "X");
    EXPECT_EQ(FindFittingMapping(table, {paths[0], paths[1]}), -1);
    EXPECT_EQ(FindFittingMapping(table, {}), -1);
    EXPECT_FALSE(MappingFileFits(table, folder.File("missing.map")));
    EXPECT_TRUE(ListMappingFiles(folder.File("missing")).empty());
}

}  // namespace
