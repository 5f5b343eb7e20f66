#include "support/TextDecoding.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string_view>

#include "support/Utf8.h"

namespace {

// Windows-1252 0x80 to 0x9F as the web reads them: the five bytes without a
// character of their own stand for the C1 controls of the same number.
constexpr uint16_t kWindows1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

constexpr uint32_t kReplacement = 0xFFFD;

uint32_t Windows1252(unsigned char b) {
    return (b >= 0x80 && b < 0xA0) ? kWindows1252High[b - 0x80] : b;
}

// Walks the UTF-16 code units after the mark and hands each character to
// `put` with the number of bytes read from `begin` so far.
template <typename Put>
void WalkUtf16(const unsigned char* begin, const unsigned char* end, bool bBigEndian, Put put) {
    auto unit = [bBigEndian](const unsigned char* q) -> uint32_t {
        return bBigEndian ? (uint32_t{q[0]} << 8 | q[1]) : (uint32_t{q[1]} << 8 | q[0]);
    };
    const unsigned char* p = begin + 2;
    while (end - p >= 2) {
        uint32_t u = unit(p);
        p += 2;
        const bool high = u >= 0xD800 && u < 0xDC00;
        if (high && end - p < 2) {
            // A pair cut off by the end, with or without a last lone byte, is
            // one ill-formed character, as the usual decoders count it.
            put(kReplacement, static_cast<size_t>(end - begin));
            return;
        }
        if (high) {
            uint32_t low = unit(p);
            if (low >= 0xDC00 && low < 0xE000) {
                p += 2;
                put(0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00), static_cast<size_t>(p - begin));
                continue;
            }
        }
        put((u >= 0xD800 && u < 0xE000) ? kReplacement : u, static_cast<size_t>(p - begin));
    }
    if (p < end) put(kReplacement, static_cast<size_t>(end - begin));
}

// The number of bytes before the first one that is not part of valid UTF-8.
size_t ValidUtf8Length(const char* pText, size_t nLength) {
    const char* p = pText;
    const char* const end = pText + nLength;
    while (p < end) {
        // Plain ASCII goes eight bytes at a time.
        uint64_t word;
        if (end - p >= 8 && (std::memcpy(&word, p, 8), (word & 0x8080808080808080ULL) == 0)) {
            p += 8;
            continue;
        }
        char32_t cp;
        size_t length = qvxsupport::DecodeUtf8(std::string_view(p, static_cast<size_t>(end - p)), cp);
        if (length == 0) break;
        p += length;
    }
    return static_cast<size_t>(p - pText);
}

// The length of the character at p (bValid), or else of the ill-formed part
// there that becomes one U+FFFD: the longest start of a well-formed sequence,
// at least one byte (the "maximal subpart" of the Unicode standard).
size_t Utf8Part(const unsigned char* p, size_t nAvailable, bool& bValid) {
    const unsigned char lead = p[0];
    bValid = lead < 0x80;
    if (bValid) return 1;
    size_t need = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        need = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        need = 3;
        if (lead == 0xE0) low = 0xA0;   // no overlong forms
        if (lead == 0xED) high = 0x9F;  // no surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        need = 4;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;  // nothing beyond U+10FFFF
    } else {
        return 1;
    }
    size_t k = 1;
    for (; k < need && k < nAvailable; ++k) {
        if (p[k] < low || p[k] > high) break;
        low = 0x80;
        high = 0xBF;
    }
    bValid = k == need;
    return k;
}

// After a UTF-8 mark the text is UTF-8 by its own word: each ill-formed part
// becomes one U+FFFD. A part grows by at most two bytes, so the text from the
// first such part on is moved to the end of the grown buffer and converted
// forward from there: the writing never overtakes the reading.
bool DecodeMarkedUtf8(TextBytes& buffer) {
    const size_t n = buffer.size - 3;
    const size_t valid = ValidUtf8Length(buffer.data.get() + 3, n);
    if (valid == n) {
        std::memmove(buffer.data.get(), buffer.data.get() + 3, n);
        buffer.size = n;
        buffer.data[n] = '\0';
        return true;
    }
    const unsigned char* bytes = reinterpret_cast<const unsigned char*>(buffer.data.get()) + 3;
    size_t length = valid;
    for (size_t i = valid; i < n;) {
        bool ok = false;
        const size_t part = Utf8Part(bytes + i, n - i, ok);
        length += ok ? part : 3;
        i += part;
    }
    const size_t rest = n - valid;
    const size_t room = length > buffer.size ? length : buffer.size;
    if (!buffer.Resize(room)) return false;
    char* base = buffer.data.get();
    std::memmove(base, base + 3, valid);
    size_t read = room - rest;
    std::memmove(base + read, base + 3 + valid, rest);
    size_t write = valid;
    while (read < room) {
        bool ok = false;
        const size_t part = Utf8Part(reinterpret_cast<const unsigned char*>(base) + read, room - read, ok);
        if (ok) {
            std::memmove(base + write, base + read, part);
            write += part;
        } else {
            write = static_cast<size_t>(qvxsupport::PutUtf8(base + write, kReplacement) - base);
        }
        read += part;
    }
    buffer.size = length;
    base[length] = '\0';
    buffer.Resize(length);  // only gives memory back
    return true;
}

