#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "TestUtil.h"
#include "i18n/LanguageTable.h"
#include "import/AnalysisStep.h"
#include "import/ContactRules.h"
#include "import/ContactsFile.h"
#include "import/DataMap.h"
#include "import/Mapping.h"

namespace {

std::string Cell(CDataRow* row, int index) {
    char buffer[1025] = {};
    if (row == nullptr || row->GetField(index, buffer, 1024) != 0) return "";
    return buffer;
}

std::vector<std::string> Codes(CDataMap& table) {
    std::vector<std::string> codes;
    for (int j = 0; j < table.GetColumnCount(); ++j) codes.push_back(Cell(table.GetMappingRow(), j));
    return codes;
}

std::string MapFile(const std::string& names, const std::string& codes, const std::string& tail = "") {
    return "Quorvex mapping file\r\n" + names + "\r\n" + codes + "\r\n" + tail;
}

class MappingTest : public ::testing::Test {
protected:
    // Analyses `csv` and applies `map`; returns the result of applying it.
    int Apply(const std::string& csv, const std::string& map) {
        parser = std::make_unique<CContactsFile>();
        qvxtest::WriteFile(dir.File("in.csv"), csv);
        qvxtest::WriteFile(dir.File("in.map"), map);
        parser->SetCSVFileName(dir.File("in.csv").c_str());
        parser->SetTable(&table);
        EXPECT_EQ(parser->AnalyzeCsvData(), 0);
        EXPECT_EQ(parser->ParseData(1), 0);
        parser->SetMappingFileName(dir.File("in.map").c_str());
        return parser->ParseAdditionalInformation();
    }
    std::string Name() {
        char buffer[1025] = {};
        table.GetName(buffer, 1024);
        return buffer;
    }
    std::string Description() {
        char buffer[1025] = {};
        table.GetDescription(buffer, 1024);
        return buffer;
    }
    qvxtest::TempDir dir;
    std::unique_ptr<CContactsFile> parser;
    CDataMap table;
};

TEST_F(MappingTest, AppliesCodesByHeaderText) {
    const std::string map = MapFile("\"Name\",\"Firma\",\"Telefon\"", "\"N\",\"C\",\"PD\"",
                                    "Name:Office contacts\r\nDescription:\r\n");
    ASSERT_EQ(Apply("Telefon;Name;Firma\r\n1;A;B\r\n", map), 0);
    EXPECT_EQ(Codes(table), (std::vector<std::string>{"PD", "N", "C"}));
    EXPECT_EQ(parser->GetMatchedColumnCount(), 3);
    EXPECT_EQ(Name(), "Office contacts");
    EXPECT_EQ(Description(), "");

    ASSERT_EQ(Apply("Telefon;Name;Mobil;Firma\r\n", map), 0);
    EXPECT_EQ(Codes(table), (std::vector<std::string>{"PD", "N", "", "C"}));
    EXPECT_EQ(parser->GetMatchedColumnCount(), 3);
}

TEST_F(MappingTest, DuplicatesAndMissingLines) {
    // A column named twice in the file: the later code stays, both count.
    ASSERT_EQ(Apply("A;B\r\n", MapFile("\"A\",\"B\",\"A\"", "\"N\",\"C\",\"X\"")), 0);
    EXPECT_EQ(Codes(table), (std::vector<std::string>{"X", "C"}));
    EXPECT_EQ(parser->GetMatchedColumnCount(), 3);
    // A header that the CSV file holds twice gets the code in its first column only.
    ASSERT_EQ(Apply("A;A;B\r\n", MapFile("\"A\",\"B\"", "\"N\",\"C\"")), 0);
    EXPECT_EQ(Codes(table), (std::vector<std::string>{"N", "", "C"}));
    // No lines 4 and 5: empty name and description, the codes still apply.
    ASSERT_EQ(Apply("A;B\r\n", MapFile("\"A\",\"B\"", "\"N\",\"C\"")), 0);
    EXPECT_EQ(Name(), "");
    EXPECT_EQ(Description(), "");
    EXPECT_EQ(Codes(table), (std::vector<std::string>{"N", "C"}));
    // "Name:" anywhere in line 4: the name starts at the line's sixth byte.
    ASSERT_EQ(Apply("A;B\r\n", MapFile("\"A\",\"B\"", "\"N\",\"C\"", "xxName:abc\r\nDescription:d e\r\n")),
              0);
    EXPECT_EQ(Name(), "e:abc");
    EXPECT_EQ(Description(), "d e");
}

TEST_F(MappingTest, RefusesBrokenFilesAndKeepsTheTable) {
    struct {
        const char* name;
        std::string map;
        int result;
    } cases[] = {
        {"empty file", "", CSV_ERR_MAPPING_FILE},
        {"first line in other case", "quorvex mapping file\r\n\"A\"\r\n\"N\"\r\n", CSV_ERR_MAPPING_FILE},
        {"text before the magic", " Quorvex mapping file\r\n\"A\"\r\n\"N\"\r\n", CSV_ERR_MAPPING_FILE},
        {"no line 2", "Quorvex mapping file\r\n", CSV_ERR_MAPPING_LINES},
        {"no line 3", "Quorvex mapping file\r\n\"A\",\"B\"\r\n", CSV_ERR_MAPPING_LINES},
        {"three names, two codes", MapFile("\"A\",\"B\",\"C\"", "\"N\",\"C\""), CSV_ERR_MAPPING_LINES},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Apply("A;B\r\n1;2\r\n", c.map), c.result);
        EXPECT_EQ(Cell(table.GetHeaderRow(), 0), "A");
        EXPECT_EQ(parser->GetMatchedColumnCount(), 0);
    }
    CContactsFile unset;
    unset.SetTable(&table);
    EXPECT_EQ(unset.ParseAdditionalInformation(), CSV_ERR_MAPPING_FILE);
}

