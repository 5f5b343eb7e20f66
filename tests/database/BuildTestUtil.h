// Helpers of the database writer tests: a filled table, recording hooks and
// a sandbox with language.ini and the program folder in a temporary folder.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "TestUtil.h"
#include "database/QVXDBBuilder.h"
#include "i18n/LanguageTable.h"
#include "import/DataMap.h"
#include "platform/ProgramPath.h"

namespace qvxdbtest {

// A cell that may be absent.
using Cell = std::optional<std::string>;

inline void FillTable(CDataMap& map, const std::vector<std::string>& headers,
                      const std::vector<std::string>& codes, const std::vector<std::vector<Cell>>& rows) {
    map.Reset(true);
    map.SetColumnCount(static_cast<int>(headers.size()));
    for (size_t i = 0; i < headers.size(); ++i) {
        map.GetHeaderRow()->SetField(static_cast<int>(i), headers[i].c_str());
        map.GetMappingRow()->SetField(static_cast<int>(i), codes[i].c_str());
    }
    for (const auto& cells : rows) {
        ASSERT_EQ(map.AddRow(map.GetRowCount()), 0);
        CDataRow* row = map.NextRow();
        for (size_t i = 0; i < cells.size(); ++i)
            if (cells[i]) row->SetField(static_cast<int>(i), cells[i]->c_str());
    }
}

class CRecordingHooks : public CBuildDbHooks {
public:
    void ReportStep() override {
        ++m_nSteps;
        if (m_onStep) m_onStep(m_nSteps);
    }
    bool IsStopRequested() override { return m_stopWhen && m_stopWhen(m_nSteps); }
    void SendInfoText(const char* pszText) override { m_infoTexts.emplace_back(pszText); }

    int m_nSteps = 0;
    std::vector<std::string> m_infoTexts;
    std::function<void(int)> m_onStep;
    std::function<bool(int)> m_stopWhen;
};

// The moment the tests build at: 15 June 2008, 10:00 UTC.
inline constexpr int32_t kBuildSeconds = 1213524000;

// language.ini from the fixtures and the program folder in a fresh folder;
// local time is UTC.
class CBuildSandbox : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("TZ", "UTC", 1);
        tzset();
        qvxtest::WriteFile(m_dir.File("language.ini"),
                           qvxtest::ReadFile(qvxtest::FixturePath("database/language.ini")));
        ASSERT_TRUE(SetLanguageFile(m_dir.File("language.ini").c_str()));
        ASSERT_TRUE(SetLanguage("English"));
        qvxplatform::SetProgramFolder(m_dir.Path());
    }
    void TearDown() override { qvxplatform::SetProgramFolder(""); }

    std::string DbPath() const { return m_dir.Path() + "/1213524000000_2008-06-15_full.db"; }

    qvxtest::TempDir m_dir;
};

}  // namespace qvxdbtest
