// The character sets of files people export from their address books, all
// turned into UTF-8 before anything else looks at the bytes.
//
// A file starting with FF FE is UTF-16LE, with FE FF UTF-16BE, with EF BB BF
// UTF-8; the mark itself is dropped. A file without a mark that is valid
// UTF-8 as a whole is taken as it is; anything else is Windows-1252, which
// is what spreadsheet and mail programs on Western Windows write. Whatever
// is ill-formed in a file with a mark becomes U+FFFD, one for each maximal
// subpart as the usual decoders replace them, so the text is always UTF-8.
#pragma once

#include <cstddef>
#include <memory>

enum class TextEncoding { kUtf8 = 0, kUtf16Le = 1, kUtf16Be = 2, kWindows1252 = 3 };

// "utf-8", "utf-16le", "utf-16be" or "windows-1252".
const char* TextEncodingName(TextEncoding encoding);
// The name users know: "UTF-8", "UTF-16LE", "UTF-16BE", "Windows-1252".
const char* TextEncodingLabel(TextEncoding encoding);

// Whether the bytes form valid UTF-8 (no overlong forms, no surrogates,
// nothing above U+10FFFF). A zero byte is valid.
bool IsValidUtf8(const char* pText, size_t nLength);

// The character a Windows-1252 byte stands for (as DecodeToUtf8 reads it).
char32_t Windows1252CodePoint(unsigned char byte);

// A file's bytes, or its text once decoded. One spare byte past `size` is
// always allocated and kept zero so that readers may terminate the text.
struct TextBytes {
    struct Free {
        void operator()(char* p) const;
    };
    std::unique_ptr<char[], Free> data;
    size_t size = 0;

    // A buffer of n bytes (+1 spare); false when memory runs out.
    bool Allocate(size_t n);
    // Grows or shrinks to n bytes (+1 spare), keeping what fits; false (and
    // unchanged) when memory runs out.
    bool Resize(size_t n);
};

// Replaces the bytes in `buffer` by their UTF-8 text without a byte-order
// mark and tells which character set they were in. The text is converted
// inside the buffer where it can be (always for UTF-8 and Windows-1252,
// for UTF-16 unless its UTF-8 would outgrow what is read at some point), so
// that a large file is not held twice. An unpaired UTF-16 surrogate or a
// lone last byte becomes U+FFFD, a high surrogate followed only by a last
// lone byte one U+FFFD. False (buffer unchanged) only when memory runs out.
bool DecodeToUtf8(TextBytes& buffer, TextEncoding* pEncoding);
