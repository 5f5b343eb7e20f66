#include "import/VCardProperties.h"

namespace qvxvcard {

const PropInfo* FindProp(std::string_view name) {
    for (const PropInfo& p : kProps)
        if (EqualsNoCase(name, p.name)) return &p;
    return nullptr;
}

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

}  // namespace qvxvcard