bool DecodeUtf16(TextBytes& buffer, bool bBigEndian) {
    const unsigned char* bytes = reinterpret_cast<const unsigned char*>(buffer.data.get());
    const unsigned char* end = bytes + buffer.size;
    // Written in place as long as the writing never overtakes the reading.
    size_t length = 0;
    bool inPlace = true;
    WalkUtf16(bytes, end, bBigEndian, [&](uint32_t c, size_t read) {
        length += qvxsupport::Utf8Length(c);
        inPlace = inPlace && length <= read;
    });
    TextBytes out;
    if (!inPlace && !out.Allocate(length)) return false;
    char* q = inPlace ? buffer.data.get() : out.data.get();
    WalkUtf16(bytes, end, bBigEndian, [&q](uint32_t c, size_t) { q = qvxsupport::PutUtf8(q, c); });
    if (!inPlace) {
        buffer = std::move(out);
        return true;
    }
    buffer.data[length] = '\0';
    buffer.size = length;
    buffer.Resize(length);  // only gives memory back
    return true;
}

// Every byte becomes one to three: converted from the back, the text never
// overwrites a byte not yet read.
bool DecodeWindows1252(TextBytes& buffer) {
    const unsigned char* bytes = reinterpret_cast<const unsigned char*>(buffer.data.get());
    size_t length = 0;
    for (size_t i = 0; i < buffer.size; ++i) length += qvxsupport::Utf8Length(Windows1252(bytes[i]));
    size_t read = buffer.size;
    if (!buffer.Resize(length)) return false;
    char* base = buffer.data.get();
    size_t write = length;
    while (read > 0) {
        uint32_t c = Windows1252(static_cast<unsigned char>(base[--read]));
        write -= qvxsupport::Utf8Length(c);
        qvxsupport::PutUtf8(base + write, c);
    }
    return true;
}

}  // namespace

const char* TextEncodingName(TextEncoding encoding) {
    switch (encoding) {
        case TextEncoding::kUtf16Le:
            return "utf-16le";
        case TextEncoding::kUtf16Be:
            return "utf-16be";
        case TextEncoding::kWindows1252:
            return "windows-1252";
        case TextEncoding::kUtf8:
            break;
    }
    return "utf-8";
}

const char* TextEncodingLabel(TextEncoding encoding) {
    switch (encoding) {
        case TextEncoding::kUtf16Le:
            return "UTF-16LE";
        case TextEncoding::kUtf16Be:
            return "UTF-16BE";
        case TextEncoding::kWindows1252:
            return "Windows-1252";
        case TextEncoding::kUtf8:
            break;
    }
    return "UTF-8";
}

void TextBytes::Free::operator()(char* p) const {
    std::free(p);
}

bool TextBytes::Allocate(size_t n) {
    data.reset(n < SIZE_MAX ? static_cast<char*>(std::malloc(n + 1)) : nullptr);
    size = data ? n : 0;
    if (data) data[n] = '\0';
    return data != nullptr;
}

bool TextBytes::Resize(size_t n) {
    if (!data) return Allocate(n);
    char* moved = n < SIZE_MAX ? static_cast<char*>(std::realloc(data.get(), n + 1)) : nullptr;
    if (moved == nullptr) return false;
    (void)data.release();
    data.reset(moved);
    size = n;
    data[n] = '\0';
    return true;
}

char32_t Windows1252CodePoint(unsigned char byte) {
    return Windows1252(byte);
}

bool IsValidUtf8(const char* pText, size_t nLength) {
    return ValidUtf8Length(pText, nLength) == nLength;
}

bool DecodeToUtf8(TextBytes& buffer, TextEncoding* pEncoding) {
    TextEncoding encoding = TextEncoding::kUtf8;
    const unsigned char* bytes = reinterpret_cast<const unsigned char*>(buffer.data.get());
    const size_t n = buffer.data ? buffer.size : 0;
    bool ok = true;
    if (n >= 2 && ((bytes[0] == 0xFF && bytes[1] == 0xFE) || (bytes[0] == 0xFE && bytes[1] == 0xFF))) {
        bool bigEndian = bytes[0] == 0xFE;
        encoding = bigEndian ? TextEncoding::kUtf16Be : TextEncoding::kUtf16Le;
        ok = DecodeUtf16(buffer, bigEndian);
    } else if (n >= 3 && bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF) {
        ok = DecodeMarkedUtf8(buffer);
    } else if (!IsValidUtf8(buffer.data.get(), n)) {
        encoding = TextEncoding::kWindows1252;
        ok = DecodeWindows1252(buffer);
    }
    if (ok && pEncoding) *pEncoding = encoding;
    return ok;
}
