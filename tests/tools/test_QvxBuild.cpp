// Runs the qvxbuild companion as a user would, from a program folder of its
// own (a copy of the binary with its files), and checks exit codes and files.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "../database/DbTestUtil.h"
#include "ToolTestEnv.h"

namespace {

namespace fs = std::filesystem;

class QvxBuildTest : public qvxtest::ToolTest {};

using qvxtest::Result;

TEST_F(QvxBuildTest, AnalyzeReportsAndExitCodes) {
    struct {
        std::vector<std::string> args;
        int status;
        const char* needle;
    } cases[] = {
        {{"analyze"}, 1, nullptr},
        {{"analyze", "contacts.csv", "--bogus"}, 1, nullptr},
        {{"analyze", "contacts.csv"}, 0, "columns: 3"},
        {{"analyze", "contacts.csv", "--map", "complete.map", "--json"},
         0,
         "\"mapping\":{\"result\":0,\"state\":2,\"matched\":3,\"name\":\"t\",\"description\":\"d\","
         "\"codes\":[\"N\",\"C\",\"PD\"]}"},
        {{"analyze", "contacts.csv", "--map", "partial.map"}, 3, "state: 3"},
        {{"analyze", "missing.csv", "--json"}, 2, "\"result\":-230"},
    };
    for (auto& c : cases) {
        Result r = Run("qvxbuild", c.args);
        EXPECT_EQ(r.status, c.status) << c.args.back() << r.err;
        if (c.needle) {
            EXPECT_NE(r.out.find(c.needle), std::string::npos) << r.out;
        }
    }
    // A name the wizard does not take is refused with the wizard's words, unread.
    qvxtest::WriteFile(dir.File("notes.doc"), "Name;Phone\r\nA;1\r\n");
    Result refused = Run("qvxbuild", {"analyze", "notes.doc", "--json"});
    EXPECT_EQ(refused.status, 2);
    EXPECT_NE(refused.out.find("\"result\":-100"), std::string::npos) << refused.out;
    EXPECT_NE(refused.err.find("notes.doc is not taken: only contacts files (.csv, .txt, .vcf) can be read."),
              std::string::npos)
        << refused.err;
    EXPECT_EQ(Run("qvxbuild", {"build", "notes.doc", "complete.map"}).status, 2);
    qvxtest::WriteFile(dir.File("latin1.csv"), "N\xE4me;Firma\r\nx;y\r\n");
    Result r = Run("qvxbuild", {"analyze", "latin1.csv", "--json"});
    EXPECT_NE(r.out.find("\"N\xC3\xA4me\""), std::string::npos) << r.out;
}

TEST_F(QvxBuildTest, AnalyzeAndBuildReportCharacterSetAndMismatchedRows) {
    std::string csv = "Name;Firma\r\n";
    for (int i = 0; i < 12; ++i) csv += i % 3 ? "M\xFCller;ACME\r\n" : "a;b;c\r\n";
    qvxtest::WriteFile(dir.File("mixed.csv"), csv);
    Result r = Run("qvxbuild", {"analyze", "mixed.csv", "--json"});
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("\"encoding\":\"windows-1252\",\"mismatched\":4,\"mismatched_lines\":[2,5,8,11]"),
              std::string::npos)
        << r.out;
    r = Run("qvxbuild", {"analyze", "mixed.csv"});
    EXPECT_NE(r.out.find("encoding: windows-1252\nmismatched: 4\n"
                         "  rows that do not fit the header start on lines: 2, 5, 8, 11\n"),
              std::string::npos)
        << r.out;
    r = Run("qvxbuild", {"analyze", "contacts.csv", "--json"});
    EXPECT_NE(r.out.find("\"encoding\":\"utf-8\",\"mismatched\":0,\"mismatched_lines\":[]"),
              std::string::npos)
        << r.out;

