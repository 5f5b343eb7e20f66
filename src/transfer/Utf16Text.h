// Conversion between the local multibyte texts (UTF-8) and the UTF-16 texts
// of the connectivity interface. Header-only, so that the device service can
// use it without linking the core library.
//
// The round trip is lossless even for byte strings that are not valid UTF-8
// (file names on Linux may be any bytes): each stray byte 0x80-0xFF becomes
// the lone surrogate U+DC80-U+DCFF and turns back into that byte. Any other
// lone surrogate comes back as U+FFFD.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "support/Utf8.h"

namespace qvxconn {

inline std::u16string ToUtf16(std::string_view text) {
    std::u16string out;
    out.reserve(text.size());
    while (!text.empty()) {
        char32_t cp = 0;
        const std::size_t len = qvxsupport::DecodeUtf8(text, cp);
        if (len == 0) {
            out.push_back(static_cast<char16_t>(0xDC00 + static_cast<unsigned char>(text[0])));
            text.remove_prefix(1);
            continue;
        }
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(cp));
        }
        text.remove_prefix(len);
    }
    return out;
}

inline std::string FromUtf16(std::u16string_view text) {
    std::string out;
    out.reserve(text.size());
    const std::size_t n = text.size();
    for (std::size_t i = 0; i < n; ++i) {
        char32_t cp = text[i];
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < n && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (cp >= 0xDC80 && cp <= 0xDCFF) {
            out.push_back(static_cast<char>(cp - 0xDC00));
            continue;
        } else if (cp >= 0xD800 && cp <= 0xDFFF) {
            cp = 0xFFFD;
        }
        qvxsupport::AppendUtf8(out, cp);
    }
    return out;
}

// A zero-terminated UTF-16 text from the interface; null reads as empty.
inline std::string FromUtf16(const char16_t* text) {
    return text ? FromUtf16(std::u16string_view(text)) : std::string();
}

}  // namespace qvxconn
