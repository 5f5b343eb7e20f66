// Comparing names without regard to case, the way the program's files are
// read (INI sections and keys, file extensions): only A-Z and a-z are paired,
// every other byte - UTF-8 included - must match exactly, whatever the
// locale. Header-only, so that the device service can use it too.
#pragma once

#include <string>
#include <string_view>

namespace qvxsupport {

inline char LowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

inline bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
    }
    return true;
}

// <0, 0 or >0 as a sorts before, with or after b; ties of length as strcmp.
inline int CompareIgnoringCase(std::string_view a, std::string_view b) {
    for (size_t i = 0; i < a.size() && i < b.size(); ++i) {
        const auto ca = static_cast<unsigned char>(LowerAscii(a[i]));
        const auto cb = static_cast<unsigned char>(LowerAscii(b[i]));
        if (ca != cb) return ca < cb ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : a.size() < b.size() ? -1 : 1;
}

inline bool EndsWithIgnoringCase(std::string_view text, std::string_view end) {
    return text.size() >= end.size() && EqualsIgnoringCase(text.substr(text.size() - end.size()), end);
}

// The text with A-Z in small letters.
inline std::string LowerAsciiText(std::string text) {
    for (char& c : text) c = LowerAscii(c);
    return text;
}

}  // namespace qvxsupport
