// The case folders of tests/cases: each input is built into a database the
// way "qvxbuild build" builds it, and the database, dumped as text, must
// equal the folder's expected.txt (tests/cases/README describes the folders
// and the dump). With QVX_UPDATE_CASES=1 the dumps are written instead.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "BuildTestUtil.h"
#include "DbTestUtil.h"
#include "TestUtil.h"
#include "import/ContactsFile.h"
#include "import/DataMap.h"
#include "import/ImportRows.h"
#include "support/TextDecoding.h"
#include "wizard/ImportPreview.h"
#include "wizard/ImportSession.h"
#include "wizard/ImportSet.h"

namespace {

namespace fs = std::filesystem;

const std::string kCases = QVX_SOURCE_DIR "/tests/cases";

bool Updating() {
    const char* update = std::getenv("QVX_UPDATE_CASES");
    return update != nullptr && std::string(update) == "1";
}

std::vector<std::string> CaseNames() {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(kCases))
        if (entry.is_directory()) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

std::string FileName(const std::string& path) {
    return path.substr(path.rfind('/') + 1);
}

// A text between double quotes; quotes, backslashes and control characters
// escaped so that every value stays on its line.
std::string Quoted(const std::string& text) {
    std::string out = "\"";
    for (const char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c == '\t') {
            out += "\\t";
        } else if (u < 0x20 || u == 0x7F) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", u);
            out += hex;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

std::string Value(sqlite3_stmt* stmt, int column) {
    switch (sqlite3_column_type(stmt, column)) {
        case SQLITE_NULL:
            return "NULL";
        case SQLITE_INTEGER:
            return std::to_string(sqlite3_column_int64(stmt, column));
        case SQLITE_FLOAT: {
            char number[40];
            std::snprintf(number, sizeof number, "%.17g", sqlite3_column_double(stmt, column));
            return number;
        }
        case SQLITE_BLOB: {
            std::string out = "x'";
            const auto* bytes = static_cast<const unsigned char*>(sqlite3_column_blob(stmt, column));
            for (int i = 0; i < sqlite3_column_bytes(stmt, column); ++i) {
                char hex[4];
                std::snprintf(hex, sizeof hex, "%02X", bytes[i]);
                out += hex;
            }
            return out + "'";
        }
        default: {
            const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, column));
            return Quoted(std::string(text, static_cast<size_t>(sqlite3_column_bytes(stmt, column))));
        }
    }
}

// "[title] column, column" and then one line per row.
bool DumpQuery(sqlite3* db, const std::string& title, const std::string& sql, std::string& out) {
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt, nullptr) != SQLITE_OK) return false;
    out += "[" + title + "]";
    for (int i = 0; i < sqlite3_column_count(stmt); ++i)
        out += std::string(i ? ", " : " ") + sqlite3_column_name(stmt, i);
    out += "\n";
    int rc;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
        for (int i = 0; i < sqlite3_column_count(stmt); ++i) {
            if (i) out += ", ";
            out += Value(stmt, i);
        }
        out += "\n";
    }
    sqlite3_finalize(stmt);
    return rc == SQLITE_DONE;
}

// The schema and every table's rows in stored (rowid) order, the order the
// phone reads them in. Page numbers are left out: they are layout, not content.
std::string DumpDatabase(const std::string& path) {
    std::string out;
    sqlite3* db = nullptr;
    bool ok = sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK;
    std::vector<std::string> tables;
    ok = ok && DumpQuery(db, "schema",
                         "SELECT type, name, tbl_name, sql FROM sqlite_master WHERE sql IS NOT NULL "
                         "ORDER BY rowid",
                         out);
    sqlite3_stmt* stmt = nullptr;
    if (ok && sqlite3_prepare_v2(db, "SELECT name FROM sqlite_master WHERE type = 'table' ORDER BY rowid", -1,
                                 &stmt, nullptr) == SQLITE_OK) {
        while (sqlite3_step(stmt) == SQLITE_ROW)
            tables.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0)));
    }
    sqlite3_finalize(stmt);
    for (const std::string& table : tables)
        ok = ok && DumpQuery(db, table, "SELECT * FROM \"" + table + "\" ORDER BY rowid", out);
    sqlite3_close(db);
    if (!ok) ADD_FAILURE() << "cannot dump " << path;
    return out;
}

// "3, 7, 12" or "-".
std::string Lines(const std::vector<int>& lines) {
    std::string out;
    for (const int nLine : lines) out += (out.empty() ? "" : ", ") + std::to_string(nLine);
    return out.empty() ? "-" : out;
}

