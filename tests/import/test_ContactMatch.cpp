#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "import/ContactMatch.h"
#include "import/ContactRules.h"
#include "import/DataMap.h"

using namespace qvxmatch;

namespace {

MatchEntry Person(std::string name, std::vector<std::string> numbers, std::vector<std::string> emails = {}) {
    return {NameKey(name), std::string(), std::move(numbers), std::move(emails)};
}

MatchEntry CompanyAlone(std::string company, std::vector<std::string> numbers) {
    return {std::string(), NameKey(company), std::move(numbers), {}};
}

using Groups = std::vector<std::vector<size_t>>;

// Rows as the rules make them from a table: Name, Company, Phone (PD),
// Mobile (PD), E-Mail (E), Note (-).
class RuleRows {
public:
    explicit RuleRows(const std::vector<std::vector<std::string>>& cells) {
        const char* headers[] = {"Name", "Company", "Phone", "Mobile", "E-Mail", "Note"};
        const char* codes[] = {"N", "C", "PD", "PD", "E", "-"};
        m_map.SetColumnCount(6);
        for (int i = 0; i < 6; ++i) {
            m_map.GetHeaderRow()->SetField(i, headers[i]);
            m_map.GetMappingRow()->SetField(i, codes[i]);
        }
        for (size_t r = 0; r < cells.size(); ++r) {
            m_map.AddRow(static_cast<int>(r));
            CDataRow* pRow = m_map.NextRow();
            for (size_t c = 0; c < cells[r].size(); ++c)
                pRow->SetField(static_cast<int>(c), cells[r][c].c_str());
        }
        // The rows' keys point into the rules.
        m_rules.emplace(m_map);
        m_rows.resize(cells.size());
        m_map.Rewind();
        for (CContactRow& row : m_rows) m_rules->ReadRow(m_map.NextRow(), row);
        for (const CContactRow& row : m_rows) m_pointers.push_back(&row);
    }
    const std::vector<const CContactRow*>& Rows() const { return m_pointers; }

private:
    CDataMap m_map;
    std::optional<CContactRules> m_rules;
    std::vector<CContactRow> m_rows;
    std::vector<const CContactRow*> m_pointers;
};

std::vector<std::string> Details(const MergedContact& contact) {
    std::vector<std::string> out;
    for (const MergedDetail& d : contact.details) out.push_back(d.key + "=" + d.value);
    return out;
}

}  // namespace

TEST(ContactMatch, NumberFormsGiveOneKeyWithTheDefaultCountry) {
    CNumberKeys de("DE");
    const std::string key = de.Key("+49 171 1234567");
    EXPECT_EQ(key, "+491711234567");
    for (const char* form : {"0171/1234567", "+49 (0)171 1234567", "0049 171 1234567", "0171-123 45 67"})
        EXPECT_EQ(de.Key(form), key) << form;
    EXPECT_NE(de.Key("0171 1234568"), key);
    EXPECT_EQ(de.Key("+49 30 1234567 ext. 12"), "+49301234567;ext=12");

    // Without a country, national numbers compare by their digits; "00" still
    // reads as international.
    CNumberKeys none;
    EXPECT_EQ(none.Key("0171/1234567"), "01711234567");
    EXPECT_EQ(none.Key("0171 123 45 67"), none.Key("0171/1234567"));
    EXPECT_EQ(none.Key("0049 171 1234567"), key);
    EXPECT_EQ(de.Key("*100#"), "100");  // not a number to the library: its dial characters
}

TEST(ContactMatch, CountryComesFromTheLocale) {
    EXPECT_EQ(CountryOfLocale("de_DE.UTF-8"), "DE");
    EXPECT_EQ(CountryOfLocale("de_AT@euro"), "AT");
    EXPECT_EQ(CountryOfLocale("en_gb"), "GB");
    EXPECT_EQ(CountryOfLocale("C"), "");
    EXPECT_EQ(CountryOfLocale("POSIX"), "");
    EXPECT_EQ(CountryOfLocale("xx_QQ.UTF-8"), "");  // no such region
    EXPECT_EQ(CountryOfLocale(""), "");
    EXPECT_TRUE(IsKnownCountry("FR"));
    EXPECT_FALSE(IsKnownCountry("fr"));
}

TEST(ContactMatch, NamesFoldCaseAccentsAndWordOrder) {
    const std::string key = NameKey("Anna Müller");
    for (const char* form :
         {"Müller Anna", "MÜLLER, Anna", "anna mueller", "Anna  Muller", "Anna Mu\xCC\x88ller"})
        EXPECT_EQ(NameKey(form), key) << form;
    EXPECT_EQ(NameKey("Hans-Peter Weiß"), NameKey("hans peter weiss"));
    EXPECT_EQ(NameKey("Łukasz Żółć"), NameKey("lukasz zolc"));
    EXPECT_EQ(NameKey("Bjørn Ærø"), NameKey("bjorn aro"));
    EXPECT_EQ(NameKey("Liam O'Neill"), NameKey("Liam ONeill"));
    EXPECT_EQ(NameKey("ИВАН Петров"), NameKey("иван петров"));
    EXPECT_NE(NameKey("Anna Müller"), NameKey("Anna Maria Müller"));
    EXPECT_NE(NameKey("Anna Müller"), NameKey("Anne Müller"));
    EXPECT_EQ(NameKey(" - "), "");
    EXPECT_EQ(EmailKey("  Anna.Mueller@Example.ORG "), "anna.mueller@example.org");
}

