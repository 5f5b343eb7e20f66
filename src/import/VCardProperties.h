// The properties of vCard files the reader knows: what each holds, the
// header words (looked up once per file), the type words of labels, and
// one property line split into its parts.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "i18n/TextKeys.h"
#include "import/VCardValues.h"

namespace qvxvcard {

// The kinds of values properties hold.
enum class Prop {
    kFn,
    kN,
    kOrg,
    kTel,
    kEmail,
    kAdr,
    kLabelled,  // URL, IMPP, RELATED ...: text by label
    kPlain,     // text under a fixed header word
    kVersion,
    kLabel,      // X-ABLabel: names its group
    kBinary,     // never read
    kTechnical,  // by name, not imported
    kOther,      // by name
};

// The words that make headers. Headers are the keys stored on the phone and
// what a user's mapping names, so they are the English words whatever the
// interface language: one file gives one database, and a mapping saved in
// one language fits the file read in another.
struct VCardWords {
    std::string name, family, given, additional, prefix, suffix, company, department, phone, email, address;
    std::string more, moreDetails;  // the columns of values past the reader's cap
    std::array<std::string, 13> types;
    std::vector<std::string> props;  // by index into kProps
    std::string Text(const char* /*key*/, const char* english) { return english; }
};

struct TypeWord {
    std::string_view code;
    int index;  // into VCardWords::types, also the order in a header
};
// Type words, in the order they show in a header; several codes share a word.
inline constexpr TypeWord kTypeWords[] = {
    {"home", 0},   {"work", 1}, {"other", 2}, {"cell", 3},  {"mobile", 3},
    {"iphone", 3}, {"main", 4}, {"fax", 5},   {"pager", 6}, {"car", 7},
    {"video", 8},  {"text", 9}, {"msg", 10},  {"isdn", 11}, {"textphone", 12},
};
inline constexpr const char* kTypeKeys[13][2] = {
    {qvxtext::kVCard_Type_Home, "home"},           {qvxtext::kVCard_Type_Work, "work"},
    {qvxtext::kVCard_Type_Other, "other"},         {qvxtext::kVCard_Type_Mobile, "mobile"},
    {qvxtext::kVCard_Type_Main, "main"},           {qvxtext::kVCard_Type_Fax, "fax"},
    {qvxtext::kVCard_Type_Pager, "pager"},         {qvxtext::kVCard_Type_Car, "car"},
    {qvxtext::kVCard_Type_Video, "video"},         {qvxtext::kVCard_Type_Text, "text"},
    {qvxtext::kVCard_Type_Message, "message"},     {qvxtext::kVCard_Type_Isdn, "ISDN"},
    {qvxtext::kVCard_Type_Textphone, "textphone"},
};
// Types that say nothing a user would label a number or address by.
inline constexpr std::string_view kSilentTypes[] = {"pref", "voice", "internet", "x400",
                                                    "dom",  "intl",  "postal",   "parcel"};

struct PropInfo {
    std::string_view name;
    Prop prop;
    const char* key;      // header word, for kPlain and kLabelled
    const char* english;  // its fallback
};
inline constexpr PropInfo kProps[] = {
    {"FN", Prop::kFn, nullptr, nullptr},
    {"N", Prop::kN, nullptr, nullptr},
    {"ORG", Prop::kOrg, nullptr, nullptr},
    {"TEL", Prop::kTel, nullptr, nullptr},
    {"EMAIL", Prop::kEmail, nullptr, nullptr},
    {"ADR", Prop::kAdr, nullptr, nullptr},
    {"VERSION", Prop::kVersion, nullptr, nullptr},
    {"X-ABLABEL", Prop::kLabel, nullptr, nullptr},
    {"TITLE", Prop::kPlain, qvxtext::kVCard_Column_JobTitle, "Job title"},
    {"ROLE", Prop::kPlain, qvxtext::kVCard_Column_Role, "Role"},
    {"NICKNAME", Prop::kPlain, qvxtext::kVCard_Column_Nickname, "Nickname"},
    {"NOTE", Prop::kPlain, qvxtext::kVCard_Column_Note, "Note"},
    {"BDAY", Prop::kPlain, qvxtext::kVCard_Column_Birthday, "Birthday"},
    {"ANNIVERSARY", Prop::kPlain, qvxtext::kVCard_Column_Anniversary, "Anniversary"},
    {"X-ANNIVERSARY", Prop::kPlain, qvxtext::kVCard_Column_Anniversary, "Anniversary"},
    {"CATEGORIES", Prop::kPlain, qvxtext::kVCard_Column_Categories, "Categories"},
    {"URL", Prop::kLabelled, qvxtext::kVCard_Column_Website, "Website"},
    {"IMPP", Prop::kLabelled, qvxtext::kVCard_Column_Messenger, "Messenger"},
    {"RELATED", Prop::kLabelled, qvxtext::kVCard_Column_Related, "Related"},
    {"X-ABRELATEDNAMES", Prop::kLabelled, qvxtext::kVCard_Column_Related, "Related"},
    {"X-ABDATE", Prop::kLabelled, qvxtext::kVCard_Column_Date, "Date"},
    {"PHOTO", Prop::kBinary, nullptr, nullptr},
    {"LOGO", Prop::kBinary, nullptr, nullptr},
    {"SOUND", Prop::kBinary, nullptr, nullptr},
    {"KEY", Prop::kBinary, nullptr, nullptr},
};
// Properties that only serve programs.
inline constexpr std::string_view kTechnicalProps[] = {
    "PRODID",      "UID",    "REV",   "KIND", "SOURCE",  "NAME",    "PROFILE",    "CLIENTPIDMAP",   "XML",
    "SORT-STRING", "CLASS",  "LABEL", "TZ",   "GEO",     "MAILER",  "AGENT",      "FBURL",          "CALURI",
    "CALADRURI",   "MEMBER", "BEGIN", "END",  "X-ABUID", "X-ABADR", "X-ABSHOWAS", "X-ABPERSONFLAGS"};
// Extensions people do read; every other X- property is taken as technical.
inline constexpr std::string_view kReadableExtensions[] = {
    "X-SKYPE",  "X-SKYPE-USERNAME", "X-JABBER",      "X-AIM",       "X-ICQ",     "X-MSN",
    "X-YAHOO",  "X-GTALK",          "X-GOOGLE-TALK", "X-QQ",        "X-TWITTER", "X-SIP",
    "X-SPOUSE", "X-ASSISTANT",      "X-MANAGER",     "X-MAIDENNAME"};
// Properties whose base64 values are text, not pictures or keys.
inline constexpr std::string_view kTextProps[] = {"FN",   "N",          "ORG",  "TITLE", "ROLE",
                                                  "NOTE", "ADR",        "TEL",  "EMAIL", "NICKNAME",
                                                  "URL",  "CATEGORIES", "LABEL"};

template <size_t N>
bool InList(std::string_view name, const std::string_view (&list)[N]) {
    for (std::string_view entry : list)
        if (EqualsNoCase(name, entry)) return true;
    return false;
}

// One property line, unfolded, split into its parts.
struct Property {
    std::string_view group;
    std::string_view name;
    std::string_view head;    // name and parameters, without the group
    std::string_view params;  // read by ParseParams
    std::string_view value;
    bool bQuotedPrintable = false;
    bool bBase64 = false;
    bool bUri = false;
    std::string_view charset;
    std::array<std::string_view, 8> types{};
    size_t nTypes = 0;

    void AddType(std::string_view t) {
        t = TrimBlanks(t);
        if (t.size() >= 2 && t.front() == '"' && t.back() == '"') t = t.substr(1, t.size() - 2);
        // 4.0 lists several in one quoted value.
        while (!t.empty()) {
            const size_t comma = std::min(t.find(','), t.size());
            std::string_view one = TrimBlanks(t.substr(0, comma));
            if (!one.empty() && nTypes < types.size()) types[nTypes++] = one;
            t.remove_prefix(std::min(comma + 1, t.size()));
        }
    }
};

const PropInfo* FindProp(std::string_view name);
// Splits "group.NAME;params:value" into a fresh property (its parameters are
// read by ParseParams when wanted); false when the line is no property.
bool ParseProperty(std::string_view line, Property& p);
// The parameters: encoding, character set, value type and types.
void ParseParams(Property& p);

}  // namespace qvxvcard
