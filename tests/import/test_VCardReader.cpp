// The vCard reader through the CSV parser, as the wizard and qvxbuild use it:
// the tables of the vCard export cases (tests/cases/shape-vcard-*), and the
// built-in mapping.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "TestUtil.h"
#include "i18n/LanguageTable.h"
#include "import/ContactsFile.h"
#include "import/DataMap.h"
#include "import/Mapping.h"
#include "import/VCardMapping.h"
#include "import/VCardReader.h"

namespace {

struct Analysed {
    CContactsFile parser;
    CDataMap table;
    int result = 0;
    std::vector<std::string> headers;
    // One line per row: "header=value" for each cell present, joined by " | ".
    std::vector<std::string> rows;
};

std::string Cell(CDataRow* row, int j) {
    const std::optional<std::string_view> text = row ? row->PeekField(j) : std::nullopt;
    return text ? std::string(*text) : std::string();
}

void Analyse(Analysed& a, const std::string& path) {
    a.parser.SetCSVFileName(path.c_str());
    a.parser.SetTable(&a.table);
    a.result = a.parser.AnalyzeCsvData();
    if (a.result != 0 || a.parser.ParseData(1) != 0 || a.parser.ParseData(2) != 0) return;
    CDataRow* header = a.table.GetHeaderRow();
    for (int j = 0; j < a.table.GetColumnCount(); ++j) a.headers.push_back(Cell(header, j));
    a.table.Rewind();
    while (CDataRow* row = a.table.NextRow()) {
        std::string line;
        for (int j = 0; j < a.table.GetColumnCount(); ++j) {
            if (!row->PeekField(j)) continue;
            if (!line.empty()) line += " | ";
            line += a.headers[static_cast<size_t>(j)] + "=" + Cell(row, j);
        }
        a.rows.push_back(line);
    }
}

std::string Fixture(const std::string& name) {
    return std::string(QVX_SOURCE_DIR) + "/tests/cases/shape-vcard-" + name + "/input.vcf";
}

std::vector<std::string> Codes(CDataMap& table) {
    std::vector<std::string> codes;
    for (int j = 0; j < table.GetColumnCount(); ++j) codes.push_back(Cell(table.GetMappingRow(), j));
    return codes;
}

}  // namespace

TEST(VCardReader, Android21QuotedPrintableCharsetsAndBareTypes) {
    Analysed a;
    Analyse(a, Fixture("android-21"));
    ASSERT_EQ(a.result, 0);
    EXPECT_EQ(a.parser.m_nLineCount, 3);
    EXPECT_EQ(a.parser.GetMismatchedCount(), 0);
    ASSERT_EQ(a.rows.size(), 3u);
    EXPECT_EQ(
        a.rows[0],
        "Name=Jörg Müller | VERSION=2.1 | Family name=Müller | Given name=Jörg | "
        "Phone (mobile)=+49 171 2345678 | Phone (home)=0711 123456 | Phone (work, fax)=0711 654321 | "
        "E-mail (home)=joerg.mueller@example.org | Address (home)=Königstraße 12, 70173 Stuttgart, "
        "Deutschland | Note=Rückruf nach 18 Uhr erbeten.\nZweite Zeile der Notiz mit Umlauten: äöü ÄÖÜ ß, "
        "und ein Gleichheitszeichen = hier. | "
        "X-ANDROID-CUSTOM=vnd.android.cursor.item/nickname;Jörgi;1;;;;;;;;;;;;;");
    // ISO-8859-1 quoted-printable; the second value of a header gets " (2)".
    EXPECT_EQ(
        a.rows[1],
        "Name=Zoë Weiß | VERSION=2.1 | Family name=Weiß | Given name=Zoë | Phone (mobile)=0172 9876543 | "
        "Phone (mobile) (2)=0173 1111111 | Phone (Zweithandy)=0174 2222222 | Company=Bäckerei Weiß | "
        "Department=Verkauf");
    // Company only: the name stays empty so that the company rule applies.
    EXPECT_EQ(a.rows[2], "VERSION=2.1 | Company=Pizzeria Da Mario | Phone (work)=0711 999888");
}

