// The database built from a fixture file must hold what the reference
// database holds: the same schema texts in the same order and the same rows
// in the same order, value and type. reference.db was written by the builder
// that kept the indexes up to date row by row; however the writing is done,
// the content may not change.
//
// To write the reference anew (only when the content changes on purpose):
//   QVX_WRITE_REFERENCE_DB=tests/fixtures/database/reference.db build/bin/database_test_BuildReference
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "BuildTestUtil.h"
#include "DbTestUtil.h"
#include "TestUtil.h"
#include "import/AnalysisStep.h"
#include "import/CSVParser.h"

namespace {

using qvxdbtest::Query;
using qvxdbtest::Row;
using qvxdbtest::Scalar;

// Every stored value with its type, table by table in rowid order.
const char* const kContentQueries[] = {
    "SELECT type, name, tbl_name, sql FROM sqlite_master WHERE sql IS NOT NULL ORDER BY rowid",
    "SELECT ContactBookId, Name, Description, Visible, typeof(Name), typeof(Visible) FROM ContactBook "
    "ORDER BY rowid",
    "SELECT ContactGroupId, ContactBookId, Name, Description, typeof(Name) FROM ContactGroup ORDER BY rowid",
    "SELECT ContactId, Name, Company, UpdateDate, ContactBookId, ContactGroupId, NPart0, NPart1, NPart2, "
    "NPart3, NPart4, NPart5, NPart6, NPart7, NPart8, NPart9, typeof(ContactId), typeof(Name), "
    "typeof(Company), typeof(NPart9) FROM Contact ORDER BY rowid",
    "SELECT ContactId, PropertyKey, Value, PropertyType, Position, typeof(ContactId), typeof(Value), "
    "typeof(PropertyType), typeof(Position) FROM ContactDetail ORDER BY rowid",
};

class BuildReference : public qvxdbtest::CBuildSandbox {};

TEST_F(BuildReference, FixtureBuildsTheReferenceContent) {
    const std::string csv = m_dir.File("reference.csv");
    const std::string map = m_dir.File("reference.map");
    qvxtest::WriteFile(csv, qvxtest::ReadFile(QVX_SOURCE_DIR "/tests/cases/reference/input.csv"));
    qvxtest::WriteFile(map, qvxtest::ReadFile(QVX_SOURCE_DIR "/tests/cases/reference/mapping.map"));

    CCSVParser parser;
    CDataMap table;
    ASSERT_EQ(parser.SetCSVFileName(csv.c_str()), 0);
    ASSERT_EQ(parser.SetMappingFileName(map.c_str()), 0);
    int csvState = CSV_STATE_CHOSEN;
    int mappingState = MAPPING_STATE_CHOSEN;
    ASSERT_EQ(AnalyzeCSVFile(parser, table, csvState, mappingState), 0);
    ASSERT_EQ(mappingState, MAPPING_STATE_COMPLETE);
    ASSERT_EQ(parser.ParseData(2), 0);

    qvxdbtest::CRecordingHooks hooks;
    CQVXDBBuilder builder(qvxdbtest::kBuildSeconds);
    ASSERT_EQ(builder.BuildDb(table, &hooks), 0);
    EXPECT_EQ(Scalar(DbPath(), "PRAGMA integrity_check"), "ok");

    if (const char* pszOut = std::getenv("QVX_WRITE_REFERENCE_DB")) {
        qvxtest::WriteFile(pszOut, qvxtest::ReadFile(DbPath()));
        GTEST_SKIP() << "reference written to " << pszOut;
    }

    const std::string reference = m_dir.File("reference.db");
    qvxtest::WriteFile(reference, qvxtest::ReadFile(qvxtest::FixturePath("database/reference.db")));
    for (const char* pszQuery : kContentQueries) {
        SCOPED_TRACE(pszQuery);
        bool bFailed = true;
        std::vector<Row> expected = Query(reference, pszQuery, &bFailed);
        ASSERT_FALSE(bFailed);
        ASSERT_FALSE(expected.empty());
        EXPECT_EQ(Query(DbPath(), pszQuery), expected);
    }
    // One step per row (69), then per named row (67) of each of the six detail columns.
    EXPECT_EQ(hooks.m_nSteps, 69 + 67 * 6);
}

}  // namespace
