#include "import/VCardReader.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <new>

#include "i18n/TextKeys.h"
#include "import/DataMap.h"
#include "support/LogModules.h"
#include "support/Utf8.h"

namespace {

// A sniffed file start: enough for a mark, blank lines and BEGIN:VCARD.
constexpr size_t kSniffBytes = 4096;
// Every data row has a slot per column: a file whose cards bring ever new
// properties must not make the table grow without end. Real exports stay
// far below this.
constexpr size_t kMaxColumns = 1024;
// Labels are cut to this many bytes so that headers stay readable.
constexpr size_t kMaxLabel = 64;
constexpr size_t kMaxVersions = 8;

char Upper(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (Upper(a[i]) != Upper(b[i])) return false;
    return true;
}

bool StartsNoCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && EqualsNoCase(text.substr(0, prefix.size()), prefix);
}

bool ContainsNoCase(std::string_view text, std::string_view word) {
    if (word.empty() || text.size() < word.size()) return word.empty();
    for (size_t i = 0; i + word.size() <= text.size(); ++i)
        if (Upper(text[i]) == Upper(word[0]) && EqualsNoCase(text.substr(i, word.size()), word)) return true;
    return false;
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view TrimBlanks(std::string_view s) {
    while (!s.empty() && (IsBlank(s.front()) || s.front() == '\n' || s.front() == '\r')) s.remove_prefix(1);
    while (!s.empty() && (IsBlank(s.back()) || s.back() == '\n' || s.back() == '\r')) s.remove_suffix(1);
    return s;
}

// A line without its end: "BEGIN:VCARD", ignoring case and trailing blanks.
bool IsMarker(std::string_view line, std::string_view marker) {
    while (!line.empty() && IsBlank(line.back())) line.remove_suffix(1);
    return EqualsNoCase(line, marker);
}

// Walks the lines of a text. A line ends at LF (with a CR before it
// dropped); a text without any LF ends its lines at CR, as old Mac files do.
class LineWalker {
public:
    LineWalker(std::string_view text, char cEnd) : m_text(text), m_cEnd(cEnd) {}
    bool AtEnd() const { return m_pos >= m_text.size(); }
    size_t Offset() const { return m_pos; }
    // The next line, or false at the end.
    bool Next(std::string_view& line) {
        if (AtEnd()) return false;
        const void* hit = memchr(m_text.data() + m_pos, m_cEnd, m_text.size() - m_pos);
        size_t end = hit ? static_cast<size_t>(static_cast<const char*>(hit) - m_text.data()) : m_text.size();
        line = m_text.substr(m_pos, end - m_pos);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        m_pos = hit ? end + 1 : end;
        return true;
    }
    // The next line without moving on.
    bool Peek(std::string_view& line) const {
        LineWalker copy = *this;
        return copy.Next(line);
    }

private:
    std::string_view m_text;
    char m_cEnd;
    size_t m_pos = 0;
};

char LineEndOf(std::string_view text) {
    return memchr(text.data(), '\n', text.size()) == nullptr && memchr(text.data(), '\r', text.size()) ? '\r'
                                                                                                       : '\n';
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// Quoted-printable to bytes; soft line breaks are joined already. A stray
// '=' stays as it is.
void DecodeQuotedPrintable(std::string_view in, std::string& out) {
    out.clear();
    for (size_t i = 0; i < in.size(); ++i) {
        if (in[i] == '=' && i + 2 < in.size() && HexValue(in[i + 1]) >= 0 && HexValue(in[i + 2]) >= 0) {
            out.push_back(static_cast<char>(HexValue(in[i + 1]) * 16 + HexValue(in[i + 2])));
            i += 2;
        } else {
            out.push_back(in[i]);
        }
    }
}

int Base64Value(char c) {
    if (c >= 'A' && c <= 'Z') return c - 'A';
    if (c >= 'a' && c <= 'z') return c - 'a' + 26;
    if (c >= '0' && c <= '9') return c - '0' + 52;
    if (c == '+' || c == '-') return 62;
    if (c == '/' || c == '_') return 63;
    return -1;
}

// Base64 to bytes; blanks and anything outside the alphabet are passed over.
void DecodeBase64(std::string_view in, std::string& out) {
    out.clear();
    uint32_t bits = 0;
    int nBits = 0;
    for (char c : in) {
        const int v = Base64Value(c);
        if (v < 0) continue;
        bits = (bits << 6) | static_cast<uint32_t>(v);
        nBits += 6;
        if (nBits >= 8) {
            nBits -= 8;
            out.push_back(static_cast<char>((bits >> nBits) & 0xFF));
        }
    }
}

// ISO-8859-15 differs from ISO-8859-1 in eight places.
char32_t Latin9(unsigned char b) {
    switch (b) {
        case 0xA4:
            return 0x20AC;
        case 0xA6:
            return 0x0160;
        case 0xA8:
            return 0x0161;
        case 0xB4:
            return 0x017D;
        case 0xB8:
            return 0x017E;
        case 0xBC:
            return 0x0152;
        case 0xBD:
            return 0x0153;
        case 0xBE:
            return 0x0178;
        default:
            return b;
    }
}

enum class Charset { kAuto, kWindows1252, kLatin9 };

Charset CharsetOf(std::string_view name) {
    if (EqualsNoCase(name, "ISO-8859-15") || EqualsNoCase(name, "LATIN9") || EqualsNoCase(name, "ISO8859-15"))
        return Charset::kLatin9;
    // Latin-1 as written by Windows programs is Windows-1252 in practice.
    for (std::string_view n :
         {"ISO-8859-1", "ISO8859-1", "LATIN1", "LATIN-1", "WINDOWS-1252", "CP1252", "CP-1252"})
        if (EqualsNoCase(name, n)) return Charset::kWindows1252;
    return Charset::kAuto;
}

// Decoded bytes into UTF-8 text: the declared single-byte set, else UTF-8
// when valid, else Windows-1252.
void BytesToUtf8(const std::string& bytes, Charset charset, std::string& out) {
    if (charset == Charset::kAuto && IsValidUtf8(bytes.data(), bytes.size())) {
        out = bytes;
        return;
    }
    out.clear();
    for (char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        qvxsupport::AppendUtf8(out, charset == Charset::kLatin9 ? Latin9(b) : Windows1252CodePoint(b));
    }
}

// A file read as Windows-1252 may still hold cards written in UTF-8 (one
// file joined from several exports): a value whose Windows-1252 bytes form
// valid UTF-8 with more than ASCII was UTF-8.
bool RepairMixedUtf8(std::string& text) {
    bool nonAscii = false;
    for (char c : text) nonAscii = nonAscii || (static_cast<unsigned char>(c) & 0x80);
    if (!nonAscii) return false;
    static const auto kReverse = [] {
        std::array<std::pair<char32_t, unsigned char>, 32> table{};
        for (int b = 0x80; b < 0xA0; ++b)
            table[static_cast<size_t>(b - 0x80)] = {Windows1252CodePoint(static_cast<unsigned char>(b)),
                                                    static_cast<unsigned char>(b)};
        return table;
    }();
    std::string bytes;
    bytes.reserve(text.size());
    std::string_view rest(text);
    while (!rest.empty()) {
        char32_t cp = 0;
        const size_t n = qvxsupport::DecodeUtf8(rest, cp);
        if (n == 0) return false;
        rest.remove_prefix(n);
        if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) {
            bytes.push_back(static_cast<char>(cp));
            continue;
        }
        auto hit =
            std::find_if(kReverse.begin(), kReverse.end(), [cp](const auto& e) { return e.first == cp; });
        if (hit == kReverse.end()) return false;
        bytes.push_back(static_cast<char>(hit->second));
    }
    if (!IsValidUtf8(bytes.data(), bytes.size())) return false;
    text.swap(bytes);
    return true;
}

// Line ends inside a value become LF.
void NormalizeLineEnds(std::string& text) {
    if (text.find('\r') == std::string::npos) return;
    size_t w = 0;
    for (size_t r = 0; r < text.size(); ++r) {
        if (text[r] == '\r') {
            text[w++] = '\n';
            if (r + 1 < text.size() && text[r + 1] == '\n') ++r;
        } else {
            text[w++] = text[r];
        }
    }
    text.resize(w);
}

// Splits a value at unescaped `sep` (none: no split) and resolves the
// escapes \n \N \, \; \: \\ ; another backslash stays as written.
void SplitValue(std::string_view value, char sep, std::vector<std::string>& parts) {
    parts.resize(1);
    if (memchr(value.data(), '\\', value.size()) == nullptr &&
        (sep == 0 || memchr(value.data(), sep, value.size()) == nullptr)) {
        parts.front().assign(value);
        return;
    }
    parts.front().clear();
    for (size_t i = 0; i < value.size(); ++i) {
        const char c = value[i];
        if (c == '\\' && i + 1 < value.size()) {
            const char e = value[i + 1];
            if (e == 'n' || e == 'N') {
                parts.back().push_back('\n');
                ++i;
                continue;
            }
            if (e == ',' || e == ';' || e == ':' || e == '\\') {
                parts.back().push_back(e);
                ++i;
                continue;
            }
        }
        if (sep != 0 && c == sep) {
            parts.emplace_back();
            continue;
        }
        parts.back().push_back(c);
    }
}

// Cuts a label to kMaxLabel bytes without splitting a character.
std::string CutLabel(std::string_view label) {
    label = TrimBlanks(label);
    if (label.size() > kMaxLabel)
        label = label.substr(0, qvxsupport::CompleteUtf8Length(label.data(), kMaxLabel));
    std::string out(label);
    for (char& c : out)
        if (c == '\n' || c == '\r' || c == '\t') c = ' ';
    return out;
}

bool IsNameChar(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '_';
}

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

}  // namespace