TEST(VCardReader, Apple30LabelsFoldingEscapesAndPhoto) {
    Analysed a;
    Analyse(a, Fixture("apple-30"));
    ASSERT_EQ(a.result, 0);
    ASSERT_EQ(a.rows.size(), 2u);
    EXPECT_EQ(
        a.rows[0],
        "Name=Dr. Hans-Peter Schmidt | VERSION=3.0 | PRODID=-//Apple Inc.//iPhone OS 17.1//EN | "
        "Family name=Schmidt | Given name=Hans-Peter | Name prefix=Dr. | Company=Stadtwerke Köln | "
        "Department=Netzbetrieb | Job title=Leiter Netzbetrieb | "
        "E-mail (work)=hp.schmidt@stadtwerke.example | E-mail (other)=hp@privat.example | "
        "Phone (mobile)=+49 170 1234567 | Phone (Zweithandy)=+49 160 7654321 | Phone (work)=+49 221 178 0 | "
        "Phone (work, fax)=+49 221 178 1 | Address (home)=Am Rheinufer 5, Hinterhaus, 50667 Köln, "
        "Deutschland | X-ABADR=de | Note=Termine nur vormittags, bitte vorher anrufen.\nSecond line; with a "
        "semicolon and a long tail that needs folding to fit. | Website "
        "(HomePage)=https://stadtwerke.example | "
        "Birthday=1968-03-14 | X-ABUID=5A0C7C1B-4F6E-4D2B-9B55-2C9A1F3E8D10:ABPerson | "
        "UID=5A0C7C1B-4F6E-4D2B-9B55-2C9A1F3E8D10 | REV=2023-11-02T10:15:30Z");
    EXPECT_EQ(a.rows[1],
              "VERSION=3.0 | PRODID=-//Apple Inc.//iPhone OS 17.1//EN | Company=Praxis Dr. Weiß | "
              "Phone (main)=+49 711 22 33 44 | X-ABSHOWAS=COMPANY");
}

TEST(VCardReader, Version40AndMixedFile) {
    Analysed a;
    Analyse(a, Fixture("thunderbird-40"));
    ASSERT_EQ(a.result, 0);
    ASSERT_EQ(a.rows.size(), 2u);
    EXPECT_EQ(
        a.rows[0],
        "Name=Søren Ølsen | VERSION=4.0 | PRODID=-//Mozilla.org//NONSGML Thunderbird//EN | "
        "UID=3f1d2c9e-6a1b-4e3f-9d8c-0a1b2c3d4e5f | Family name=Ølsen | Given name=Søren | "
        "E-mail=soren@example.dk | E-mail (work)=s.olsen@firma.example | Phone (mobile)=+45 20 12 34 56 | "
        "Phone (work)=+45-33-12-34-56 | Phone (home)=+45 33 98 76 54 | "
        "Address (home)=Nørregade 7, 1165 København, Danmark | Note=Første linje\nAnden linje, med komma | "
        "Birthday=19800415");
    EXPECT_EQ(
        a.rows[1],
        "Name=Élise Dupont | VERSION=4.0 | PRODID=-//ProtonMail//ProtonMail vCard 1.0.0//EN | "
        "UID=proton-web-0b8c1f1e-2c1d-4b8a-9e5f-7d6c5b4a3e2f | Family name=Dupont | Given name=Élise | "
        "E-mail=elise@proton.example | Phone (mobile)=+33 6 12 34 56 78 | Phone (work)=+33 4 78 00 00 00 | "
        "Company=Dupont & Fils");

    // Latin-1 bytes make the file Windows-1252; the UTF-8 cards stay whole.
    Analysed m;
    Analyse(m, Fixture("mixed-versions"));
    ASSERT_EQ(m.result, 0);
    EXPECT_EQ(m.parser.GetEncoding(), TextEncoding::kWindows1252);
    const CContactsReader* reader = m.parser.Reader();
    ASSERT_NE(reader, nullptr);
    EXPECT_EQ(reader->GetVersions(), (std::vector<std::string>{"2.1", "3.0", "4.0"}));
    ASSERT_EQ(m.rows.size(), 3u);
    EXPECT_EQ(m.rows[0],
              "Name=Gisèle Krämer | VERSION=2.1 | Family name=Krämer | Given name=Gisèle | "
              "Phone (work)=+49 89 1234 0");
    EXPECT_EQ(m.rows[1],
              "Name=Mehmet Öztürk | VERSION=3.0 | Family name=Öztürk | Given name=Mehmet | "
              "Phone (mobile)=+49 152 1234567 | E-mail=mehmet@example.de");
    EXPECT_EQ(m.rows[2],
              "Name=José García López | VERSION=4.0 | Family name=García López | Given name=José | "
              "Phone (mobile)=+34 612 345 678");
}