TEST_F(MappingTest, ReadsLinuxLineEndsAndByteOrderMark) {
    std::string lf = "Quorvex mapping file\n\"A\",\"B\"\n\"N\",\"C\"\nName:lf\nDescription:x\n";
    ASSERT_EQ(Apply("A;B\r\n", lf), 0);
    EXPECT_EQ(Codes(table), (std::vector<std::string>{"N", "C"}));
    EXPECT_EQ(Name(), "lf");
    ASSERT_EQ(Apply("A;B\r\n", "\xEF\xBB\xBF" + MapFile("\"A\",\"B\"", "\"N\",\"C\"")), 0);
    EXPECT_EQ(parser->GetMatchedColumnCount(), 2);
}

TEST_F(MappingTest, WrittenMappingAppliesToItsFileAgain) {
    const std::string csv = "Name;\"Mo\"\"bil\";Firma;Notiz\r\nA;1;B;x\r\n";
    ASSERT_EQ(Apply(csv, MapFile("\"x\"", "\"N\"")), 0);
    CDataRow* mapping = table.GetMappingRow();
    const char* codes[] = {"N", "PD", "C", "-"};
    for (int j = 0; j < 4; ++j) mapping->SetField(j, codes[j]);
    const std::string out = dir.File("saved.map");
    ASSERT_TRUE(WriteMappingFile(out.c_str(), table, "Privat \"neu\"", "Beschreibung"));
    EXPECT_EQ(qvxtest::ReadFile(out),
              "Quorvex mapping file\r\n\"Name\",\"Mo\"\"bil\",\"Firma\",\"Notiz\"\r\n"
              "\"N\",\"PD\",\"C\",\"-\"\r\nName:Privat \"neu\"\r\nDescription:Beschreibung\r\n");
    EXPECT_EQ(Name(), "Privat \"neu\"");

    ASSERT_EQ(Apply(csv, qvxtest::ReadFile(out)), 0);
    EXPECT_EQ(Codes(table), (std::vector<std::string>{"N", "PD", "C", "-"}));
    EXPECT_EQ(parser->GetMatchedColumnCount(), 4);

    EXPECT_FALSE(WriteMappingFile(dir.File("no/such/folder/x.map").c_str(), table, "n", "d"));
}

