// Letter case folded for searching and ordering texts people typed: the
// ASCII capitals and the capitals of Latin-1 (U+00C0 ... U+00DE without
// U+00D7, all written C3 80 ... C3 9E in UTF-8) become small letters;
// everything else stays as it is. Enough for the names and headers of the
// exports we read, without a locale or a Unicode table.
#pragma once

#include <string>
#include <string_view>

namespace qvxsupport {

// What becomes of "ß", which has no capital in Latin-1: kept, or written
// "ss" where a text may spell it either way.
enum class SharpS { kKeep, kAsSs };

inline void FoldLatin1Case(std::string_view text, std::string& out, SharpS sharpS = SharpS::kKeep) {
    out.clear();
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c >= 'A' && c <= 'Z') {
            out.push_back(static_cast<char>(c - 'A' + 'a'));
            continue;
        }
        const auto next = i + 1 < text.size() ? static_cast<unsigned char>(text[i + 1]) : 0;
        if (c != 0xC3 || next < 0x80 || next > 0xBF) {
            out.push_back(static_cast<char>(c));
            continue;
        }
        ++i;
        if (next == 0x9F && sharpS == SharpS::kAsSs) {
            out += "ss";
            continue;
        }
        out.push_back(static_cast<char>(c));
        out.push_back(static_cast<char>(next <= 0x9E && next != 0x97 ? next + 0x20 : next));
    }
}

inline std::string FoldLatin1Case(std::string_view text, SharpS sharpS = SharpS::kKeep) {
    std::string out;
    FoldLatin1Case(text, out, sharpS);
    return out;
}

}  // namespace qvxsupport
