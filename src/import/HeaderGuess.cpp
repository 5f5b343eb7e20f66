#include "import/HeaderGuess.h"

#include <cstring>
#include <string_view>

#include "import/MappingCodes.h"
#include "support/Latin1Case.h"

namespace {

// A word of a rule: "w" is a whole word, "w*" begins a word, "*w" ends one,
// "*w*" is anywhere in it (German joins words: "Mobiltelefon", "Privatadresse").
bool WordMatches(std::string_view pattern, std::string_view word) {
    const bool bStart = !pattern.empty() && pattern.front() == '*';
    const bool bEnd = pattern.size() > 1 && pattern.back() == '*';
    if (bStart) pattern.remove_prefix(1);
    if (bEnd) pattern.remove_suffix(1);
    if (bStart && bEnd) return word.find(pattern) != std::string_view::npos;
    if (bStart) return word.size() >= pattern.size() && word.substr(word.size() - pattern.size()) == pattern;
    if (bEnd) return word.substr(0, pattern.size()) == pattern;
    return word == pattern;
}

struct Rule {
    const char* pszCode;
    NameKind name;
    std::vector<std::string_view> any;   // one of these words
    std::vector<std::string_view> also;  // and, when not empty, one of these
};

// In order, the first rule that fits wins: the words that make a column a
// label, a type or a reading aid come first ("Phone 1 - Label", "Given Name
// Yomi"), then those that carry a phone or e-mail value over words that
// also occur in other headers ("E-mail Address", "Company Main Phone").
const std::vector<Rule>& Rules() {
    using namespace qvxcode;
    static const std::vector<Rule> rules = {
        {kHidden,
         NameKind::kNone,
         {"label",
          "labels",
          "type",
          "typ",
          "yomi",
          "phonetic",
          "phonetisch",
          "service",
          "formatted",
          "photo",
          "foto",
          "bild",
          "uid",
          "id",
          "pref",
          "gender",
          "geschlecht",
          "sensitivity",
          "vertraulichkeit",
          "priority",
          "priorität",
          "initials",
          "initialen",
          "password",
          "passwort",
          "kennwort",
          "categories",
          "kategorien",
          "group",
          "groups",
          "gruppe",
          "gruppen",
          "membership"},
         {}},
        {kHidden, NameKind::kNone, {"display", "angezeigter", "anzeigename"}, {"*email*", "mail"}},
        {kEmail, NameKind::kNone, {"*email*", "mail", "mails"}, {}},
        {kPhone,
         NameKind::kNone,
         {"phone*",   "*phone",      "telefon*", "*telefon", "tel",  "telephone", "mobile",
          "mobil*",   "handy*",      "cell",     "cellular", "fax*", "*fax",      "pager*",
          "callback", "rückmeldung", "isdn",     "tty",      "tdd",  "*rufnummer"},
         {}},
        {kOther, NameKind::kNone, {"web", "website*", "webseite*", "homepage", "url", "www"}, {}},
        // Words that sit beside "name" or "address" but are about someone
        // or something else.
        {kHidden,
         NameKind::kNone,
         {"messenger", "screen", "im", "assistant", "assistent*", "manager", "managers", "vorgesetzt*",
          "spouse", "partner", "maiden", "geburtsname", "short", "symbol", "referred", "empfohlen", "file",
          "dateiname"},
         {}},
        {kOther,
         NameKind::kNone,
         {"nickname",  "nick",       "spitzname", "prefix",     "prefixes",   "suffix",       "suffixes",
          "anrede",    "salutation", "title",     "titel",      "position",   "location",     "department",
          "abteilung", "job",        "beruf",     "profession", "occupation", "arbeitstitel", "unit"},
         {}},
        {kCompany,
         NameKind::kNone,
         {"company", "firma", "firmenname", "organization", "organisation", "organizationname",
          "organisationsname", "unternehmen", "employer", "arbeitgeber"},
         {}},
        {kLocation,
         NameKind::kNone,
         {"street*",  "*street",   "strasse*",      "*strasse", "address*", "*address", "adresse*",
          "*adresse", "anschrift", "city",          "stadt",    "ort",      "wohnort",  "postal*",
          "zip*",     "postcode",  "*postleitzahl", "plz",      "country",  "land",     "bundesland",
          "state",    "region",    "kanton",        "county",   "province", "provinz",  "pobox",
          "box",      "postfach",  "postofficebox"},
         {}},
        {kLocation, NameKind::kNone, {"post"}, {"code", "box"}},
        {kName,
         NameKind::kGiven,
         {"vorname", "vornamen", "firstname", "givenname", "givennames", "forename"},
         {}},
        {kName, NameKind::kGiven, {"first", "given"}, {"name", "names"}},
        {kName, NameKind::kMiddle, {"middlename", "additionalnames"}, {}},
        {kName, NameKind::kMiddle, {"middle", "additional"}, {"name", "names"}},
        {kName,
         NameKind::kFamily,
         {"nachname", "familienname", "zuname", "surname", "lastname", "familyname"},
         {}},
        {kName, NameKind::kFamily, {"last", "family"}, {"name", "names"}},
        {kName,
         NameKind::kWhole,
         {"name", "names", "fullname", "displayname", "anzeigename", "kontaktname"},
         {}},
        {kOther,
         NameKind::kNone,
         {"note", "notes", "notiz*", "bemerkung*", "comment*", "kommentar*", "anmerkung*", "memo", "birthday",
          "geburtstag", "birth", "geburts*", "custom", "benutzerdef*"},
         {}},
    };
    return rules;
}

bool IsUpper(unsigned char c) {
    return c >= 'A' && c <= 'Z';
}
bool IsLower(unsigned char c) {
    return c >= 'a' && c <= 'z';
}

// The header's words, in small letters: split at every character that is
// no letter and between joined words ("TelCellWork", "IMAddress"); "ß" is
// written "ss" and "e-mail" is one word, as the exports spell them both ways.
std::vector<std::string> HeaderWords(std::string_view header) {
    std::string joined;
    for (size_t i = 0; i < header.size(); ++i) {
        const auto c = static_cast<unsigned char>(header[i]);
        if (i > 0 && IsUpper(c)) {
            const auto p = static_cast<unsigned char>(header[i - 1]);
            const bool bNextLower =
                i + 1 < header.size() && IsLower(static_cast<unsigned char>(header[i + 1]));
            if (IsLower(p) || (IsUpper(p) && bNextLower)) joined.push_back(' ');
        }
        joined.push_back(static_cast<char>(c));
    }
    const std::string text = qvxsupport::FoldLatin1Case(joined, qvxsupport::SharpS::kAsSs);
    std::vector<std::string> words;
    std::string word;
    auto flush = [&] {
        if (word.empty()) return;
        if (!words.empty() && words.back() == "e" && word.rfind("mail", 0) == 0)
            words.back() += word;
        else
            words.push_back(word);
        word.clear();
    };
    for (char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if (IsLower(c) || c >= 0x80)
            word.push_back(ch);
        else
            flush();
    }
    flush();
    return words;
}

bool AnyWordMatches(const std::vector<std::string_view>& patterns, const std::vector<std::string>& words) {
    for (std::string_view pattern : patterns)
        for (const std::string& word : words)
            if (WordMatches(pattern, word)) return true;
    return false;
}

}  // namespace

