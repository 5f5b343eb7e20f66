// Finding the contacts that are one person, and merging them, over what the
// contact rules give for each row.
//
// Comparison keys (for comparing only; stored values never change):
// - a number: its international form (E.164, with ";ext=" and the extension
//   when it has one) as libphonenumber reads it with the default country;
//   when it cannot be read, its dial characters (a leading "+" and the
//   digits, "(0)" skipped), so that equal raw numbers still match;
// - a name: folded. Case; accents to their base letter (Latin-1 and Latin
//   Extended-A, and combining marks), ß = ss, æ = ae, œ = oe; then "ae",
//   "oe", "ue" to "a", "o", "u", so that Müller = Mueller = Muller; blanks,
//   hyphens and punctuation separate words, apostrophes are dropped, and the
//   words are sorted, so that "MÜLLER, Anna" = "Anna Müller". Greek and
//   Cyrillic letters are case-folded, other scripts compared as they are;
// - an e-mail address: trimmed, ASCII letters without case.
//
// libphonenumber takes some microseconds a number, so a number is keyed only
// when the last seven of its digits are shared with a number of a contact not
// yet joined to it (the finder), or with another number written otherwise
// (the merge). So a number whose national part has fewer than seven digits,
// or that is written with letters or other than ASCII digits, matches another
// form of it only when both are written with the same digits.
#pragma once

#include <cstddef>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

struct CContactRow;

namespace qvxmatch {

// The country of a locale name ("de_DE.UTF-8" -> "DE"); empty for "C",
// "POSIX", no territory or one libphonenumber does not know.
std::string CountryOfLocale(std::string_view locale);
// The user's default country, from LC_ALL, LC_MESSAGES or LANG (the first
// that is set and not empty).
std::string DefaultCountry();
// True when libphonenumber knows the two-letter region code.
bool IsKnownCountry(std::string_view country);

std::string NameKey(std::string_view name);
std::string EmailKey(std::string_view email);

// Number keys with one default country, remembered by raw value. Not for
// use by two threads at once.
class CNumberKeys {
public:
    // country: a known ISO 3166 code, or empty for none.
    explicit CNumberKeys(std::string country = std::string());
    ~CNumberKeys();
    CNumberKeys(const CNumberKeys&) = delete;
    CNumberKeys& operator=(const CNumberKeys&) = delete;

    const std::string& Country() const { return m_country; }
    const std::string& Key(std::string_view number);

private:
    struct Cache;
    std::string m_country;
    std::unique_ptr<Cache> m_pCache;
};

// One contact as the finder sees it.
struct MatchEntry {
    std::string nameKey;               // NameKey of the name; empty for a company alone
    std::string companyKey;            // NameKey of the company
    std::vector<std::string> numbers;  // raw phone values
    std::vector<std::string> emails;   // raw addresses
};

// The entry of a row the rules gave (not a skipped one). A row whose name
// is its company is a company alone.
MatchEntry EntryOfRow(const CContactRow& row);

enum class Reason { kSharedNumber, kSharedEmail, kSameName };

// Contacts that may be one person: never merged by the finder.
struct PossibleGroup {
    std::vector<Reason> reasons;
    std::vector<std::string> values;  // the shared key of each reason
    std::vector<size_t> groups;       // indices into MatchResult::groups, ascending
};

struct MatchResult {
    // Every entry in exactly one group (most alone); a group's entries and
    // the groups by their first entry are ascending.
    std::vector<std::vector<size_t>> groups;
    // A shared value or name that spans several groups gives one group here
    // (however many share it); groups with the same members share one.
    std::vector<PossibleGroup> possible;
};

// Sure duplicates (merged): the same folded name and a shared number or
// address; for companies alone the same company and a shared number. Never
// two different names in one group.
MatchResult FindDuplicates(std::span<const MatchEntry> entries, CNumberKeys& numberKeys);

struct MergedDetail {
    std::string key;
    std::string value;
    std::string type;
    int nPosition = 0;
};

struct MergedContact {
    std::string name;
    std::string company;
    std::vector<MergedDetail> details;
};

// One contact of several rows, in their order: the fullest name (the most
// name parts, then the most accented letters, then the first; a person's
// name before a company alone), the first company, and every detail, each
// value once (numbers by their key, e-mails without case across keys,
// other values after trimming under the same key), keys made unique with
// the next free " (k)". A number's dial-number row follows it.
MergedContact MergeContacts(std::span<const CContactRow* const> rows, CNumberKeys& numberKeys);

}  // namespace qvxmatch