    qvxtest::WriteFile(dir.File("mixed.map"),
                       "Quorvex mapping file\r\n\"Name\",\"Firma\"\r\n\"N\",\"C\"\r\n");
    r = Run("qvxbuild", {"build", "mixed.csv", "mixed.map", "--out", "mixed.db"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("warning: 4 rows do not fit the header"), std::string::npos) << r.err;
    EXPECT_EQ(qvxdbtest::Scalar(dir.File("mixed.db"), "SELECT Name FROM Contact WHERE Name <> 'a'"),
              "Müller");
    r = Run("qvxbuild", {"build", "contacts.csv", "complete.map", "--out", "plain.db"});
    ASSERT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
}

// Rows that give no contact and values not stored are named by the file
// line their row starts on (a quoted note over two lines counts both),
// before building and by the build.
TEST_F(QvxBuildTest, AnalyzeAndBuildNameSkippedRowsAndValuesNotStored) {
    qvxtest::WriteFile(dir.File("gaps.csv"),
                       "Name,Firma,Telefon,Notiz\n\"Anna\",,\"+49 171 1 ::: +49 30 2\",\"two\nlines\"\n"
                       ",Taxi Nord,0711 5,\n,,030 1,\n\"Bob\",,n/a,\n");
    qvxtest::WriteFile(dir.File("gaps.map"),
                       "Quorvex mapping file\r\n\"Name\",\"Firma\",\"Telefon\",\"Notiz\"\r\n"
                       "\"N\",\"C\",\"PD\",\"-\"\r\n");
    Result r = Run("qvxbuild", {"analyze", "gaps.csv", "--map", "gaps.map", "--json"});
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("\"skipped\":1,\"skipped_lines\":[5],\"values_not_stored\":1,"
                         "\"values_not_stored_lines\":[6]}"),
              std::string::npos)
        << r.out;
    r = Run("qvxbuild", {"analyze", "gaps.csv", "--json"});
    EXPECT_NE(r.out.find("\"skipped\":null,\"skipped_lines\":null"), std::string::npos) << r.out;

