#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "BuildTestUtil.h"
#include "DbTestUtil.h"
#include "database/QVXDBBuilder.h"
#include "import/ContactRules.h"

namespace {

using qvxdbtest::Cell;
using qvxdbtest::CRecordingHooks;
using qvxdbtest::FillTable;
using qvxdbtest::Query;
using qvxdbtest::Row;
using qvxdbtest::Scalar;

class BuildDb : public qvxdbtest::CBuildSandbox {
protected:
    // Builds the table into the sandbox's database file; the result of BuildDb.
    int Build(CRecordingHooks* pHooks = nullptr) {
        CQVXDBBuilder builder(qvxdbtest::kBuildSeconds);
        int rc = builder.BuildDb(m_map, pHooks != nullptr ? pHooks : &m_hooks);
        EXPECT_FALSE(builder.IsOpen());
        m_tally = builder.GetTally();
        return rc;
    }
    std::vector<Row> Contacts() {
        return Query(
            DbPath(),
            "SELECT ContactId, Name, Company, UpdateDate, ContactBookId, ContactGroupId, NPart0, NPart1, "
            "NPart2, NPart3, NPart4, NPart5, NPart6, NPart7, NPart8, NPart9 FROM Contact ORDER BY rowid");
    }
    std::vector<Row> Details() {
        return Query(
            DbPath(),
            "SELECT ContactId, PropertyKey, Value, PropertyType, Position FROM ContactDetail ORDER BY rowid");
    }