// The words that make headers. Headers are the keys stored on the phone and
// what a user's mapping names, so they are the English words whatever the
// interface language: one file gives one database, and a mapping saved in
// one language fits the file read in another.
struct CVCardReader::Words {
    std::string name, family, given, additional, prefix, suffix, company, department, phone, email, address;
    std::array<std::string, 13> types;
    std::vector<std::string> props;  // by index into kProps
    std::string Text(const char* /*key*/, const char* english) { return english; }
};

namespace {

struct TypeWord {
    std::string_view code;
    int index;  // into Words::types, also the order in a header
};
// Type words, in the order they show in a header; several codes share a word.
constexpr TypeWord kTypeWords[] = {
    {"home", 0},   {"work", 1}, {"other", 2}, {"cell", 3},  {"mobile", 3},
    {"iphone", 3}, {"main", 4}, {"fax", 5},   {"pager", 6}, {"car", 7},
    {"video", 8},  {"text", 9}, {"msg", 10},  {"isdn", 11}, {"textphone", 12},
};
constexpr const char* kTypeKeys[13][2] = {
    {qvxtext::kVCard_Type_Home, "home"},           {qvxtext::kVCard_Type_Work, "work"},
    {qvxtext::kVCard_Type_Other, "other"},         {qvxtext::kVCard_Type_Mobile, "mobile"},
    {qvxtext::kVCard_Type_Main, "main"},           {qvxtext::kVCard_Type_Fax, "fax"},
    {qvxtext::kVCard_Type_Pager, "pager"},         {qvxtext::kVCard_Type_Car, "car"},
    {qvxtext::kVCard_Type_Video, "video"},         {qvxtext::kVCard_Type_Text, "text"},
    {qvxtext::kVCard_Type_Message, "message"},     {qvxtext::kVCard_Type_Isdn, "ISDN"},
    {qvxtext::kVCard_Type_Textphone, "textphone"},
};
// Types that say nothing a user would label a number or address by.
constexpr std::string_view kSilentTypes[] = {"pref", "voice", "internet", "x400",
                                             "dom",  "intl",  "postal",   "parcel"};

struct PropInfo {
    std::string_view name;
    Prop prop;
    const char* key;      // header word, for kPlain and kLabelled
    const char* english;  // its fallback
};
constexpr PropInfo kProps[] = {
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
constexpr std::string_view kTechnicalProps[] = {
    "PRODID",      "UID",    "REV",   "KIND", "SOURCE",  "NAME",    "PROFILE",    "CLIENTPIDMAP",   "XML",
    "SORT-STRING", "CLASS",  "LABEL", "TZ",   "GEO",     "MAILER",  "AGENT",      "FBURL",          "CALURI",
    "CALADRURI",   "MEMBER", "BEGIN", "END",  "X-ABUID", "X-ABADR", "X-ABSHOWAS", "X-ABPERSONFLAGS"};
// Extensions people do read; every other X- property is taken as technical.
constexpr std::string_view kReadableExtensions[] = {
    "X-SKYPE",  "X-SKYPE-USERNAME", "X-JABBER",      "X-AIM",       "X-ICQ",     "X-MSN",
    "X-YAHOO",  "X-GTALK",          "X-GOOGLE-TALK", "X-QQ",        "X-TWITTER", "X-SIP",
    "X-SPOUSE", "X-ASSISTANT",      "X-MANAGER",     "X-MAIDENNAME"};
// Properties whose base64 values are text, not pictures or keys.
constexpr std::string_view kTextProps[] = {"FN",  "N",     "ORG",      "TITLE", "ROLE",       "NOTE", "ADR",
                                           "TEL", "EMAIL", "NICKNAME", "URL",   "CATEGORIES", "LABEL"};

const PropInfo* FindProp(std::string_view name) {
    for (const PropInfo& p : kProps)
        if (EqualsNoCase(name, p.name)) return &p;
    return nullptr;
}

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

// Splits "group.NAME;params:value" into a fresh property (its parameters are
// read by ParseParams when wanted); false when the line is no property.
bool ParseProperty(std::string_view line, Property& p) {
    size_t i = 0;
    while (i < line.size() && IsNameChar(line[i])) ++i;
    if (i < line.size() && line[i] == '.' && i > 0) {
        p.group = line.substr(0, i);
        const size_t start = ++i;
        while (i < line.size() && IsNameChar(line[i])) ++i;
        p.name = line.substr(start, i - start);
    } else {
        p.name = line.substr(0, i);
    }
    if (p.name.empty()) return false;
    // Writers of 2.1 put blanks before the separators now and then.
    while (i < line.size() && IsBlank(line[i])) ++i;
    if (i >= line.size() || (line[i] != ';' && line[i] != ':')) return false;
    // Parameters up to the first colon outside quotes.
    const size_t paramStart = i;
    size_t colon = line.find(':', i);
    if (colon != std::string_view::npos && memchr(line.data() + i, '"', colon - i) != nullptr) {
        bool quoted = false;
        colon = std::string_view::npos;
        for (size_t k = i; k < line.size(); ++k) {
            if (line[k] == '"') quoted = !quoted;
            if (line[k] == ':' && !quoted) {
                colon = k;
                break;
            }
        }
    }
    if (colon == std::string_view::npos) return false;
    p.value = line.substr(colon + 1);
    p.head = line.substr(static_cast<size_t>(p.name.data() - line.data()),
                         colon - static_cast<size_t>(p.name.data() - line.data()));
    p.params = line.substr(paramStart, colon - paramStart);
    return true;
}

// The parameters: encoding, character set, value type and types.
void ParseParams(Property& p) {
    std::string_view params = p.params;
    while (!params.empty()) {
        if (params.front() == ';') params.remove_prefix(1);
        size_t end = 0;
        bool inQuotes = false;
        while (end < params.size() && (params[end] != ';' || inQuotes)) {
            if (params[end] == '"') inQuotes = !inQuotes;
            ++end;
        }
        std::string_view param = TrimBlanks(params.substr(0, end));
        params.remove_prefix(end);
        const size_t eq = param.find('=');
        std::string_view key =
            eq == std::string_view::npos ? std::string_view() : TrimBlanks(param.substr(0, eq));
        std::string_view val = eq == std::string_view::npos ? param : TrimBlanks(param.substr(eq + 1));
        if (key.empty() || EqualsNoCase(key, "ENCODING")) {
            if (EqualsNoCase(val, "QUOTED-PRINTABLE")) {
                p.bQuotedPrintable = true;
            } else if (EqualsNoCase(val, "BASE64") || EqualsNoCase(val, "B")) {
                p.bBase64 = true;
            } else if (key.empty() && !EqualsNoCase(val, "8BIT") && !EqualsNoCase(val, "7BIT")) {
                p.AddType(val);  // 2.1's bare type words
            }
        } else if (EqualsNoCase(key, "TYPE")) {
            p.AddType(val);
        } else if (EqualsNoCase(key, "CHARSET")) {
            p.charset = val;
        } else if (EqualsNoCase(key, "VALUE")) {
            p.bUri = EqualsNoCase(val, "uri") || EqualsNoCase(val, "url");
            p.bBase64 = p.bBase64 || EqualsNoCase(val, "binary");
        }
    }
}

}  // namespace

// Parses the lines of one card (between BEGIN and END) and hands each cell
// to a sink as (header, kind, value).
class CVCardReader::CardParser {
public:
    CardParser(Words& words, TextEncoding fileEncoding, char cLineEnd)
        : m_words(words), m_bRepair(fileEncoding == TextEncoding::kWindows1252), m_cLineEnd(cLineEnd) {}