// The build's counts, with the first lines of each kind: users are sent
// to these lines, so they are part of what a case checks.
std::string DumpTally(const ImportTally& tally) {
    std::string out =
        "rows: " + std::to_string(tally.nRows) + ", contacts: " + std::to_string(tally.nContacts) + "\n";
    out += "skipped rows: " + std::to_string(tally.nSkipped) + " (no name " + std::to_string(tally.nNoName) +
           ", name too long " + std::to_string(tally.nNameTooLong) + ")\n";
    out += "skipped lines: " + Lines(tally.skippedLines) + "\n";
    out += "values not stored: " + std::to_string(tally.nNotStored) + " in " +
           std::to_string(tally.nNotStoredRows) + " rows\n";
    out += "not stored lines: " + Lines(tally.notStoredLines) + "\n";
    return out;
}

// What the file's analysis found and how each column is mapped.
std::string DumpAnalysis(const CContactsFile& parser, CDataMap& table, int nMatched) {
    std::string out = "[file]\n";
    out += "encoding: " + std::string(TextEncodingName(parser.GetEncoding())) + "\n";
    out += "separator: " + Quoted(std::string(1, parser.m_cSeparator)) + "\n";
    out += "delimiter: " + Quoted(std::string(1, parser.m_cDelimiter)) + "\n";
    out += "columns: " + std::to_string(parser.m_nColumnCount) + "\n";
    out += "matched columns: " + std::to_string(nMatched) + "\n";
    out += "mismatched rows: " + std::to_string(parser.GetMismatchedCount()) + "\n";
    out += "mismatched lines: " + Lines(parser.GetMismatchedLines()) + "\n";
    out += "[columns] number, header, code\n";
    for (int j = 0; j < table.GetColumnCount(); ++j) {
        const auto header = table.GetHeaderRow()->PeekField(j);
        const auto code = table.GetMappingRow()->PeekField(j);
        out += std::to_string(j + 1) + ", " + Quoted(header ? std::string(*header) : "") + ", " +
               Quoted(code ? std::string(*code) : "") + "\n";
    }
    return out;
}

// The database's contacts and details, one line each, read by (ContactId)
// and (ContactId, PropertyKey) as the phone reads them.
std::string DumpContacts(const std::string& path) {
    sqlite3* db = nullptr;
    std::string out;
    bool ok = sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK;
    ok = ok &&
         DumpQuery(db, "contacts",
                   "SELECT ContactId, Name, Company, NPart0, NPart1, NPart2, NPart3, NPart4, NPart5, NPart6, "
                   "NPart7, NPart8, NPart9 FROM Contact ORDER BY ContactId",
                   out);
    ok = ok && DumpQuery(db, "details",
                         "SELECT ContactId, PropertyKey, Value, PropertyType, Position FROM ContactDetail "
                         "ORDER BY ContactId, PropertyKey",
                         out);
    sqlite3_close(db);
    if (!ok) ADD_FAILURE() << "cannot read " << path;
    return out;
}

// The same from the preview of the tables the database was built from; its
// counts and lines must be the build's.
std::string DumpPreview(const std::vector<CDataMap*>& tables, const ImportTally& built) {
    CImportPreview preview(ListImportRows(tables), std::vector<const CContactsFile*>(tables.size()));
    EXPECT_EQ(DumpTally(preview.Tally()), DumpTally(built)) << "the preview counts what the build counted";
    std::string contacts =
        "[contacts] ContactId, Name, Company, NPart0, NPart1, NPart2, NPart3, NPart4, NPart5, "
        "NPart6, NPart7, NPart8, NPart9\n";
    std::string details = "[details] ContactId, PropertyKey, Value, PropertyType, Position\n";
    CContactRow row;
    long long nDetails = 0;
    for (int i = 0; i < preview.GetCount(); ++i) {
        preview.Read(i, row);
        contacts += std::to_string(row.nKey) + ", " + Quoted(std::string(row.contact.name)) + ", " +
                    Quoted(std::string(row.contact.company));
        for (const std::string_view part : row.contact.parts) contacts += ", " + Quoted(std::string(part));
        contacts += "\n";
        for (const ContactDetailRow& detail : row.details.rows) {
            details += std::to_string(row.nKey) + ", " + Quoted(std::string(detail.key)) + ", " +
                       Quoted(std::string(detail.value)) + ", " + Quoted(std::string(detail.type)) + ", " +
                       std::to_string(detail.nPosition) + "\n";
            ++nDetails;
        }
    }
    EXPECT_EQ(preview.GetCount(), preview.Tally().nContacts);
    EXPECT_EQ(nDetails, preview.Tally().nDetails);
    return contacts + details;
}

