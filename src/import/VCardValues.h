// Decoding the values of vCard files: the text helpers of the reader,
// quoted-printable and base64 values, declared character sets, values in
// UTF-8 within a file read as Windows-1252, escapes and labels.
#pragma once

#include <cstddef>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace qvxvcard {

// Walks the lines of a text. A line ends at LF (with a CR before it
// dropped); a text without any LF ends its lines at CR, as old Mac files do.
class LineWalker {
public:
    LineWalker(std::string_view text, char cEnd) : m_text(text), m_cEnd(cEnd) {}
    bool AtEnd() const { return m_pos >= m_text.size(); }
    size_t Offset() const { return m_pos; }
    // The next line, or false at the end.
    bool Next(std::string_view& line) {
        if (AtEnd()) return false;
        const void* hit = memchr(m_text.data() + m_pos, m_cEnd, m_text.size() - m_pos);
        size_t end = hit ? static_cast<size_t>(static_cast<const char*>(hit) - m_text.data()) : m_text.size();
        line = m_text.substr(m_pos, end - m_pos);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        m_pos = hit ? end + 1 : end;
        return true;
    }
    // The next line without moving on.
    bool Peek(std::string_view& line) const {
        LineWalker copy = *this;
        return copy.Next(line);
    }

private:
    std::string_view m_text;
    char m_cEnd;
    size_t m_pos = 0;
};

// kOther: a set named by the value's CHARSET, read through iconv.
enum class Charset { kAuto, kWindows1252, kLatin9, kOther };

char Upper(char c);
bool EqualsNoCase(std::string_view a, std::string_view b);
bool StartsNoCase(std::string_view text, std::string_view prefix);
bool ContainsNoCase(std::string_view text, std::string_view word);
bool IsBlank(char c);
std::string_view TrimBlanks(std::string_view s);
// A line without its end: "BEGIN:VCARD", ignoring case and trailing blanks.
bool IsMarker(std::string_view line, std::string_view marker);
char LineEndOf(std::string_view text);
int HexValue(char c);
// Quoted-printable to bytes; soft line breaks are joined already. A stray
// '=' stays as it is.
void DecodeQuotedPrintable(std::string_view in, std::string& out);
int Base64Value(char c);
// Base64 to bytes; blanks and anything outside the alphabet are passed over.
void DecodeBase64(std::string_view in, std::string& out);
// ISO-8859-15 differs from ISO-8859-1 in eight places.
char32_t Latin9(unsigned char b);
Charset CharsetOf(std::string_view name);
// Decoded bytes into UTF-8 text: the declared set, else UTF-8 when valid,
// else Windows-1252. False when the declared set is unknown or the bytes
// are not valid in it (they are then read as without a set).
bool BytesToUtf8(const std::string& bytes, Charset charset, std::string_view name, std::string& out);
// The bytes a text read as Windows-1252 was made from; false for text that
// holds characters Windows-1252 has not.
bool Windows1252Bytes(std::string_view text, std::string& bytes);
// A zero byte ends a cell: a value that still holds one (UTF-16 without a
// declared set, say) loses them. False when there were any.
bool DropZeroBytes(std::string& text);
// A file read as Windows-1252 may still hold cards written in UTF-8 (one
// file joined from several exports): a value whose Windows-1252 bytes form
// valid UTF-8 with more than ASCII was UTF-8.
bool RepairMixedUtf8(std::string& text);
// Line ends inside a value become LF.
void NormalizeLineEnds(std::string& text);
// Splits a value at unescaped `sep` (none: no split) and resolves the
// escapes \n \N \, \; \: \\ ; another backslash stays as written.
void SplitValue(std::string_view value, char sep, std::vector<std::string>& parts);
// Cuts a label to kMaxLabel bytes without splitting a character.
std::string CutLabel(std::string_view label);
bool IsNameChar(char c);

}  // namespace qvxvcard