    // False when a line is no property (the card is unreadable).
    template <typename Sink, typename Version>
    bool Parse(std::string_view body, Sink&& sink, Version&& version, bool bValues = true) {
        m_bValues = bValues;
        m_counts.clear();
        m_countIndex.clear();
        m_labels.clear();
        m_fn.clear();
        m_nameParts = {};
        m_body = body;
        m_bLabelsRead = false;
        const bool ok = Walk(body, m_line, [&](Property& p) { Handle(p, sink, version); });
        if (!ok) return false;
        std::string name = TrimmedText(m_fn);
        if (name.empty()) {
            for (const std::string* part : {&m_nameParts[1], &m_nameParts[2], &m_nameParts[0]}) {
                if (part->empty()) continue;
                if (!name.empty()) name.push_back(' ');
                name += *part;
            }
        }
        if (!name.empty()) sink(m_words.name, VCardColumnKind::kName, name);
        return true;
    }

private:
    struct ViewHash {
        using is_transparent = void;
        size_t operator()(std::string_view s) const { return std::hash<std::string_view>()(s); }
    };
    struct Head {
        bool bQuotedPrintable = false;
        bool bBase64 = false;
        bool bUri = false;
        std::string charset;
        bool bHeader = false;
        std::string header;  // for a property without a group
    };