// "name | company | numbers | e-mails" per contact in ContactId order, the
// numbers and e-mails as stored (PropertyType "PD" and "E"), in column order.
std::vector<std::string> People(const std::string& path) {
    std::vector<std::string> people;
    sqlite3* db = nullptr;
    sqlite3_stmt* contacts = nullptr;
    sqlite3_stmt* values = nullptr;
    const bool ok =
        sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK &&
        sqlite3_prepare_v2(db, "SELECT ContactId, Name, Company FROM Contact ORDER BY ContactId", -1,
                           &contacts, nullptr) == SQLITE_OK &&
        sqlite3_prepare_v2(db,
                           "SELECT Value FROM ContactDetail WHERE ContactId = ?1 AND PropertyType = ?2 "
                           "ORDER BY Position, PropertyKey",
                           -1, &values, nullptr) == SQLITE_OK;
    auto text = [](sqlite3_stmt* stmt, int column) {
        const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(stmt, column));
        return p ? std::string(p) : std::string();
    };
    while (ok && sqlite3_step(contacts) == SQLITE_ROW) {
        std::string line = text(contacts, 1) + " | " + text(contacts, 2);
        for (const char* type : {"PD", "E"}) {
            sqlite3_reset(values);
            sqlite3_bind_int(values, 1, sqlite3_column_int(contacts, 0));
            sqlite3_bind_text(values, 2, type, -1, SQLITE_STATIC);
            std::string list;
            while (sqlite3_step(values) == SQLITE_ROW) list += (list.empty() ? "" : ", ") + text(values, 0);
            line += " | " + list;
        }
        people.push_back(line);
    }
    if (!ok) ADD_FAILURE() << "cannot read " << path;
    sqlite3_finalize(contacts);
    sqlite3_finalize(values);
    sqlite3_close(db);
    return people;
}

struct CaseBuild {
    std::string chosen;                // the mapping chosen by itself, when the case gives none
    std::vector<std::string> fitting;  // every listed mapping that fits, when the case gives none
    int nMatched = 0;                  // columns the mapping names
};

// The analysis of "qvxbuild build INPUT [MAPPING]" by the import session
// itself: without a mapping, its own choice among the shipped mappings (for
// a vCard file the built-in one).
void AnalyseCase(CImportSession& session, const std::string& input, const std::string& mapping,
                 CaseBuild& result) {
    session.SetCollectSamples(false);
    session.ListMappings();
    ASSERT_EQ(session.SetCSVFile(input), CSV_STATE_CHOSEN);
    if (!mapping.empty()) {
        ASSERT_EQ(session.SetMappingFile(mapping), MAPPING_STATE_CHOSEN);
    }
    AnalysisOutcome outcome = session.Analyse(mapping.empty());
    ASSERT_EQ(outcome.nResult, 0);
    const bool bChosen = !outcome.autoChosenPath.empty();
    session.ApplyAnalysis(std::move(outcome));
    ASSERT_EQ(session.CSVState(), CSV_STATE_ANALYZED);
    if (mapping.empty()) {
        for (const std::string& path : session.FittingMappings()) result.fitting.push_back(FileName(path));
        ASSERT_TRUE(bChosen) << "no shipped mapping fits";
        result.chosen = FileName(session.SelectedMapping());
    }
    ASSERT_EQ(session.MappingState(), MAPPING_STATE_COMPLETE);
    // The built-in mapping names every column it makes.
    result.nMatched = session.BuiltInMappingChosen() ? session.Table().GetColumnCount()
                                                     : session.Parser().GetMatchedColumnCount();
}

struct BuiltCases {
    int nSteps = 0;
    ImportTally tally;  // the build's
};

// The rows step of all inputs together and the database.
BuiltCases BuildCases(CImportSet& set) {
    CImportData import = set.ImportData();
    ImportRowList rows;
    EXPECT_EQ(MakeImportRows(import.Files(), rows), 0);
    qvxdbtest::CRecordingHooks hooks;
    CQVXDBBuilder builder(qvxdbtest::kBuildSeconds);
    EXPECT_EQ(builder.BuildDb(rows, &hooks), 0);
    return BuiltCases{hooks.m_nSteps, builder.GetTally()};
}

class CaseFolder : public qvxdbtest::CBuildSandbox, public ::testing::WithParamInterface<std::string> {};

