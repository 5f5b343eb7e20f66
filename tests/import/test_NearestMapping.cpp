#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TestUtil.h"
#include "import/ContactsFile.h"
#include "import/DataMap.h"
#include "import/HeaderGuess.h"
#include "import/Mapping.h"
#include "import/NearestMapping.h"

namespace {

// Headers of real exports (Google, Outlook EN/DE, outlook.com, Thunderbird
// EN/DE, vCard converters) and what a new mapping should make of them.
TEST(HeaderGuess, HeadersOfRealExports) {
    const struct {
        const char* header;
        const char* code;  // "" when no word fits
    } cases[] = {
        {"First Name", "N"},
        {"Middle Name", "N"},
        {"Last Name", "N"},
        {"Vorname", "N"},
        {"Weitere Vornamen", "N"},
        {"Nachname", "N"},
        {"GivenNames", "N"},
        {"Name", "N"},
        {"Anzeigename", "N"},
        {"Phonetic First Name", "X"},
        {"Given Yomi", "X"},
        {"Name Prefix", "-"},
        {"Name Suffix", "-"},
        {"Spitzname", "-"},
        {"Messenger-Name", "X"},
        {"Screen Name", "X"},
        {"Assistant's Name", "X"},
        {"Organization Name", "C"},
        {"Organization Title", "-"},
        {"Company", "C"},
        {"Firma", "C"},
        {"Company Yomi", "X"},
        {"Job Title", "-"},
        {"Arbeitstitel", "-"},
        {"Phone 7 - Value", "PD"},
        {"Phone 7 - Label", "X"},
        {"Mobile Phone", "PD"},
        {"Mobil-Tel.-Nr.", "PD"},
        {"Tel. dienstlich", "PD"},
        {"Mobiltelefon", "PD"},
        {"Fax-Nummer", "PD"},
        {"Business Fax", "PD"},
        {"Company Main Phone", "PD"},
        {"TelCellWork", "PD"},
        {"Handy", "PD"},
        {"Pager", "PD"},
        {"E-mail 2 Address", "E"},
        {"Primäre E-Mail-Adresse", "E"},
        {"E-Mail 2: Adresse", "E"},
        {"EmailHome", "E"},
        {"E-mail Display Name", "X"},
        {"E-Mail-Typ", "X"},
        {"Address 1 - Street", "L"},
        {"Address 1 - Formatted", "X"},
        {"Straße geschäftlich", "L"},
        {"STRASSE", "L"},
        {"Privat: PLZ", "L"},
        {"Home Postal Code", "L"},
        {"Dienstlich: Ort", "L"},
        {"Business Country/Region", "L"},
        {"Bundesland/Kanton privat", "L"},
        {"IMAddress", "X"},
        {"Notes", "-"},
        {"Notizen", "-"},
        {"Custom Field 1 - Value", "-"},
        {"Web Page", "-"},
        {"Relation 1 - Value", ""},
        {"Internet Free Busy", ""},
        {"Last Modified", ""},
        {"Zeitstempel", ""},
        // German compounds, and words inside them that mean something else.
        {"Mailadresse", "E"},
        {"Mailadresse privat", "E"},
        {"E-Mail-Adresse privat", "E"},
        {"Emailadresse2", "E"},
        {"Privatmail", "E"},
        {"Handynummer", "PD"},
        {"Mobilfunknummer", "PD"},
        {"Telefon geschäftlich", "PD"},
        {"Rufnummer", "PD"},
        {"Faxnummer", "PD"},
        {"Festnetz", "PD"},
        {"Voicemail", "PD"},
        {"Geburtstag", "-"},
        {"Straße und Hausnummer", "L"},
        {"Postanschrift", "L"},
        {"Webadresse", "-"},
        {"IP-Adresse", "X"},
        {"Benutzername", "X"},
        {"Ehepartner", "X"},
        {"Kundennummer", ""},
        {"Vollständiger Name", "N"},
        {"Full Name", "N"},
        {"Display Name", "N"},
        {"Family Name", "N"},
    };
    for (const auto& c : cases) {
        const HeaderGuess guess = GuessHeader(c.header);
        EXPECT_STREQ(guess.pszCode ? guess.pszCode : "", c.code) << c.header;
    }
}

// A guess is sure when the header says it in whole words; a word found
// inside another or one of two meanings leaves it a guess. Name columns
// say which part of the name they hold.
TEST(HeaderGuess, SureGuessesAndNameParts) {
    const struct {
        const char* header;
        bool bSure;
        NameKind name;
    } cases[] = {
        {"E-Mail-Adresse privat", true, NameKind::kNone},
        {"Telefon geschäftlich", true, NameKind::kNone},
        {"Mobiltelefon", false, NameKind::kNone},
        {"Privatmail", false, NameKind::kNone},
        {"Geburtsdatum", false, NameKind::kNone},
        {"Land", false, NameKind::kNone},
        {"Name", false, NameKind::kWhole},
        {"Full Name", true, NameKind::kWhole},
        {"Anzeigename", true, NameKind::kWhole},
        {"Vorname", true, NameKind::kGiven},
        {"Weitere Vornamen", true, NameKind::kMiddle},
        {"Middle Name", true, NameKind::kMiddle},
        {"Nachname", true, NameKind::kFamily},
        {"Name Prefix", true, NameKind::kPrefix},
        {"Namenszusatz", true, NameKind::kSuffix},
    };
    for (const auto& c : cases) {
        const HeaderGuess guess = GuessHeader(c.header);
        EXPECT_EQ(guess.bSure, c.bSure) << c.header;
        EXPECT_EQ(guess.name, c.name) << c.header;
    }
}

std::vector<CodeOrigin> Origins(const std::vector<StartColumn>& columns) {
    std::vector<CodeOrigin> origins;
    for (const StartColumn& column : columns) origins.push_back(column.origin);
    return origins;
}

std::vector<NameKind> Parts(const std::vector<StartColumn>& columns) {
    std::vector<NameKind> parts;
    for (const StartColumn& column : columns) parts.push_back(column.name);
    return parts;
}

// Guesses settle against each other and against the codes already known:
// one name, one company.
TEST(HeaderGuess, CompleteCodesKeepsOneNameAndOneCompany) {
    using enum CodeOrigin;
    using enum NameKind;
    // A whole name is the name; its parts stay out.
    std::vector<std::string> headers = {"Display Name", "Vorname",      "Nachname",
                                        "Firma",        "Organisation", "Zeitstempel"};
    std::vector<std::string> codes(headers.size());
    std::vector<StartColumn> columns = CompleteCodes(headers, codes);
    EXPECT_EQ(codes, (std::vector<std::string>{"N", "X", "X", "C", "-", "X"}));
    EXPECT_EQ(Origins(columns), (std::vector<CodeOrigin>{kSure, kSure, kSure, kSure, kGuessed, kUnknown}));
    EXPECT_EQ(columns[0].name, kWhole);

    // The converted address book: the full name, not its parts in file order.
    headers = {"Full Name", "Last Name", "First Name", "Middle Name"};
    codes.assign(4, "");
    CompleteCodes(headers, codes);
    EXPECT_EQ(codes, (std::vector<std::string>{"N", "X", "X", "X"}));

    // A sure whole name wins over a lone "Name", which may be either.
    headers = {"Name", "Vorname", "Full Name"};
    codes.assign(3, "");
    columns = CompleteCodes(headers, codes);
    EXPECT_EQ(codes, (std::vector<std::string>{"X", "X", "N"}));
    EXPECT_EQ(columns[0].origin, kGuessed);

    // "Name, Vorname": the surname under "Name", beside the given name.
    headers = {"Name", "Vorname", "Telefon"};
    codes.assign(3, "");
    columns = CompleteCodes(headers, codes);
    EXPECT_EQ(codes, (std::vector<std::string>{"N", "N", "PD"}));
    EXPECT_EQ(Parts(columns), (std::vector<NameKind>{kFamily, kGiven, kNone}));
    EXPECT_EQ(columns[0].origin, kGuessed);

    // Parts alone are the name, each with its part, family name first or not.
    headers = {"Nachname", "Vorname", "Weitere Vornamen", "Name Prefix"};
    codes.assign(4, "");
    columns = CompleteCodes(headers, codes);
    EXPECT_EQ(codes, (std::vector<std::string>{"N", "N", "N", "-"}));
    EXPECT_EQ(Parts(columns), (std::vector<NameKind>{kFamily, kGiven, kMiddle, kPrefix}));

    // Known codes stay, and a known company keeps guesses from adding more;
    // known name parts join a guessed part.
    headers = {"First Name", "Company", "Organization", "Middle Name", "Last Name"};
    codes = {"N", "C", "", "", "N"};
    columns = CompleteCodes(headers, codes);
    EXPECT_EQ(codes, (std::vector<std::string>{"N", "C", "-", "N", "N"}));
    EXPECT_EQ(Origins(columns), (std::vector<CodeOrigin>{kKnown, kKnown, kGuessed, kSure, kKnown}));
    EXPECT_EQ(Parts(columns), (std::vector<NameKind>{kGiven, kNone, kNone, kMiddle, kFamily}));
    // ... but give way to a full name the start mapping did not know.
    headers = {"Full Name", "Last Name", "First Name", "Middle Name"};
    codes = {"", "N", "N", ""};
    columns = CompleteCodes(headers, codes);
    EXPECT_EQ(codes, (std::vector<std::string>{"N", "X", "X", "X"}));
    EXPECT_EQ(Origins(columns), (std::vector<CodeOrigin>{kSure, kSure, kSure, kSure}));
    // A lone "Name" beside a known given name is the family name.
    headers = {"Vorname", "Name"};
    codes = {"N", ""};
    columns = CompleteCodes(headers, codes);
    EXPECT_EQ(codes, (std::vector<std::string>{"N", "N"}));
    EXPECT_EQ(Parts(columns), (std::vector<NameKind>{kGiven, kFamily}));
    // A known name the words do not tell is whole: guessed names would repeat it.
    headers = {"Kontakt", "Middle Name", "Display Name"};
    codes = {"N", "", ""};
    CompleteCodes(headers, codes);
    EXPECT_EQ(codes, (std::vector<std::string>{"N", "X", "X"}));
}

class NearestMappingTest : public ::testing::Test {
protected:
    void Analyze(const std::string& headerLine) {
        qvxtest::WriteFile(dir.File("in.csv"), headerLine + "\r\nx\r\n");
        parser.SetCSVFileName(dir.File("in.csv").c_str());
        parser.SetTable(&table);
        ASSERT_EQ(parser.AnalyzeCsvData(), 0);
        ASSERT_EQ(parser.ParseData(1), 0);
    }
    std::string Map(const std::string& file, const std::string& names, const std::string& codes,
                    const std::string& name) {
        qvxtest::WriteFile(dir.File(file), "Quorvex mapping file\r\n" + names + "\r\n" + codes +
                                               "\r\nName:" + name + "\r\nDescription:\r\n");
        return dir.File(file);
    }
    std::string Code(int j) {
        char buffer[16] = {};
        table.GetMappingRow()->GetField(j, buffer, 15);
        return buffer;
    }
    qvxtest::TempDir dir;
    CContactsFile parser;
    CDataMap table;
};

// Ten columns: a mapping that knows eight is near (80 %), one that knows
// seven is not; of two near ones the one that knows more wins, and a mapping
// whose name column the file lacks is never near, however much else it knows.
TEST_F(NearestMappingTest, ChoosesByCoverageAndNameColumns) {
    Analyze("A,B,C,D,E,F,G,H,Name,Phone 7 - Value");
    const std::string seven = Map("seven.map", "A,B,C,D,E,F,Name", "X,X,X,X,X,C,N", "Seven");
    const std::string eight = Map("eight.map", "A,B,C,D,E,F,G,Name,Other", "X,X,X,X,X,C,X,N,PD", "Eight");
    const std::string nine =
        Map("nine.map", "A,B,C,D,E,F,G,H,Name,First Name", "X,X,X,X,X,C,X,X,N,N", "Nine");
    const std::string broken = dir.File("missing.map");

    NearestMapping nearest = FindNearestMapping(table, {seven, broken, eight});
    EXPECT_EQ(nearest.nIndex, 2);
    EXPECT_EQ(nearest.name, "Eight");
    EXPECT_EQ(nearest.nKnown, 8);
    EXPECT_EQ(nearest.unknownHeaders, (std::vector<std::string>{"H", "Phone 7 - Value"}));

    EXPECT_EQ(FindNearestMapping(table, {seven}).nIndex, -1);
    // "First Name" is one of nine's name columns and not in the file.
    EXPECT_EQ(FindNearestMapping(table, {nine, eight}).nIndex, 1);
    const std::string nineNamed = Map("nine2.map", "A,B,C,D,E,F,G,H,Name", "X,X,X,X,X,C,X,X,N", "Nine");
    EXPECT_EQ(FindNearestMapping(table, {eight, nineNamed}).nIndex, 1);
    // The table is left as it was.
    EXPECT_EQ(table.GetMappingRow()->PeekField(0), std::nullopt);

    // The new mapping: known codes kept, the rest guessed, and it fits.
    NewMappingStart start = StartNewMapping(table, eight, "Eight (in)");
    EXPECT_TRUE(start.bFromFile);
    const std::vector<CodeOrigin> origins = Origins(start.columns);
    ASSERT_EQ(origins.size(), 10u);
    EXPECT_EQ(Code(5), "C");
    EXPECT_EQ(Code(7), "X");
    EXPECT_EQ(origins[7], CodeOrigin::kUnknown);
    EXPECT_EQ(Code(9), "PD");
    EXPECT_EQ(origins[9], CodeOrigin::kSure);
    EXPECT_EQ(origins[8], CodeOrigin::kKnown);
    EXPECT_TRUE(MappingFitsTable(table, table.GetColumnCount()));
    char name[16] = "x";
    table.GetName(name, 15);
    EXPECT_STREQ(name, "Eight (in)");

    // A start file gone since it was found: guesses alone.
    start = StartNewMapping(table, dir.File("gone.map"), "New");
    EXPECT_FALSE(start.bFromFile);
    EXPECT_EQ(Code(5), "X");
    EXPECT_EQ(start.columns[8].origin, CodeOrigin::kGuessed);  // "Name"
    EXPECT_EQ(Code(8), "N");
}

// A repeated header is known once per entry of it. A new mapping keeps the
// start file's name order and joins guessed name columns after it; without
// one the name's parts order it.
TEST_F(NearestMappingTest, RepeatedHeadersAndNameOrder) {
    Analyze("Name,Vorname,Telefon,Telefon,Firma");
    const std::string once = Map("once.map", "Name,Vorname,Telefon,Firma", "N,N,PD,C", "Once");
    const std::string twice = Map("twice.map", "Name,Vorname,Telefon,Telefon,Firma", "N,N,PD,-,C", "Twice");
    EXPECT_EQ(FindNearestMapping(table, {once}).nKnown, 4);
    const NearestMapping nearest = FindNearestMapping(table, {once, twice});
    EXPECT_EQ(nearest.nIndex, 1);
    EXPECT_EQ(nearest.nKnown, 5);

    auto order = [this] {
        std::string text;
        for (const NameOrderItem& item : table.GetNameOrder())
            text += std::to_string(item.nColumn) + "=" +
                    (NamePartText(item.part) ? NamePartText(item.part) : "") + " ";
        return text;
    };
    Analyze("Name,Vorname,Telefon,Telefon,Firma,Zweiter Vorname");
    qvxtest::WriteFile(dir.File("ordered.map"),
                       "Quorvex mapping file\r\nVorname,Name,Telefon,Telefon\r\nN,N,PD,-\r\nName:O\r\n"
                       "Description:\r\nName order:2,1\r\n");
    StartNewMapping(table, dir.File("ordered.map"), "O");
    EXPECT_EQ(Code(2), "PD");
    EXPECT_EQ(Code(3), "-");
    EXPECT_EQ(Code(5), "N");
    EXPECT_EQ(order(), "0=family 1=given 5=middle ");
    StartNewMapping(table, once, "O");
    EXPECT_EQ(Code(3), "PD");  // guessed
    EXPECT_EQ(order(), "1=given 5=middle 0=family ");
}

TEST_F(NearestMappingTest, ProposedFileNameNeverNamesAnotherMapping) {
    EXPECT_EQ(ProposeMappingFileName("Google Contacts (mine)", {dir.Path()}), "Google-Contacts-mine.map");
    Map("google-contacts-MINE.map", "A", "N", "Other");  // the same name to the list
    Map("Google-Contacts-mine-2.map", "A", "N", "Other");
    EXPECT_EQ(ProposeMappingFileName("Google Contacts (mine)", {dir.Path()}), "Google-Contacts-mine-3.map");
    EXPECT_EQ(ProposeMappingFileName("Adressbuch Müller", {dir.Path(), dir.File("missing")}),
              "Adressbuch-Müller.map");
    EXPECT_EQ(ProposeMappingFileName(" ./ ", {}), "mapping.map");
}

}  // namespace