// Repeated headers: the k-th entry of a header names the k-th column of it.
// A name order line after the five lines joins the name columns in its
// order, survives a save, and leaves name and description as they were.
TEST_F(MappingTest, RepeatedHeadersAndNameOrder) {
    const std::string csv = "Telefon;Name;Telefon;Vorname\r\n1;M\xc3\xbcller;2;Anna\r\n";
    const std::string map =
        MapFile("\"Vorname\",\"Name\",\"Telefon\",\"Telefon\"", "\"N\",\"N\",\"PD\",\"-\"",
                "Name:Liste\r\nDescription:Hand\r\nName order:1=given,2=family\r\n");
    ASSERT_EQ(Apply(csv, map), 0);
    EXPECT_EQ(Codes(table), (std::vector<std::string>{"PD", "N", "-", "N"}));
    EXPECT_EQ(parser->GetMatchedColumnCount(), 4);
    EXPECT_EQ(Name(), "Liste");
    EXPECT_EQ(Description(), "Hand");
    ASSERT_EQ(parser->ParseData(2), 0);
    auto joinedName = [&] {
        CContactRules rules(table);
        table.Rewind();
        CContactOut out;
        EXPECT_EQ(rules.ReadContact(table.NextRow(), out), qvxrules::SkipReason::kNone);
        return std::string(out.name);
    };
    EXPECT_EQ(joinedName(), "Anna M\xc3\xbcller");

    // Written per column: the entries' numbers are the columns'.
    const std::string out = dir.File("saved.map");
    ASSERT_TRUE(WriteMappingFile(out.c_str(), table, "Liste", "Hand"));
    const std::string saved = qvxtest::ReadFile(out);
    EXPECT_EQ(saved.substr(saved.find("Name:")),
              "Name:Liste\r\nDescription:Hand\r\nName order:4=given,2=family\r\n");
    ASSERT_EQ(Apply(csv, saved), 0);
    EXPECT_EQ(Codes(table), (std::vector<std::string>{"PD", "N", "-", "N"}));
    ASSERT_EQ(parser->ParseData(2), 0);
    EXPECT_EQ(joinedName(), "Anna M\xc3\xbcller");

    // Without the line, or with items that name no name column, column order.
    for (const char* pszLine : {"", "Name order:9=given,x,3=family,0\r\n"}) {
        ASSERT_EQ(
            Apply(csv, MapFile("\"Vorname\",\"Name\",\"Telefon\",\"Telefon\"", "\"N\",\"N\",\"PD\",\"-\"",
                               std::string("Name:L\r\nDescription:\r\n") + pszLine)),
            0);
        ASSERT_EQ(parser->ParseData(2), 0);
        EXPECT_EQ(joinedName(), "M\xc3\xbcller Anna") << pszLine;
        const std::string text = MappingFileText(table, "L", "");
        EXPECT_EQ(text.find("Name order:"), std::string::npos) << text;
    }
    // More entries of a header than columns: the rest name its first column.
    ASSERT_EQ(Apply("A;B\r\n", MapFile("\"A\",\"A\",\"B\"", "\"N\",\"X\",\"C\"")), 0);
    EXPECT_EQ(Codes(table), (std::vector<std::string>{"X", "C"}));
    EXPECT_EQ(parser->GetMatchedColumnCount(), 3);
}

