#include "import/ContactMatch.h"

#include <phonenumbers/logger.h>
#include <phonenumbers/phonenumberutil.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <set>
#include <unordered_map>
#include <unordered_set>

#include "import/ContactRules.h"
#include "import/MappingCodes.h"
#include "support/Utf8.h"

namespace qvxmatch {

namespace {

namespace pn = i18n::phonenumbers;

constexpr std::string_view kDialKeyPrefix = "qVx_";
constexpr std::string_view kDialType = "P";
constexpr size_t kSuffixDigits = 7;

// The library, with its logger silenced; null when it could not be made.
const pn::PhoneNumberUtil* Util() {
    static const pn::PhoneNumberUtil* pUtil = []() -> const pn::PhoneNumberUtil* {
        try {
            pn::PhoneNumberUtil* p = pn::PhoneNumberUtil::GetInstance();
            if (p != nullptr) p->SetLogger(new pn::NullLogger());
            return p;
        } catch (...) {
            return nullptr;
        }
    }();
    return pUtil;
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

std::string_view Trim(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
    return text;
}

char AsciiLower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// A leading "+" and the digits, "(0)" skipped: as the rules make dial numbers.
std::string DialCharacters(std::string_view value) {
    std::string out;
    for (size_t i = 0; i < value.size(); ++i) {
        const char c = value[i];
        if (c == '+' && out.empty()) {
            out.push_back(c);
        } else if (c == '(' && value.substr(i, 3) == "(0)") {
            i += 2;
        } else if (c >= '0' && c <= '9') {
            out.push_back(c);
        }
    }
    return out;
}

// The last digits of a number with their count: equal numbers in any form
// end in the same digits of their national part.
uint64_t SuffixCode(std::string_view number) {
    uint64_t value = 0;
    uint64_t scale = 1;
    size_t nDigits = 0;
    for (size_t i = number.size(); i-- > 0 && nDigits < kSuffixDigits;) {
        if (number[i] < '0' || number[i] > '9') continue;
        value += static_cast<uint64_t>(number[i] - '0') * scale;
        scale *= 10;
        ++nDigits;
    }
    return nDigits == 0 ? 0 : (static_cast<uint64_t>(nDigits) << 32) | value;
}

// Base letters of U+00C0..U+00FF and U+0100..U+017F; a digit stands for two
// letters (kPairs), '0' keeps the character.
constexpr std::string_view kLatin1 =
    "aaaaaa1ceeeeiiiidnooooo0ouuuuy23"
    "aaaaaa1ceeeeiiiidnooooo0ouuuuy2y";
constexpr std::string_view kLatinExtA =
    "aaaaaaccccccccddddeeeeeeeeeegggggggghhhhiiiiiiiiii44jjkkkllllllllllnnnnnnnnnoooooo55rrrrrrssssssss"
    "ttttttuuuuuuuuuuuuwwyyyzzzzzzs";
static_assert(kLatin1.size() == 64 && kLatinExtA.size() == 128);
constexpr std::string_view kPairs[] = {"ae", "th", "ss", "ij", "oe"};

void AppendBase(char base, std::string& word) {
    if (base >= '1' && base <= '5') {
        word += kPairs[base - '1'];
    } else {
        word.push_back(base);
    }
}

void AppendCodePoint(char32_t cp, std::string& word) {
    char bytes[4];
    const size_t n = qvxsupport::Utf8Length(cp);
    if (n == 1) {
        bytes[0] = static_cast<char>(cp);
    } else if (n == 2) {
        bytes[0] = static_cast<char>(0xC0 | (cp >> 6));
        bytes[1] = static_cast<char>(0x80 | (cp & 0x3F));
    } else if (n == 3) {
        bytes[0] = static_cast<char>(0xE0 | (cp >> 12));
        bytes[1] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        bytes[2] = static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        bytes[0] = static_cast<char>(0xF0 | (cp >> 18));
        bytes[1] = static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        bytes[2] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        bytes[3] = static_cast<char>(0x80 | (cp & 0x3F));
    }
    word.append(bytes, n);
}

bool IsSeparator(char32_t cp) {
    if (cp < 0x80) {
        const bool bAlnum = (cp >= '0' && cp <= '9') || (cp >= 'a' && cp <= 'z') || (cp >= 'A' && cp <= 'Z');
        return !bAlnum && cp != '\'' && cp != '`';
    }
    return cp == 0xA0 || (cp >= 0x2000 && cp <= 0x200B) || (cp >= 0x2010 && cp <= 0x2015) || cp == 0x3000;
}

bool IsDropped(char32_t cp) {
    return cp == '\'' || cp == '`' || cp == 0x2018 || cp == 0x2019 || cp == 0x02BC ||
           (cp >= 0x0300 && cp <= 0x036F);  // combining marks
}

// One character folded into word.
void FoldInto(char32_t cp, std::string& word) {
    if (cp < 0x80) {
        word.push_back(AsciiLower(static_cast<char>(cp)));
    } else if (cp >= 0xC0 && cp <= 0xFF && kLatin1[cp - 0xC0] != '0') {
        AppendBase(kLatin1[cp - 0xC0], word);
    } else if (cp >= 0x100 && cp <= 0x17F) {
        AppendBase(kLatinExtA[cp - 0x100], word);
    } else if (cp >= 0x391 && cp <= 0x3A9 && cp != 0x3A2) {
        AppendCodePoint(cp + 0x20, word);  // Greek capitals
    } else if (cp >= 0x410 && cp <= 0x42F) {
        AppendCodePoint(cp + 0x20, word);  // Cyrillic capitals
    } else if (cp >= 0x400 && cp <= 0x40F) {
        AppendCodePoint(cp + 0x50, word);
    } else {
        AppendCodePoint(cp, word);
    }
}

// "ae", "oe", "ue" to their first letter, as umlauts fold.
void FoldDigraphs(std::string& word) {
    size_t nOut = 0;
    for (size_t i = 0; i < word.size(); ++i) {
        word[nOut++] = word[i];
        const char c = word[i];
        if ((c == 'a' || c == 'o' || c == 'u') && i + 1 < word.size() && word[i + 1] == 'e') ++i;
    }
    word.resize(nOut);
}

// Trailing " (k)" of a numbered key cut off.
std::string_view BaseKey(std::string_view key) {
    if (key.size() < 4 || key.back() != ')') return key;
    size_t i = key.size() - 1;
    size_t nDigits = 0;
    while (i > 0 && key[i - 1] >= '0' && key[i - 1] <= '9') {
        --i;
        ++nDigits;
    }
    if (nDigits == 0 || i < 2 || key[i - 1] != '(' || key[i - 2] != ' ') return key;
    return key.substr(0, i - 2);
}

std::string FreeKey(std::string_view key, std::unordered_set<std::string>& used) {
    std::string candidate(key);
    if (used.insert(candidate).second) return candidate;
    const std::string_view base = BaseKey(key);
    for (int k = 2;; ++k) {
        candidate.assign(base);
        candidate += " (" + std::to_string(k) + ")";
        if (used.insert(candidate).second) return candidate;
    }
}

size_t CountParts(std::string_view name) {
    size_t nParts = 0;
    bool bInPart = false;
    for (char c : name) {
        const bool bCut = c == ' ' || c == '-';
        if (!bCut && !bInPart) ++nParts;
        bInPart = !bCut;
    }
    return nParts;
}

size_t CountNonAscii(std::string_view text) {
    size_t n = 0;
    for (char c : text) n += (static_cast<unsigned char>(c) & 0xC0) == 0xC0 ? 1 : 0;
    return n;
}

bool IsCompanyAlone(const CContactRow& row) {
    return !row.contact.company.empty() && row.contact.name == row.contact.company;
}

// Union-find whose sets never join two identities.
class CUnion {
public:
    explicit CUnion(const std::vector<int>& identity) : m_parent(identity.size()), m_identity(identity) {
        for (size_t i = 0; i < m_parent.size(); ++i) m_parent[i] = i;
    }
    size_t Find(size_t i) {
        while (m_parent[i] != i) {
            m_parent[i] = m_parent[m_parent[i]];
            i = m_parent[i];
        }
        return i;
    }
    void Join(size_t a, size_t b) {
        a = Find(a);
        b = Find(b);
        if (a == b || m_identity[a] != m_identity[b] || m_identity[a] < 0) return;
        if (b < a) std::swap(a, b);
        m_parent[b] = a;
    }

private:
    std::vector<size_t> m_parent;
    std::vector<int> m_identity;
};

struct Interner {
    std::unordered_map<std::string_view, int> ids;
    int Id(std::string_view key, int& nNext) {
        const auto [it, bNew] = ids.try_emplace(key, nNext);
        if (bNew) ++nNext;
        return it->second;
    }
};

}  // namespace

bool IsKnownCountry(std::string_view country) {
    if (country.size() != 2) return false;
    const pn::PhoneNumberUtil* pUtil = Util();
    if (pUtil == nullptr) return false;
    try {
        static const std::set<std::string> regions = [pUtil] {
            std::set<std::string> set;
            pUtil->GetSupportedRegions(&set);
            return set;
        }();
        return regions.count(std::string(country)) != 0;
    } catch (...) {
        return false;
    }
}

std::string CountryOfLocale(std::string_view locale) {
    const size_t nCut = locale.find_first_of(".@");
    locale = locale.substr(0, nCut);
    const size_t nUnderscore = locale.find('_');
    if (nUnderscore == std::string_view::npos) return std::string();
    std::string country(locale.substr(nUnderscore + 1));
    for (char& c : country) c = c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
    return IsKnownCountry(country) ? country : std::string();
}

std::string DefaultCountry() {
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(name);
        if (value != nullptr && *value != '\0') return CountryOfLocale(value);
    }
    return std::string();
}

std::string NameKey(std::string_view name) {
    std::vector<std::string> words(1);
    while (!name.empty()) {
        char32_t cp = 0;
        size_t n = qvxsupport::DecodeUtf8(name, cp);
        if (n == 0) {
            words.back().push_back(name.front());  // a stray byte as it is
            name.remove_prefix(1);
            continue;
        }
        name.remove_prefix(n);
        if (IsSeparator(cp)) {
            if (!words.back().empty()) words.emplace_back();
        } else if (!IsDropped(cp)) {
            FoldInto(cp, words.back());
        }
    }
    if (words.back().empty()) words.pop_back();
    for (std::string& word : words) FoldDigraphs(word);
    std::sort(words.begin(), words.end());
    std::string key;
    for (const std::string& word : words) {
        if (!key.empty()) key.push_back(' ');
        key += word;
    }
    return key;
}

std::string EmailKey(std::string_view email) {
    std::string key(Trim(email));
    for (char& c : key) c = AsciiLower(c);
    return key;
}

struct CNumberKeys::Cache {
    std::unordered_map<std::string, std::string> keys;
};

CNumberKeys::CNumberKeys(std::string country)
    : m_country(std::move(country)), m_pCache(std::make_unique<Cache>()) {}

CNumberKeys::~CNumberKeys() = default;

const std::string& CNumberKeys::Key(std::string_view number) {
    const auto [it, bNew] = m_pCache->keys.try_emplace(std::string(number));
    if (!bNew) return it->second;
    std::string& key = it->second;
    const std::string dial = DialCharacters(number);
    if (const pn::PhoneNumberUtil* pUtil = Util()) {
        try {
            pn::PhoneNumber parsed;
            pn::PhoneNumberUtil::ErrorType error =
                pUtil->Parse(it->first, m_country.empty() ? "ZZ" : m_country, &parsed);
            // Without a country, "00" is taken as the usual international prefix.
            if (error != pn::PhoneNumberUtil::NO_PARSING_ERROR && m_country.empty() &&
                dial.starts_with("00")) {
                parsed.Clear();
                error = pUtil->Parse("+" + dial.substr(2), "ZZ", &parsed);
            }
            if (error == pn::PhoneNumberUtil::NO_PARSING_ERROR) {
                pUtil->Format(parsed, pn::PhoneNumberUtil::E164, &key);
                if (parsed.has_extension()) key += ";ext=" + parsed.extension();
            }
        } catch (...) {
            key.clear();
        }
    }
    if (key.empty()) key = dial;
    return key;
}

MatchEntry EntryOfRow(const CContactRow& row) {
    MatchEntry entry;
    if (!IsCompanyAlone(row)) entry.nameKey = NameKey(row.contact.name);
    entry.companyKey = NameKey(row.contact.company);
    for (const ContactDetailRow& detail : row.details.rows) {
        if (detail.type == qvxcode::kPhone) entry.numbers.emplace_back(detail.value);
        if (detail.type == qvxcode::kEmail) entry.emails.emplace_back(detail.value);
    }
    return entry;
}

MatchResult FindDuplicates(std::span<const MatchEntry> entries, CNumberKeys& numberKeys) {
    const size_t nEntries = entries.size();
    // An identity: a folded name, or the company of a company alone.
    int nIdentities = 0;
    Interner names, companies;
    std::vector<int> identity(nEntries, -1);
    std::vector<bool> companyIdentity;
    std::vector<std::string_view> identityKey;
    for (size_t i = 0; i < nEntries; ++i) {
        const MatchEntry& entry = entries[i];
        const bool bCompany = entry.nameKey.empty();
        const std::string& key = bCompany ? entry.companyKey : entry.nameKey;
        if (key.empty()) continue;
        identity[i] = (bCompany ? companies : names).Id(key, nIdentities);
        if (static_cast<size_t>(identity[i]) == companyIdentity.size()) {
            companyIdentity.push_back(bCompany);
            identityKey.push_back(key);
        }
    }

    // Shared values: (value, entry) pairs.
    std::vector<std::string> valueKey;
    std::vector<Reason> valueReason;
    std::unordered_map<std::string, uint32_t> valueIds;
    auto valueId = [&](std::string key, Reason reason) {
        key.insert(key.begin(), reason == Reason::kSharedNumber ? 'P' : 'E');
        const auto [it, bNew] = valueIds.try_emplace(std::move(key), static_cast<uint32_t>(valueKey.size()));
        if (bNew) {
            valueKey.push_back(it->first.substr(1));
            valueReason.push_back(reason);
        }
        return it->second;
    };
    std::vector<std::pair<uint32_t, uint32_t>> pairs;  // (value, entry)
    auto sortPairs = [&pairs] {
        std::sort(pairs.begin(), pairs.end());
        pairs.erase(std::unique(pairs.begin(), pairs.end()), pairs.end());
    };

    // Sure duplicates: within each shared value, the entries of one identity.
    CUnion sets(identity);
    std::vector<std::pair<int, uint32_t>> same;
    auto joinSame = [&] {
        for (size_t begin = 0; begin < pairs.size();) {
            size_t end = begin + 1;
            while (end < pairs.size() && pairs[end].first == pairs[begin].first) ++end;
            const bool bNumber = valueReason[pairs[begin].first] == Reason::kSharedNumber;
            same.clear();
            for (size_t p = begin; end - begin > 1 && p < end; ++p) {
                const int id = identity[pairs[p].second];
                if (id >= 0 && (bNumber || !companyIdentity[static_cast<size_t>(id)]))
                    same.emplace_back(id, pairs[p].second);
            }
            std::sort(same.begin(), same.end());
            for (size_t s = 1; s < same.size(); ++s)
                if (same[s].first == same[s - 1].first) sets.Join(same[s - 1].second, same[s].second);
            begin = end;
        }
    };

    struct Suffix {
        uint64_t code;
        uint32_t entry;
        uint32_t number;
    };
    std::vector<Suffix> suffixes;
    for (size_t i = 0; i < nEntries; ++i) {
        const auto& numbers = entries[i].numbers;
        for (size_t k = 0; k < numbers.size(); ++k) {
            const uint64_t code = SuffixCode(numbers[k]);
            if (code != 0) suffixes.push_back({code, static_cast<uint32_t>(i), static_cast<uint32_t>(k)});
        }
        for (const std::string& email : entries[i].emails) {
            std::string key = EmailKey(email);
            if (!key.empty()) pairs.emplace_back(valueId(std::move(key), Reason::kSharedEmail), i);
        }
    }
    sortPairs();
    joinSame();

    // A number is keyed only when its last digits are shared with a number of
    // another set: equal numbers end alike, and a number within one set can
    // neither join nor list anything.
    std::sort(suffixes.begin(), suffixes.end(), [](const Suffix& a, const Suffix& b) {
        return a.code != b.code ? a.code < b.code : a.entry < b.entry;
    });
    for (size_t begin = 0; begin < suffixes.size();) {
        size_t end = begin + 1;
        bool bSeveralSets = false;
        const size_t nFirstSet = sets.Find(suffixes[begin].entry);
        for (; end < suffixes.size() && suffixes[end].code == suffixes[begin].code; ++end)
            bSeveralSets = bSeveralSets || sets.Find(suffixes[end].entry) != nFirstSet;
        for (size_t s = begin; bSeveralSets && s < end; ++s) {
            const std::string& key = numberKeys.Key(entries[suffixes[s].entry].numbers[suffixes[s].number]);
            if (!key.empty()) pairs.emplace_back(valueId(key, Reason::kSharedNumber), suffixes[s].entry);
        }
        begin = end;
    }
    sortPairs();
    joinSame();

    MatchResult result;
    std::vector<size_t> groupOf(nEntries);
    std::vector<size_t> groupOfRoot(nEntries, SIZE_MAX);
    for (size_t i = 0; i < nEntries; ++i) {
        size_t& group = groupOfRoot[sets.Find(i)];
        if (group == SIZE_MAX) {
            group = result.groups.size();
            result.groups.emplace_back();
        }
        result.groups[group].push_back(i);
        groupOf[i] = group;
    }

    // Possible duplicates: one per shared value or name over several groups;
    // the same groups for several reasons give one.
    std::map<std::vector<size_t>, PossibleGroup> possible;
    std::vector<size_t> members;
    auto addPossible = [&](Reason reason, std::string_view value) {
        std::sort(members.begin(), members.end());
        members.erase(std::unique(members.begin(), members.end()), members.end());
        if (members.size() < 2) return;
        PossibleGroup& group = possible[members];
        group.reasons.push_back(reason);
        group.values.emplace_back(value);
    };
    for (size_t begin = 0; begin < pairs.size();) {
        size_t end = begin + 1;
        while (end < pairs.size() && pairs[end].first == pairs[begin].first) ++end;
        members.clear();
        for (size_t p = begin; p < end; ++p) members.push_back(groupOf[pairs[p].second]);
        addPossible(valueReason[pairs[begin].first], valueKey[pairs[begin].first]);
        begin = end;
    }
    std::vector<std::pair<int, size_t>> byIdentity;
    for (size_t i = 0; i < nEntries; ++i)
        if (identity[i] >= 0) byIdentity.emplace_back(identity[i], groupOf[i]);
    std::sort(byIdentity.begin(), byIdentity.end());
    for (size_t begin = 0; begin < byIdentity.size();) {
        size_t end = begin + 1;
        while (end < byIdentity.size() && byIdentity[end].first == byIdentity[begin].first) ++end;
        if (byIdentity[begin].second != byIdentity[end - 1].second) {
            members.clear();
            for (size_t p = begin; p < end; ++p) members.push_back(byIdentity[p].second);
            addPossible(Reason::kSameName, identityKey[static_cast<size_t>(byIdentity[begin].first)]);
        }
        begin = end;
    }
    for (auto& [groups, group] : possible) {
        group.groups = groups;
        result.possible.push_back(std::move(group));
    }
    return result;
}

MergedContact MergeContacts(std::span<const CContactRow* const> rows, CNumberKeys& numberKeys) {
    MergedContact out;
    const CContactRow* pNamed = nullptr;
    auto fuller = [](const CContactRow& a, const CContactRow& b) {
        if (IsCompanyAlone(a) != IsCompanyAlone(b)) return !IsCompanyAlone(a);
        const size_t nA = CountParts(a.contact.name), nB = CountParts(b.contact.name);
        if (nA != nB) return nA > nB;
        return CountNonAscii(a.contact.name) > CountNonAscii(b.contact.name);
    };
    for (const CContactRow* pRow : rows) {
        if (pNamed == nullptr || fuller(*pRow, *pNamed)) pNamed = pRow;
        if (out.company.empty()) out.company = pRow->contact.company;
    }
    if (pNamed != nullptr) out.name = pNamed->contact.name;

    // A number is keyed only when another number of the rows, written
    // otherwise, ends in the same digits; else its text alone tells.
    std::unordered_map<uint64_t, std::string_view> firstOfSuffix;
    std::unordered_set<uint64_t> keyedSuffixes;
    for (const CContactRow* pRow : rows) {
        for (const ContactDetailRow& detail : pRow->details.rows) {
            if (detail.type != qvxcode::kPhone) continue;
            const uint64_t code = SuffixCode(detail.value);
            const auto [it, bNew] = firstOfSuffix.try_emplace(code, detail.value);
            if (!bNew && it->second != detail.value) keyedSuffixes.insert(code);
        }
    }

    std::unordered_set<std::string> used;
    std::unordered_set<std::string> seen;
    for (const CContactRow* pRow : rows) {
        const std::vector<ContactDetailRow>& details = pRow->details.rows;
        for (const ContactDetailRow& detail : details) {
            if (detail.type == kDialType && detail.nPosition == qvxrules::kDialNumberPosition) continue;
            std::string same(detail.type);
            same.push_back('\0');
            if (detail.type == qvxcode::kPhone) {
                const std::string* pKey = nullptr;
                if (keyedSuffixes.count(SuffixCode(detail.value)) != 0) pKey = &numberKeys.Key(detail.value);
                if (pKey != nullptr && !pKey->empty()) {
                    same += *pKey;
                } else {
                    same.push_back('\0');
                    same += detail.value;
                }
            } else if (detail.type == qvxcode::kEmail) {
                same += EmailKey(detail.value);
            } else {
                same += BaseKey(detail.key);
                same.push_back('\0');
                same += Trim(detail.value);
            }
            if (!seen.insert(std::move(same)).second) continue;
            std::string key = FreeKey(detail.key, used);
            if (detail.type == qvxcode::kPhone) {
                for (const ContactDetailRow& dial : details) {
                    if (dial.type != kDialType ||
                        dial.key.size() != kDialKeyPrefix.size() + detail.key.size() ||
                        !dial.key.starts_with(kDialKeyPrefix) || !dial.key.ends_with(detail.key))
                        continue;
                    out.details.push_back({std::string(kDialKeyPrefix) + key, std::string(dial.value),
                                           std::string(dial.type), dial.nPosition});
                    break;
                }
            }
            out.details.push_back(
                {std::move(key), std::string(detail.value), std::string(detail.type), detail.nPosition});
        }
    }
    return out;
}

}  // namespace qvxmatch
