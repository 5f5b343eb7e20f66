#include "import/HeaderGuess.h"

#include <algorithm>
#include <cstring>
#include <string_view>

#include "import/MappingCodes.h"
#include "support/Latin1Case.h"

namespace {

// How a word of a rule fits a word of the header.
enum class Fit { kNone, kInside, kWhole };

// A word of a rule: "w" is a whole word, "w*" begins a word, "*w" ends one,
// "*w*" is anywhere in it (German joins words: "Mobiltelefon", "Privatadresse").
// A pattern that meets the whole word fits whole, else only inside it.
Fit WordFits(std::string_view pattern, std::string_view word) {
    const bool bStart = !pattern.empty() && pattern.front() == '*';
    const bool bEnd = pattern.size() > 1 && pattern.back() == '*';
    if (bStart) pattern.remove_prefix(1);
    if (bEnd) pattern.remove_suffix(1);
    if (word == pattern) return Fit::kWhole;
    bool bFits = false;
    if (bStart && bEnd)
        bFits = word.find(pattern) != std::string_view::npos;
    else if (bStart)
        bFits = word.size() >= pattern.size() && word.substr(word.size() - pattern.size()) == pattern;
    else if (bEnd)
        bFits = word.substr(0, pattern.size()) == pattern;
    return bFits ? Fit::kInside : Fit::kNone;
}

// Words whose meaning depends on the file: a rule of them is never sure.
constexpr bool kMaybe = false;
constexpr bool kSure = true;

struct Rule {
    const char* pszCode;
    NameKind name;
    bool bSure;
    std::vector<std::string_view> any;   // one of these words
    std::vector<std::string_view> also;  // and, when not empty, one of these
};

// In order, the first rule that fits wins: the words that make a column a
// label, a type or a reading aid come first ("Phone 1 - Label", "Given Name
// Yomi"), then those that carry a phone or e-mail value over words that
// also occur in other headers ("E-mail Address", "Company Main Phone",
// "Mailadresse privat"), then the words beside "name" or "address" that are
// about someone or something else, and the name's words last but one.
const std::vector<Rule>& Rules() {
    using namespace qvxcode;
    static const std::vector<Rule> rules = {
        {kHidden,
         NameKind::kNone,
         kSure,
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
        {kHidden, NameKind::kNone, kSure, {"display", "angezeigter", "anzeigename"}, {"*email*", "mail"}},
        // "Voicemail" holds "email".
        {kPhone, NameKind::kNone, kSure, {"voicemail", "voice"}, {}},
        // German compounds that say it whole are sure ("Handynummer").
        {kEmail,
         NameKind::kNone,
         kSure,
         {"*email*", "mail*", "*mail", "mails", "mailadresse", "emailadresse"},
         {}},
        {kPhone,
         NameKind::kNone,
         kSure,
         {"phone*",    "*phone",     "telefon*",      "*telefon",    "tel",         "telephone",
          "mobile",    "mobil*",     "handy*",        "cell",        "cellular",    "fax*",
          "*fax",      "pager*",     "callback",      "rückmeldung", "isdn",        "tty",
          "tdd",       "*rufnummer", "telefonnummer", "handynummer", "mobilnummer", "mobilfunknummer",
          "faxnummer", "festnetz*",  "durchwahl",     "natel"},
         {}},
        {kOther, NameKind::kNone, kSure, {"web*", "homepage*", "url", "www", "internetadresse"}, {}},
        {kHidden,
         NameKind::kNone,
         kSure,
         {"messenger",   "screen",    "im",       "assistant", "assistent*",  "manager", "managers",
          "vorgesetzt*", "spouse",    "*partner", "maiden",    "geburtsname", "short",   "symbol",
          "referred",    "empfohlen", "file",     "dateiname", "ip",          "user",    "username",
          "benutzer*",   "account",   "konto",    "login"},
         {}},
        {kOther, NameKind::kPrefix, kSure, {"prefix", "prefixes", "präfix", "namenspräfix"}, {}},
        {kOther, NameKind::kSuffix, kSure, {"suffix", "suffixes", "namenssuffix", "namenszusatz"}, {}},
        {kOther,
         NameKind::kNone,
         kSure,
         {"nickname", "nick", "spitzname", "anrede", "salutation", "department", "abteilung", "job", "beruf",
          "profession", "occupation", "arbeitstitel"},
         {}},
        {kOther, NameKind::kNone, kMaybe, {"title", "titel", "position", "location", "unit"}, {}},
        {kCompany,
         NameKind::kNone,
         kSure,
         {"company", "firma", "firmenname", "organization", "organisation", "organizationname",
          "organisationsname", "unternehmen", "employer", "arbeitgeber"},
         {}},
        {kLocation,
         NameKind::kNone,
         kSure,
         {"street*",  "*street",    "strasse*",   "*strasse",      "address*", "*address",     "adresse*",
          "*adresse", "*anschrift", "hausnummer", "hausnr",        "city",     "stadt",        "wohnort",
          "postal*",  "zip*",       "postcode",   "*postleitzahl", "plz",      "country",      "bundesland",
          "kanton",   "province",   "provinz",    "pobox",         "postfach", "postofficebox"},
         {}},
        {kLocation, NameKind::kNone, kMaybe, {"ort", "land", "state", "region", "county", "box"}, {}},
        {kLocation, NameKind::kNone, kSure, {"post"}, {"code", "box"}},
        // "Weitere Vornamen": given names after the first.
        {kName,
         NameKind::kMiddle,
         kSure,
         {"weitere", "andere", "zweiter", "zweite"},
         {"vorname", "vornamen"}},
        {kName, NameKind::kMiddle, kSure, {"middlename", "additionalnames"}, {}},
        {kName, NameKind::kMiddle, kSure, {"middle", "additional"}, {"name", "names"}},
        {kName,
         NameKind::kGiven,
         kSure,
         {"vorname", "vornamen", "firstname", "givenname", "givennames", "forename"},
         {}},
        {kName, NameKind::kGiven, kSure, {"first", "given"}, {"name", "names"}},
        {kName,
         NameKind::kFamily,
         kSure,
         {"nachname", "familienname", "zuname", "surname", "lastname", "familyname"},
         {}},
        {kName, NameKind::kFamily, kSure, {"last", "family"}, {"name", "names"}},
        {kName,
         NameKind::kWhole,
         kSure,
         {"fullname", "displayname", "anzeigename", "kontaktname", "vollname"},
         {}},
        {kName,
         NameKind::kWhole,
         kSure,
         {"full", "display", "vollständiger", "vollstaendiger", "ganzer", "complete"},
         {"name"}},
        // A lone "Name" is the whole name, or the family name beside "Vorname".
        {kName, NameKind::kWhole, kMaybe, {"name", "names"}, {}},
        {kOther,
         NameKind::kNone,
         kSure,
         {"note", "notes", "notiz*", "bemerkung*", "comment*", "kommentar*", "anmerkung*", "memo", "birthday",
          "geburtstag", "birth", "geburts*", "anniversary", "jahrestag", "custom", "benutzerdef*"},
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

// How well one of the patterns fits one of the words: the best fit.
Fit BestFit(const std::vector<std::string_view>& patterns, const std::vector<std::string>& words) {
    Fit best = Fit::kNone;
    for (std::string_view pattern : patterns)
        for (const std::string& word : words) best = std::max(best, WordFits(pattern, word));
    return best;
}

}  // namespace

HeaderGuess GuessHeader(std::string_view header) {
    const std::vector<std::string> words = HeaderWords(header);
    for (const Rule& rule : Rules()) {
        const Fit any = BestFit(rule.any, words);
        if (any == Fit::kNone) continue;
        const Fit also = rule.also.empty() ? Fit::kWhole : BestFit(rule.also, words);
        if (also == Fit::kNone) continue;
        return {rule.pszCode, rule.name, rule.bSure && any == Fit::kWhole && also == Fit::kWhole};
    }
    return {};
}

namespace {

bool IsNamePart(NameKind name) {
    return name == NameKind::kGiven || name == NameKind::kMiddle || name == NameKind::kFamily;
}

}  // namespace

std::vector<StartColumn> CompleteCodes(const std::vector<std::string>& headers,
                                       std::vector<std::string>& codes) {
    using namespace qvxcode;
    codes.resize(headers.size());
    const size_t nNone = headers.size();
    std::vector<StartColumn> columns(headers.size());
    std::vector<HeaderGuess> guesses(headers.size());
    bool bCompany = false;
    bool bGiven = false;
    bool bFamily = false;
    bool bKnownGiven = false;
    bool bKnownFamily = false;
    // The guessed whole name that is the name: the first sure one, else the first.
    size_t nWhole = nNone;
    for (size_t j = 0; j < headers.size(); ++j) {
        const HeaderGuess guess = GuessHeader(headers[j]);
        guesses[j] = guess;
        if (!codes[j].empty()) {
            bCompany = bCompany || codes[j] == kCompany;
            if (codes[j] == kName && guess.pszCode != nullptr && std::string_view(guess.pszCode) == kName) {
                columns[j].name = guess.name;
                bKnownGiven = bKnownGiven || guess.name == NameKind::kGiven;
                bKnownFamily = bKnownFamily || guess.name == NameKind::kFamily;
            }
            continue;
        }
        if (guess.name == NameKind::kWhole && (nWhole == nNone || (guess.bSure && !guesses[nWhole].bSure)))
            nWhole = j;
        bGiven = bGiven || guess.name == NameKind::kGiven;
        bFamily = bFamily || guess.name == NameKind::kFamily;
    }
    // "Name" beside "Vorname" without a family name holds the family name.
    auto isLoneName = [&](size_t j) { return !guesses[j].bSure && guesses[j].name == NameKind::kWhole; };
    bool bKnownName = false;
    bool bKnownParts = false;
    bool bKnownWhole = false;  // or a name column the words do not tell
    for (size_t j = 0; j < headers.size(); ++j) {
        if (codes[j] != kName) continue;
        if (isLoneName(j) && bKnownGiven && !bKnownFamily) columns[j].name = NameKind::kFamily;
        bKnownName = true;
        bKnownParts = bKnownParts || IsNamePart(columns[j].name);
        bKnownWhole = bKnownWhole || !IsNamePart(columns[j].name);
    }
    if (nWhole != nNone && isLoneName(nWhole) && (bGiven || bKnownGiven) && !bFamily && !bKnownFamily &&
        !bKnownWhole) {
        guesses[nWhole].name = NameKind::kFamily;
        nWhole = nNone;
    }
    // A known whole name is the name: guessed names would repeat it. Known
    // parts give way to a full name the start mapping did not know ("Full
    // Name" beside the parts it knew), not to a lone "Name".
    const bool bKnownPartsOut = bKnownParts && !bKnownWhole && nWhole != nNone && guesses[nWhole].bSure;
    if (bKnownName && !bKnownPartsOut) nWhole = nNone;
    // A whole name is the name; its parts beside it would repeat it.
    const bool bPartsOut = bKnownWhole || nWhole != nNone;
    const bool bWholeSure = bKnownName || (nWhole != nNone && guesses[nWhole].bSure);
    for (size_t j = 0; j < headers.size() && bKnownPartsOut; ++j) {
        if (codes[j] != kName || !IsNamePart(columns[j].name)) continue;
        codes[j] = std::string(kHidden);
        columns[j] = {CodeOrigin::kSure, NameKind::kNone};
    }
    for (size_t j = 0; j < headers.size(); ++j) {
        if (!codes[j].empty()) continue;
        const HeaderGuess& guess = guesses[j];
        StartColumn& column = columns[j];
        if (guess.pszCode == nullptr) {
            codes[j] = std::string(kHidden);
            column.origin = CodeOrigin::kUnknown;
            continue;
        }
        bool bSure = guess.bSure;
        const char* pszCode = guess.pszCode;
        column.name = guess.name;
        const bool bOut = guess.name == NameKind::kWhole ? j != nWhole : IsNamePart(guess.name) && bPartsOut;
        if (bOut) {
            pszCode = kHidden;
            column.name = NameKind::kNone;
            bSure = bSure && bWholeSure;
        }
        if (std::string_view(pszCode) == kCompany) {
            if (bCompany) {
                pszCode = kOther;
                bSure = false;
            }
            bCompany = true;
        }
        column.origin = bSure ? CodeOrigin::kSure : CodeOrigin::kGuessed;
        // Assigned whole from a temporary: GCC 12 at -O3 misreads an
        // in-place copy into the empty string as overlapping.
        codes[j] = std::string(pszCode);
    }
    return columns;
}
