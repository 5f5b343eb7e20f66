// The preview's filter: which rows a typed text lists, letter case of ASCII
// and Latin-1 ignored, and a filter that first narrows and then widens again.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "import/DataMap.h"
#include "import/DataRow.h"
#include "wizard/ImportPreview.h"

namespace {

class PreviewFilter : public ::testing::Test {
protected:
    void SetUp() override {
        const std::vector<std::string> headers = {"Name", "Firma", "Mail"};
        const std::vector<std::string> codes = {"N", "C", "E"};
        const std::vector<std::vector<std::string>> rows = {
            {"\xc3\x84RZTE M\xc3\xbcller", "", "info@praxis.de"},  // ÄRZTE Müller
            {"Bob",
             "Stra\xc3\x9f"
             "e AG",
             ""},                     // Straße AG
            {"", "", "ghost@x"},      // gives no contact
            {"\xc3\x96zil", "", ""},  // Özil
        };
        m_table.SetColumnCount(static_cast<int>(headers.size()));
        for (size_t j = 0; j < headers.size(); ++j) {
            m_table.GetHeaderRow()->SetField(static_cast<int>(j), headers[j].c_str());
            m_table.GetMappingRow()->SetField(static_cast<int>(j), codes[j].c_str());
        }
        for (const auto& cells : rows) {
            ASSERT_EQ(m_table.AddRow(m_table.GetRowCount()), 0);
            CDataRow* row = m_table.NextRow();
            for (size_t j = 0; j < cells.size(); ++j)
                if (!cells[j].empty()) row->SetField(static_cast<int>(j), cells[j].c_str());
        }
    }

    static std::vector<int> Listed(const CImportPreview& preview) {
        std::vector<int> keys;
        CContactRow row;
        for (int i = 0; i < preview.GetCount(); ++i) {
            preview.Read(i, row);
            keys.push_back(row.nKey);
        }
        return keys;
    }

    CDataMap m_table;
};

TEST_F(PreviewFilter, ListsTheRowsHoldingTheText) {
    struct Case {
        const char* filter;
        bool bShowSkipped;
        std::vector<int> keys;
    };
    const std::vector<Case> cases = {
        {"", false, {0, 1, 3}},
        {"", true, {0, 1, 2, 3}},
        {"\xc3\xa4rzte", false, {0}},    // "ärzte" finds "ÄRZTE"
        {"M\xc3\x9cLLER", false, {0}},   // "MÜLLER" finds "Müller"
        {"PRAXIS", false, {0}},          // a detail value
        {"bob", false, {1}},             // as long as the whole name
        {"INFO@PRAXIS.DE", false, {0}},  // ... and as a whole detail value
        {"strasse", false, {}},          // "ß" is no "ss" here
        {"STRA\xc3\x9f"
         "E",
         false,
         {1}},                 // the company
        {"ghost", false, {}},  // only a skipped row holds it
        {"ghost", true, {2}},  // ... and its cells are searched
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.filter);
        CImportPreview preview(m_table);
        preview.SetShowSkipped(c.bShowSkipped);
        preview.SetFilter(c.filter);
        EXPECT_EQ(Listed(preview), c.keys);
    }
}

TEST_F(PreviewFilter, NarrowsAndWidensAgain) {
    CImportPreview preview(m_table);
    EXPECT_EQ(preview.Tally().nContacts, 3);
    preview.SetFilter("o");
    EXPECT_EQ(Listed(preview), (std::vector<int>{0, 1}));
    preview.SetFilter("ob");  // narrows what "o" left
    EXPECT_EQ(Listed(preview), (std::vector<int>{1}));
    preview.SetFilter("\xc3\xb6");  // "ö" is not within "ob": every row is searched again
    EXPECT_EQ(Listed(preview), (std::vector<int>{3}));
    preview.SetFilter("");
    EXPECT_EQ(Listed(preview), (std::vector<int>{0, 1, 3}));
}

}  // namespace