TEST(VCardReader, CompanyOnlyAndNameFromN) {
    Analysed a;
    Analyse(a, Fixture("company-only"));
    ASSERT_EQ(a.result, 0);
    ASSERT_EQ(a.rows.size(), 3u);
    EXPECT_EQ(a.rows[0], "VERSION=3.0 | Company=Pizzeria Da Mario | Phone (work)=0711 123 45 67");
    EXPECT_EQ(a.rows[1],
              "VERSION=3.0 | Company=Hausarztpraxis Dr. Berg | Department=Empfang | "
              "Phone=0711 765 43 21 | E-mail=praxis@berg.example");
    EXPECT_EQ(a.rows[2],
              "Name=Karin Maria Berg | VERSION=3.0 | Family name=Berg | Given name=Karin | "
              "Additional names=Maria | Name prefix=Dr. | Phone (mobile)=0170 1212121");
}

TEST(VCardReader, UnreadableCardsAreCountedAndTheRestIsRead) {
    Analysed a;
    Analyse(a, Fixture("broken-card"));
    ASSERT_EQ(a.result, 0);
    // Seven entries: four cards read (one with a line that is no property,
    // which is skipped), a card without END, text between cards, a card
    // cut off.
    EXPECT_EQ(a.parser.m_nLineCount, 7);
    EXPECT_EQ(a.parser.GetMismatchedCount(), 3);
    EXPECT_EQ(a.parser.GetMismatchedLines(), (std::vector<int>{6, 15, 27}));
    EXPECT_EQ(a.rows, (std::vector<std::string>{"Name=Erste Person | VERSION=3.0 | Phone=0711 1",
                                                "Name=Zweite Person | VERSION=3.0 | Phone=0711 3",
                                                "Name=Kaputt | VERSION=3.0 | Phone=0711 4",
                                                "Name=Dritte Person | VERSION=3.0 | Phone=0711 5"}));
    // Each row knows the line its card starts on.
    std::vector<int> lines;
    a.table.Rewind();
    while (CDataRow* row = a.table.NextRow()) lines.push_back(row->GetLine());
    EXPECT_EQ(lines, (std::vector<int>{1, 10, 16, 22}));
    const std::vector<ReaderNotice> notices = a.parser.Reader()->GetNotices();
    ASSERT_EQ(notices.size(), 1u);
    EXPECT_EQ(notices[0].nCount, 1);
    EXPECT_EQ(notices[0].lines, std::vector<int>{19});
}