    // Calls f for each property line, unfolded and with quoted-printable
    // soft line breaks joined. Binary values are passed over unread.
    template <typename F>
    bool Walk(std::string_view body, std::string& joinedLine, F&& f) {
        LineWalker lines(body, m_cLineEnd);
        std::string_view line;
        while (lines.Next(line)) {
            if (TrimBlanks(line).empty() || IsBlank(line.front())) continue;
            size_t n = 0;
            while (n < line.size() && (IsNameChar(line[n]) || line[n] == '.')) ++n;
            const std::string_view head = line.substr(0, n);
            const std::string_view bareName = head.substr(std::min(head.rfind('.') + 1, head.size()));
            const PropInfo* info = FindProp(bareName);
            const bool binary = info != nullptr && info->prop == Prop::kBinary;
            // The encoding is looked up only when a following line may
            // continue this one, which most lines are not.
            const std::string_view params = line.substr(0, line.find(':'));
            int qp = -1;
            int b64 = -1;
            auto isQp = [&] {
                return qp >= 0 ? qp == 1 : (qp = ContainsNoCase(params, "QUOTED-PRINTABLE")) == 1;
            };
            auto isB64 = [&] {
                return b64 >= 0 ? b64 == 1
                                : (b64 = ContainsNoCase(params, "BASE64") ||
                                         ContainsNoCase(params, "ENCODING=B")) == 1;
            };
            std::string_view logical = line;
            bool joined = false;
            std::string_view next;
            while (lines.Peek(next)) {
                const bool fold = !next.empty() && IsBlank(next.front());
                const bool soft = !fold &&
                                  EndsWithSoftBreak(joined ? std::string_view(joinedLine) : logical) &&
                                  isQp() && !IsMarker(next, "END:VCARD");
                const bool b64Line = !fold && !soft && next.find(':') == std::string_view::npos &&
                                     !TrimBlanks(next).empty() && isB64();
                if (!fold && !soft && !b64Line) break;
                lines.Next(next);
                if (binary) continue;
                if (!joined) {
                    joinedLine.assign(logical);
                    joined = true;
                }
                if (soft || (fold && EndsWithSoftBreak(joinedLine) && isQp())) {
                    while (!joinedLine.empty() && IsBlank(joinedLine.back())) joinedLine.pop_back();
                    joinedLine.pop_back();  // the '='
                    if (fold) next = TrimBlanks(next);
                } else if (fold) {
                    next.remove_prefix(1);
                } else {
                    next = TrimBlanks(next);
                }
                joinedLine.append(next);
            }
            if (binary) continue;
            if (joined) logical = joinedLine;
            Property p;
            if (!ParseProperty(logical, p)) return false;
            f(p);
        }
        return true;
    }

    static bool EndsWithSoftBreak(std::string_view s) {
        while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
        return !s.empty() && s.back() == '=';
    }

    // The value as UTF-8 text with LF line ends, escapes not yet resolved.
    void Decode(const Property& p, std::string& out) {
        if (p.bQuotedPrintable || p.bBase64) {
            if (p.bQuotedPrintable)
                DecodeQuotedPrintable(p.value, m_bytes);
            else
                DecodeBase64(p.value, m_bytes);
            BytesToUtf8(m_bytes, CharsetOf(p.charset), out);
        } else {
            out.assign(p.value);
            if (m_bRepair) RepairMixedUtf8(out);
        }
        NormalizeLineEnds(out);
    }

    static std::string TrimmedText(std::string_view s) { return std::string(TrimBlanks(s)); }

