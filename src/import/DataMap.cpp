#include "import/DataMap.h"

#include <algorithm>
#include <new>
#include <utility>

using Guard = std::lock_guard<std::recursive_mutex>;

CDataMap::CDataMap() = default;

CDataMap::~CDataMap() {
    Reset(true);
}

void CDataMap::Reset(bool bFull) {
    Guard guard(m_lock);
    m_nColumnCount = 0;
    if (bFull) {
        m_headerRow.reset();
        m_mappingRow.reset();
        m_nameOrder.clear();
    }
    std::vector<CDataRow*>().swap(m_rows);
    std::deque<CDataRow>().swap(m_rowStore);
    m_arena.Clear();
    m_nCursor = 0;
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

size_t CDataMap::LowerBound(int nKey) const {
    // Rows are appended in key order almost always.
    if (m_rows.empty() || m_rows.back()->GetKey() < nKey) return m_rows.size();
    auto it = std::lower_bound(m_rows.begin(), m_rows.end(), nKey,
                               [](const CDataRow* pRow, int nValue) { return pRow->GetKey() < nValue; });
    return static_cast<size_t>(it - m_rows.begin());
}

int CDataMap::AddRow(int nKey) {
    Guard guard(m_lock);
    size_t nAt = LowerBound(nKey);
    if (nAt < m_rows.size() && m_rows[nAt]->GetKey() == nKey) return qvxdm::kErrKeyExists;
    CDataRow* row = nullptr;
    try {
        row = &m_rowStore.emplace_back(m_nColumnCount, m_arena);
    } catch (const std::bad_alloc&) {
        return qvxdm::kErrCreateRow;
    }
    row->SetKey(nKey);
    try {
        m_rows.insert(m_rows.begin() + static_cast<std::ptrdiff_t>(nAt), row);
    } catch (const std::bad_alloc&) {
        m_rowStore.pop_back();
        return qvxdm::kErrInsertRow;
    }
    m_nCursor = nAt;
    return qvxdm::kOk;
}

void CDataMap::DeleteRow(int nKey) {
    Guard guard(m_lock);
    size_t nAt = LowerBound(nKey);
    if (nAt >= m_rows.size() || m_rows[nAt]->GetKey() != nKey) return;
    m_rows.erase(m_rows.begin() + static_cast<std::ptrdiff_t>(nAt));
    // Keep the cursor on the same row: a walk in progress goes on with the
    // next row when the one at the cursor is deleted.
    if (nAt < m_nCursor) --m_nCursor;
}

void CDataMap::Rewind() {
    Guard guard(m_lock);
    m_nCursor = 0;
}

CDataRow* CDataMap::NextRow() {
    Guard guard(m_lock);
    if (m_nCursor >= m_rows.size()) return nullptr;
    return m_rows[m_nCursor++];
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
    m_nameOrder.clear();
}

void CDataMap::SetNameOrder(NameOrder order) {
    Guard guard(m_lock);
    m_nameOrder = std::move(order);
}

NameOrder CDataMap::GetNameOrder() {
    Guard guard(m_lock);
    return m_nameOrder;
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
