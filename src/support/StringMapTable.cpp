#include "support/StringMapTable.h"

#include <climits>
#include <cstring>
#include <iterator>
#include <new>
#include <tuple>
#include <utility>

#include "support/LogModules.h"

using namespace qvxsupport;

CStringMapTable::CStringMapTable() : m_cursor(m_entries.end()) {}

CStringMapTable::~CStringMapTable() {
    Clear();
}

int CStringMapTable::AddNewEntryLocked(int nKey) {
    // Lines arrive in ascending key order: a key past the last one goes
    // straight to the end without a search.
    EntryMap::iterator hint = m_entries.end();
    if (!m_entries.empty() && std::prev(hint)->first >= nKey) hint = m_entries.lower_bound(nKey);
    if (hint != m_entries.end() && hint->first == nKey) return KT_ERR_KEY_PRESENT;
    try {
        m_cursor = m_entries.emplace_hint(hint, std::piecewise_construct, std::forward_as_tuple(nKey),
                                          std::forward_as_tuple());
    } catch (const std::bad_alloc&) {
        LOG_WARN(qvxlog::KTSMT, "AddNewEntry() ERROR OUT OF MEMORY!");
        return KT_ERR_ENTRY_NO_MEMORY;
    }
    if (m_cursor == m_entries.end() || m_cursor->first != nKey) {
        LOG_WARN(qvxlog::KTSMT, "AddNewEntry() ERROR could nopt add new entry!");
        m_cursor = m_entries.end();
        return KT_ERR_ENTRY_NOT_ADDED;
    }
    return 0;
}

int CStringMapTable::AddNewEntry(int nKey) {
    std::lock_guard<std::recursive_mutex> lock(m_lock);
    return AddNewEntryLocked(nKey);
}

int CStringMapTable::AddEntry(int nKey, const char* pszText) {
    if (pszText == nullptr) return KT_ERR_STRING_MISSING;
    size_t len = strlen(pszText);
    if (len >= static_cast<size_t>(INT_MAX)) {
        LOG_WARN(qvxlog::KTST, "KT_VALIDATE_Result() ERROR INVALID PARAMETER!");
        return KT_ERR_STRING_NO_MEMORY;
    }
    return AddEntry(nKey, pszText, static_cast<int>(len));
}

int CStringMapTable::AddEntry(int nKey, const char* pText, int nLength) {
    if (pText == nullptr || nLength < 0) return KT_ERR_STRING_MISSING;
    std::lock_guard<std::recursive_mutex> lock(m_lock);
    int rc = AddNewEntryLocked(nKey);
    if (rc != 0) return rc;
    // AddNewEntry left the cursor at the new entry. The text goes straight
    // into it: a temporary copy first would double the allocations of every
    // line of a file.
    rc = m_cursor->second.Assign(pText, nLength);
    if (rc != 0) {
        m_entries.erase(m_cursor);
        m_cursor = m_entries.end();
    }
    return rc;
}

int CStringMapTable::GetEntry(int nKey, CGuardedString** ppEntry) {
    std::lock_guard<std::recursive_mutex> lock(m_lock);
    m_cursor = m_entries.find(nKey);
    if (ppEntry == nullptr) return KT_ERR_STRING_MISSING;
    if (m_cursor == m_entries.end()) {
        *ppEntry = nullptr;
        return KT_ERR_KEY_NOT_FOUND;
    }
    *ppEntry = &m_cursor->second;
    return 0;
}

int CStringMapTable::GetCount() {
    std::lock_guard<std::recursive_mutex> lock(m_lock);
    return static_cast<int>(m_entries.size());
}

int CStringMapTable::Clear() {
    std::lock_guard<std::recursive_mutex> lock(m_lock);
    m_entries.clear();
    m_cursor = m_entries.end();
    return 0;
}

void CStringMapTable::Rewind() {
    std::lock_guard<std::recursive_mutex> lock(m_lock);
    m_cursor = m_entries.begin();
}

CGuardedString* CStringMapTable::NextEntry(int* pnKey) {
    std::lock_guard<std::recursive_mutex> lock(m_lock);
    if (m_cursor == m_entries.end()) return nullptr;
    if (pnKey) *pnKey = m_cursor->first;
    CGuardedString* entry = &m_cursor->second;
    ++m_cursor;
    return entry;
}
