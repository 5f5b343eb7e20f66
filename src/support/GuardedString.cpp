#include "support/GuardedString.h"

#include <climits>
#include <cstring>
#include <new>

#include "support/LogModules.h"

using namespace qvxsupport;

CGuardedString::CGuardedString() : m_nCapacity(0), m_nLength(0), m_pszText(nullptr) {}

CGuardedString::CGuardedString(const char* pszText) : CGuardedString() {
    if (pszText == nullptr) return;
    size_t len = strlen(pszText);
    if (len < static_cast<size_t>(INT_MAX)) Assign(pszText, static_cast<int>(len));
}

CGuardedString::~CGuardedString() {
    delete[] m_pszText;
    m_pszText = nullptr;
    m_nCapacity = 0;
    m_nLength = 0;
}

int CGuardedString::AssignLocked(const char* pszText, int nLength) {
    if (pszText == nullptr || nLength < 0) return KT_ERR_STRING_MISSING;
    char* text = nullptr;
    if (nLength < INT_MAX) text = new (std::nothrow) char[static_cast<size_t>(nLength) + 1];
    if (text == nullptr) {
        LOG_WARN(qvxlog::KTST, "KT_VALIDATE_Result() ERROR INVALID PARAMETER!");
        return KT_ERR_STRING_NO_MEMORY;
    }
    std::memcpy(text, pszText, static_cast<size_t>(nLength));
    text[nLength] = '\0';
    // The new buffer is complete before the old one goes, so a source that
    // points into this string's own text stays readable.
    delete[] m_pszText;
    m_pszText = text;
    m_nLength = nLength;
    m_nCapacity = nLength + 1;
    return 0;
}

int CGuardedString::Assign(const char* pszText, int nLength) {
    std::lock_guard<std::mutex> lock(m_lock);
    return AssignLocked(pszText, nLength);
}

int CGuardedString::Copy(const CGuardedString* pSource) {
    if (pSource == nullptr) return KT_ERR_STRING_MISSING;
    if (pSource == this) return m_pszText != nullptr ? 0 : KT_ERR_STRING_MISSING;
    std::scoped_lock lock(m_lock, pSource->m_lock);
    return AssignLocked(pSource->m_pszText, pSource->m_nLength);
}

const char* CGuardedString::GetText() const {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_pszText;
}

int CGuardedString::GetLength() const {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_nLength;
}

int CGuardedString::GetCapacity() const {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_nCapacity;
}