    CDataMap m_map;
    CRecordingHooks m_hooks;
    ImportTally m_tally;
};

// A contact row as the table holds it: id, name, company, then the parts.
Row ContactRow(const std::string& id, const std::string& name, const std::string& company,
               std::vector<std::string> parts) {
    Row row{id, name, company, "2008-06-15", "1", "100"};
    parts.resize(10);
    row.insert(row.end(), parts.begin(), parts.end());
    return row;
}

TEST_F(BuildDb, HeaderOnlyGivesSchemaAndTheTwoHeaderRows) {
    FillTable(m_map, {"Name", "Firma"}, {"N", "C"}, {});
    ASSERT_EQ(Build(), 0);

    auto schema = Query(
        DbPath(), "SELECT type, name, tbl_name, sql FROM sqlite_master WHERE sql IS NOT NULL ORDER BY rowid");
    std::vector<Row> expected = {
        {"table", "ContactBook", "ContactBook",
         "CREATE TABLE ContactBook (ContactBookId INTEGER PRIMARY KEY, Name TEXT, Description TEXT, Visible "
         "INTEGER)"},
        {"table", "ContactGroup", "ContactGroup",
         "CREATE TABLE ContactGroup (ContactGroupId INTEGER PRIMARY KEY, ContactBookId INTEGER, Name TEXT, "
         "Description TEXT)"},
        {"table", "Contact", "Contact",
         "CREATE TABLE Contact (ContactId INTEGER, Name TEXT, Company TEXT, UpdateDate DATETIME, "
         "ContactBookId "
         "INTEGER, ContactGroupId INTEGER, NPart0 TEXT, NPart1 TEXT, NPart2 TEXT, NPart3 TEXT, NPart4 TEXT, "
         "NPart5 "
         "TEXT, NPart6 TEXT, NPart7 TEXT, NPart8 TEXT, NPart9 TEXT, UNIQUE (ContactId, ContactGroupId, "
         "ContactBookId) ON CONFLICT REPLACE)"},
        {"table", "ContactDetail", "ContactDetail",
         "CREATE TABLE ContactDetail (ContactId INTEGER, PropertyKey TEXT, Value TEXT, PropertyType TEXT, "
         "Position "
         "INTEGER, UNIQUE (ContactId, PropertyKey) ON CONFLICT REPLACE)"},
        {"index", "Contact_index2", "Contact", "CREATE INDEX [Contact_index2] ON Contact ([Name])"},
        {"index", "Contact_index3", "Contact", "CREATE INDEX [Contact_index3] ON Contact ([ContactGroupId])"},
        {"index", "Value_index", "ContactDetail", "CREATE INDEX [Value_index] ON ContactDetail([Value])"},
        {"index", "Prop_index", "ContactDetail",
         "CREATE INDEX [Prop_index] ON ContactDetail([PropertyType])"},
        {"index", "Prop_index2", "ContactDetail",
         "CREATE INDEX [Prop_index2] ON ContactDetail([PropertyKey])"},
        {"index", "Id_index", "ContactDetail", "CREATE INDEX [Id_index] ON ContactDetail([ContactId])"},
        {"index", "Group_index2", "ContactGroup",
         "CREATE INDEX [Group_index2] ON ContactGroup([ContactGroupId])"},
        {"index", "Book_index", "ContactBook", "CREATE INDEX [Book_index] ON ContactBook([ContactBookId])"},
        {"index", "Group_index4", "ContactGroup",
         "CREATE INDEX [Group_index4] ON ContactGroup([ContactBookId])"},
    };
    EXPECT_EQ(schema, expected);

    EXPECT_EQ(
        Query(DbPath(), "SELECT ContactBookId, Name, Description, Visible, typeof(Name) FROM ContactBook"),
        (std::vector<Row>{{"100", "Max's contacts", "Imported; 'quoted'", "<null>", "text"}}));
    EXPECT_EQ(Query(DbPath(), "SELECT ContactGroupId, ContactBookId, Name, Description FROM ContactGroup"),
              (std::vector<Row>{{"1000", "100", "Imported contacts", "Contacts from the CSV file"}}));
    EXPECT_TRUE(Contacts().empty());
    EXPECT_TRUE(Details().empty());
    EXPECT_EQ(m_hooks.m_nSteps, 0);
    // A normal, complete database: nothing of a journal is left beside it.
    EXPECT_FALSE(qvxtest::FileExists(DbPath() + "-journal"));
    EXPECT_FALSE(qvxtest::FileExists(DbPath() + "-wal"));
    EXPECT_EQ(Scalar(DbPath(), "PRAGMA integrity_check"), "ok");
}

TEST_F(BuildDb, ContentOfEveryColumn) {
    FillTable(m_map, {"Name", "Firma", "Mobil", "E-Mail", "Notiz", "Geheim", "Ort"},
              {"N", "C", "PD", "E", "-", "X", "L"},
              {
                  {"Anna-Lena van der Berg", "ACME", "+49 (0)171 123-456", "anna@x.de", "note 1", "secret",
                   "Berlin"},
                  {"", "Ghost Inc", "0171/999", "g@x", "n", "s", "Hamburg"},
                  {"Bob", std::nullopt, "n/a", "", std::nullopt, "s", "K\xc3\xb6ln"},
                  {"Carl", "C'orp", "1", "c@x", "x", "", ""},
              });
    ASSERT_EQ(Build(), 0);

    EXPECT_EQ(Contacts(),
              (std::vector<Row>{
                  ContactRow("0", "Anna-Lena van der Berg", "ACME", {"Anna", "Lena", "van", "der", "Berg"}),
                  // A company alone is a contact under the company's name.
                  ContactRow("1", "Ghost Inc", "Ghost Inc", {"Ghost", "Inc"}),
                  ContactRow("2", "Bob", "", {"Bob"}),
                  ContactRow("3", "Carl", "C'orp", {"Carl"}),
              }));
    // Column by column, rows in key order; the dial number row comes first.
    EXPECT_EQ(Details(), (std::vector<Row>{
                             {"0", "qVx_Mobil", "+49171123456", "P", "2147483647"},
                             {"0", "Mobil", "+49 (0)171 123-456", "PD", "2"},
                             {"1", "qVx_Mobil", "0171999", "P", "2147483647"},
                             {"1", "Mobil", "0171/999", "PD", "2"},
                             {"0", "E-Mail", "anna@x.de", "E", "3"},
                             {"1", "E-Mail", "g@x", "E", "3"},
                             {"3", "E-Mail", "c@x", "E", "3"},
                             {"0", "Notiz", "note 1", "", "4"},
                             {"1", "Notiz", "n", "", "4"},
                             {"3", "Notiz", "x", "", "4"},
                             {"0", "Ort", "Berlin", "L", "6"},
                             {"1", "Ort", "Hamburg", "L", "6"},
                             {"2", "Ort", "K\xc3\xb6ln", "L", "6"},
                         }));
    // Texts are stored as text, never NULL; numbers as integers.
    EXPECT_EQ(
        Scalar(DbPath(),
               "SELECT count(*) FROM Contact WHERE typeof(ContactId)!='integer' OR typeof(Name)!='text' OR "
               "typeof(Company)!='text' OR typeof(UpdateDate)!='text' OR typeof(NPart9)!='text' OR "
               "typeof(ContactBookId)!='integer'"),
        "0");
    EXPECT_EQ(
        Scalar(DbPath(),
               "SELECT count(*) FROM ContactDetail WHERE typeof(ContactId)!='integer' OR "
               "typeof(PropertyKey)!='text' OR typeof(Value)!='text' OR typeof(PropertyType)!='text' OR "
               "typeof(Position)!='integer'"),
        "0");

    // Contact pass: one step per row; details pass: one per contact and column.
    EXPECT_EQ(m_hooks.m_nSteps, 4 + 4 * 4);
    EXPECT_EQ(m_hooks.m_infoTexts,
              (std::vector<std::string>{"Writing the contacts ...", "Details of Mobil (100%)",
                                        "Details of E-Mail (100%)", "Details of Notiz (100%)",
                                        "Details of Ort (100%)", "Finishing the database ..."}));
}

TEST_F(BuildDb, NameColumnsAreJoinedInColumnOrder) {
    const std::string a511(511, 'a'), b512(512, 'b'), b513(513, 'b'), x1025(1025, 'x');
    FillTable(m_map, {"Vorname", "C1", "Weitere", "Nachname", "C2", "P"}, {"N", "C", "N", "N", "C", "-"},
              {
                  {"José", "c1", "Luis", "García Pérez", "c2", "p0"},
                  {"Hans-Peter", "c1", "", "Schmidt", Cell(), "p1"},
                  {Cell(), Cell(), Cell(), "Solo", Cell(), "p2"},
                  {"", "c1", "", "", "c2", "p3"},     // no name: listed under the (last) company
                  {a511, "", "", b512, "", "p4"},     // 1,024 bytes joined: kept
                  {a511, "", "", b513, "", "p5"},     // 1,025 bytes joined: no contact
                  {x1025, "", "Kurz", "", "", "p6"},  // a cell over the limit counts as empty
              });
    ASSERT_EQ(Build(), 0);
    EXPECT_EQ(Contacts(),
              (std::vector<Row>{
                  ContactRow("0", "José Luis García Pérez", "c2", {"José", "Luis", "García", "Pérez"}),
                  ContactRow("1", "Hans-Peter Schmidt", "", {"Hans", "Peter", "Schmidt"}),
                  ContactRow("2", "Solo", "", {"Solo"}),
                  ContactRow("3", "c2", "c2", {"c2"}),
                  ContactRow("4", a511 + " " + b512, "", {a511, b512}),
                  ContactRow("6", "Kurz", "", {"Kurz"}),
              }));
    // Name and company columns give no details, however many there are.
    EXPECT_EQ(Details(), (std::vector<Row>{
                             {"0", "P", "p0", "", "5"},
                             {"1", "P", "p1", "", "5"},
                             {"2", "P", "p2", "", "5"},
                             {"3", "P", "p3", "", "5"},
                             {"4", "P", "p4", "", "5"},
                             {"6", "P", "p6", "", "5"},
                         }));
    // Rows without a file count one line each after the header.
    EXPECT_EQ(m_tally.nSkipped, 1);
    EXPECT_EQ(m_tally.nNameTooLong, 1);
    EXPECT_EQ(m_tally.skippedLines, std::vector<int>{7});
    EXPECT_EQ(m_tally.nNotStored, 1);
    EXPECT_EQ(m_tally.notStoredLines, std::vector<int>{8});
}

// Lists in one cell, values not stored, and the rows the rules give for a
// preview: exactly the rows the database holds.
TEST_F(BuildDb, ListsInOneCellAndWhatIsNotStored) {
    const std::string v1026(1026, 'v');
    FillTable(m_map, {"Name", "Firma", "Phone", "E-mail", "Address", "Note", "Phone (3)"},
              {"N", "C", "PD", "E", "L", "-", "G"},
              {
                  {"Anna", "", "+49 171 1 ::: n/a ::: +49 (0)30 2", " a@x ::: ::: b@y ",
                   "Weg 1\nKöln ::: Hof 2", "a ::: b", ""},
                  {"", "Taxi Nord", " 0711 5 ", "t@x:::", "", "", "g"},
                  {"", "", "030 1", "", "", "", ""},
                  {"Bob", std::string(1025, 'c'), "1 ::: " + v1026 + " ::: 0711", v1026, "", "", "grp"},
              });
    ASSERT_EQ(Build(), 0);
    EXPECT_EQ(Query(DbPath(), "SELECT ContactId, Name, Company FROM Contact ORDER BY ContactId"),
              (std::vector<Row>{{"0", "Anna", ""}, {"1", "Taxi Nord", "Taxi Nord"}, {"3", "Bob", ""}}));
    const std::vector<Row> details =
        Query(DbPath(),
              "SELECT ContactId, PropertyKey, Value, PropertyType, Position FROM "
              "ContactDetail ORDER BY ContactId, PropertyKey");
    EXPECT_EQ(details, (std::vector<Row>{
                           {"0", "Address", "Weg 1\nKöln", "L", "4"},
                           {"0", "Address (2)", "Hof 2", "L", "4"},
                           {"0", "E-mail", "a@x", "E", "3"},
                           {"0", "E-mail (2)", "b@y", "E", "3"},
                           {"0", "Note", "a ::: b", "", "5"},
                           {"0", "Phone", "+49 171 1", "PD", "2"},
                           {"0", "Phone (3)", "+49 (0)30 2", "PD", "2"},
                           {"0", "qVx_Phone", "+491711", "P", "2147483647"},
                           {"0", "qVx_Phone (3)", "+49302", "P", "2147483647"},
                           {"1", "E-mail", "t@x", "E", "3"},
                           {"1", "Phone", " 0711 5 ", "PD", "2"},
                           {"1", "Phone (3)", "g", "G", "6"},
                           {"1", "qVx_Phone", "07115", "P", "2147483647"},
                           {"3", "Phone (2)", "grp", "G", "6"},  // "Phone (3)" is the list's
                           {"3", "Phone (3)", "0711", "PD", "2"},
                           {"3", "qVx_Phone (3)", "0711", "P", "2147483647"},
                       }));
    EXPECT_EQ(m_tally.nContacts, 3);
    EXPECT_EQ(m_tally.nSkipped, 1);
    EXPECT_EQ(m_tally.skippedLines, std::vector<int>{4});
    // Anna's "n/a"; Bob's company, "1", the long list part and the long e-mail.
    EXPECT_EQ(m_tally.nNotStored, 5);
    EXPECT_EQ(m_tally.nNotStoredRows, 2);
    EXPECT_EQ(m_tally.notStoredLines, (std::vector<int>{2, 5}));

    // The same rules without building give the same rows and counts.
    const ImportTally counted = TallyImport(m_map);
    EXPECT_EQ(counted.nContacts, m_tally.nContacts);
    EXPECT_EQ(counted.nDetails, static_cast<long long>(details.size()));
    EXPECT_EQ(counted.skippedLines, m_tally.skippedLines);
    EXPECT_EQ(counted.nNotStored, m_tally.nNotStored);
    EXPECT_EQ(counted.nNotStoredRows, m_tally.nNotStoredRows);
    EXPECT_EQ(counted.notStoredLines, m_tally.notStoredLines);
    const CContactRules rules(m_map);
    CContactRow row;
    std::vector<Row> shown;
    m_map.Rewind();
    while (const CDataRow* pRow = m_map.NextRow()) {
        rules.ReadRow(pRow, row);
        for (const ContactDetailRow& d : row.details.rows)
            shown.push_back({std::to_string(row.nKey), std::string(d.key), std::string(d.value),
                             std::string(d.type), std::to_string(d.nPosition)});
    }
    std::sort(shown.begin(), shown.end(), [](const Row& a, const Row& b) {
        return std::stoi(a[0]) != std::stoi(b[0]) ? std::stoi(a[0]) < std::stoi(b[0]) : a[1] < b[1];
    });
    EXPECT_EQ(shown, details);
}

// Many parts under a long header: every made key stays whole however many
// there are.
TEST_F(BuildDb, ALongListUnderALongHeaderKeepsEveryPart) {
    const std::string header(1000, 'h');
    std::string cell;
    for (int k = 1; k <= 100; ++k) cell += (k > 1 ? " ::: " : "") + std::to_string(10 + k);
    FillTable(m_map, {"Name", header}, {"N", "PD"}, {{"Anna", cell}});
    ASSERT_EQ(Build(), 0);
    EXPECT_EQ(Scalar(DbPath(), "SELECT count(*) FROM ContactDetail"), "200");
    EXPECT_EQ(
        Query(DbPath(), "SELECT Value, PropertyType FROM ContactDetail WHERE PropertyKey = 'qVx_" + header +
                            " (100)' OR PropertyKey = '" + header + " (100)' ORDER BY PropertyType"),
        (std::vector<Row>{{"110", "P"}, {"110", "PD"}}));
    EXPECT_EQ(TallyImport(m_map).nDetails, 200);
}

TEST_F(BuildDb, WithoutCompanyColumnTheCompanyIsEmpty) {
    FillTable(m_map, {"Name", "Telefon", "E-Mail"}, {"N", "PD", "E"},
              {{"Anna Muster", "0711 123", "a@b.de"}});
    ASSERT_EQ(Build(), 0);
    EXPECT_EQ(Contacts(), (std::vector<Row>{ContactRow("0", "Anna Muster", "", {"Anna", "Muster"})}));
    EXPECT_EQ(Scalar(DbPath(), "SELECT count(*) FROM ContactDetail"), "3");  // two details, one dial number
}

TEST_F(BuildDb, WithoutNameColumnNothingIsWritten) {
    FillTable(m_map, {"Firma", "Tel", "Mail"}, {"C", "PD", "E"},
              {{"f1", "0301234", "m1"}, {"f2", "0305678", "m2"}, {"f3", "0309", "m3"}});
    ASSERT_EQ(Build(), 0);
    EXPECT_TRUE(Contacts().empty());
    EXPECT_TRUE(Details().empty());
    EXPECT_EQ(Scalar(DbPath(), "SELECT count(*) FROM ContactBook"), "1");
    EXPECT_EQ(m_hooks.m_nSteps, 3);
}

TEST_F(BuildDb, SameHeaderTwiceKeepsBothValues) {
    FillTable(m_map, {"Name", "Tel", "Tel"}, {"N", "E", "L"}, {{"n", "first", "second"}, {"m", "", "only"}});
    ASSERT_EQ(Build(), 0);
    EXPECT_EQ(Query(DbPath(),
                    "SELECT ContactId, PropertyKey, Value, PropertyType, Position FROM ContactDetail "
                    "ORDER BY ContactId, PropertyKey"),
              (std::vector<Row>{{"0", "Tel", "first", "E", "1"},
                                {"0", "Tel (2)", "second", "L", "2"},
                                {"1", "Tel", "only", "L", "2"}}));
}

TEST_F(BuildDb, TwelveWordNameKeepsTenParts) {
    std::string name = "w1 w2 w3 w4 w5 w6 w7 w8 w9 w10 w11 w12";
    FillTable(m_map, {"Name"}, {"N"}, {{name}});
    ASSERT_EQ(Build(), 0);
    EXPECT_EQ(Contacts(),
              (std::vector<Row>{
                  ContactRow("0", name, "", {"w1", "w2", "w3", "w4", "w5", "w6", "w7", "w8", "w9", "w10"})}));
}

// Values are stored exactly as the cells hold them, whatever they contain.
TEST_F(BuildDb, ValuesAreStoredByteForByte) {
    const std::vector<std::string> values = {
        "O'Brien",
        "'); DROP TABLE Contact;--",
        "''",
        "%s%n%d %%",
        "a\"b\\c;",
        "\xff\xfe raw bytes \x80",
        "line\nbreak\ttab",
        std::string(1025, 'v'),  // the longest value read
    };
    std::vector<std::vector<Cell>> rows;
    for (size_t i = 0; i < values.size(); ++i)
        rows.push_back({"Name " + std::to_string(i), values[i], values[i]});
    rows.push_back({"Too long", std::string(1026, 'v'), "kept"});
    rows.push_back({std::string(1024, 'n'), "max name", ""});
    rows.push_back({std::string(1025, 'n'), "name too long", "no details either"});
    FillTable(m_map, {"Name", "Firma", "Memo'"}, {"N", "C", "-"}, rows);
    ASSERT_EQ(Build(), 0);

    auto contacts = Query(DbPath(), "SELECT ContactId, Name, Company FROM Contact ORDER BY ContactId");
    ASSERT_EQ(contacts.size(), values.size() + 2);
    for (size_t i = 0; i < values.size(); ++i) {
        EXPECT_EQ(contacts[i][1], "Name " + std::to_string(i));
        // The company is read with room for 1024 characters.
        EXPECT_EQ(contacts[i][2], values[i].size() <= 1024 ? values[i] : "");
    }
    EXPECT_EQ(contacts[values.size()][2], "");
    EXPECT_EQ(contacts[values.size() + 1][1], std::string(1024, 'n'));

    auto details =
        Query(DbPath(), "SELECT ContactId, PropertyKey, Value FROM ContactDetail ORDER BY ContactId");
    ASSERT_EQ(details.size(), values.size() + 1);
    for (size_t i = 0; i < values.size(); ++i) {
        EXPECT_EQ(details[i][1], "Memo'");
        EXPECT_EQ(details[i][2], values[i]);
    }
    EXPECT_EQ(details[values.size()][2], "kept");
    EXPECT_EQ(Scalar(DbPath(), "SELECT count(*) FROM sqlite_master WHERE type='table'"), "4");
}

TEST_F(BuildDb, TransactionClosesAfter25000InsertCalls) {
    std::vector<std::vector<Cell>> rows;
    for (int i = 0; i < 25001; ++i) rows.push_back({std::string("n").append(std::to_string(i))});
    FillTable(m_map, {"Name"}, {"N"}, rows);
    // What another connection sees of the file right after the 24999th and
    // the 25000th row of the contact pass.
    std::string seenBefore, seenAfter;
    m_hooks.m_onStep = [&](int step) {
        if (step == 24999) seenBefore = Scalar(DbPath(), "SELECT count(*) FROM Contact");
        if (step == 25000) seenAfter = Scalar(DbPath(), "SELECT count(*) FROM Contact");
    };
    ASSERT_EQ(Build(), 0);
    EXPECT_EQ(seenBefore, "<none>");  // nothing committed yet, not even the tables
    EXPECT_EQ(seenAfter, "25000");
    EXPECT_EQ(Scalar(DbPath(), "SELECT count(*) FROM Contact"), "25001");
}

TEST_F(BuildDb, InsertCountRunsOnAcrossBothPasses) {
    // 20000 contacts, then details: the 25000th call is the 5000th detail.
    std::vector<std::vector<Cell>> rows;
    for (int i = 0; i < 20000; ++i) rows.push_back({"n", "d"});
    FillTable(m_map, {"Name", "Memo"}, {"N", "-"}, rows);
    std::string seen;
    m_hooks.m_onStep = [&](int step) {
        if (step == 20000 + 5000) seen = Scalar(DbPath(), "SELECT count(*) FROM ContactDetail");
    };
    ASSERT_EQ(Build(), 0);
    EXPECT_EQ(seen, "5000");
    // The indexes are made over the finished tables: every page of theirs
    // lies above the tables' pages (indexes kept up row by row interleave).
    const std::string made = "(SELECT name FROM sqlite_master WHERE type = 'index' AND sql IS NOT NULL)";
    EXPECT_EQ(Scalar(DbPath(), "SELECT (SELECT min(pageno) FROM dbstat WHERE name IN " + made +
                                   ") > (SELECT max(pageno) FROM dbstat WHERE name NOT IN " + made + ")"),
              "1");
}

TEST_F(BuildDb, StopCommitsWhatWasWrittenAndCloses) {
    struct Case {
        const char* name;
        int stopAtStep;
        const char* contacts;
        const char* details;
    };
    for (const Case& c : {Case{"contacts", 2, "3", "0"}, Case{"details", 6, "4", "3"}}) {
        SCOPED_TRACE(c.name);
        FillTable(m_map, {"Name", "Memo"}, {"N", "E"}, {{"a", "1"}, {"b", "2"}, {"c", "3"}, {"d", "4"}});
        CRecordingHooks hooks;
        hooks.m_stopWhen = [&](int steps) { return steps >= c.stopAtStep; };
        EXPECT_EQ(Build(&hooks), -1);
        EXPECT_EQ(Scalar(DbPath(), "SELECT count(*) FROM Contact"), c.contacts);
        EXPECT_EQ(Scalar(DbPath(), "SELECT count(*) FROM ContactDetail"), c.details);
        EXPECT_EQ(hooks.m_nSteps, c.stopAtStep);
        std::remove(DbPath().c_str());
    }
}

// A stop request after the last row ends the build while the indexes are
// built: between two index statements, and inside SQLite's work on one.
TEST_F(BuildDb, StopWhileTheIndexesAreBuilt) {
    std::vector<std::vector<Cell>> rows;
    for (int i = 0; i < 3000; ++i)
        rows.push_back({"name " + std::to_string(i), "value " + std::to_string(i)});
    const int nRowLooks = 3000 + 3000;  // the contact pass and the one details column
    for (int nStopAtLook : {nRowLooks + 1, nRowLooks + 2}) {
        SCOPED_TRACE(nStopAtLook);
        FillTable(m_map, {"Name", "Memo"}, {"N", "E"}, rows);
        class CCountingLooks : public CRecordingHooks {
        public:
            bool IsStopRequested() override { return ++m_nLooks >= m_nStopAt; }
            int m_nLooks = 0;
            int m_nStopAt = 0;
        } hooks;
        hooks.m_nStopAt = nStopAtLook;
        EXPECT_EQ(Build(&hooks), -1);
        EXPECT_EQ(hooks.m_nSteps, nRowLooks);
        // Nothing is looked at once the stop was seen.
        EXPECT_EQ(hooks.m_nLooks, nStopAtLook);
        ASSERT_FALSE(hooks.m_infoTexts.empty());
        EXPECT_EQ(hooks.m_infoTexts.back(), "Finishing the database ...");
        // Seen inside the first index statement, not once it ended.
        EXPECT_EQ(
            Scalar(DbPath(), "SELECT count(*) FROM sqlite_master WHERE type = 'index' AND sql IS NOT NULL"),
            "0");
        std::remove(DbPath().c_str());
    }
}

TEST_F(BuildDb, UnopenableFileFailsWithoutWriting) {
    // A folder in the way of the database file.
    ASSERT_EQ(mkdir(DbPath().c_str(), 0700), 0);
    FillTable(m_map, {"Name"}, {"N"}, {{"a"}});
    EXPECT_EQ(Build(), -1);
    EXPECT_EQ(m_hooks.m_nSteps, 0);
    EXPECT_TRUE(m_hooks.m_infoTexts.empty());
}

TEST_F(BuildDb, FileLockedByAnotherConnectionFails) {
    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open(DbPath().c_str(), &other), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(other, "BEGIN EXCLUSIVE; CREATE TABLE x (a);", nullptr, nullptr, nullptr),
              SQLITE_OK);
    FillTable(m_map, {"Name"}, {"N"}, {{"a"}});
    EXPECT_EQ(Build(), -1);
    sqlite3_exec(other, "ROLLBACK;", nullptr, nullptr, nullptr);
    sqlite3_close(other);
}