    // An Apple label: "_$!<Mobile>!$_" names a standard type, anything else
    // is the user's own text.
    std::string AppleLabel(const std::string& raw) {
        std::string_view label = TrimBlanks(raw);
        if (label.size() > 8 && label.substr(0, 4) == "_$!<" && label.substr(label.size() - 4) == ">!$_") {
            label = label.substr(4, label.size() - 8);
            Property types;
            if (EqualsNoCase(label, "HomeFAX") || EqualsNoCase(label, "WorkFAX") ||
                EqualsNoCase(label, "OtherFAX")) {
                types.AddType(label.substr(0, label.size() - 3));
                types.AddType("fax");
            } else {
                types.AddType(label);
            }
            std::string words = TypeLabel(types, true);
            if (!words.empty()) return words;
        }
        std::vector<std::string> parts;  // not m_parts: the value being read may live there
        SplitValue(label, 0, parts);
        return CutLabel(parts.front());
    }

    // The types as header words in a fixed order; unknown words follow as
    // written (without "x-"). Empty when bOnlyKnown and a word is unknown.
    std::string TypeLabel(const Property& p, bool bOnlyKnown = false) {
        std::array<bool, 13> known{};
        std::vector<std::string_view> unknown;
        for (size_t k = 0; k < p.nTypes; ++k) {
            std::string_view t = p.types[k];
            if (InList(t, kSilentTypes)) continue;
            auto hit = std::find_if(std::begin(kTypeWords), std::end(kTypeWords),
                                    [t](const TypeWord& w) { return EqualsNoCase(t, w.code); });
            if (hit != std::end(kTypeWords)) {
                known[static_cast<size_t>(hit->index)] = true;
                continue;
            }
            if (bOnlyKnown) return std::string();
            if (StartsNoCase(t, "x-")) t.remove_prefix(2);
            if (!t.empty() && std::find(unknown.begin(), unknown.end(), t) == unknown.end())
                unknown.push_back(t);
        }
        std::sort(unknown.begin(), unknown.end());
        std::string out;
        for (size_t k = 0; k < known.size(); ++k) {
            if (!known[k]) continue;
            if (!out.empty()) out += ", ";
            out += m_words.types[k];
        }
        for (std::string_view t : unknown) {
            if (!out.empty()) out += ", ";
            out += t;
        }
        return CutLabel(out);
    }

    // The label of a property: its group's X-ABLabel, else its types.
    std::string LabelOf(const Property& p) {
        if (!p.group.empty() && !m_bLabelsRead) {
            // Labels name their group anywhere in the card: read once, on
            // the first grouped property.
            m_bLabelsRead = true;
            std::string value;
            Walk(m_body, m_labelLine, [&](Property& q) {
                if (!q.group.empty() && EqualsNoCase(q.name, "X-ABLABEL")) {
                    ParseParams(q);
                    Decode(q, value);
                    m_labels.emplace(GroupKey(q.group), AppleLabel(value));
                }
            });
        }
        if (!p.group.empty() && !m_labels.empty()) {
            auto hit = m_labels.find(GroupKey(p.group));
            if (hit != m_labels.end() && !hit->second.empty()) return hit->second;
        }
        return TypeLabel(p);
    }

    // Group names are compared ignoring case.
    static std::string GroupKey(std::string_view group) {
        std::string key(group);
        for (char& c : key) c = Upper(c);
        return key;
    }

    // How often `base` was met in this card, this time included. A card
    // holds few properties: a list does, and an index takes over for a
    // card of thousands.
    int CountOf(const std::string& base) {
        if (m_counts.size() < kListedCounts) {
            for (auto& [header, count] : m_counts)
                if (header == base) return ++count;
            m_counts.emplace_back(base, 1);
            if (m_counts.size() == kListedCounts)
                for (const auto& [header, count] : m_counts) m_countIndex.emplace(header, count);
            return 1;
        }
        return ++m_countIndex.try_emplace(base, 0).first->second;
    }

    static std::string WithLabel(const std::string& word, const std::string& label) {
        return label.empty() ? word : word + " (" + label + ")";
    }

    // The header of the n-th value of `base` in this card.
    template <typename Sink>
    void Emit(Sink& sink, const std::string& base, VCardColumnKind kind, std::string_view value) {
        value = TrimBlanks(value);
        if (value.empty()) return;
        const int n = CountOf(base);
        if (n == 1) {
            sink(base, kind, value);
            return;
        }
        if (kind == VCardColumnKind::kCompany) kind = VCardColumnKind::kText;
        sink(base + " (" + std::to_string(n) + ")", kind, value);
    }

    static VCardColumnKind KindOf(Prop prop) {
        switch (prop) {
            case Prop::kTel:
                return VCardColumnKind::kPhone;
            case Prop::kEmail:
                return VCardColumnKind::kEmail;
            case Prop::kAdr:
                return VCardColumnKind::kAddress;
            case Prop::kVersion:
            case Prop::kTechnical:
                return VCardColumnKind::kTechnical;
            default:
                return VCardColumnKind::kText;
        }
    }

    // The header of a property before its number in the card. Those
    // without a group depend only on name and parameters, which repeat from
    // card to card: they are made once.
    const std::string& HeaderOf(const Property& p, Prop prop, const PropInfo* info, Head& head) {
        if (p.group.empty() && head.bHeader) return head.header;
        std::string word;
        switch (prop) {
            case Prop::kTel:
                word = m_words.phone;
                break;
            case Prop::kEmail:
                word = m_words.email;
                break;
            case Prop::kAdr:
                word = m_words.address;
                break;
            case Prop::kLabelled:
            case Prop::kPlain:
                word = m_words.props[static_cast<size_t>(info - kProps)];
                break;
            default:
                // Names are ASCII: cut like labels, so that every header
                // fits the buffers mappings are read through.
                word = CutLabel(p.name);
                for (char& c : word) c = Upper(c);
                break;
        }
        const bool labelled = prop == Prop::kTel || prop == Prop::kEmail || prop == Prop::kAdr ||
                              prop == Prop::kLabelled || !p.group.empty();
        if (labelled && prop != Prop::kPlain) word = WithLabel(word, LabelOf(p));
        if (!p.group.empty()) {
            m_groupHeader = std::move(word);
            return m_groupHeader;
        }
        head.header = std::move(word);
        head.bHeader = true;
        return head.header;
    }

