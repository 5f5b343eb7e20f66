// Text files into lines for the contact import.
//
// A zero byte hides nothing beyond its own line: the search for the next
// line end looks past zero bytes. The stored text of a line still ends at
// its first zero byte.
#pragma once

#include <cstddef>
#include <cstdint>

class CFileAccess;
class CStringMapTable;

namespace qvxsupport {

enum : int {
    KT_NOT_FOUND = -15000,
};

}  // namespace qvxsupport

// Offset in the open file of the first occurrence of pszText (compared
// ignoring ASCII case) at or after nStart, or -15000 when there is none or
// it lies beyond nLimit (when nLimit > 0). Other failures: -15202, -15203
// (no text), -15210, -15214 (size unknown, e.g. no file open), -15215
// (negative start). Reads the file block by block and logs under "KTSF".
int64_t SearchStringInFile(CFileAccess& file, const char* pszText, int64_t nStart, int64_t nLimit);

// Opens the file at pszPath for reading, shared with other readers, as every
// line and record reader does: 0, -15203 (no path, logged under "KTSF") or a
// code of CFileAccess.
int OpenTextFileForRead(const char* pszPath, CFileAccess& file);

// Appends the non-empty lines of the file at pszPath to table under the keys
// GetCount(), GetCount() + 1, ... (callers clear the table first). Lines end
// at CR LF when bCrLf, else at LF; a lone CR or LF stays inside a CR LF line,
// empty lines use no key, a separator at the very end adds no line. Returns
// 0, a code of CFileAccess (open, -15210 read failed, -15211 file shrank
// while read), -15202, -15214 or a code of the table; lines stored before a
// failure stay in the table. The file is read once, front to back.
int SplitFileLines(const char* pszPath, CStringMapTable& table, bool bCrLf);

// The line ends of the CSV and mapping readers, which also meet files written
// on Linux, are decided by the text's first line end: LF when the first LF
// has no CR right before it, else CR LF (also for a text without any LF). A
// CR before an LF of an LF text stays in its line, as a lone LF stays inside
// a line of a CR LF text: one pasted line end of the other kind cuts nothing.
bool FirstLineEndIsCrLf(const char* pText, size_t nLength);

// Like SplitFileLines for the CSV and mapping readers: split at the line ends
// FirstLineEndIsCrLf decides for the file's bytes. A UTF-8 byte-order mark
// EF BB BF at the very start of the file is skipped.
int SplitTextFileLines(const char* pszPath, CStringMapTable& table);