TEST(VCardReader, PeerLinesCharsetsAndAgentCardsKeepTheirPeople) {
    Analysed a;
    Analyse(a, Fixture("peer-lines"));
    ASSERT_EQ(a.result, 0);
    EXPECT_EQ(a.parser.GetMismatchedCount(), 0);
    // Written from the input: the bare FN and the name with "/" are
    // skipped, the agent's card belongs to Paul Keller's, every value in a
    // set glibc knows is decoded and the zero byte does not cut the number.
    EXPECT_EQ(a.rows, (std::vector<std::string>{
                          "Name=Anna Berger | VERSION=3.0 | Family name=Berger | Given name=Anna | "
                          "Phone (mobile)=0171 1111111",
                          "Name=Paul Keller | VERSION=2.1 | Family name=Keller | Given name=Paul | "
                          "Phone (work)=0711 222222 | E-mail=paul@keller.example",
                          "Name=Olga P. | VERSION=2.1 | Family name=Петрова | Given name=Ольга | Phone "
                          "(home)=0711 444444 | "
                          "Note=Grüße",
                          "Name=Иван Смирнов | VERSION=3.0 | Company=Łódź Sp. z o.o. | Phone=0711 555555"}));
    std::vector<int> lines;
    a.table.Rewind();
    while (CDataRow* row = a.table.NextRow()) lines.push_back(row->GetLine());
    EXPECT_EQ(lines, (std::vector<int>{1, 8, 21, 28}));
    // The skipped lines, and the zero byte and the unknown set as values
    // not decoded, by their cards' lines.
    const std::vector<ReaderNotice> notices = a.parser.Reader()->GetNotices();
    ASSERT_EQ(notices.size(), 2u);
    EXPECT_EQ(notices[0].nCount, 2);
    EXPECT_EQ(notices[0].lines, (std::vector<int>{3, 5}));
    EXPECT_EQ(notices[1].nCount, 2);
    EXPECT_EQ(notices[1].lines, std::vector<int>{21});
    EXPECT_EQ(notices[1].nPlaces, 1);  // both on one card
}

TEST(VCardReader, BuiltInMappingFitsEveryShape) {
    for (const char* name : {"android-21", "apple-30", "google-30", "thunderbird-40", "mixed-versions",
                             "company-only", "broken-card"}) {
        SCOPED_TRACE(name);
        Analysed a;
        Analyse(a, Fixture(name));
        ASSERT_EQ(a.result, 0);
        ASSERT_TRUE(a.parser.Reader()->ApplyBuiltInMapping(a.table));
        EXPECT_EQ(FirstBrokenMappingRule(CountMappingCodes(a.table)), nullptr);
        EXPECT_TRUE(MappingFitsTable(a.table, a.table.GetColumnCount()));
    }
    Analysed a;
    Analyse(a, Fixture("android-21"));
    ASSERT_TRUE(a.parser.Reader()->ApplyBuiltInMapping(a.table));
    EXPECT_EQ(Codes(a.table), (std::vector<std::string>{"N", "X", "X", "X", "PD", "PD", "PD", "E", "L", "-",
                                                        "X", "PD", "PD", "C", "-", "PD"}));
}

TEST(VCardReader, HeadersAreTheSameInEveryLanguageAndCsvFilesUntouched) {
    // Headers are the keys on the phone and what a user's mapping names: a
    // German run must give what an English one gives.
    qvxtest::TempDir dir;
    qvxtest::WriteFile(dir.File("language.ini"),
                       qvxtest::ReadFile(std::string(QVX_SOURCE_DIR) + "/src/resources/language.ini"));
    ASSERT_TRUE(SetLanguageFile(dir.File("language.ini").c_str()));
    ASSERT_TRUE(SetLanguage("Deutsch"));
    Analysed a;
    Analyse(a, Fixture("apple-30"));
    ASSERT_TRUE(SetLanguage("English"));
    Analysed b;
    Analyse(b, Fixture("apple-30"));
    ASSERT_EQ(a.result, 0);
    EXPECT_EQ(a.headers, b.headers);
    EXPECT_EQ(a.rows, b.rows);
    EXPECT_EQ(a.headers[0], "Name");
    EXPECT_EQ(a.headers[11], "Phone (mobile)");
    EXPECT_EQ(a.headers[14], "Phone (work, fax)");
    EXPECT_EQ(a.headers[9], "E-mail (work)");
    EXPECT_NE(a.rows[0].find("Phone (mobile)=+49 170 1234567"), std::string::npos);
    SetLanguageFile("");

    // A CSV file whose first cell is BEGIN:VCARD-like text is still CSV.
    qvxtest::WriteFile(dir.File("a.csv"), "Name;Telefon\r\nBEGIN:VCARD;1\r\n");
    Analysed c;
    Analyse(c, dir.File("a.csv"));
    EXPECT_EQ(c.result, 0);
    EXPECT_STREQ(c.parser.Reader()->FormatName(), "csv");
    EXPECT_EQ(c.headers, (std::vector<std::string>{"Name", "Telefon"}));
}