    // What the parameters of a property line say. They depend on the line's
    // head alone, which repeats from card to card: read once per head. The
    // types are read again for a grouped property, whose label may come
    // from them.
    Head& ReadHead(Property& p) {
        auto hit = m_heads.find(p.head);
        if (hit == m_heads.end()) {
            ParseParams(p);
            Head head;
            head.bQuotedPrintable = p.bQuotedPrintable;
            head.bBase64 = p.bBase64;
            head.bUri = p.bUri;
            head.charset.assign(p.charset);
            return m_heads.emplace(std::string(p.head), std::move(head)).first->second;
        }
        Head& head = hit->second;
        if (!p.group.empty()) {
            ParseParams(p);
        } else {
            p.bQuotedPrintable = head.bQuotedPrintable;
            p.bBase64 = head.bBase64;
            p.bUri = head.bUri;
            p.charset = head.charset;
        }
        return head;
    }

    template <typename Sink, typename Version>
    void Handle(Property& p, Sink& sink, Version& version) {
        Head& head = ReadHead(p);
        if (p.bBase64 && !InList(p.name, kTextProps)) return;  // binary, never read
        const PropInfo* info = FindProp(p.name);
        const Prop prop = info ? info->prop
                          : InList(p.name, kTechnicalProps) ||
                                  (StartsNoCase(p.name, "X-") && !InList(p.name, kReadableExtensions))
                              ? Prop::kTechnical
                              : Prop::kOther;
        switch (prop) {
            case Prop::kLabel:
            case Prop::kBinary:
                return;
            case Prop::kFn:
                if (TrimBlanks(m_fn).empty()) {
                    Decode(p, m_value);
                    SplitValue(m_value, 0, m_parts);
                    m_fn = m_parts.front();
                }
                return;
            case Prop::kN: {
                Decode(p, m_value);
                SplitValue(m_value, ';', m_parts);
                m_parts.resize(std::max<size_t>(m_parts.size(), 5));
                static constexpr VCardColumnKind kKinds[5] = {
                    VCardColumnKind::kNamePart, VCardColumnKind::kNamePart, VCardColumnKind::kNamePart,
                    VCardColumnKind::kText, VCardColumnKind::kText};
                const std::string* words[5] = {&m_words.family, &m_words.given, &m_words.additional,
                                               &m_words.prefix, &m_words.suffix};
                const bool first = m_nameParts[0].empty() && m_nameParts[1].empty() && m_nameParts[2].empty();
                for (size_t k = 0; k < 5; ++k) {
                    std::string part = TrimmedText(m_parts[k]);
                    std::replace(part.begin(), part.end(), ',', ' ');
                    if (first && k < 3) m_nameParts[k] = part;
                    Emit(sink, *words[k], kKinds[k], part);
                }
                return;
            }
            case Prop::kOrg: {
                Decode(p, m_value);
                SplitValue(m_value, ';', m_parts);
                Emit(sink, m_words.company, VCardColumnKind::kCompany, m_parts.front());
                std::string rest;
                for (size_t k = 1; k < m_parts.size(); ++k) {
                    std::string_view part = TrimBlanks(m_parts[k]);
                    if (part.empty()) continue;
                    if (!rest.empty()) rest += ", ";
                    rest += part;
                }
                Emit(sink, m_words.department, VCardColumnKind::kText, rest);
                return;
            }
            case Prop::kTel:
            case Prop::kEmail:
            case Prop::kLabelled:
            case Prop::kPlain: {
                const std::string& header = HeaderOf(p, prop, info, head);
                if (!m_bValues) {
                    // Whether there is a value is all the analysis asks.
                    Emit(sink, header, KindOf(prop), p.value);
                    return;
                }
                Decode(p, m_value);
                SplitValue(m_value, 0, m_parts);
                std::string_view value = TrimBlanks(m_parts.front());
                if (prop == Prop::kTel && StartsNoCase(value, "tel:")) value.remove_prefix(4);
                if (prop == Prop::kEmail && StartsNoCase(value, "mailto:")) value.remove_prefix(7);
                Emit(sink, header, KindOf(prop), value);
                return;
            }
            case Prop::kAdr: {
                const std::string& header = HeaderOf(p, prop, info, head);
                Decode(p, m_value);
                SplitValue(m_value, ';', m_parts);
                Emit(sink, header, VCardColumnKind::kAddress, ReadableAddress());
                return;
            }
            case Prop::kVersion:
                version(TrimBlanks(p.value));
                [[fallthrough]];
            case Prop::kTechnical:
            case Prop::kOther: {
                const std::string& header = HeaderOf(p, prop, info, head);
                if (!m_bValues) {
                    Emit(sink, header, KindOf(prop), p.value);
                    return;
                }
                Decode(p, m_value);
                SplitValue(m_value, 0, m_parts);
                Emit(sink, header, KindOf(prop), m_parts.front());
                return;
            }
        }
    }

