// A text buffer with its own lock: one entry of a CStringMapTable.
//
// The lock covers the string's own operations only; a text handed out by
// GetText() is used outside it, so one thread changes an entry at a time.
#pragma once

#include <mutex>

namespace qvxsupport {

enum : int {
    KT_ERR_STRING_NO_MEMORY = -15102,
    KT_ERR_STRING_MISSING = -15103,
};

}  // namespace qvxsupport

class CGuardedString {
public:
    CGuardedString();
    // Assigns pszText (a null text leaves the string empty).
    explicit CGuardedString(const char* pszText);
    ~CGuardedString();
    CGuardedString(const CGuardedString&) = delete;
    CGuardedString& operator=(const CGuardedString&) = delete;

    // Replaces the text by nLength bytes of pszText plus a terminating zero;
    // capacity becomes nLength + 1. 0, -15103 (no text, negative length),
    // -15102 (no memory; the old text is kept).
    int Assign(const char* pszText, int nLength);

    // Takes over the source's text, length and capacity. 0, -15103 (no
    // source or the source holds no text), -15102.
    int Copy(const CGuardedString* pSource);

    // The zero-terminated text, or null while nothing was assigned.
    const char* GetText() const;
    int GetLength() const;
    int GetCapacity() const;

private:
    int AssignLocked(const char* pszText, int nLength);

    int m_nCapacity;
    int m_nLength;
    char* m_pszText;
    mutable std::mutex m_lock;
};
