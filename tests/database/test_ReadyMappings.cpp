// The ready mappings shipped in the program's "mappings" folder, against
// files in the shapes of the exports they are made for, and the choice of a
// fitting mapping by itself.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "BuildTestUtil.h"
#include "DbTestUtil.h"
#include "TestUtil.h"
#include "import/AnalysisStep.h"
#include "import/CSVParser.h"
#include "import/DataMap.h"
#include "import/MappingChoice.h"

namespace {

using qvxdbtest::Query;
using qvxdbtest::Row;

const std::string kShipped = QVX_SOURCE_DIR "/src/resources/mappings";

std::string Fixture(const std::string& name) {
    return QVX_SOURCE_DIR "/tests/cases/shape-" + name.substr(0, name.size() - 4) + "/input.csv";
}

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
    // Applies the mapping and builds the database as the wizard does.
    void Build(const std::string& map) {
        ASSERT_EQ(parser.SetMappingFileName(map.c_str()), 0);
        int csvState = CSV_STATE_ANALYZED;
        int mappingState = MAPPING_STATE_CHOSEN;
        ASSERT_EQ(AnalyzeCSVFile(parser, table, csvState, mappingState), 0);
        ASSERT_EQ(mappingState, MAPPING_STATE_COMPLETE);
        ASSERT_EQ(parser.ParseData(2), 0);
        CQVXDBBuilder builder(qvxdbtest::kBuildSeconds);
        ASSERT_EQ(builder.BuildDb(table, nullptr), 0);
    }
    CCSVParser parser;
    CDataMap table;
};

TEST_F(ReadyMappings, EachExportShapeFindsItsMappingAndGivesFullNames) {
    struct {
        const char* csv;
        const char* map;
        std::vector<Row> contacts;  // name, company
        std::vector<Row> details;   // key, value, type of the first contact, without dial numbers
    } cases[] = {
        {"google.csv",
         "google-contacts.map",
         {{"Hans-Peter Schmidt", "Praxis Schmidt"}, {"José Luis García Pérez", ""}},
         {{"Name Prefix", "Dr.", ""},
          {"E-mail 1 - Value", "hp.schmidt@example.com", "E"},
          {"Phone 1 - Value", "+49 171 2345678", "PD"},
          {"Phone 2 - Value", "089 / 987 654", "PD"},
          {"Address 1 - Street", "Hauptstraße 5", "L"},
          {"Address 1 - City", "München", "L"},
          {"Address 1 - Postal Code", "80331", "L"},
          {"Address 1 - Country", "Deutschland", "L"}}},
        // The older Google export: the whole name in one column.
        {"google-older.csv",
         "google-contacts-older.map",
         {{"Hans-Peter Schmidt", "Praxis Schmidt"}, {"José Luis García Pérez", ""}},
         {{"Name Prefix", "Dr.", ""},
          {"E-mail 1 - Value", "hp.schmidt@example.com", "E"},
          {"Phone 1 - Value", "+49 171 2345678", "PD"},
          {"Phone 2 - Value", "089 / 987 654", "PD"},
          {"Address 1 - Street", "Hauptstraße 5", "L"},
          {"Address 1 - City", "München", "L"},
          {"Address 1 - Postal Code", "80331", "L"},
          {"Address 1 - Country", "Deutschland", "L"}}},
        {"outlook-en.csv",
         "outlook-en.map",
         {{"Hans-Peter Schmidt", "Praxis Schmidt"}, {"José Luis García Pérez", ""}},
         {{"Job Title", "Arzt", ""},
          {"Business Street", "Hauptstraße 5", "L"},
          {"Business City", "München", "L"},
          {"Business Postal Code", "80331", "L"},
          {"Business Country/Region", "Germany", "L"},
          {"Business Fax", "089 / 987 655", "PD"},
          {"Business Phone", "089 / 987 654", "PD"},
          {"Mobile Phone", "+49 171 2345678", "PD"},
          {"E-mail Address", "hp.schmidt@example.com", "E"}}},
        {"outlook-de.csv",
         "outlook-de.map",
         {{"Hans-Peter Schmidt", "Praxis Schmidt"}, {"José Luis García Pérez", ""}},
         {{"Position", "Arzt", ""},
          {"Straße geschäftlich", "Hauptstraße 5", "L"},
          {"Ort geschäftlich", "München", "L"},
          {"Postleitzahl geschäftlich", "80331", "L"},
          {"Land/Region geschäftlich", "Deutschland", "L"},
          {"Fax geschäftlich", "089 / 987 655", "PD"},
          {"Telefon geschäftlich", "089 / 987 654", "PD"},
          {"Mobiltelefon", "+49 171 2345678", "PD"},
          {"E-Mail-Adresse", "hp.schmidt@example.com", "E"}}},
        {"thunderbird.csv",
         "thunderbird.map",
         {{"Hans-Peter Schmidt", "Praxis Schmidt"}, {"José Luis García Pérez", ""}},
         {{"Primary Email", "hp.schmidt@example.com", "E"},
          {"Work Phone", "089 / 987 654", "PD"},
          {"Mobile Number", "+49 171 2345678", "PD"},
          {"Work Address", "Hauptstraße 5", "L"},
          {"Work City", "München", "L"},
          {"Work ZipCode", "80331", "L"},
          {"Work Country", "Deutschland", "L"},
          {"Job Title", "Arzt", ""}}},
        // The family name comes first in this shape, and so in the name.
        {"vcard.csv",
         "vcard-csv.map",
         {{"Schmidt Hans-Peter", "Praxis Schmidt"}, {"García Pérez José Luis", ""}},
         {{"Prefixes", "Dr.", ""},
          {"Title", "Arzt", ""},
          {"StreetWork", "Hauptstraße 5", "L"},
          {"CityWork", "München", "L"},
          {"PostalCodeWork", "80331", "L"},
          {"EmailWork", "hp.schmidt@example.com", "E"},
          {"TelVoiceWork", "089 / 987 654", "PD"},
          {"TelCellHome", "+49 171 2345678", "PD"}}},
    };
    const std::vector<std::string> shipped = ListMappingFiles(kShipped);
    for (auto& c : cases) {
        SCOPED_TRACE(c.csv);
        Analyze(Fixture(c.csv));
        // Exactly one shipped mapping fits each shape.
        std::vector<std::string> fitting;
        for (const std::string& path : shipped)
            if (MappingFileFits(table, path)) fitting.push_back(FileName(path));
        EXPECT_EQ(fitting, std::vector<std::string>{c.map});
        const int nChosen = FindFittingMapping(table, shipped);
        ASSERT_GE(nChosen, 0);
        EXPECT_EQ(FileName(shipped[static_cast<size_t>(nChosen)]), c.map);

        Build(shipped[static_cast<size_t>(nChosen)]);
        EXPECT_EQ(Query(DbPath(), "SELECT Name, Company FROM Contact ORDER BY ContactId"), c.contacts);
        EXPECT_EQ(Query(DbPath(),
                        "SELECT PropertyKey, Value, PropertyType FROM ContactDetail "
                        "WHERE ContactId = 0 AND PropertyType <> 'P' ORDER BY Position"),
                  c.details);
        std::remove(DbPath().c_str());
    }
}

TEST_F(ReadyMappings, EveryShippedMappingIsListedWithItsName) {
    const std::vector<std::string> shipped = ListMappingFiles(kShipped);
    ASSERT_EQ(shipped.size(), 7u);
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
