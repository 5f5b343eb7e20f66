// Address-book exports in the shapes real programs write them
// (tests/fixtures/exports, written by make_exports.py from the same people):
// every person arrives once, whole, in UTF-8, and their mapping applies.
#include <gtest/gtest.h>

#include <cctype>
#include <optional>
#include <string>
#include <vector>

#include "TestUtil.h"
#include "import/CSVParser.h"
#include "import/DataMap.h"
#include "support/TextDecoding.h"

namespace {

struct Person {
    const char* given;
    const char* family;
    const char* company;
    const char* phone;
    const char* email;
    std::vector<std::string> address;
    std::vector<std::string> note;
    bool western;  // writable in Windows-1252
};

const std::vector<Person>& People() {
    static const std::vector<Person> people = {
        {"Jürgen",
         "Müller",
         "Müller & Söhne GmbH",
         "+49 711 123456",
         "juergen.mueller@example.de",
         {"Königstraße 12", "70173 Stuttgart", "Deutschland"},
         {"Kunde seit 2019.", "Rückruf wegen Angebot über 1.200 € – „dringend“."},
         true},
        {"Zoë",
         "Ångström",
         "Nordljus AB",
         "+46 8 555 0101",
         "zoe@example.se",
         {"Drottninggatan 5", "111 51 Stockholm"},
         {"Prefers e-mail.", "", "Met at the fair in Malmö."},
         true},
        {"François",
         "Lefèvre",
         "Café Étoile, SARL",
         "+33 1 55 55 01 02",
         "f.lefevre@example.fr",
         {"12, rue de l'Église", "75004 Paris"},
         {"Says \"bonjour\" first; always."},
         true},
        {"José",
         "Núñez",
         "Peña & Cía",
         "+34 91 555 0103",
         "jose.nunez@example.es",
         {"Calle Mayor 3, 2º", "28013 Madrid"},
         {"Línea uno", "Línea dos", "Dritte Zeile"},
         true},
        {"Siobhán",
         "O'Connor",
         "O'Connor's Pub",
         "+353 1 555 0104",
         "siobhan@example.ie",
         {"1 Main St", "Dublin 2"},
         {"Apostrophes: O'Connor's, isn't it?"},
         true},
        {"Ørjan",
         "Bækkelund",
         "Fjord AS",
         "+47 22 55 01 05",
         "orjan@example.no",
         {"Karl Johans gate 1, 0154 Oslo"},
         {"Boat, sauna, fishing"},
         true},
        {"Zdeněk",
         "Dvořák",
         "ČEZ a.s.",
         "+420 2 5555 0106",
         "zdenek@example.cz",
         {"Václavské náměstí 1", "110 00 Praha"},
         {"Schůzka v úterý"},
         false},
        {"Ελένη",
         "Παπαδοπούλου",
         "Ακρόπολις ΑΕ",
         "+30 21 0555 0107",
         "eleni@example.gr",
         {"Ερμού 10", "105 63 Αθήνα"},
         {"Γεια σου", "κόσμε"},
         false},
        {"Дмитрий",
         "Иванов",
         "ООО «Ромашка»",
         "+7 495 555-01-08",
         "dmitry@example.ru",
         {"ул. Тверская, 7", "125009 Москва"},
         {"Звонить после 18:00"},
         false},
        {"太郎",
         "山田",
         "株式会社サンプル",
         "+81 3-5555-0109",
         "taro@example.jp",
         {"東京都千代田区1-1", "100-0001"},
         {"会議は火曜日", "午後3時"},
         false},
        {"Łucja",
         "Wąsowska",
         "Żabka sp. z o.o.",
         "+48 22 555 01 10",
         "lucja@example.pl",
         {"ul. Marszałkowska 1", "00-001 Warszawa"},
         {"🎉 Urodziny 3 maja"},
         false},
        {"أحمد",
         "الفارسي",
         "شركة النور",
         "+971 4 555 0111",
         "ahmed@example.ae",
         {"Dubai"},
         {"Single line"},
         false},
        {"Björn",
         "Þórsson",
         "Þór ehf.",
         "+354 555 0113",
         "bjorn@example.is",
         {"Laugavegur 1", "101 Reykjavík"},
         {"Þakka þér", "fyrir"},
         true},
        {"Marie-Chloé",
         "d'Aubigné",
         "Œuvres “Lumière”",
         "+33 4 55 55 01 14",
         "mc@example.fr",
         {"3 place Bellecour", "69002 Lyon"},
         {"Œnologue – vins", "", "", "trois lignes vides ci-dessus… non, deux"},
         true},
    };
    return people;
}

std::string FullName(const Person& p) {
    std::string email = p.email;
    bool familyFirst = email.ends_with(".jp");
    return familyFirst ? std::string(p.family) + " " + p.given : std::string(p.given) + " " + p.family;
}

std::string Join(const std::vector<std::string>& lines, const std::string& eol) {
    std::string out;
    for (size_t i = 0; i < lines.size(); ++i) out += (i ? eol : "") + lines[i];
    return out;
}

struct Shape {
    const char* file;
    const char* map;
    TextEncoding encoding;
    char separator;
    int columns;
    bool westernOnly;
    const char* nameHeader;   // the whole name, or null: given and family apart
    const char* givenHeader;  // with nameHeader null
    const char* familyHeader;
    const char* companyHeader;
    const char* emailHeader;
    const char* noteHeader;
    const char* addressHeader;  // holding every address line, or null
    const char* eol;            // line end inside a field
};

const Shape kShapes[] = {
    {"google-contacts.csv", "google-contacts.map", TextEncoding::kUtf8, ',', 50, false, "Name", nullptr,
     nullptr, "Organization 1 - Name", "E-mail 1 - Value", "Notes", "Address 1 - Formatted", "\n"},
    {"outlook-en.csv", "outlook-en.map", TextEncoding::kWindows1252, ',', 92, true, nullptr, "First Name",
     "Last Name", "Company", "E-mail Address", "Notes", nullptr, "\r\n"},
    {"outlook-de.csv", "outlook-de.map", TextEncoding::kWindows1252, ',', 92, true, nullptr, "Vorname",
     "Nachname", "Firma", "E-Mail-Adresse", "Notizen", nullptr, "\r\n"},
    {"thunderbird.csv", "thunderbird.map", TextEncoding::kUtf8, ',', 38, false, "Display Name", nullptr,
     nullptr, "Organization", "Primary Email", "Notes", nullptr, "\r\n"},
    {"apple-vcard.csv", "apple-vcard.map", TextEncoding::kUtf8, ',', 11, false, "Full Name", nullptr, nullptr,
     "Organization", "Email (work)", "Note", "Address (work)", "\n"},
    {"apple-vcard-utf16be.csv", "apple-vcard.map", TextEncoding::kUtf16Be, ',', 11, false, "Full Name",
     nullptr, nullptr, "Organization", "Email (work)", "Note", "Address (work)", "\n"},
    {"excel-utf8-bom.csv", "excel.map", TextEncoding::kUtf8, ';', 7, false, nullptr, "Vorname", "Name",
     "Firma", "E-Mail", "Notiz", "Adresse", "\n"},
    {"excel-unicode.txt", "excel.map", TextEncoding::kUtf16Le, '\t', 7, false, nullptr, "Vorname", "Name",
     "Firma", "E-Mail", "Notiz", "Adresse", "\n"},
};

std::string Cell(CDataRow* row, int index) {
    auto text = row ? row->PeekField(index) : std::nullopt;
    return text ? std::string(*text) : "";
}

class ExportsTest : public ::testing::TestWithParam<Shape> {
protected:
    int Column(const char* header) {
        for (int j = 0; j < table.GetColumnCount(); ++j) {
            if (Cell(table.GetHeaderRow(), j) == header) return j;
        }
        ADD_FAILURE() << "no column " << header;
        return -1;
    }
    CCSVParser parser;
    CDataMap table;
};

TEST_P(ExportsTest, EveryPersonArrivesOnceAndWhole) {
    const Shape& shape = GetParam();
    parser.SetCSVFileName(qvxtest::FixturePath(std::string("exports/") + shape.file).c_str());
    parser.SetTable(&table);
    ASSERT_EQ(parser.AnalyzeCsvData(), 0);
    ASSERT_EQ(parser.ParseData(1), 0);
    EXPECT_EQ(parser.GetEncoding(), shape.encoding);
    EXPECT_EQ(parser.m_cSeparator, shape.separator);
    EXPECT_EQ(parser.m_cDelimiter, '"');
    EXPECT_EQ(parser.m_nColumnCount, shape.columns);
    EXPECT_EQ(parser.GetMismatchedCount(), 0);

    // The mapping finds every column by its decoded header.
    parser.SetMappingFileName(qvxtest::FixturePath(std::string("exports/") + shape.map).c_str());
    ASSERT_EQ(parser.ParseAdditionalInformation(), 0);
    EXPECT_EQ(parser.GetMatchedColumnCount(), shape.columns);

    ASSERT_EQ(parser.ParseData(2), 0);
    std::vector<const Person*> expected;
    for (const Person& p : People()) {
        if (p.western || !shape.westernOnly) expected.push_back(&p);
    }
    ASSERT_EQ(table.GetRowCount(), static_cast<int>(expected.size()));
    table.Rewind();
    for (const Person* p : expected) {
        CDataRow* row = table.NextRow();
        SCOPED_TRACE(p->email);
        for (int j = 0; j < shape.columns; ++j) {
            std::string cell = Cell(row, j);
            EXPECT_TRUE(IsValidUtf8(cell.data(), cell.size())) << cell;
        }
        if (shape.nameHeader) {
            EXPECT_EQ(Cell(row, Column(shape.nameHeader)), FullName(*p));
        } else {
            EXPECT_EQ(Cell(row, Column(shape.givenHeader)), p->given);
            EXPECT_EQ(Cell(row, Column(shape.familyHeader)), p->family);
        }
        EXPECT_EQ(Cell(row, Column(shape.companyHeader)), p->company);
        EXPECT_EQ(Cell(row, Column(shape.emailHeader)), p->email);
        EXPECT_EQ(Cell(row, Column(shape.noteHeader)), Join(p->note, shape.eol));
        if (shape.addressHeader) {
            EXPECT_EQ(Cell(row, Column(shape.addressHeader)), Join(p->address, shape.eol));
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Shapes, ExportsTest, ::testing::ValuesIn(kShapes),
                         [](const ::testing::TestParamInfo<Shape>& info) {
                             std::string name;
                             for (const char* c = info.param.file; *c; ++c) {
                                 if (std::isalnum(static_cast<unsigned char>(*c))) name += *c;
                             }
                             return name;
                         });

TEST(ExportHeaders, Windows1252HeadersAreDecoded) {
    CCSVParser parser;
    CDataMap table;
    parser.SetCSVFileName(qvxtest::FixturePath("exports/outlook-de.csv").c_str());
    parser.SetTable(&table);
    ASSERT_EQ(parser.AnalyzeCsvData(), 0);
    ASSERT_EQ(parser.ParseData(1), 0);
    EXPECT_EQ(Cell(table.GetHeaderRow(), 8), "Straße geschäftlich");
    EXPECT_EQ(Cell(table.GetHeaderRow(), 46), "Telefon für Hörbehinderte");
}

}  // namespace