    r = Run("qvxbuild", {"build", "gaps.csv", "gaps.map", "--out", "gaps.db"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("warning: 1 row gives no contact"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("it starts on line 5\n"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("warning: 1 value was not stored"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("in the row on line 6\n"), std::string::npos) << r.err;
    EXPECT_EQ(qvxdbtest::Scalar(
                  dir.File("gaps.db"),
                  "SELECT group_concat(Name, '|') FROM (SELECT Name FROM Contact ORDER BY ContactId)"),
              "Anna|Taxi Nord|Bob");
}

// The preview lists what the database gets, in ContactId order with each
// contact's details by PropertyKey; --limit shortens the list, not the counts.
TEST_F(QvxBuildTest, PreviewPrintsTheContactsAsOneJsonObject) {
    qvxtest::WriteFile(dir.File("gaps.csv"),
                       "Name,Firma,Telefon,Notiz\n\"Anna\",,\"+49 171 1 ::: +49 30 2\",\"two\nlines\"\n"
                       ",Taxi Nord,0711 5,\n,,030 1,\n\"Bob\",,n/a,,extra\n");
    qvxtest::WriteFile(dir.File("gaps.map"),
                       "Quorvex mapping file\r\n\"Name\",\"Firma\",\"Telefon\",\"Notiz\"\r\n"
                       "\"N\",\"C\",\"PD\",\"-\"\r\n");
    const std::string counts =
        " \"contact_count\": 3,\n \"detail_count\": 7,\n \"skipped\": 1,\n \"skipped_lines\": [5],\n"
        " \"mismatched\": 1,\n \"mismatched_lines\": [6],\n"
        " \"merged_rows\": 0,\n \"merged_contacts\": 0,\n \"possible_duplicates\": []\n}\n";
    Result r = Run("qvxbuild", {"preview", "gaps.csv", "gaps.map", "--json"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(
        r.out,
        "{\"contacts\": [\n"
        "  {\"id\": 0, \"name\": \"Anna\", \"company\": \"\", "
        "\"sources\": [{\"file\": \"gaps.csv\", \"line\": 2}], \"details\": ["
        "{\"key\": \"Notiz\", \"value\": \"two\\nlines\", \"type\": \"\", \"position\": 3}, "
        "{\"key\": \"Telefon\", \"value\": \"+49 171 1\", \"type\": \"PD\", \"position\": 2}, "
        "{\"key\": \"Telefon (2)\", \"value\": \"+49 30 2\", \"type\": \"PD\", \"position\": 2}, "
        "{\"key\": \"qVx_Telefon\", \"value\": \"+491711\", \"type\": \"P\", \"position\": 2147483647}, "
        "{\"key\": \"qVx_Telefon (2)\", \"value\": \"+49302\", \"type\": \"P\", \"position\": "
        "2147483647}]},\n"
        "  {\"id\": 1, \"name\": \"Taxi Nord\", \"company\": \"Taxi Nord\", "
        "\"sources\": [{\"file\": \"gaps.csv\", \"line\": 4}], \"details\": ["
        "{\"key\": \"Telefon\", \"value\": \"0711 5\", \"type\": \"PD\", \"position\": 2}, "
        "{\"key\": \"qVx_Telefon\", \"value\": \"07115\", \"type\": \"P\", \"position\": 2147483647}]},\n"
        "  {\"id\": 3, \"name\": \"Bob\", \"company\": \"\", "
        "\"sources\": [{\"file\": \"gaps.csv\", \"line\": 6}], \"details\": []}\n],\n" +
            counts);
    r = Run("qvxbuild", {"preview", "gaps.csv", "gaps.map", "--json", "--limit", "0"});
    EXPECT_EQ(r.out, "{\"contacts\": [],\n" + counts);
    r = Run("qvxbuild", {"preview", "gaps.csv", "--limit", "x"});
    EXPECT_EQ(r.status, 1);
}

// Every export shape gives one contact per person, notes over several
// lines whole, in UTF-8.
TEST_F(QvxBuildTest, ExportsBuildOneContactPerPerson) {
    struct {
        const char* csv;
        const char* map;
        int contacts;
        const char* note;
    } cases[] = {
        {"google-contacts.csv", "google-contacts.map", 14, "Línea uno\nLínea dos\nDritte Zeile"},
        {"outlook-en.csv", "outlook-en.map", 8, "Línea uno\r\nLínea dos\r\nDritte Zeile"},
        {"outlook-de.csv", "outlook-de.map", 8, "Línea uno\r\nLínea dos\r\nDritte Zeile"},
        {"thunderbird.csv", "thunderbird.map", 14, "Línea uno\r\nLínea dos\r\nDritte Zeile"},
        {"apple-vcard.csv", "apple-vcard.map", 14, "Línea uno\nLínea dos\nDritte Zeile"},
        {"apple-vcard-utf16be.csv", "apple-vcard.map", 14, "Línea uno\nLínea dos\nDritte Zeile"},
        {"excel-utf8-bom.csv", "excel.map", 14, "Línea uno\nLínea dos\nDritte Zeile"},
        {"excel-unicode.txt", "excel.map", 14, "Línea uno\nLínea dos\nDritte Zeile"},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.csv);
        const std::string folder = QVX_SOURCE_DIR "/tests/cases/export-" +
                                   std::string(c.csv).substr(0, std::string(c.csv).find('.'));
        Result r =
            Run("qvxbuild", {"build", folder + "/input.csv", folder + "/mapping.map", "--out", "export.db"});
        ASSERT_EQ(r.status, 0) << r.err;
        // Only a character set other than UTF-8 is worth a word.
        const std::string name = c.csv;
        const std::string charset = name.rfind("outlook", 0) == 0       ? "Windows-1252"
                                    : name == "apple-vcard-utf16be.csv" ? "UTF-16BE"
                                    : name == "excel-unicode.txt"       ? "UTF-16LE"
                                                                        : "";
        EXPECT_EQ(r.err, charset.empty() ? "" : "qvxbuild build: Its text was read as " + charset + ".\n");
        std::string db = dir.File("export.db");
        EXPECT_EQ(qvxdbtest::Scalar(db, "SELECT COUNT(*) FROM Contact"), std::to_string(c.contacts));
        EXPECT_EQ(qvxdbtest::Scalar(db, "SELECT COUNT(DISTINCT Name) FROM Contact"),
                  std::to_string(c.contacts));
        EXPECT_EQ(qvxdbtest::Scalar(db,
                                    "SELECT COUNT(*) FROM Contact WHERE Name LIKE '%Stuttgart%' OR Name "
                                    "LIKE '%Zeile%'"),
                  "0");
        EXPECT_EQ(qvxdbtest::Scalar(
                      db, "SELECT COUNT(*) FROM ContactDetail WHERE Value = '" + std::string(c.note) + "'"),
                  "1");
        EXPECT_EQ(qvxdbtest::Scalar(db, "SELECT Company FROM Contact WHERE Company LIKE 'M_ller%'"),
                  "Müller & Söhne GmbH");
    }
}

TEST_F(QvxBuildTest, BuildMakesLastDbOrTheNamedFile) {
    Result r = Run("qvxbuild", {"build", "contacts.csv", "partial.map"});
    EXPECT_EQ(r.status, 3);
    EXPECT_NE(r.err.find("incomplete"), std::string::npos) << r.err;

    r = Run("qvxbuild", {"build", "contacts.csv", "complete.map", "--language", "English"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(DatabaseFiles(), std::vector<std::string>{"last.db"});
    std::string last = qvxtest::ReadFile(program + "/last.db");
    EXPECT_EQ(last.compare(0, 16, std::string("SQLite format 3\0", 16)), 0);

    r = Run("qvxbuild", {"build", "contacts.csv", "complete.map", "--out", "copy.db"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(qvxtest::FileExists(dir.File("copy.db")));
    EXPECT_EQ(qvxtest::ReadFile(program + "/last.db"), last);
    for (auto& e : fs::directory_iterator(dir.Path())) {
        EXPECT_EQ(e.path().filename().string().find(".qvxbuild-"), std::string::npos);
    }
}

TEST_F(QvxBuildTest, HandWrittenMappingsThatBreakTheRulesStopTheBuild) {
    struct {
        const char* codes;
        const char* rule;
    } cases[] = {
        {"\"C\",\"X\",\"PD\"", "No column is mapped to the name."},
        {"\"N\",\"C\",\"C\"", "More than one column is mapped to the company."},
        {"\"N\",\"\",\"PD\"", "Not every column has a property type yet."},
    };
    for (auto& c : cases) {
        qvxtest::WriteFile(
            dir.File("hand.map"),
            std::string("Quorvex mapping file\r\n\"Name\",\"Firma\",\"Telefon\"\r\n") + c.codes + "\r\n");
        Result r = Run("qvxbuild", {"build", "contacts.csv", "hand.map", "--language", "English"});
        EXPECT_EQ(r.status, 3) << c.codes;
        EXPECT_NE(r.err.find(c.rule), std::string::npos) << r.err;
        EXPECT_TRUE(DatabaseFiles().empty());
        EXPECT_EQ(Run("qvxbuild", {"analyze", "contacts.csv", "--map", "hand.map"}).status, 3);
    }
    // Two name columns and no company build.
    qvxtest::WriteFile(dir.File("hand.map"),
                       "Quorvex mapping file\r\n\"Name\",\"Firma\",\"Telefon\"\r\n\"N\",\"N\",\"PD\"\r\n");
    Result r = Run("qvxbuild", {"build", "contacts.csv", "hand.map"});
    EXPECT_EQ(r.status, 0) << r.err;
}

TEST_F(QvxBuildTest, WithoutMappingTheFirstReadyMappingThatFitsIsTaken) {
    for (auto& e : fs::directory_iterator(QVX_SOURCE_DIR "/src/resources/mappings"))
        fs::copy_file(e.path(), program + "/mappings/" + e.path().filename().string());
    const std::string google = QVX_SOURCE_DIR "/tests/cases/shape-google/input.csv";

    Result r = Run("qvxbuild", {"analyze", google, "--json"});
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find(",\"fitting\":[\"" + program + "/mappings/google-contacts.map\"]"),
              std::string::npos)
        << r.out;
    r = Run("qvxbuild", {"analyze", "contacts.csv"});
    EXPECT_NE(r.out.find("fitting mappings: none"), std::string::npos) << r.out;
    r = Run("qvxbuild", {"analyze", google, "--map", "complete.map", "--json"});
    EXPECT_EQ(r.out.find("fitting"), std::string::npos) << r.out;

    r = Run("qvxbuild", {"build", google, "--out", "google.db"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("\"Google Contacts\" (" + program + "/mappings/google-contacts.map)"),
              std::string::npos)
        << r.err;
    EXPECT_EQ(qvxdbtest::Scalar(
                  dir.File("google.db"),
                  "SELECT group_concat(Name, '|') FROM (SELECT Name FROM Contact ORDER BY ContactId)"),
              "Hans-Peter Schmidt|José Luis García Pérez|Müller & Söhne GmbH");

    // Nothing fits: exit 3, and no database.
    r = Run("qvxbuild", {"build", "contacts.csv"});
    EXPECT_EQ(r.status, 3);
    EXPECT_NE(r.err.find("no mapping in " + program + "/mappings fits the file"), std::string::npos) << r.err;
    EXPECT_TRUE(DatabaseFiles().empty());

    // Two columns more than any ready mapping knows: the nearest mapping is
    // named with the headers it lacks, and never used by itself.
    std::string wider = qvxtest::ReadFile(google);
    wider.insert(wider.find("\r\n"), ",Zeitstempel,Mobil-Tel.-Nr.");
    qvxtest::WriteFile(dir.File("wider.csv"), wider);
    r = Run("qvxbuild", {"analyze", "wider.csv", "--json"});
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("\"fitting\":[],\"nearest\":{\"name\":\"Google Contacts"), std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("\"unknown_headers\":[\"Zeitstempel\",\"Mobil-Tel.-Nr.\"]}"), std::string::npos)
        << r.out;
    r = Run("qvxbuild", {"analyze", google, "--json"});
    EXPECT_NE(r.out.find("\"nearest\":null"), std::string::npos) << r.out;
    r = Run("qvxbuild", {"build", "wider.csv"});
    EXPECT_EQ(r.status, 3);
    EXPECT_NE(r.err.find("the nearest mapping is \"Google Contacts"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("\"Zeitstempel\", \"Mobil-Tel.-Nr.\""), std::string::npos) << r.err;
    EXPECT_TRUE(DatabaseFiles().empty());
}

// A vCard file names its format and builds with nothing but the file; a CSV
// file names its format too.
TEST_F(QvxBuildTest, VCardFileBuildsWithTheBuiltInMapping) {
    const std::string vcf = QVX_SOURCE_DIR "/tests/cases/shape-vcard-mixed-versions/input.vcf";
    Result r = Run("qvxbuild", {"analyze", vcf, "--json"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("],\"format\":\"vcard\",\"versions\":\"2.1, 3.0, 4.0\","), std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find(",\"fitting\":[\"built-in:vcard\"]"), std::string::npos) << r.out;
    r = Run("qvxbuild", {"analyze", "contacts.csv", "--json"});
    EXPECT_NE(r.out.find("],\"format\":\"csv\","), std::string::npos) << r.out;

    r = Run("qvxbuild", {"build", vcf, "--out", "vcard.db"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("using the built-in mapping \"vCard (automatic)\""), std::string::npos) << r.err;
    EXPECT_EQ(qvxdbtest::Scalar(dir.File("vcard.db"), "SELECT count(*) FROM Contact"), "3");
}

// Several files go into one database in the order given, each with its own
// mapping (given after it, or chosen by itself), the ids running on across
// the files; the messages and the preview name the file.
TEST_F(QvxBuildTest, SeveralFilesBuildOneDatabase) {
    qvxtest::WriteFile(dir.File("gaps.csv"),
                       "Name,Firma,Telefon,Notiz\n\"Anna\",,\"+49 171 1\",\n,,030 1,\n\"Bob\",,0711 2,\n");
    qvxtest::WriteFile(dir.File("gaps.map"),
                       "Quorvex mapping file\r\n\"Name\",\"Firma\",\"Telefon\",\"Notiz\"\r\n"
                       "\"N\",\"C\",\"PD\",\"-\"\r\n");
    qvxtest::WriteFile(dir.File("phone.vcf"),
                       "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Carla Ruiz\r\nN:Ruiz;Carla;;;\r\n"
                       "TEL;TYPE=CELL:0160 123\r\nEND:VCARD\r\n");
    Result r = Run("qvxbuild", {"build", "gaps.csv", "gaps.map", "phone.vcf", "--out", "both.db"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("qvxbuild build: gaps.csv: warning: 1 row gives no contact"), std::string::npos)
        << r.err;
    EXPECT_NE(r.err.find("qvxbuild build: phone.vcf: using the built-in mapping"), std::string::npos)
        << r.err;
    EXPECT_EQ(qvxdbtest::Scalar(dir.File("both.db"),
                                "SELECT group_concat(ContactId || ':' || Name, '|') FROM "
                                "(SELECT * FROM Contact ORDER BY ContactId)"),
              "0:Anna|2:Bob|3:Carla Ruiz");
    EXPECT_EQ(
        qvxdbtest::Scalar(dir.File("both.db"),
                          "SELECT count(*) FROM ContactDetail WHERE ContactId = 3 AND Value = '0160 123'"),
        "1");

    r = Run("qvxbuild", {"preview", "phone.vcf", "gaps.csv", "gaps.map", "--json"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("{\"id\": 0, \"name\": \"Carla Ruiz\", \"company\": \"\", \"sources\": [{\"file\": "
                         "\"phone.vcf\", \"line\": "),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("{\"id\": 1, \"name\": \"Anna\", \"company\": \"\", \"sources\": [{\"file\": "
                         "\"gaps.csv\", \"line\": 2}]"),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find(" \"contact_count\": 3,\n"), std::string::npos) << r.out;

    r = Run("qvxbuild", {"analyze", "gaps.csv", "gaps.map", "phone.vcf", "--json"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.rfind("{\"files\":[{\"file\":\"gaps.csv\",\"result\":0,", 0), 0u) << r.out;
    EXPECT_NE(r.out.find("},{\"file\":\"phone.vcf\",\"result\":0,"), std::string::npos) << r.out;

    // A mapping belongs to the file before it: none first, never two.
    EXPECT_EQ(Run("qvxbuild", {"build", "gaps.map", "gaps.csv"}).status, 1);
    EXPECT_EQ(Run("qvxbuild", {"preview", "gaps.csv", "gaps.map", "gaps.map"}).status, 1);
    // One file that no mapping fits stops the whole build.
    r = Run("qvxbuild", {"build", "phone.vcf", "gaps.csv", "--out", "none.db"});
    EXPECT_EQ(r.status, 3) << r.err;
    EXPECT_NE(r.err.find("qvxbuild build: gaps.csv: no mapping in"), std::string::npos) << r.err;
    EXPECT_FALSE(qvxtest::FileExists(dir.File("none.db")));
}

TEST_F(QvxBuildTest, InterruptedBuildLeavesNoFile) {
    std::string csv = "Name;Firma;Telefon\r\n";
    for (int i = 0; i < 300000; ++i)
        csv += "Person " + std::to_string(i) + ";Firm;0711 " + std::to_string(i) + "\r\n";
    qvxtest::WriteFile(dir.File("big.csv"), csv);
    qvxtest::WriteFile(program + "/last.db", "previous");
    Result r = Run("qvxbuild", {"build", "big.csv", "complete.map"}, 300);
    EXPECT_EQ(r.status, 4) << r.err;
    EXPECT_EQ(DatabaseFiles(), std::vector<std::string>{"last.db"});
    EXPECT_EQ(qvxtest::ReadFile(program + "/last.db"), "previous");
}

TEST_F(QvxBuildTest, SendToSimulatedPhones) {
    Result r = Run("qvxbuild", {"send"});
    EXPECT_EQ(r.status, 5);  // no last.db yet
    ASSERT_EQ(Run("qvxbuild", {"build", "contacts.csv", "complete.map"}).status, 0);
    r = Run("qvxbuild", {"send"});
    EXPECT_EQ(r.status, 5);  // no phone
    ASSERT_EQ(Run("qvx-phone", {"--phones", program + "/phones", "add", "Alpha", "--serial", "A1"}).status,
              0);
    ASSERT_EQ(Run("qvx-phone", {"--phones", program + "/phones", "add", "Tiny", "--serial", "T1", "--free",
                                "1000", "--installed"})
                  .status,
              0);
    r = Run("qvxbuild", {"send"});
    EXPECT_EQ(r.status, 5);
    EXPECT_NE(r.err.find("Alpha"), std::string::npos) << r.err;
    r = Run("qvxbuild", {"send", "--phone", "T1"});
    EXPECT_EQ(r.status, 5);
    EXPECT_NE(r.err.find("free"), std::string::npos) << r.err;
    r = Run("qvxbuild", {"send", "--phone", "Alpha"});
    EXPECT_EQ(r.status, 5);  // application missing, no --install
    EXPECT_EQ(DatabaseFiles(), std::vector<std::string>{"last.db"});

    std::string last = qvxtest::ReadFile(program + "/last.db");
    r = Run("qvxbuild", {"send", "--phone", "Alpha", "--install"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(DatabaseFiles(), std::vector<std::string>{"last.db"});
    std::string data = program + "/phones/Alpha/C/Data/Quorvex";
    std::vector<std::string> arrived;
    for (auto& e : fs::directory_iterator(data)) arrived.push_back(e.path().filename().string());
    ASSERT_EQ(arrived.size(), 2u);
    for (auto& name : arrived) {
        std::string expected = name.ends_with(".db") ? last : std::to_string(last.size());
        EXPECT_EQ(qvxtest::ReadFile(data + "/" + name), expected) << name;
    }
}

}  // namespace