TEST(ContactMatch, SureDuplicatesNeedTheNameAndASharedValue) {
    CNumberKeys keys("DE");
    const std::vector<MatchEntry> entries = {
        Person("Anna Müller", {"+49 171 1234567", "+49 30 5550000"}, {"anna@example.org"}),  // 0
        Person("Müller, Anna", {"0171/1234567"}),                                            // 1: same person
        Person("Peter Müller", {"030 5550000"}),                // 2: family: home number only
        Person("Anna Mueller", {}, {"ANNA@example.org "}),      // 3: same person by e-mail
        Person("Jan Berg", {"+49 89 1000-0"}),                  // 4: colleagues on a switchboard
        Person("Eva Stein", {"089 10000"}),                     // 5
        Person("Anna Müller", {"0160 9999999"}),                // 6: namesake
        Person("Jan Berg", {"+49 89 1000-0", "0151 2222222"}),  // 7: SIM copy of 4
        CompanyAlone("ACME GmbH", {"089 100 00"}),              // 8
        CompanyAlone("Acme  GmbH", {"+49 89 10000"}),           // 9: same company alone
    };
    const MatchResult result = FindDuplicates(entries, keys);
    EXPECT_EQ(result.groups, (Groups{{0, 1, 3}, {2}, {4, 7}, {5}, {6}, {8, 9}}));

    // Listed, never merged: the shared home number, the switchboard (one
    // group however many share it), the name alone.
    ASSERT_EQ(result.possible.size(), 3u);
    EXPECT_EQ(result.possible[0].groups, (std::vector<size_t>{0, 1}));
    EXPECT_EQ(result.possible[0].reasons, std::vector<Reason>{Reason::kSharedNumber});
    EXPECT_EQ(result.possible[0].values, std::vector<std::string>{"+49305550000"});
    EXPECT_EQ(result.possible[1].groups, (std::vector<size_t>{0, 4}));
    EXPECT_EQ(result.possible[1].reasons, std::vector<Reason>{Reason::kSameName});
    EXPECT_EQ(result.possible[2].groups, (std::vector<size_t>{2, 3, 5}));
    EXPECT_EQ(result.possible[2].reasons, std::vector<Reason>{Reason::kSharedNumber});
}

TEST(ContactMatch, NoChainJoinsTwoNames) {
    CNumberKeys keys("DE");
    // A-B share a number, B's name differs from A's; C has A's name and B's
    // e-mail; D has A's name and C's number: only the same names join.
    const std::vector<MatchEntry> entries = {
        Person("Tom Kurz", {"0171 1111111"}),
        Person("Tim Kurz", {"0171 1111111"}, {"kurz@example.org"}),
        Person("Tom Kurz", {"0171 3333333"}, {"kurz@example.org"}),
        Person("Kurz Tom", {"0171 3333333"}),
        CompanyAlone("Tom Kurz", {"0171 1111111"}),
    };
    const MatchResult result = FindDuplicates(entries, keys);
    EXPECT_EQ(result.groups, (Groups{{0}, {1}, {2, 3}, {4}}));
    for (const PossibleGroup& group : result.possible) EXPECT_GE(group.groups.size(), 2u);
}

TEST(ContactMatch, MergeKeepsEveryValueOnceWithUniqueKeys) {
    CNumberKeys keys("DE");
    RuleRows rows({
        {"Anna Muller", "", "+49 171 1234567 ::: 030 5550000", "", "anna@example.org", "likes tea"},
        {"Müller Anna", "ACME", "0171/1234567 ::: 0160 7777777", "0151 2222222", "ANNA@example.org",
         " likes tea "},
        {"Anna Maria Müller", "Other", "", "+49 (0)30 5550000", "a.m@example.org", "Phone (2)"},
    });
    const MergedContact merged = MergeContacts(rows.Rows(), keys);
    EXPECT_EQ(merged.name, "Anna Maria Müller");
    EXPECT_EQ(merged.company, "ACME");
    EXPECT_EQ(Details(merged), (std::vector<std::string>{
                                   "qVx_Phone=+491711234567",
                                   "Phone=+49 171 1234567",
                                   "qVx_Phone (2)=0305550000",
                                   "Phone (2)=030 5550000",
                                   "E-Mail=anna@example.org",
                                   "Note=likes tea",
                                   "qVx_Phone (3)=01607777777",  // the second row's "Phone (2)"
                                   "Phone (3)=0160 7777777",
                                   "qVx_Mobile=01512222222",
                                   "Mobile=0151 2222222",
                                   "E-Mail (2)=a.m@example.org",
                                   "Note (2)=Phone (2)",
                               }));
    for (const MergedDetail& d : merged.details) {
        if (d.key.starts_with("qVx_")) {
            EXPECT_EQ(d.type, "P");
            EXPECT_EQ(d.nPosition, qvxrules::kDialNumberPosition);
        }
    }
    // A company alone gives way to a person's name; one row stays as it is.
    RuleRows company({{"", "ACME GmbH", "089 10000"}, {"Jan Berg", "ACME GmbH", "089 10000"}});
    EXPECT_EQ(MergeContacts(company.Rows(), keys).name, "Jan Berg");
    const MergedContact one = MergeContacts(std::span(company.Rows()).first(1), keys);
    EXPECT_EQ(one.name, "ACME GmbH");
    EXPECT_EQ(Details(one), (std::vector<std::string>{"qVx_Phone=08910000", "Phone=089 10000"}));
    EXPECT_EQ(EntryOfRow(*company.Rows()[0]).nameKey, "");
    EXPECT_EQ(EntryOfRow(*company.Rows()[1]).numbers, std::vector<std::string>{"089 10000"});
}
