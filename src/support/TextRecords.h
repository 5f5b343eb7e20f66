// A text file read whole, decoded to UTF-8 and cut into records: the
// reading side of the CSV and mapping files.
//
// Line ends are found as SplitTextFileLines finds them, in the decoded text:
// its first line end decides between CR LF and LF (FirstLineEndIsCrLf). A
// record is formed from consecutive lines for a quote character Q: a line end
// ends the record only when the record so far holds an even number of Q
// bytes; otherwise the line end, exactly as in the file, and the next line
// belong to the record. Empty lines outside a
// record are skipped. A quote left open up to the end of the file swallows
// nothing: its record ends at its own first line end and the next record
// starts on the next line.
//
// In an LF file a CR right before a line end is what is left of a CR LF line:
// a line of nothing else is empty, and a record does not end with it (the
// CR LF line ends inside a quoted value stay as they are).
//
// The text of a line ends at its first zero byte, as with the plain split:
// what follows it up to the line end is dropped while reading, the zero byte
// itself stays at the end of the line (so a line holding only it still
// counts) and readers of a record skip it.
//
// The decoded text is held once, in one buffer; records are offsets into it.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "support/TextDecoding.h"

class CTextRecords {
public:
    CTextRecords() = default;
    CTextRecords(const CTextRecords&) = delete;
    CTextRecords& operator=(const CTextRecords&) = delete;

    // Reads and decodes the file; records are formed by Form. 0 or the codes
    // of SplitTextFileLines (file layer, -15202 out of memory, -15210,
    // -15211). Whatever was held before is released first.
    int Read(const char* pszPath);
    // Gives back the text and the records.
    void Clear();

    // Forms the records for the quote character, replacing earlier ones.
    // 0, -15102 for a record of 2 GB or more, -16104 for more records than
    // an int counts.
    int Form(char cQuote);

    TextEncoding GetEncoding() const { return m_encoding; }
    // True when lines end in CR LF, false when in LF.
    bool EndsLinesWithCrLf() const { return m_bCrLf; }
    // Non-empty lines of the text, as the plain split counts them but for
    // the lines of a CR alone in an LF file (known once records are formed).
    int GetLineCount() const { return m_nLines; }
    int GetCount() const { return static_cast<int>(m_records.size()); }
    // Record k's text with its inner line ends; empty for a bad index.
    std::string_view GetRecord(int k) const;
    // The 1-based file line on which record k starts (every line end
    // counts, empty lines too); 0 for a bad index.
    int GetFirstLine(int k) const;
    // The whole decoded text, for readers that cut it by rules of their own.
    std::string_view GetText() const {
        return m_text.data ? std::string_view(m_text.data.get(), m_text.size) : std::string_view();
    }

private:
    struct Record {
        uint64_t offset;
        uint32_t length;
        uint32_t line;
    };

    void DropZeroTails();

    TextBytes m_text;
    TextEncoding m_encoding = TextEncoding::kUtf8;
    bool m_bCrLf = true;
    int m_nLines = 0;
    std::vector<Record> m_records;
};
