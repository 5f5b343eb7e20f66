// UTF-8: reading one character, writing one, counting characters and cutting
// a text without splitting a character. The program's texts are UTF-8 bytes
// that may still hold invalid bytes (file names and exports from elsewhere),
// so every function here takes any bytes.
//
// Header-only, so that the device service can use it without linking the
// core library.
#pragma once

#include <cstddef>
#include <cstring>
#include <string>
#include <string_view>

namespace qvxsupport {

// The length (1 to 4) of the valid UTF-8 sequence that starts `text`, with
// its code point in cp; 0 when the text is empty or does not start with one:
// a stray or cut sequence, an overlong form, an encoded surrogate or a value
// beyond U+10FFFF.
inline size_t DecodeUtf8(std::string_view text, char32_t& cp) {
    if (text.empty()) return 0;
    const auto lead = static_cast<unsigned char>(text[0]);
    size_t len = 0;
    if (lead < 0x80) {
        cp = lead;
        return 1;
    }
    if (lead >= 0xC2 && lead <= 0xDF) {
        cp = lead & 0x1F;
        len = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        cp = lead & 0x0F;
        len = 3;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        cp = lead & 0x07;
        len = 4;
    } else {
        return 0;
    }
    if (text.size() < len) return 0;
    for (size_t k = 1; k < len; ++k) {
        const auto c = static_cast<unsigned char>(text[k]);
        if ((c & 0xC0) != 0x80) return 0;
        cp = (cp << 6) | (c & 0x3F);
    }
    if ((len == 3 && cp < 0x800) || (len == 4 && (cp < 0x10000 || cp > 0x10FFFF)) ||
        (cp >= 0xD800 && cp <= 0xDFFF)) {
        return 0;
    }
    return len;
}

// The number of bytes of a code point's UTF-8 form (at most U+10FFFF).
inline size_t Utf8Length(char32_t cp) {
    if (cp < 0x80) return 1;
    if (cp < 0x800) return 2;
    if (cp < 0x10000) return 3;
    return 4;
}

// Writes the UTF-8 form of a code point at `out`; returns the end.
inline char* PutUtf8(char* out, char32_t cp) {
    if (cp < 0x80) {
        *out++ = static_cast<char>(cp);
    } else if (cp < 0x800) {
        *out++ = static_cast<char>(0xC0 | (cp >> 6));
        *out++ = static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        *out++ = static_cast<char>(0xE0 | (cp >> 12));
        *out++ = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        *out++ = static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        *out++ = static_cast<char>(0xF0 | (cp >> 18));
        *out++ = static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        *out++ = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        *out++ = static_cast<char>(0x80 | (cp & 0x3F));
    }
    return out;
}

// Appends the UTF-8 form of a code point.
inline void AppendUtf8(std::string& out, char32_t cp) {
    char bytes[4];
    out.append(bytes, static_cast<size_t>(PutUtf8(bytes, cp) - bytes));
}

// The number of characters: every byte that is no continuation byte counts.
inline size_t CountUtf8Chars(std::string_view text) {
    size_t n = 0;
    for (char c : text) {
        if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++n;
    }
    return n;
}

inline size_t CountUtf8Chars(const char* pszText) {
    return pszText != nullptr ? CountUtf8Chars(std::string_view(pszText)) : 0;
}

// The first n bytes of p without a multibyte sequence cut off at their end:
// such a sequence is dropped whole. Invalid bytes are kept as they are.
inline size_t CompleteUtf8Length(const char* p, size_t n) {
    size_t nLead = n;
    int nBack = 0;
    while (nLead > 0 && nBack < 4) {
        const auto c = static_cast<unsigned char>(p[nLead - 1]);
        if ((c & 0xC0) != 0x80) break;
        --nLead;
        ++nBack;
    }
    if (nLead == 0) return n;
    const auto lead = static_cast<unsigned char>(p[nLead - 1]);
    size_t nNeeded = 1;
    if ((lead & 0xE0) == 0xC0)
        nNeeded = 2;
    else if ((lead & 0xF0) == 0xE0)
        nNeeded = 3;
    else if ((lead & 0xF8) == 0xF0)
        nNeeded = 4;
    else
        return n;  // ASCII or an invalid byte: nothing is cut off
    const size_t nHave = n - (nLead - 1);
    return nHave < nNeeded ? nLead - 1 : n;
}

// The text as it fits into a buffer of nBufferSize bytes (with its closing
// zero), cut before a character that would not fit whole.
inline std::string CutUtf8(std::string_view text, size_t nBufferSize) {
    if (nBufferSize == 0) return {};
    if (text.size() > nBufferSize - 1)
        text = text.substr(0, CompleteUtf8Length(text.data(), nBufferSize - 1));
    return std::string(text);
}

}  // namespace qvxsupport