TEST(VCardReader, FileEncodingsLineEndsAndValueEncodings) {
    qvxtest::TempDir dir;
    const std::string card =
        "BEGIN:VCARD\r\nVERSION:2.1\r\nFN;ENCODING=QUOTED-PRINTABLE;CHARSET=WINDOWS-1252:J=FCrgen Gro=\r\n"
        " =DF\r\nitem1.TEL:+49 1\r\nitem1.X-ABLabel:_$!<HomeFAX>!$_\r\n"
        "NOTE;ENCODING=BASE64;CHARSET=UTF-8:TGllYmUgR3LDvMOfZQ==\r\nEND:VCARD\r\n";
    const std::string expected =
        "Name=Jürgen Groß | VERSION=2.1 | Phone (home, fax)=+49 1 | Note=Liebe Grüße";
    // The same card as UTF-16LE with its mark, and with old Mac line ends.
    std::string utf16 = "\xFF\xFE";
    for (char c : card) utf16 += std::string{c, '\0'};
    std::string mac = card;
    for (size_t pos; (pos = mac.find("\r\n")) != std::string::npos;) mac.erase(pos + 1, 1);
    for (const std::string& bytes : {card, utf16, mac}) {
        qvxtest::WriteFile(dir.File("c.vcf"), bytes);
        ASSERT_TRUE(CVCardReader::IsVCardFile(dir.File("c.vcf").c_str()));
        Analysed a;
        Analyse(a, dir.File("c.vcf"));
        ASSERT_EQ(a.result, 0);
        EXPECT_EQ(a.rows, std::vector<std::string>{expected});
    }
}

TEST(VCardReader, ColumnsStopAtTheirLimit) {
    // Every row has a slot per column: ever new properties must not make
    // the table grow without end.
    qvxtest::TempDir dir;
    std::string text = "BEGIN:VCARD\r\nFN:A\r\n";
    for (int k = 0; k < 1100; ++k) text += "X-P" + std::to_string(k) + ":v\r\n";
    qvxtest::WriteFile(dir.File("c.vcf"), text + "END:VCARD\r\n");
    Analysed a;
    Analyse(a, dir.File("c.vcf"));
    ASSERT_EQ(a.result, 0);
    EXPECT_EQ(a.headers.size(), 1024u);
    EXPECT_EQ(a.headers.back(), "X-P1022");
    EXPECT_TRUE(a.parser.Reader()->GetNotices().empty());  // technical values are never imported

    // Numbers past the limit go to shared columns; only what those cannot
    // hold is counted, by the card's line.
    text.clear();
    for (int k = 0; k < 1100; ++k)
        text += "BEGIN:VCARD\r\nFN:P" + std::to_string(k) + "\r\nTEL;TYPE=x-l" + std::to_string(k) +
                ":0711 " + std::to_string(k) + "\r\nEND:VCARD\r\n";
    text += "BEGIN:VCARD\r\nFN:Many\r\n";
    for (int k = 0; k < 40; ++k) text += "TEL;TYPE=x-m" + std::to_string(k) + ":0711 9\r\n";
    qvxtest::WriteFile(dir.File("c.vcf"), text + "END:VCARD\r\n");
    Analysed b;
    Analyse(b, dir.File("c.vcf"));
    ASSERT_EQ(b.result, 0);
    ASSERT_EQ(b.rows.size(), 1101u);
    EXPECT_EQ(b.rows[1099], "Name=P1099 | Phone (more)=0711 1099");
    EXPECT_NE(b.rows[1100].find("Phone (more) (32)=0711 9"), std::string::npos);
    const std::vector<ReaderNotice> notices = b.parser.Reader()->GetNotices();
    ASSERT_EQ(notices.size(), 1u);
    EXPECT_EQ(notices[0].nCount, 8);
    EXPECT_EQ(notices[0].lines, std::vector<int>{4401});
    ASSERT_TRUE(b.parser.Reader()->ApplyBuiltInMapping(b.table));
    EXPECT_EQ(Codes(b.table).back(), "PD");
}
