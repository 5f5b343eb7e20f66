// qvxbuild map: the mapping a new user starts from for a file, written by
// the command line, and what the build makes of it.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "../database/DbTestUtil.h"
#include "ToolTestEnv.h"

namespace {

namespace fs = std::filesystem;
using qvxtest::Result;

class QvxBuildMapTest : public qvxtest::ToolTest {
protected:
    // The codes line of a mapping file.
    std::string CodesLine(const std::string& map) {
        const std::string text = qvxtest::ReadFile(map);
        const size_t nFirst = text.find("\r\n", text.find("\r\n") + 2) + 2;
        return text.substr(nFirst, text.find("\r\n", nFirst) - nFirst);
    }
    // Maps `csv` to X.map, builds it and returns the database's path.
    std::string MapAndBuild(const std::string& csv, Result& map) {
        map = Run("qvxbuild", {"map", csv, "--out", "X.map"});
        Result build = Run("qvxbuild", {"build", csv, "X.map", "--out", "X.db"});
        EXPECT_EQ(build.status, 0) << build.err;
        return dir.File("X.db");
    }
    std::string Names(const std::string& db) {
        return qvxdbtest::Scalar(db,
                                 "SELECT group_concat(Name || ' / ' || Company, '|') FROM (SELECT * FROM "
                                 "Contact ORDER BY ContactId)");
    }
    // One contact's details as "header=value", in the order they were
    // written; without the dialling forms the build adds to phone numbers.
    std::string Details(const std::string& db, int nContact) {
        return qvxdbtest::Scalar(db,
                                 "SELECT group_concat(PropertyKey || '=' || Value, '|') FROM (SELECT * FROM "
                                 "ContactDetail WHERE ContactId = " +
                                     std::to_string(nContact) +
                                     " AND PropertyKey NOT LIKE 'qVx\\_%' ESCAPE '\\' ORDER BY rowid)");
    }
};

// An address book converted to CSV: its full-name column is the name, the
// part columns stay out, so every name is whole and in the order people
// write it.
TEST_F(QvxBuildMapTest, ConvertedAddressBookTakesTheFullName) {
    qvxtest::WriteFile(
        dir.File("converted.csv"),
        "\"Full Name\",\"Last Name\",\"First Name\",\"Middle Name\",\"Company\",\"E-mail Address\","
        "\"Mobile Phone\",\"Business Phone\",\"Notes\"\r\n"
        "\"Anna Maria Müller\",\"Müller\",\"Anna\",\"Maria\",\"Bäckerei Süß\",\"anna@example.org\","
        "\"+49 170 1111111\",\"+49 711 222\",\"Kundin seit 2001\"\r\n"
        "\"Jörg Weiß\",\"Weiß\",\"Jörg\",\"\",\"\",\"joerg@example.org\",\"0171 3333333\",\"\",\"\"\r\n"
        "\"Zoë O'Brien\",\"O'Brien\",\"Zoë\",\"\",\"Ölwerke AG\",\"zoe@example.net\",\"\",\"+49 30 444\","
        "\"\"\r\n");
    Result map;
    const std::string db = MapAndBuild("converted.csv", map);
    EXPECT_EQ(map.status, 0) << map.err;
    EXPECT_EQ(CodesLine(dir.File("X.map")), "\"N\",\"X\",\"X\",\"X\",\"C\",\"E\",\"PD\",\"PD\",\"-\"");
    EXPECT_NE(map.err.find("no mapping fits the file or is near it"), std::string::npos) << map.err;
    EXPECT_NE(map.err.find("guessed (sure): \"Last Name\" = X"), std::string::npos) << map.err;
    EXPECT_EQ(map.err.find("unknown"), std::string::npos) << map.err;
    EXPECT_EQ(Names(db), "Anna Maria Müller / Bäckerei Süß|Jörg Weiß / |Zoë O'Brien / Ölwerke AG");
    EXPECT_EQ(Details(db, 0),
              "E-mail Address=anna@example.org|Mobile Phone=+49 170 1111111|Business Phone=+49 711 222|"
              "Notes=Kundin seit 2001");
    EXPECT_EQ(Details(db, 1), "E-mail Address=joerg@example.org|Mobile Phone=0171 3333333");
}

// German compound headers: "Mailadresse privat" is an e-mail, not an
// address; "Name" beside "Vorname" is the family name; a header no word
// fits stays out and is named.
TEST_F(QvxBuildMapTest, GermanCompoundHeaders) {
    qvxtest::WriteFile(dir.File("adressen.csv"),
                       "Vorname;Name;Firma;Mailadresse;Mailadresse privat;Handynummer;Telefon geschäftlich;"
                       "Faxnummer;Straße und Hausnummer;PLZ;Ort;Geburtstag;Zeitstempel\r\n"
                       "Jürgen;Größer;Müller & Söhne;j.groesser@mueller.de;jg@example.de;0170 1234567;"
                       "0711 98765;0711 98766;Königstraße 1;70173;Stuttgart;1970-05-01;2020-01-01\r\n"
                       "Änne;Öztürk;;;aenne@example.de;0151 7654321;;;;;;;2020-01-02\r\n");
    Result map;
    const std::string db = MapAndBuild("adressen.csv", map);
    EXPECT_EQ(map.status, 0) << map.err;
    EXPECT_EQ(CodesLine(dir.File("X.map")),
              "\"N\",\"N\",\"C\",\"E\",\"E\",\"PD\",\"PD\",\"PD\",\"L\",\"L\",\"L\",\"-\",\"X\"");
    EXPECT_NE(map.err.find("guessed (check it): \"Name\" = N"), std::string::npos) << map.err;
    EXPECT_NE(map.err.find("unknown (not imported): \"Zeitstempel\""), std::string::npos) << map.err;
    EXPECT_EQ(Names(db), "Jürgen Größer / Müller & Söhne|Änne Öztürk / ");
    EXPECT_EQ(Details(db, 1), "Mailadresse privat=aenne@example.de|Handynummer=0151 7654321");
    const std::string first = Details(db, 0);
    for (const char* detail :
         {"Mailadresse=j.groesser@mueller.de", "Mailadresse privat=jg@example.de",
          "Telefon geschäftlich=0711 98765", "Faxnummer=0711 98766", "Geburtstag=1970-05-01"})
        EXPECT_NE(first.find(detail), std::string::npos) << detail << " in " << first;
    EXPECT_EQ(first.find("2020-01-01"), std::string::npos) << first;

    // --json says where each code comes from and which part of the name it is.
    Result json = Run("qvxbuild", {"map", "adressen.csv", "--json"});
    EXPECT_EQ(json.status, 0);
    EXPECT_NE(json.out.find("\"from\":\"guesses\",\"file\":null,\"name\":\"adressen\""), std::string::npos)
        << json.out;
    EXPECT_NE(
        json.out.find("{\"header\":\"Vorname\",\"code\":\"N\",\"origin\":\"sure\",\"name_part\":\"given\"}"),
        std::string::npos)
        << json.out;
    EXPECT_NE(
        json.out.find("{\"header\":\"Name\",\"code\":\"N\",\"origin\":\"guessed\",\"name_part\":\"family\"}"),
        std::string::npos)
        << json.out;
    EXPECT_NE(json.out.find(
                  "{\"header\":\"Zeitstempel\",\"code\":\"X\",\"origin\":\"unknown\",\"name_part\":null}"),
              std::string::npos)
        << json.out;
}

// Name parts with the family name first and a repeated header: the
// proposed mapping is the case folder's, joins the name as people write it
// and gives each "Telefon" column its entry.
TEST_F(QvxBuildMapTest, NamePartsInOrderAndRepeatedHeader) {
    const std::string cases = QVX_SOURCE_DIR "/tests/cases/";
    Result map;
    std::string db = MapAndBuild(cases + "export-family-name-first/input.csv", map);
    EXPECT_EQ(map.status, 0) << map.err;
    EXPECT_EQ(qvxtest::ReadFile(dir.File("X.map")),
              qvxtest::ReadFile(cases + "export-family-name-first/mapping.map"));
    EXPECT_NE(map.err.find("name joined in the order \"Vorname\"=given \"Zweiter Vorname\"=middle "
                           "\"Nachname\"=family"),
              std::string::npos)
        << map.err;
    EXPECT_EQ(Names(db),
              "Anna Maria Müller / Bäckerei Süß|Jörg Weiß / |Zoë O'Brien / Ölwerke AG|"
              "Stadtwerke Ulm / Stadtwerke Ulm");
    EXPECT_EQ(Details(db, 0),
              "Mailadresse=anna@example.org|Handynummer=0170 1111111|Rufnummer=0711 222|"
              "Bemerkung=Kundin seit 2001");

    db = MapAndBuild(cases + "export-repeated-header/input.csv", map);
    EXPECT_EQ(map.status, 0) << map.err;
    EXPECT_EQ(qvxtest::ReadFile(dir.File("X.map")),
              qvxtest::ReadFile(cases + "export-repeated-header/mapping.map"));
    EXPECT_EQ(CodesLine(dir.File("X.map")), "\"N\",\"N\",\"PD\",\"PD\",\"E\"");
    EXPECT_EQ(Names(db), "Jürgen Größer / |Änne Öztürk / |Paul Schmidt / ");
    // Both columns' numbers are kept, the second under a key of its own.
    EXPECT_EQ(Details(db, 0), "Telefon=0711 98765|Telefon (2)=0170 1234567|E-Mail=j.groesser@example.de");
    EXPECT_EQ(Details(db, 2), "Telefon=030 123456");

    // --json lists the name columns in the order they are joined.
    Result json = Run("qvxbuild", {"map", cases + "export-family-name-first/input.csv", "--json"});
    EXPECT_NE(json.out.find("\"name_order\":[\"Vorname\",\"Zweiter Vorname\",\"Nachname\"]"),
              std::string::npos)
        << json.out;
}

// A file a ready mapping fits gets that mapping; one near a ready mapping
// starts from it; one without any name column is written but incomplete.
TEST_F(QvxBuildMapTest, FittingNearestAndIncomplete) {
    for (auto& e : fs::directory_iterator(QVX_SOURCE_DIR "/src/resources/mappings"))
        fs::copy_file(e.path(), program + "/mappings/" + e.path().filename().string());
    const std::string google = QVX_SOURCE_DIR "/tests/cases/shape-google/input.csv";
    Result r = Run("qvxbuild", {"map", google});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(
        r.err.find("the mapping \"Google Contacts\" (" + program + "/mappings/google-contacts.map) fits"),
        std::string::npos)
        << r.err;
    EXPECT_EQ(r.out.rfind("Quorvex mapping file\r\n", 0), 0u) << r.out;
    EXPECT_NE(r.out.find("\r\nName:Google Contacts\r\n"), std::string::npos) << r.out;

    std::string wider = qvxtest::ReadFile(google);
    wider.insert(wider.find("\r\n"), ",Zeitstempel,Mobil-Tel.-Nr.");
    qvxtest::WriteFile(dir.File("wider.csv"), wider);
    r = Run("qvxbuild", {"map", "wider.csv", "--json", "--out", "wider.map"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("\"from\":\"nearest\",\"file\":\"" + program + "/mappings/google-contacts.map\""),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("\"name\":\"Google Contacts (wider)\""), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("{\"header\":\"Mobil-Tel.-Nr.\",\"code\":\"PD\",\"origin\":\"sure\""),
              std::string::npos)
        << r.out;
    r = Run("qvxbuild", {"build", "wider.csv", "wider.map", "--out", "wider.db"});
    EXPECT_EQ(r.status, 0) << r.err;

    qvxtest::WriteFile(dir.File("numbers.csv"), "Kundennummer;Zeitstempel\r\n1;2\r\n");
    r = Run("qvxbuild", {"map", "numbers.csv", "--out", "numbers.map"});
    EXPECT_EQ(r.status, 3);
    EXPECT_NE(r.err.find("the mapping is incomplete"), std::string::npos) << r.err;
    EXPECT_EQ(CodesLine(dir.File("numbers.map")), "\"X\",\"X\"");
    EXPECT_EQ(Run("qvxbuild", {"map"}).status, 1);
    EXPECT_EQ(Run("qvxbuild", {"map", "missing.csv"}).status, 2);
}

}  // namespace