    // Street, extended address, post office box, postal code with town,
    // region, country: one line, parts joined by ", ".
    std::string ReadableAddress() {
        m_parts.resize(std::max<size_t>(m_parts.size(), 7));
        auto part = [this](size_t k) {
            std::string text = TrimmedText(m_parts[k]);
            for (size_t pos; (pos = text.find('\n')) != std::string::npos;) text.replace(pos, 1, ", ");
            return text;
        };
        std::string town = part(5);
        const std::string locality = part(3);
        if (!town.empty() && !locality.empty()) town += ' ';
        town += locality;
        std::string out;
        for (const std::string& piece : {part(2), part(1), part(0), town, part(4), part(6)}) {
            if (piece.empty()) continue;
            if (!out.empty()) out += ", ";
            out += piece;
        }
        return out;
    }

    Words& m_words;
    bool m_bRepair;
    char m_cLineEnd;
    std::unordered_map<std::string, Head, ViewHash, std::equal_to<>> m_heads;
    std::string m_groupHeader;
    bool m_bValues = true;
    std::string m_line;
    std::string m_labelLine;
    std::string_view m_body;
    bool m_bLabelsRead = false;
    std::string m_bytes;
    std::string m_value;
    std::vector<std::string> m_parts;
    static constexpr size_t kListedCounts = 32;
    std::vector<std::pair<std::string, int>> m_counts;
    std::unordered_map<std::string, int> m_countIndex;
    std::unordered_map<std::string, std::string> m_labels;  // by GroupKey
    std::string m_fn;
    std::array<std::string, 3> m_nameParts;  // family, given, additional
};

CVCardReader::CVCardReader() = default;
CVCardReader::~CVCardReader() = default;

bool CVCardReader::IsVCardText(std::string_view text) {
    LineWalker lines(text, LineEndOf(text.substr(0, std::min(text.size(), kSniffBytes))));
    std::string_view line;
    while (lines.Next(line)) {
        if (TrimBlanks(line).empty()) continue;
        return IsMarker(TrimBlanks(line), "BEGIN:VCARD");
    }
    return false;
}

bool CVCardReader::IsVCardFile(const char* pszPath) {
    if (pszPath == nullptr) return false;
    FILE* f = fopen(pszPath, "rb");
    if (f == nullptr) return false;
    TextBytes bytes;
    if (!bytes.Allocate(kSniffBytes)) {
        fclose(f);
        return false;
    }
    bytes.size = fread(bytes.data.get(), 1, kSniffBytes, f);
    fclose(f);
    // A cut character at the end of the piece must not make the start
    // Windows-1252: only whole lines are looked at.
    TextEncoding encoding;
    if (!DecodeToUtf8(bytes, &encoding)) return false;
    return IsVCardText(std::string_view(bytes.data.get(), bytes.size));
}

void CVCardReader::AddUnreadable(uint32_t line) {
    ++m_nUnreadable;
    if (m_unreadableLines.size() < static_cast<size_t>(CCSVParser::kMismatchedLinesKept))
        m_unreadableLines.push_back(static_cast<int>(line));
}

void CVCardReader::NoteVersion(std::string_view version) {
    version = TrimBlanks(version);
    if (version.empty() || version.size() > 8 || m_versions.size() >= kMaxVersions) return;
    if (std::find(m_versions.begin(), m_versions.end(), version) == m_versions.end())
        m_versions.emplace_back(version);
}

int CVCardReader::AddColumn(const std::string& header, VCardColumnKind kind) {
    auto hit = m_columnIndex.find(header);
    if (hit != m_columnIndex.end()) return hit->second;
    if (m_columns.size() >= kMaxColumns) {
        ++m_nCutValues;
        return -1;
    }
    const int index = static_cast<int>(m_columns.size());
    m_columnIndex.emplace(header, index);
    m_columns.push_back({header, kind});
    return index;
}

std::string CVCardReader::GetHeader(int nColumn) const {
    if (nColumn < 0 || nColumn >= GetColumnCount()) return std::string();
    return m_columns[static_cast<size_t>(nColumn)].header;
}

VCardColumnKind CVCardReader::GetColumnKind(int nColumn) const {
    if (nColumn < 0 || nColumn >= GetColumnCount()) return VCardColumnKind::kTechnical;
    return m_columns[static_cast<size_t>(nColumn)].kind;
}

void CVCardReader::ReleaseText() {
    m_text.Clear();
    std::vector<Card>().swap(m_cards);
}

int CVCardReader::Read(const char* pszPath) {
    m_text.Clear();
    m_cards.clear();
    m_columns.clear();
    m_columnIndex.clear();
    m_versions.clear();
    m_nUnreadable = 0;
    m_unreadableLines.clear();
    m_nCards = 0;
    m_nCutValues = 0;
    m_words = std::make_unique<Words>();
    Words& w = *m_words;
    w.name = w.Text(qvxtext::kVCard_Column_Name, "Name");
    w.family = w.Text(qvxtext::kVCard_Column_FamilyName, "Family name");
    w.given = w.Text(qvxtext::kVCard_Column_GivenName, "Given name");
    w.additional = w.Text(qvxtext::kVCard_Column_AdditionalNames, "Additional names");
    w.prefix = w.Text(qvxtext::kVCard_Column_NamePrefix, "Name prefix");
    w.suffix = w.Text(qvxtext::kVCard_Column_NameSuffix, "Name suffix");
    w.company = w.Text(qvxtext::kVCard_Column_Company, "Company");
    w.department = w.Text(qvxtext::kVCard_Column_Department, "Department");
    w.phone = w.Text(qvxtext::kVCard_Column_Phone, "Phone");
    w.email = w.Text(qvxtext::kVCard_Column_Email, "E-mail");
    w.address = w.Text(qvxtext::kVCard_Column_Address, "Address");
    for (size_t k = 0; k < w.types.size(); ++k) w.types[k] = w.Text(kTypeKeys[k][0], kTypeKeys[k][1]);
    for (const PropInfo& p : kProps) w.props.push_back(p.key ? w.Text(p.key, p.english) : std::string());
    AddColumn(w.name, VCardColumnKind::kName);

    if (pszPath == nullptr || m_text.Read(pszPath) != 0) {
        LOG_WARN(qvxlog::CSVPars, "vCard file %s could not be read", pszPath ? pszPath : "");
        m_text.Clear();
        return CSV_ERR_SPLIT;
    }
    m_encoding = m_text.GetEncoding();
    const std::string_view text = m_text.GetText();
    m_cLineEnd = LineEndOf(text);
    CardParser parser(w, m_encoding, m_cLineEnd);
    auto addColumn = [this](const std::string& header, VCardColumnKind kind, std::string_view) {
        AddColumn(header, kind);
    };
    auto noteVersion = [this](std::string_view v) { NoteVersion(v); };

    try {
        LineWalker lines(text, m_cLineEnd);
        std::string_view line;
        uint32_t lineNo = 0;
        bool inCard = false;
        bool inGarbage = false;
        size_t cardStart = 0;  // offset of the line after BEGIN:VCARD
        uint32_t cardLine = 0;
        auto closeCard = [&](size_t end, bool complete) {
            Card card{cardStart, static_cast<uint32_t>(end - cardStart), cardLine, 0};
            if (end - cardStart >= UINT32_MAX) complete = false;
            card.readable = complete && parser.Parse(text.substr(cardStart, end - cardStart), addColumn,
                                                     noteVersion, false);
            if (!card.readable) AddUnreadable(cardLine);
            m_cards.push_back(card);
        };
        while (!lines.AtEnd()) {
            const size_t lineStart = lines.Offset();
            lines.Next(line);
            ++lineNo;
            if (IsMarker(line, "BEGIN:VCARD")) {
                if (inCard) closeCard(lineStart, false);
                inCard = true;
                inGarbage = false;
                cardStart = lines.Offset();
                cardLine = lineNo;
            } else if (inCard && IsMarker(line, "END:VCARD")) {
                closeCard(lineStart, true);
                inCard = false;
            } else if (!inCard && !TrimBlanks(line).empty() && !inGarbage) {
                // Text outside any card counts once per stretch.
                inGarbage = true;
                AddUnreadable(lineNo);
                m_cards.push_back({lineStart, 0, lineNo, 0});
            }
        }
        if (inCard) closeCard(text.size(), false);
    } catch (const std::bad_alloc&) {
        LOG_WARN(qvxlog::CSVPars, "vCard file %s: out of memory", pszPath);
        m_text.Clear();
        return CSV_ERR_SPLIT;
    }
    if (m_cards.size() > static_cast<size_t>(INT32_MAX - 1)) return CSV_ERR_SPLIT;
    m_nCards = static_cast<int>(m_cards.size());
    if (m_nCutValues > 0)
        LOG_WARN(qvxlog::CSVPars, "vCard file %s: %d values beyond %zu columns are not read", pszPath,
                 m_nCutValues, kMaxColumns);
    LOG_INFO(qvxlog::CSVPars, "vCard file %s: %d cards, %d columns, %d unreadable", pszPath, m_nCards,
             GetColumnCount(), m_nUnreadable);
    if (m_nCards == m_nUnreadable &&
        std::none_of(m_cards.begin(), m_cards.end(), [](const Card& c) { return c.length > 0; }))
        return CSV_ERR_NO_LINES;
    return 0;
}

int CVCardReader::FillHeader(CDataMap& table) const {
    if (table.SetColumnCount(GetColumnCount()) != GetColumnCount()) return qvxdm::kErrColumns;
    CDataRow* header = table.GetHeaderRow();
    if (header == nullptr) return qvxdm::kErrMemory;
    for (int j = 0; j < GetColumnCount(); ++j)
        header->SetField(j, m_columns[static_cast<size_t>(j)].header.c_str());
    return 0;
}

int CVCardReader::ParseData(CDataMap& table, PARSE_CALLBACK pCallback, void* pContext) {
    if (m_text.GetText().empty() || !m_words) {
        // Every row is in the table already: only the steps are left.
        for (int k = 0; k < m_nCards; ++k)
            if (pCallback && pCallback(pContext) == -1) return CSV_ERR_ABORTED;
        return 0;
    }
    int skip = table.GetRowCount();
    table.SetColumnCount(GetColumnCount());
    const int nColumns = table.GetColumnCount();
    // One parser for all cards, so that its buffers are made once.
    CardParser parser(*m_words, m_encoding, m_cLineEnd);
    std::string cell;
    for (const Card& card : m_cards) {
        if (card.readable) {
            if (skip > 0) {
                --skip;
            } else if (table.AddRow(table.GetRowCount()) == 0) {
                CDataRow* row = table.NextRow();
                parser.Parse(
                    m_text.GetText().substr(card.offset, card.length),
                    [&](const std::string& header, VCardColumnKind, std::string_view value) {
                        auto hit = m_columnIndex.find(header);
                        if (row == nullptr || hit == m_columnIndex.end() || hit->second >= nColumns) return;
                        cell.assign(value);
                        row->SetField(hit->second, cell.c_str());
                    },
                    [](std::string_view) {});
            }
        }
        if (pCallback && pCallback(pContext) == -1) return CSV_ERR_ABORTED;
    }
    return 0;
}