TEST_F(BuildDb, NoHooksStillBuilds) {
    FillTable(m_map, {"Name", "Tel"}, {"N", "PD"}, {{"a", "030 1"}});
    CQVXDBBuilder builder(qvxdbtest::kBuildSeconds);
    ASSERT_EQ(builder.BuildDb(m_map, nullptr), 0);
    EXPECT_EQ(Scalar(DbPath(), "SELECT count(*) FROM ContactDetail"), "2");
}

// The single operations, on an open connection with the schema.
class Inserts : public qvxdbtest::CBuildSandbox {
protected:
    void SetUp() override {
        CBuildSandbox::SetUp();
        m_pBuilder = std::make_unique<CQVXDBBuilder>(qvxdbtest::kBuildSeconds);
        ASSERT_EQ(m_pBuilder->OpenDB(), 0);
        ASSERT_EQ(m_pBuilder->CreateTables(), 0);
    }
    std::vector<Row> Details() {
        m_pBuilder->CloseDB();
        return Query(DbPath(),
                     "SELECT ContactId, PropertyKey, Value, PropertyType, Position FROM ContactDetail");
    }
    // Made in SetUp, once the program folder points into the sandbox.
    std::unique_ptr<CQVXDBBuilder> m_pBuilder;
};

TEST_F(Inserts, DialNumberRules) {
    EXPECT_EQ(m_pBuilder->InsertContactDetail(1, "Mobil", "n/a", "PD", 3), qvxdb::kErrDialNumber);
    EXPECT_EQ(m_pBuilder->InsertContactDetail(1, "Fax", "1", "PD", 4), qvxdb::kErrDialNumber);
    EXPECT_EQ(m_pBuilder->InsertContactDetail(1, "Tel", "+", "PD", 5), qvxdb::kErrDialNumber);
    EXPECT_EQ(m_pBuilder->InsertContactDetail(1, "Tel", "x1", "PD", 5), qvxdb::kErrDialNumber);
    EXPECT_EQ(m_pBuilder->InsertContactDetail(2, "Tel", "030 12", "PD", 5), 0);
    EXPECT_EQ(m_pBuilder->InsertContactDetail(2, "Other", "o", "-", 6), 0);
    EXPECT_EQ(m_pBuilder->InsertContactDetail(2, "Custom", "c", "Z9", 7), 0);
    EXPECT_EQ(Details(), (std::vector<Row>{
                             {"2", "qVx_Tel", "03012", "P", "2147483647"},
                             {"2", "Tel", "030 12", "PD", "5"},
                             {"2", "Other", "o", "", "6"},
                             {"2", "Custom", "c", "Z9", "7"},
                         }));
}

