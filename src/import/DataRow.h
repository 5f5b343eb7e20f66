// One row of the guarded CSV table: a fixed number of text slots, each absent
// or holding its own copy of a zero-terminated text, and the row's key.
// A row carries no lock; the table that owns it guards only its own
// structure, so a row handed out is used by one thread at a time.
//
// The texts live in a cell store: a row of a table uses the table's store
// (one per table, so a cell costs its text and one slot, not a heap string),
// a row made on its own has a store of its own.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

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

// Memory handed out in order from large blocks and given back all at once.
// Nothing in it moves, so what it handed out stays valid until Clear. Not
// locked: one thread at a time.
class CCellArena {
public:
    CCellArena() = default;
    CCellArena(const CCellArena&) = delete;
    CCellArena& operator=(const CCellArena&) = delete;
    ~CCellArena();

    // Where a stored text is: four bytes instead of a pointer's eight (the
    // block and the offset in it). kNoText and kEmptyText stand for no text
    // and the empty text, which take no room.
    using TextRef = uint32_t;
    static constexpr TextRef kNoText = 0;
    static constexpr TextRef kEmptyText = 1;

    // Room for nBytes at an address that is a multiple of nAlign (a power of
    // two); throws std::bad_alloc.
    void* Allocate(size_t nBytes, size_t nAlign = 1);
    // Stores a copy of the text with its terminating zero; throws
    // std::bad_alloc, also when the store cannot number more blocks.
    TextRef StoreText(const char* pszText, size_t nLength);
    // The text stored under a reference other than kNoText.
    const char* GetText(TextRef ref) const {
        if (ref == kEmptyText) return "";
        return m_blocks[ref >> kOffsetBits] + (ref & kOffsetMask);
    }
    // Gives every block back.
    void Clear();
    // Bytes held in blocks.
    size_t GetHeldBytes() const { return m_nHeld; }

private:
    // A reference holds the block number above the offset in the block:
    // blocks for many texts are at most 1 MiB, a longer text gets a block of
    // its own and sits at its start.
    static constexpr int kOffsetBits = 20;
    static constexpr TextRef kOffsetMask = (TextRef{1} << kOffsetBits) - 1;

    char* NewBlock(size_t nBytes);

    // Block 0 is never used, so that no reference to a text is below 1 << 20.
    std::vector<char*> m_blocks;
    char* m_pFree = nullptr;
    size_t m_nFree = 0;
    size_t m_nNextBlock = 0;
    // The block that short texts and slots are taken from.
    size_t m_nShared = 0;
    size_t m_nHeld = 0;
};

class CDataRow {
public:
    // A row of nFields absent slots (a negative count gives no slots) with a
    // cell store of its own.
    explicit CDataRow(int nFields);
    // A row whose slots and texts live in `arena` (throws std::bad_alloc).
    CDataRow(int nFields, CCellArena& arena);
    CDataRow(const CDataRow&) = delete;
    CDataRow& operator=(const CDataRow&) = delete;
    ~CDataRow();

    int GetKey() const { return m_nKey; }
    void SetKey(int nKey) { m_nKey = nKey; }
    int GetFieldCount() const { return m_nFields; }
    // The file line the row starts on (1-based); 0 when not known.
    int GetLine() const { return m_nLine; }
    void SetLine(int nLine) { m_nLine = nLine; }

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

    // The slot's text without a copy (zero-terminated behind the view), or
    // nothing when the slot is absent or the index is bad. Valid until the
    // slot is changed or the row destroyed.
    std::optional<std::string_view> PeekField(int nIndex) const;

private:
    void MakeSlots(CCellArena& arena);

    int m_nFields;
    int m_nKey = 0;
    int m_nLine = 0;
    // Where each slot's text is in the store.
    CCellArena::TextRef* m_pSlots = nullptr;
    CCellArena* m_pArena = nullptr;
    std::unique_ptr<CCellArena> m_pOwnArena;
};

// The one cell reader: a cell of a row as read through a buffer of nChars + 1
// bytes, empty when the row or cell is missing or the text is longer (the
// outcome of GetField into such a buffer, without clearing it for every cell).
void ReadCell(const CDataRow* pRow, int nColumn, char* pBuffer, int nChars);
std::string ReadCell(const CDataRow* pRow, int nColumn, int nChars);

// Copies pszText into a caller buffer with the rules of CDataRow::GetField
// (null text: -15802). Shared by the table's name and description.
int QvxCopyToBuffer(const std::string* pText, char* pBuffer, int nSize);
