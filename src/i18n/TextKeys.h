// The text keys of language.ini. Code fetches texts only through these
// names, and the test of the shipped file checks it against kAllTextKeys,
// so a key can neither be missing from the file nor be misspelt in code.
// The list itself lives in TextKeys.def.
#pragma once

#include <array>
#include <string_view>

namespace qvxtext {

#define QVX_TEXT_KEY(name) inline constexpr const char k##name[] = #name;
#include "i18n/TextKeys.def"
#undef QVX_TEXT_KEY

inline constexpr std::array kAllTextKeys = {
#define QVX_TEXT_KEY(name) std::string_view(k##name),
#include "i18n/TextKeys.def"
#undef QVX_TEXT_KEY
};

}  // namespace qvxtext
