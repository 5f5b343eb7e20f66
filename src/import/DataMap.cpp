#include "import/DataMap.h"

#include <new>

using Guard = std::lock_guard<std::recursive_mutex>;

CDataMap::CDataMap() : m_cursor(m_rows.end()) {}

CDataMap::~CDataMap() {
    Reset(true);
}

void CDataMap::Reset(bool bFull) {
    Guard guard(m_lock);
    m_nColumnCount = 0;
    if (bFull) {
        m_headerRow.reset();
        m_mappingRow.reset();
    }
    m_rows.clear();
    m_cursor = m_rows.end();
}

int CDataMap::SetColumnCount(int n) {
    Guard guard(m_lock);
    if (m_nColumnCount == 0 && n > 0) m_nColumnCount = n;
    return m_nColumnCount == n ? m_nColumnCount : qvxdm::kErrColumns;
}

int CDataMap::GetColumnCount() {
    Guard guard(m_lock);
    return m_nColumnCount;
}

int CDataMap::GetRowCount() {
    Guard guard(m_lock);
    return static_cast<int>(m_rows.size());
}

int CDataMap::AddRow(int nKey) {
    Guard guard(m_lock);
    if (m_rows.find(nKey) != m_rows.end()) return qvxdm::kErrKeyExists;
    std::unique_ptr<CDataRow> row;
    try {
        row = std::make_unique<CDataRow>(m_nColumnCount);
    } catch (const std::bad_alloc&) {
        return qvxdm::kErrCreateRow;
    }
    row->SetKey(nKey);
    try {
        m_cursor = m_rows.emplace(nKey, std::move(row)).first;
    } catch (const std::bad_alloc&) {
        return qvxdm::kErrInsertRow;
    }
    return qvxdm::kOk;
}

void CDataMap::DeleteRow(int nKey) {
    Guard guard(m_lock);
    auto it = m_rows.find(nKey);
    if (it == m_rows.end()) return;
    // Keep the cursor valid: a walk in progress goes on with the next row.
    if (it == m_cursor) m_cursor = std::next(it);
    m_rows.erase(it);
}

void CDataMap::Rewind() {
    Guard guard(m_lock);
    m_cursor = m_rows.begin();
}

CDataRow* CDataMap::NextRow() {
    Guard guard(m_lock);
    if (m_cursor == m_rows.end()) return nullptr;
    CDataRow* row = m_cursor->second.get();
    ++m_cursor;
    return row;
}

CDataRow* CDataMap::GetOrCreateRow(std::unique_ptr<CDataRow>& row) {
    if (!row) {
        try {
            row = std::make_unique<CDataRow>(m_nColumnCount);
        } catch (const std::bad_alloc&) {
            return nullptr;
        }
    }
    return row.get();
}

CDataRow* CDataMap::GetHeaderRow() {
    Guard guard(m_lock);
    return GetOrCreateRow(m_headerRow);
}

CDataRow* CDataMap::GetMappingRow() {
    Guard guard(m_lock);
    return GetOrCreateRow(m_mappingRow);
}

void CDataMap::DeleteMappingRow() {
    Guard guard(m_lock);
    m_mappingRow.reset();
}

int CDataMap::StoreText(std::unique_ptr<std::string>& slot, const char* pszText) {
    if (pszText == nullptr) {
        slot.reset();
        return qvxdm::kOk;
    }
    try {
        slot = std::make_unique<std::string>(pszText);
    } catch (const std::bad_alloc&) {
        return qvxdm::kErrMemory;
    }
    return qvxdm::kOk;
}

int CDataMap::SetName(const char* pszText) {
    Guard guard(m_lock);
    return StoreText(m_name, pszText);
}

int CDataMap::SetDescription(const char* pszText) {
    Guard guard(m_lock);
    return StoreText(m_description, pszText);
}

int CDataMap::GetName(char* pBuffer, int nSize) {
    Guard guard(m_lock);
    return QvxCopyToBuffer(m_name.get(), pBuffer, nSize);
}

int CDataMap::GetDescription(char* pBuffer, int nSize) {
    Guard guard(m_lock);
    return QvxCopyToBuffer(m_description.get(), pBuffer, nSize);
}
