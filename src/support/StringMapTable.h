// Ordered map from an integer key to a guarded text, with one cursor for
// walking it and one re-entrant lock taken by every operation.
//
// Holds the lines of a text file (see SplitFileLines). Walk it with
// Rewind() and then NextEntry() until it gives null: entries come in
// ascending key order. AddNewEntry, AddEntry and GetEntry move the cursor,
// so every walk starts with Rewind(). Entries handed out stay owned by the
// table and are used outside its lock; one thread walks a table at a time.
#pragma once

#include <map>
#include <mutex>

#include "support/GuardedString.h"

namespace qvxsupport {

enum : int {
    KT_ERR_ENTRY_NO_MEMORY = -16101,
    KT_ERR_KEY_PRESENT = -16103,
    KT_ERR_ENTRY_NOT_ADDED = -16104,
    KT_ERR_KEY_NOT_FOUND = -16105,
};

}  // namespace qvxsupport

class CStringMapTable {
public:
    CStringMapTable();
    ~CStringMapTable();
    CStringMapTable(const CStringMapTable&) = delete;
    CStringMapTable& operator=(const CStringMapTable&) = delete;

    // Adds an empty entry; -16103 if the key is present, -16101 out of
    // memory. Leaves the cursor at the key.
    int AddNewEntry(int nKey);

    // Adds an entry holding the zero-terminated pszText. 0, -16103, -16101,
    // -16104, -15103 (no text), -15102. A failed add leaves no entry behind.
    int AddEntry(int nKey, const char* pszText);
    // The same with exactly nLength bytes of pText.
    int AddEntry(int nKey, const char* pText, int nLength);

    // The entry under nKey in *ppEntry, or -16105 (and null). Leaves the
    // cursor at the key (at the end when it is missing).
    int GetEntry(int nKey, CGuardedString** ppEntry);

    int GetCount();
    // Destroys every entry; 0.
    int Clear();

    // Cursor to the smallest key.
    void Rewind();
    // The entry at the cursor (its key in *pnKey when given), advancing the
    // cursor; null at the end.
    CGuardedString* NextEntry(int* pnKey = nullptr);

private:
    using EntryMap = std::map<int, CGuardedString>;

    int AddNewEntryLocked(int nKey);

    EntryMap m_entries;
    EntryMap::iterator m_cursor;
    std::recursive_mutex m_lock;
};
