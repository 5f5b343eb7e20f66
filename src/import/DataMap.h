// The analysed CSV file in memory: data rows keyed in file order, the header
// row (column names), the mapping row (one property code per column), and the
// mapping's name and description.
//
// Every operation takes the table's own lock. The lock guards the row list,
// the cursor, the column count, the header and mapping rows and the texts,
// not the contents of a row once handed out. There is one cursor per table:
// two threads must not walk one table at the same time. Rows handed out stay
// owned by the table and are valid until the table is reset or they are
// deleted.
//
// The data rows keep their slots and texts in one cell store of the table,
// so their contents are changed by one thread at a time (the header and
// mapping rows have stores of their own). A reset gives the store back.
#pragma once

#include <cstddef>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "import/DataRow.h"
#include "import/NameOrder.h"

class CDataMap {
public:
    CDataMap();
    CDataMap(const CDataMap&) = delete;
    CDataMap& operator=(const CDataMap&) = delete;
    ~CDataMap();

    // Column count back to 0, all data rows destroyed; with bFull also the
    // header and mapping rows.
    void Reset(bool bFull);

    // Fixes the column count when it is still 0 and n > 0; returns the count
    // when it equals n afterwards, else -1 (the count is never changed once set).
    int SetColumnCount(int n);
    int GetColumnCount();
    int GetRowCount();

    // Adds a row with column-count slots under nKey and points the cursor at
    // it: 0, -15903 for a key already present, -15901 / -15904 when it cannot
    // be created or inserted.
    int AddRow(int nKey);
    // Destroys the row with this key; a missing key is no error.
    void DeleteRow(int nKey);

    // Cursor to the row with the smallest key.
    void Rewind();
    // The row at the cursor, advancing the cursor; null at the end.
    CDataRow* NextRow();

    // The header / mapping row, created with column-count slots when absent
    // (null only when it cannot be created).
    CDataRow* GetHeaderRow();
    CDataRow* GetMappingRow();
    // Destroys the mapping row and the name order; the next GetMappingRow
    // gives one with all slots absent.
    void DeleteMappingRow();
    // The order in which the mapping joins its name columns (by column);
    // empty: column order.
    void SetNameOrder(NameOrder order);
    NameOrder GetNameOrder();

    // Stored copies of the mapping's name and description; -15001 when no
    // copy can be made. A null text removes the stored one.
    int SetName(const char* pszText);
    int SetDescription(const char* pszText);
    // As CDataRow::GetField: -15802 when none is stored, -15801 when longer than nSize.
    int GetName(char* pBuffer, int nSize);
    int GetDescription(char* pBuffer, int nSize);

private:
    static int StoreText(std::unique_ptr<std::string>& slot, const char* pszText);
    CDataRow* GetOrCreateRow(std::unique_ptr<CDataRow>& row);
    // The first position in m_rows whose key is not below nKey.
    size_t LowerBound(int nKey) const;

    std::recursive_mutex m_lock;
    int m_nColumnCount = 0;
    // The data rows' slots and texts.
    CCellArena m_arena;
    // The data rows themselves, where they never move (deleted ones stay
    // until the reset), and their order by key.
    std::deque<CDataRow> m_rowStore;
    std::vector<CDataRow*> m_rows;
    size_t m_nCursor = 0;
    std::unique_ptr<CDataRow> m_headerRow;
    std::unique_ptr<CDataRow> m_mappingRow;
    NameOrder m_nameOrder;
    std::unique_ptr<std::string> m_name;
    std::unique_ptr<std::string> m_description;
};
