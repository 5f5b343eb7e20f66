// What one row gives by the contact rules, written as a line of text per
// case, and the two rules the database builder shares with them.
#include <gtest/gtest.h>

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "import/ContactRules.h"
#include "import/DataMap.h"
#include "import/DataRow.h"

namespace {

using Cell = std::optional<std::string>;

// A table of one data row under the given headers and codes.
void FillTable(CDataMap& map, const std::vector<std::string>& headers, const std::vector<std::string>& codes,
               const std::vector<Cell>& cells) {
    map.Reset(true);
    map.SetColumnCount(static_cast<int>(headers.size()));
    for (size_t i = 0; i < headers.size(); ++i) {
        map.GetHeaderRow()->SetField(static_cast<int>(i), headers[i].c_str());
        map.GetMappingRow()->SetField(static_cast<int>(i), codes[i].c_str());
    }
    ASSERT_EQ(map.AddRow(0), 0);
    CDataRow* row = map.NextRow();
    for (size_t i = 0; i < cells.size(); ++i)
        if (cells[i]) row->SetField(static_cast<int>(i), cells[i]->c_str());
}

// "skip N" or "name|company|part part ..." then "; key=value/type/position"
// per detail row and "; not stored: column column ..." when any.
std::string Describe(const CContactRow& row) {
    if (row.skip != qvxrules::SkipReason::kNone)
        return std::string("skip ").append(std::to_string(static_cast<int>(row.skip)));
    std::string text = std::string(row.contact.name) + "|" + std::string(row.contact.company) + "|";
    for (const std::string_view part : row.contact.parts)
        if (!part.empty()) text += std::string(part) + " ";
    for (const ContactDetailRow& d : row.details.rows)
        text.append("; ")
            .append(d.key)
            .append("=")
            .append(d.value)
            .append("/")
            .append(d.type)
            .append("/")
            .append(std::to_string(d.nPosition));
    std::vector<NotStoredValue> notStored = row.contact.notStored;
    notStored.insert(notStored.end(), row.details.notStored.begin(), row.details.notStored.end());
    if (!notStored.empty()) text += "; not stored:";
    for (const NotStoredValue& v : notStored) text.append(" ").append(std::to_string(v.nColumn));
    return text;
}

TEST(ContactRules, ReadRowTable) {
    struct Case {
        const char* what;
        std::vector<std::string> headers;
        std::vector<std::string> codes;
        std::vector<Cell> cells;
        std::string expected;
    };
    const std::string k1024(1024, 'n');
    const std::string k1025(1025, 'v');
    const std::string dial = "/P/2147483647";
    const std::vector<Case> cases = {
        {"list: parts trimmed, empty ones dropped, a dropped part still counts",
         {"Name", "Tel"},
         {"N", "PD"},
         {"Anna", " 0711 1 :::  ::: x ::: +49 (0)30 2"},
         "Anna||Anna ; qVx_Tel=07111" + dial + "; Tel=0711 1/PD/1; qVx_Tel (3)=+49302" + dial +
             "; Tel (3)=+49 (0)30 2/PD/1; not stored: 1"},
        {"lists of e-mails and locations, a plain column keeps its \":::\"",
         {"Name", "Mail", "Ort", "Note"},
         {"N", "E", "L", "-"},
         {"Bo", "a@x:::b@y", "Weg 1 :::", "a ::: b"},
         "Bo||Bo ; Mail=a@x/E/1; Mail (2)=b@y/E/1; Ort=Weg 1/L/2; Note=a ::: b//3"},
        {"name cells joined, parts cut at blanks and hyphens",
         {"Vorname", "Nachname", "Firma"},
         {"N", "N", "C"},
         {"Anna-Lena", "van  der Berg", "ACME"},
         "Anna-Lena van  der Berg|ACME|Anna Lena van der Berg "},
        {"company only: it is the name too",
         {"Name", "Firma", "Mail"},
         {"N", "C", "E"},
         {"", "ACME-Werk GmbH", "info@acme"},
         "ACME-Werk GmbH|ACME-Werk GmbH|ACME Werk GmbH ; Mail=info@acme/E/2"},
        {"neither name nor company", {"Name", "Firma", "Mail"}, {"N", "C", "E"}, {"", "", "x@y"}, "skip 1"},
        {"no name column at all", {"Firma"}, {"C"}, {"ACME"}, "skip 1"},
        {"a joined name over the limit", {"A", "B"}, {"N", "N"}, {k1024, "x"}, "skip 2"},
        {"a name cell over the limit is left out of the name",
         {"A", "B"},
         {"N", "N"},
         {k1024 + "n", "Bo"},
         "Bo||Bo ; not stored: 0"},
        {"a company over the limit",
         {"Name", "Firma"},
         {"N", "C"},
         {"Bo", std::string(1025, 'c')},
         "Bo||Bo ; not stored: 1"},
        {"values up to the limit are stored",
         {"Name", "Mail", "Note"},
         {"N", "E", "-"},
         {"Bo", k1025, k1025 + "v"},
         "Bo||Bo ; Mail=" + k1025 + "/E/1; not stored: 2"},
        {"hidden columns give nothing; two columns of one header both keep their value",
         {"Name", "Tel", "Secret", "Tel"},
         {"N", "E", "X", "PD"},
         {"Bo", "first", "s", "0711"},
         "Bo||Bo ; Tel=first/E/1; qVx_Tel (2)=0711" + dial + "; Tel (2)=0711/PD/3"},
        {"a list part and a column of the same key: the later value takes the next free number",
         {"Name", "Phone 1 - Value", "Phone 1 - Value (2)", "Mail", "Mail (2)"},
         {"N", "PD", "PD", "E", "E"},
         {"Bo", "0711 ::: 0712", "0713", "a@x", "b@y ::: c@z ::: d@w"},
         "Bo||Bo ; qVx_Phone 1 - Value=0711" + dial +
             "; Phone 1 - Value=0711/PD/1; qVx_Phone 1 - Value (2)=0712" + dial +
             "; Phone 1 - Value (2)=0712/PD/1; qVx_Phone 1 - Value (3)=0713" + dial +
             "; Phone 1 - Value (3)=0713/PD/2; Mail=a@x/E/3; Mail (2)=b@y/E/4; Mail (2) (2)=c@z/E/4; "
             "Mail (2) (3)=d@w/E/4"},
        {"a value not stored takes no key; a header like a dial key gets its own",
         {"Name", "Tel", "Tel", "qVx_Tel"},
         {"N", "PD", "PD", "-"},
         {"Bo", "n/a", "0711", "x"},
         "Bo||Bo ; qVx_Tel=0711" + dial + "; Tel=0711/PD/2; qVx_Tel (2)=x//3; not stored: 1"},
        {"a phone value without two dial characters",
         {"Name", "Tel"},
         {"N", "PD"},
         {"Bo", "n/a 1"},
         "Bo||Bo ; not stored: 1"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CDataMap map;
        ASSERT_NO_FATAL_FAILURE(FillTable(map, c.headers, c.codes, c.cells));
        const CContactRules rules(map);
        map.Rewind();
        CContactRow row;
        rules.ReadRow(map.NextRow(), row);
        const std::string got = Describe(row);
        EXPECT_EQ(got, c.expected);
    }
}

TEST(ContactRules, SplitName) {
    const std::string long1024(1024, 'x');
    const std::vector<std::pair<std::string, std::vector<std::string>>> cases = {
        {"Anna-Lena van der Berg", {"Anna", "Lena", "van", "der", "Berg"}},
        {"", {}},
        {"  --Max-- ", {"Max"}},
        {"a b c d e f g h i j k l", {"a", "b", "c", "d", "e", "f", "g", "h", "i", "j"}},
        {"tab\tstays", {"tab\tstays"}},
        {"M\xc3\xbcller-L\xc3\xbc", {"M\xc3\xbcller", "L\xc3\xbc"}},
        {long1024, {long1024}},
    };
    for (const auto& [name, expected] : cases) {
        SCOPED_TRACE(name.substr(0, 40));
        std::array<std::string_view, qvxrules::kNameParts> parts;
        parts.fill("stale");
        qvxrules::SplitName(name, parts);
        std::vector<std::string> want = expected;
        want.resize(qvxrules::kNameParts);
        for (size_t i = 0; i < parts.size(); ++i) EXPECT_EQ(std::string(parts[i]), want[i]) << i;
    }
}

TEST(ContactRules, DialNumber) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"+49 (0)171 123-456", "+49171123456"},
        {"0171/123456", "0171123456"},
        {"++49", "+49"},
        {"0+49", "049"},
        {"(0)12", "12"},
        {"(0 )12", "012"},
        {"Tel. 030 (0) 1", "0301"},
        {"  +4", "+4"},
        {"n/a", ""},
        {"1", "1"},
        {"", ""},
        {"\xef\xbc\x91\xef\xbc\x92", ""},  // full-width digits are not digits
    };
    for (const auto& [value, number] : cases) {
        SCOPED_TRACE(value);
        std::string out(value.size(), '\0');
        out.resize(qvxrules::DialNumber(value, out.data()));
        EXPECT_EQ(out, number);
    }
}

}  // namespace
