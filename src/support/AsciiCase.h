// Comparing names without regard to case, the way the program's files are
// read (INI sections and keys, file extensions): only A-Z and a-z are paired,
// every other byte - UTF-8 included - must match exactly, whatever the
// locale. Header-only, so that the device service can use it too.
#pragma once

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

}  // namespace qvxsupport
