#include "import/VCardValues.h"

#include <iconv.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <map>
#include <mutex>
#include <utility>

#include "support/TextDecoding.h"
#include "support/Utf8.h"

namespace qvxvcard {

namespace {

// Labels are cut to this many bytes so that headers stay readable.
constexpr size_t kMaxLabel = 64;

}  // namespace

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

Charset CharsetOf(std::string_view name) {
    if (name.empty() || EqualsNoCase(name, "UTF-8") || EqualsNoCase(name, "UTF8") ||
        EqualsNoCase(name, "US-ASCII") || EqualsNoCase(name, "ASCII"))
        return Charset::kAuto;
    if (EqualsNoCase(name, "ISO-8859-15") || EqualsNoCase(name, "LATIN9") || EqualsNoCase(name, "ISO8859-15"))
        return Charset::kLatin9;
    // Latin-1 as written by Windows programs is Windows-1252 in practice.
    for (std::string_view n :
         {"ISO-8859-1", "ISO8859-1", "LATIN1", "LATIN-1", "WINDOWS-1252", "CP1252", "CP-1252"})
        if (EqualsNoCase(name, n)) return Charset::kWindows1252;
    return Charset::kOther;
}

namespace {

// iconv descriptors by set name, opened once per process: opening one
// costs far more than converting a value. (iconv_t)-1 marks a set glibc
// does not know.
class IconvTable {
public:
    ~IconvTable() {
        for (auto& [name, cd] : m_open)
            if (cd != reinterpret_cast<iconv_t>(-1)) iconv_close(cd);
    }
    bool Convert(std::string_view name, const std::string& bytes, std::string& out) {
        std::lock_guard<std::mutex> lock(m_mutex);
        std::string key(name);
        for (char& c : key) c = Upper(c);
        auto hit = m_open.find(key);
        if (hit == m_open.end()) {
            // A set name is short; a long one is no set anyone knows.
            if (m_open.size() >= 64 || key.size() > 40) return false;
            hit = m_open.emplace(key, iconv_open("UTF-8", key.c_str())).first;
        }
        iconv_t cd = hit->second;
        if (cd == reinterpret_cast<iconv_t>(-1)) return false;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
        out.assign(bytes.size() * 4 + 16, '\0');
        char* in = const_cast<char*>(bytes.data());
        size_t inLeft = bytes.size();
        char* outPtr = out.data();
        size_t outLeft = out.size();
        if (iconv(cd, &in, &inLeft, &outPtr, &outLeft) == static_cast<size_t>(-1) ||
            iconv(cd, nullptr, nullptr, &outPtr, &outLeft) == static_cast<size_t>(-1)) {
            out.clear();
            return false;
        }
        out.resize(out.size() - outLeft);
        // A byte-order mark says nothing a user reads.
        if (out.compare(0, 3, "\xEF\xBB\xBF") == 0) out.erase(0, 3);
        return true;
    }

private:
    std::mutex m_mutex;
    std::map<std::string, iconv_t> m_open;
};

IconvTable& Iconv() {
    static IconvTable table;
    return table;
}

}  // namespace

bool BytesToUtf8(const std::string& bytes, Charset charset, std::string_view name, std::string& out) {
    bool decoded = true;
    if (charset == Charset::kOther) {
        if (Iconv().Convert(name, bytes, out)) return true;
        decoded = false;
        charset = Charset::kAuto;
    }
    if (charset == Charset::kAuto && IsValidUtf8(bytes.data(), bytes.size())) {
        out = bytes;
        return decoded;
    }
    out.clear();
    for (char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        qvxsupport::AppendUtf8(out, charset == Charset::kLatin9 ? Latin9(b) : Windows1252CodePoint(b));
    }
    return decoded;
}

bool Windows1252Bytes(std::string_view text, std::string& bytes) {
    static const auto kReverse = [] {
        std::array<std::pair<char32_t, unsigned char>, 32> table{};
        for (int b = 0x80; b < 0xA0; ++b)
            table[static_cast<size_t>(b - 0x80)] = {Windows1252CodePoint(static_cast<unsigned char>(b)),
                                                    static_cast<unsigned char>(b)};
        return table;
    }();
    bytes.clear();
    bytes.reserve(text.size());
    while (!text.empty()) {
        char32_t cp = 0;
        const size_t n = qvxsupport::DecodeUtf8(text, cp);
        if (n == 0) return false;
        text.remove_prefix(n);
        if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) {
            bytes.push_back(static_cast<char>(cp));
            continue;
        }
        auto hit =
            std::find_if(kReverse.begin(), kReverse.end(), [cp](const auto& e) { return e.first == cp; });
        if (hit != kReverse.end()) {
            bytes.push_back(static_cast<char>(hit->second));
        } else if (cp < 0xA0) {
            bytes.push_back(static_cast<char>(cp));  // a byte Windows-1252 leaves undefined
        } else {
            return false;
        }
    }
    return true;
}

bool DropZeroBytes(std::string& text) {
    const size_t before = text.size();
    text.erase(std::remove(text.begin(), text.end(), '\0'), text.end());
    return text.size() == before;
}

// A file read as Windows-1252 may still hold cards written in UTF-8 (one
// file joined from several exports): a value whose Windows-1252 bytes form
// valid UTF-8 with more than ASCII was UTF-8.
bool RepairMixedUtf8(std::string& text) {
    bool nonAscii = false;
    for (char c : text) nonAscii = nonAscii || (static_cast<unsigned char>(c) & 0x80);
    if (!nonAscii) return false;
    std::string bytes;
    if (!Windows1252Bytes(text, bytes) || !IsValidUtf8(bytes.data(), bytes.size())) return false;
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
}  // namespace qvxvcard
