#include "import/DataRow.h"

#include <cstring>
#include <new>

CDataRow::CDataRow(int nFields) : m_nFields(nFields > 0 ? nFields : 0) {
    if (m_nFields > 0) m_fields = std::make_unique<std::unique_ptr<std::string>[]>(m_nFields);
}

CDataRow::~CDataRow() = default;

int CDataRow::SetField(int nIndex, const char* pszText) {
    if (nIndex < 0 || nIndex >= m_nFields) return qvxdm::kErrRange;
    if (pszText == nullptr) {
        m_fields[nIndex].reset();
        return qvxdm::kOk;
    }
    try {
        auto copy = std::make_unique<std::string>(pszText);
        m_fields[nIndex] = std::move(copy);
    } catch (const std::bad_alloc&) {
        return qvxdm::kErrMemory;
    }
    return qvxdm::kOk;
}

int QvxCopyToBuffer(const std::string* pText, char* pBuffer, int nSize) {
    if (pBuffer == nullptr) return qvxdm::kErrMemory;
    if (nSize > 0) std::memset(pBuffer, 0, static_cast<size_t>(nSize));
    if (pText == nullptr) return qvxdm::kErrAbsent;
    if (nSize < 0 || pText->size() > static_cast<size_t>(nSize)) return qvxdm::kErrRange;
    std::memcpy(pBuffer, pText->data(), pText->size());
    return qvxdm::kOk;
}

int CDataRow::GetField(int nIndex, char* pBuffer, int nSize) const {
    if (nIndex < 0 || nIndex >= m_nFields) {
        if (pBuffer != nullptr && nSize > 0) std::memset(pBuffer, 0, static_cast<size_t>(nSize));
        return qvxdm::kErrRange;
    }
    return QvxCopyToBuffer(m_fields[nIndex].get(), pBuffer, nSize);
}

const std::string* CDataRow::PeekField(int nIndex) const {
    if (nIndex < 0 || nIndex >= m_nFields) return nullptr;
    return m_fields[nIndex].get();
}
