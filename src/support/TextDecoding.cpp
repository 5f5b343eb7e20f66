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
        if (u >= 0xD800 && u < 0xDC00 && end - p >= 2) {
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
        if (length == 0) return false;
        p += length;
    }
    return true;
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
        std::memmove(buffer.data.get(), buffer.data.get() + 3, n - 3);
        buffer.size = n - 3;
        buffer.data[buffer.size] = '\0';
    } else if (!IsValidUtf8(buffer.data.get(), n)) {
        encoding = TextEncoding::kWindows1252;
        ok = DecodeWindows1252(buffer);
    }
    if (ok && pEncoding) *pEncoding = encoding;
    return ok;
}