HeaderGuess GuessHeader(std::string_view header) {
    const std::vector<std::string> words = HeaderWords(header);
    for (const Rule& rule : Rules()) {
        if (AnyWordMatches(rule.any, words) && (rule.also.empty() || AnyWordMatches(rule.also, words)))
            return {rule.pszCode, rule.name};
    }
    return {};
}

std::vector<CodeOrigin> CompleteCodes(const std::vector<std::string>& headers,
                                      std::vector<std::string>& codes) {
    using namespace qvxcode;
    codes.resize(headers.size());
    std::vector<CodeOrigin> origins(headers.size(), CodeOrigin::kKnown);
    std::vector<HeaderGuess> guesses(headers.size());
    bool bCompany = false;
    bool bKnownName = false;
    bool bGiven = false;
    bool bFamily = false;
    for (size_t j = 0; j < headers.size(); ++j) {
        if (!codes[j].empty()) {
            bCompany = bCompany || codes[j] == kCompany;
            bKnownName = bKnownName || codes[j] == kName;
            continue;
        }
        guesses[j] = GuessHeader(headers[j]);
        bGiven = bGiven || guesses[j].name == NameKind::kGiven;
        bFamily = bFamily || guesses[j].name == NameKind::kFamily;
    }
    // A whole name beside its parts would be joined to them and repeat them.
    bool bWholeOut = bKnownName || (bGiven && bFamily);
    for (size_t j = 0; j < headers.size(); ++j) {
        if (!codes[j].empty()) continue;
        const HeaderGuess& guess = guesses[j];
        if (guess.pszCode == nullptr) {
            codes[j] = std::string(kHidden);
            origins[j] = CodeOrigin::kUnknown;
            continue;
        }
        origins[j] = CodeOrigin::kGuessed;
        const char* pszCode = guess.pszCode;
        if (guess.name == NameKind::kWhole) {
            if (bWholeOut) pszCode = kHidden;
            bWholeOut = true;  // one whole name is enough
        }
        if (std::string_view(pszCode) == kCompany) {
            if (bCompany) pszCode = kOther;
            bCompany = true;
        }
        // Assigned whole from a temporary: GCC 12 at -O3 misreads an
        // in-place copy into the empty string as overlapping.
        codes[j] = std::string(pszCode);
    }
    return origins;
}