TEST_F(Inserts, ClosedConnectionAnswersMinus110) {
    m_pBuilder->CloseDB();
    EXPECT_EQ(m_pBuilder->InsertContactBook(1, "a", "b"), qvxdb::kErrNotOpen);
    EXPECT_EQ(m_pBuilder->InsertContactGroup(1, 2, "a", "b"), qvxdb::kErrNotOpen);
    EXPECT_EQ(m_pBuilder->InsertContact(1, "a", "b", 1, 100), qvxdb::kErrNotOpen);
    EXPECT_EQ(m_pBuilder->InsertContactDetail(1, "k", "v", "E", 0), qvxdb::kErrNotOpen);
    EXPECT_EQ(m_pBuilder->InsertContactDetail(1, "k", "030 1", "PD", 0), qvxdb::kErrNotOpen);
    EXPECT_EQ(m_pBuilder->CreateTables(), qvxdb::kErrNotOpen);
}

TEST_F(Inserts, SchemaOnAnExistingFileFailsButReplacesNothing) {
    ASSERT_EQ(m_pBuilder->InsertContact(5, "Old", "", 1, 100), 0);
    EXPECT_EQ(m_pBuilder->InsertContact(5, "New", "x", 1, 100), 0);  // same key: replaced
    // CREATE INDEX on an existing index fails; the last statement's result is returned.
    EXPECT_EQ(m_pBuilder->CreateTables(), qvxdb::kErrExecute);
    m_pBuilder->CloseDB();
    EXPECT_EQ(Scalar(DbPath(), "SELECT count(*) FROM Contact"), "0");  // emptied by the DELETEs
}

}  // namespace
