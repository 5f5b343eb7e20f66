// Blanks cut from both ends of a text. Header-only, so that the device
// service can use it too.
#pragma once

#include <string_view>

namespace qvxsupport {

// Space, tab and the line and page breaks.
inline constexpr std::string_view kBlanks = " \t\r\n\v\f";

inline std::string_view Trim(std::string_view text, std::string_view blanks = kBlanks) {
    const size_t nBegin = text.find_first_not_of(blanks);
    if (nBegin == std::string_view::npos) return text.substr(text.size());
    return text.substr(nBegin, text.find_last_not_of(blanks) - nBegin + 1);
}

}  // namespace qvxsupport