// Saving over a mapping replaces it whole and keeps what the user set for
// it: the mode of the file, and a link to a shared mapping stays a link.
TEST_F(MappingTest, SavingOverAMappingKeepsItsModeAndLink) {
    ASSERT_EQ(Apply("Name;Firma\r\n", MapFile("\"x\"", "\"N\"")), 0);
    const std::string shared = dir.File("shared.map");
    qvxtest::WriteFile(shared, "old");
    ASSERT_EQ(::chmod(shared.c_str(), 0600), 0);
    ASSERT_EQ(::symlink(shared.c_str(), dir.File("link.map").c_str()), 0);
    ASSERT_TRUE(WriteMappingFile(dir.File("link.map").c_str(), table, "n", "d"));
    struct stat st {};
    ASSERT_EQ(::lstat(dir.File("link.map").c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    ASSERT_EQ(::stat(shared.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0600u);
    EXPECT_EQ(qvxtest::ReadFile(shared).substr(0, 20), "Quorvex mapping file");
}

TEST_F(MappingTest, ReadMappingInfoDeliversWhatFitsTheBuffer) {
    struct {
        size_t nameLength;
        bool delivered;
    } cases[] = {{0, true}, {86, true}, {87, true}, {95, true}, {96, true}, {97, false}, {300, false}};
    for (auto& c : cases) {
        SCOPED_TRACE(c.nameLength);
        std::string name(c.nameLength, 'n');
        std::string description(232, 'd');
        qvxtest::WriteFile(
            dir.File("info.map"),
            MapFile("\"A\"", "\"N\"", "Name:" + name + "\r\nDescription:" + description + "\r\n"));
        char nameBuffer[97];
        char descriptionBuffer[257];
        memset(nameBuffer, 'z', sizeof nameBuffer);
        CContactsFile reader;
        ASSERT_TRUE(reader.ReadMappingInfo(dir.File("info.map").c_str(), nameBuffer, sizeof nameBuffer,
                                           descriptionBuffer, sizeof descriptionBuffer));
        EXPECT_EQ(std::string(nameBuffer), c.delivered ? name : "");
        EXPECT_EQ(std::string(descriptionBuffer), description);
    }
    char name[97];
    char description[257];
    CContactsFile reader;
    qvxtest::WriteFile(dir.File("bad.map"), MapFile("\"A\",\"B\"", "\"N\""));
    EXPECT_FALSE(reader.ReadMappingInfo(dir.File("bad.map").c_str(), name, sizeof name, description,
                                        sizeof description));
    EXPECT_FALSE(reader.ReadMappingInfo(dir.File("missing.map").c_str(), name, sizeof name, description,
                                        sizeof description));
}

TEST(MappingRules, FirstBrokenRuleInOrder) {
    struct {
        std::vector<const char*> codes;
        const char* rule;
    } cases[] = {
        {{"N", "C", "PD"}, nullptr},
        {{"N", "N", "N", "C"}, nullptr},  // a name in parts
        {{"N", "PD", "E"}, nullptr},      // no company column
        {{"C", "PD"}, "MappingDlg_Info_No_Name"},
        {{"C", "C", ""}, "MappingDlg_Info_No_Name"},
        {{"N", "N", ""}, "MappingDlg_Info_Empty_Entry"},
        {{"N", "PD", ""}, "MappingDlg_Info_Empty_Entry"},
        {{"N", "C", "C"}, "MappingDlg_Info_ToMany_Company"},
        {{"N", "C", "C", ""}, "MappingDlg_Info_ToMany_Company"},
        {{"N", "C", ""}, "MappingDlg_Info_Empty_Entry"},
        {{"n", "C", "X"}, "MappingDlg_Info_No_Name"},
        {{}, "MappingDlg_Info_No_Name"},
    };
    for (auto& c : cases) {
        CDataMap table;
        table.SetColumnCount(static_cast<int>(c.codes.size()));
        CDataRow* mapping = table.GetMappingRow();
        for (size_t j = 0; j < c.codes.size(); ++j) mapping->SetField(static_cast<int>(j), c.codes[j]);
        const char* rule = FirstBrokenMappingRule(CountMappingCodes(table));
        EXPECT_STREQ(rule, c.rule);
    }
}

TEST(PropertyTypes, TranslateThroughTheLanguageTable) {
    qvxtest::TempDir dir;
    std::string ini = dir.File("language.ini");
    qvxtest::WriteFile(
        ini,
        "[currentLanguage]\r\nlanguage=Test\r\n[Test]\r\n"
        "PropertyType_Phonenumer=Phone\r\nPropertyType_Name=Name\r\nPropertyType_Company=Firm\r\n"
        "PropertyType_Location=Place\r\nPropertyType_Email=Mail\r\nPropertyType_Other=Same\r\n"
        "PropertyType_Hidden=Hidden\r\nPropertyType_Group=Same\r\n");
    ASSERT_TRUE(SetLanguageFile(ini.c_str()));
    ASSERT_TRUE(SetLanguage("Test"));

    char buffer[64];
    strcpy(buffer, "PD");
    CodeToPropertyType(buffer, sizeof buffer);
    EXPECT_STREQ(buffer, "Phone");
    PropertyTypeToCode(buffer, sizeof buffer);
    EXPECT_STREQ(buffer, "PD");
    strcpy(buffer, "Same");  // the last key with this text wins
    PropertyTypeToCode(buffer, sizeof buffer);
    EXPECT_STREQ(buffer, "G");
    strcpy(buffer, "Unknown");
    PropertyTypeToCode(buffer, sizeof buffer);
    EXPECT_STREQ(buffer, "Unknown");
    strcpy(buffer, "ZZ");
    CodeToPropertyType(buffer, sizeof buffer);
    EXPECT_STREQ(buffer, "ZZ");
    strcpy(buffer, "I");  // no text in this language: empty
    CodeToPropertyType(buffer, sizeof buffer);
    EXPECT_STREQ(buffer, "");
    char tiny[2] = "N";
    CodeToPropertyType(tiny, sizeof tiny);
    EXPECT_STREQ(tiny, "N");
}

TEST(AnalysisStep, StatesAfterTheStep) {
    qvxtest::TempDir dir;
    qvxtest::WriteFile(dir.File("good.csv"), "Name;Firma;Telefon\r\nA;B;1\r\n");
    qvxtest::WriteFile(dir.File("bad.csv"), "nothing\r\nhere\r\n");
    qvxtest::WriteFile(dir.File("partial.map"), MapFile("\"Name\",\"Firma\"", "\"N\",\"C\""));
    // Every column found, yet the rules are broken: still incomplete.
    qvxtest::WriteFile(dir.File("twofirms.map"),
                       MapFile("\"Name\",\"Firma\",\"Telefon\"", "\"N\",\"C\",\"C\""));
    qvxtest::WriteFile(dir.File("emptycode.map"),
                       MapFile("\"Name\",\"Firma\",\"Telefon\"", "\"N\",\"C\",\"\""));
    qvxtest::WriteFile(dir.File("noname.map"),
                       MapFile("\"Name\",\"Firma\",\"Telefon\"", "\"C\",\"X\",\"PD\""));
    // Complete without a company, and with the name in two columns.
    qvxtest::WriteFile(dir.File("nofirm.map"),
                       MapFile("\"Name\",\"Firma\",\"Telefon\"", "\"N\",\"N\",\"PD\""));
    qvxtest::WriteFile(dir.File("wrong.map"), "Quorvex Mapping File\r\n");
    struct {
        const char* csv;
        const char* map;
        int result;
        int csvState;
        int mappingState;
    } cases[] = {
        {"bad.csv", "partial.map", -1, CSV_STATE_NONE, MAPPING_STATE_CHOSEN},
        {"good.csv", "wrong.map", 0, CSV_STATE_ANALYZED, MAPPING_STATE_NONE},
        {"good.csv", "partial.map", 0, CSV_STATE_ANALYZED, MAPPING_STATE_INCOMPLETE},
        {"good.csv", "twofirms.map", 0, CSV_STATE_ANALYZED, MAPPING_STATE_INCOMPLETE},
        {"good.csv", "emptycode.map", 0, CSV_STATE_ANALYZED, MAPPING_STATE_INCOMPLETE},
        {"good.csv", "noname.map", 0, CSV_STATE_ANALYZED, MAPPING_STATE_INCOMPLETE},
        {"good.csv", "nofirm.map", 0, CSV_STATE_ANALYZED, MAPPING_STATE_COMPLETE},
        {"good.csv", nullptr, 0, CSV_STATE_ANALYZED, MAPPING_STATE_NONE},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.csv);
        CContactsFile parser;
        CDataMap table;
        parser.SetCSVFileName(dir.File(c.csv).c_str());
        int csvState = CSV_STATE_CHOSEN;
        int mappingState = MAPPING_STATE_NONE;
        if (c.map) {
            parser.SetMappingFileName(dir.File(c.map).c_str());
            mappingState = MAPPING_STATE_CHOSEN;
        }
        EXPECT_EQ(AnalyzeCSVFile(parser, table, csvState, mappingState), c.result);
        EXPECT_EQ(csvState, c.csvState);
        EXPECT_EQ(mappingState, c.mappingState);
    }
}

}  // namespace