TEST_P(CaseFolder, BuildsTheExpectedDatabase) {
    const std::string folder = kCases + "/" + GetParam();
    // Several inputs (input-1.csv, input-2.vcf, ...) are built together, by name.
    std::vector<std::string> inputs;
    for (const auto& entry : fs::directory_iterator(folder))
        if (entry.path().stem().string().rfind("input", 0) == 0)
            inputs.push_back(entry.path().filename().string());
    std::sort(inputs.begin(), inputs.end());
    ASSERT_FALSE(inputs.empty()) << "a case has an input file";
    std::string mapping;
    if (qvxtest::FileExists(folder + "/mapping.map")) {
        ASSERT_EQ(inputs.size(), 1u) << "mapping.map is for a case of one input";
        mapping = m_dir.File("mapping.map");
        qvxtest::WriteFile(mapping, qvxtest::ReadFile(folder + "/mapping.map"));
    }

    // The shipped mappings from the source tree; the user's folder is the
    // sandbox's, which holds none.
    CImportSet set(QVX_SOURCE_DIR "/src/resources");
    std::vector<CaseBuild> builds(inputs.size());
    std::vector<CDataMap*> tables;
    std::string dump;
    std::string chosenNames;
    for (size_t i = 0; i < inputs.size(); ++i) {
        // Copied into the sandbox, as a user's file would lie beside the program.
        const std::string input = m_dir.File(inputs[i]);
        qvxtest::WriteFile(input, qvxtest::ReadFile(folder + "/" + inputs[i]));
        CImportSession& session = set.Append();
        ASSERT_NO_FATAL_FAILURE(AnalyseCase(session, input, mapping, builds[i]));
        tables.push_back(&session.Table());
        chosenNames += builds[i].chosen + "\n";
    }
    const BuiltCases built = BuildCases(set);
    for (size_t i = 0; i < inputs.size(); ++i) {
        if (inputs.size() > 1) dump += "input: " + inputs[i] + "\n";
        dump += DumpAnalysis(set.At(static_cast<int>(i)).Parser(), *tables[i], builds[i].nMatched);
    }

    // The preview shows exactly what the database holds.
    EXPECT_EQ(DumpPreview(tables, built.tally), DumpContacts(DbPath()));

    dump += "[build]\n";
    if (mapping.empty()) {
        for (const CaseBuild& build : builds) {
            std::string fitting;
            for (const std::string& name : build.fitting) fitting += (fitting.empty() ? "" : ", ") + name;
            dump += "fitting mappings: " + fitting + "\n";
        }
    }
    dump += "progress steps: " + std::to_string(built.nSteps) + "\n";
    dump += DumpTally(built.tally);
    EXPECT_EQ(qvxdbtest::Scalar(DbPath(), "PRAGMA integrity_check"), "ok");
    dump += DumpDatabase(DbPath());

    // The people a case must give, written by hand from its input.
    if (qvxtest::FileExists(folder + "/people.txt")) {
        std::vector<std::string> want;
        for (const std::string& line : qvxtest::ReadLines(folder + "/people.txt"))
            if (!line.empty() && line[0] != '#') want.push_back(line);
        EXPECT_EQ(People(DbPath()), want) << "people.txt";
    }

    const std::string expected = folder + "/expected.txt";
    const std::string chosen = folder + "/chosen.txt";
    if (Updating()) {
        qvxtest::WriteFile(expected, dump);
        if (mapping.empty()) qvxtest::WriteFile(chosen, chosenNames);
        GTEST_SKIP() << "written " << expected;
    }
    if (mapping.empty()) {
        ASSERT_TRUE(qvxtest::FileExists(chosen)) << "a case without mapping.map names the chosen one";
        EXPECT_EQ(chosenNames, qvxtest::ReadFile(chosen));
    }
    ASSERT_TRUE(qvxtest::FileExists(expected)) << "run with QVX_UPDATE_CASES=1 to write it";
    // Line by line, so that a failure names the rows that differ.
    const std::vector<std::string> want = qvxtest::ReadLines(expected);
    std::vector<std::string> got;
    for (size_t start = 0; start < dump.size();) {
        const size_t end = std::min(dump.find('\n', start), dump.size());
        got.push_back(dump.substr(start, end - start));
        start = end + 1;
    }
    int nShown = 0;
    for (size_t i = 0; i < std::max(got.size(), want.size()) && nShown < 10; ++i) {
        const std::string* pGot = i < got.size() ? &got[i] : nullptr;
        const std::string* pWant = i < want.size() ? &want[i] : nullptr;
        if (pGot && pWant && *pGot == *pWant) continue;
        ADD_FAILURE() << "expected.txt line " << i + 1 << "\n  expected: " << (pWant ? *pWant : "(end)")
                      << "\n  built:    " << (pGot ? *pGot : "(end)");
        ++nShown;
    }
    EXPECT_EQ(got.size(), want.size()) << "lines";
}

INSTANTIATE_TEST_SUITE_P(Cases, CaseFolder, ::testing::ValuesIn(CaseNames()),
                         [](const ::testing::TestParamInfo<std::string>& info) {
                             std::string name;
                             for (const char c : info.param)
                                 name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
                             return name;
                         });

}  // namespace
