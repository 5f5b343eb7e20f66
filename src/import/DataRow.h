// One row of the guarded CSV table: a fixed number of text slots, each absent
// or holding its own copy of a zero-terminated text, and the row's key.
// A row carries no lock; the table that owns it guards only its own
// structure, so a row handed out is used by one thread at a time.
#pragma once

#include <memory>
#include <string>

// Result codes shared by CDataRow and CDataMap.
namespace qvxdm {
inline constexpr int kOk = 0;
inline constexpr int kErrRange = -15801;      // index out of range, or text longer than the buffer
inline constexpr int kErrAbsent = -15802;     // slot or text absent
inline constexpr int kErrMemory = -15001;     // allocation failed or no buffer given
inline constexpr int kErrCreateRow = -15901;  // row could not be created
inline constexpr int kErrKeyExists = -15903;  // key already present
inline constexpr int kErrInsertRow = -15904;  // row could not be inserted
inline constexpr int kErrColumns = -1;        // column count differs
}  // namespace qvxdm

class CDataRow {
public:
    // A row of nFields absent slots (a negative count gives no slots).
    explicit CDataRow(int nFields);
    CDataRow(const CDataRow&) = delete;
    CDataRow& operator=(const CDataRow&) = delete;
    ~CDataRow();

    int GetKey() const { return m_nKey; }
    void SetKey(int nKey) { m_nKey = nKey; }
    int GetFieldCount() const { return m_nFields; }

    // Replaces the slot's text by a copy of pszText; a null text makes the
    // slot absent. -15801 for a bad index, -15001 when no copy can be made
    // (the old text is then kept).
    int SetField(int nIndex, const char* pszText);

    // Copies the slot's text into pBuffer: -15801 for a bad index or a text
    // longer than nSize bytes, -15802 for an absent slot, -15001 without a
    // buffer. The first nSize bytes of the buffer are zeroed in every case
    // with a buffer, so callers pass nSize + 1 bytes to keep a text of
    // exactly nSize bytes terminated.
    int GetField(int nIndex, char* pBuffer, int nSize) const;

    // The slot's text without a copy, or null when the slot is absent or the
    // index is bad. Valid until the slot is changed or the row destroyed.
    const std::string* PeekField(int nIndex) const;

private:
    int m_nFields;
    int m_nKey = 0;
    std::unique_ptr<std::unique_ptr<std::string>[]> m_fields;
};

// Copies pszText into a caller buffer with the rules of CDataRow::GetField
// (null text: -15802). Shared by the table's name and description.
int QvxCopyToBuffer(const std::string* pText, char* pBuffer, int nSize);
