// How one row of the analysed table becomes what the contact database holds:
// the contact (Name, Company, NPart0 ... NPart9) and its ContactDetail rows,
// dial-number rows included, or why the row gives no contact. The database
// builder writes exactly what these rules return and a preview shows the
// same, so that the two cannot differ.
//
// The rules (those of the contact database, with these additions):
// - the name is the row's non-empty name cells ("N") joined by one blank, in
//   the mapping's name order (import/NameOrder.h), else column order; a
//   name cell over 1,024 bytes is not stored (the others still make the
//   name); a joined name over 1,024 bytes gives no contact;
// - a row whose name is empty (not too long) becomes a contact under its
//   company ("C"): Name and Company are the company text, the name parts are
//   cut from it. A company over 1,024 bytes is not stored; a row with
//   neither gives no contact, and without a name column no row gives one;
// - a cell of a phone ("PD"), e-mail ("E") or location ("L") column that
//   holds ":::" is a list: it is cut at every ":::", each part trimmed of
//   blanks, empty parts dropped; the k-th kept part is stored under the
//   header (k = 1) or "<header> (k)" (k >= 2);
// - every value of a row has a key of its own: a value whose key an earlier
//   value of the row (in column order, then list order) already has is
//   stored under "<base> (k)", base being the key without a trailing " (n)",
//   k the smallest number from 2 on that no earlier value has; a dial number
//   is keyed "qVx_" + the key of its value, made unique the same way;
// - a value over 1,025 bytes, and a phone value with fewer than two dial
//   characters, is not stored (a list part so dropped still counts for k).
// Output views point into the table's cells, into these rules and into the
// output object; they stay valid until the output is used again or the
// table changes.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "import/NameOrder.h"

class CDataMap;
class CDataRow;

namespace qvxrules {
// A name cell, the joined name and the company count up to this many bytes.
inline constexpr size_t kMaxNameBytes = 1024;
// Any other value counts up to this many bytes.
inline constexpr size_t kMaxValueBytes = 1025;
inline constexpr int kNameParts = 10;
inline constexpr int kDialNumberPosition = 2147483647;
// How many line numbers a tally keeps of each kind.
inline constexpr size_t kLinesKept = 10;

// The parts of a name (NPart0 ... NPart9): cut at every blank and hyphen,
// runs of them giving no empty part; the eleventh and later parts are dropped.
void SplitName(std::string_view name, std::array<std::string_view, kNameParts>& parts);
// The dial characters of a value (a leading "+", the digits; "(0)" and
// everything else skipped) into pOut, which has room for value.size()
// bytes; their count. Fewer than two make no dial number.
size_t DialNumber(std::string_view value, char* pOut);

// Why a row gives no contact.
enum class SkipReason {
    kNone,         // it gives one
    kNoName,       // neither a name nor a company
    kNameTooLong,  // the name is over 1,024 bytes
};

// Why a value of a row that gives a contact is not stored.
enum class NotStoredReason {
    kNameTooLong,     // a name cell over 1,024 bytes
    kCompanyTooLong,  // a company over 1,024 bytes
    kValueTooLong,    // another value over 1,025 bytes
    kNoDialNumber,    // a phone value with fewer than two dial characters
};
}  // namespace qvxrules

// One ContactDetail row.
struct ContactDetailRow {
    std::string_view key;    // PropertyKey
    std::string_view value;  // Value
    std::string_view type;   // PropertyType
    int nPosition = 0;       // Position: the column's index, or 2147483647 for a dial number
};

struct NotStoredValue {
    int nColumn;
    qvxrules::NotStoredReason reason;
};

// Texts made for an output (keys with a number, dial numbers). Kept in
// blocks that are reused output after output, so that a build makes no heap
// allocation per cell; a text never moves while the output lives.
class CMadeTexts {
public:
    CMadeTexts() = default;
    CMadeTexts(const CMadeTexts&) = delete;
    CMadeTexts& operator=(const CMadeTexts&) = delete;
    CMadeTexts(CMadeTexts&&) = default;
    CMadeTexts& operator=(CMadeTexts&&) = default;

    // Forgets the texts, keeping the room.
    void Clear();
    // Room for nBytes; Commit then makes the first nUsed of them a text.
    char* Reserve(size_t nBytes);
    std::string_view Commit(size_t nUsed);

private:
    static constexpr size_t kBlockBytes = 16384;
    std::vector<std::unique_ptr<char[]>> m_blocks;
    std::vector<std::unique_ptr<char[]>> m_large;  // texts longer than a block
    size_t m_nBlock = 0;
    size_t m_nUsed = 0;
    char* m_pReserved = nullptr;
    bool m_bReservedLarge = false;
};

// The contact of a row, as the table Contact holds it.
class CContactOut {
public:
    std::string_view name;
    std::string_view company;
    std::array<std::string_view, qvxrules::kNameParts> parts;  // empty after the last
    // Values of the name and company columns that are not stored.
    std::vector<NotStoredValue> notStored;

private:
    friend class CContactRules;
    std::string m_name;
};

// A set of texts with a number each, emptied in constant time, so that one
// row's keys are looked up in linear time and without allocation once it
// has grown. The texts must outlive their entry.
class CKeyTable {
public:
    void Clear();
    // The number of key, inserting it with nValue when absent.
    uint32_t& Emplace(std::string_view key, uint32_t nValue, bool& bInserted);

private:
    struct Slot {
        uint32_t nGeneration = 0;
        uint32_t nValue = 0;
        std::string_view key;
    };
    size_t Find(std::string_view key) const;
    void Grow();

    std::vector<Slot> m_slots;
    uint32_t m_nGeneration = 1;
    size_t m_nCount = 0;
};

// Detail rows in the order they are written.
class CDetailsOut {
public:
    void Clear();

    std::vector<ContactDetailRow> rows;
    std::vector<NotStoredValue> notStored;

private:
    friend class CContactRules;
    CMadeTexts m_texts;
    CKeyTable m_keys;      // keys given in the row so far
    CKeyTable m_nextFree;  // base -> the first k not yet tried
};

// All a row gives: its contact, or why none, and its detail rows, each
// with a key of its own.
struct CContactRow {
    int nKey = 0;   // ContactId
    int nLine = 0;  // file line the row starts on
    qvxrules::SkipReason skip = qvxrules::SkipReason::kNone;
    CContactOut contact;
    CDetailsOut details;
};

class CContactRules {
public:
    // Takes the header texts and codes of the table's columns; the table's
    // data rows may change afterwards, its header and mapping rows not.
    explicit CContactRules(CDataMap& map);
    // `nameOrder`: the name columns joined first, in this order; items of
    // other columns are passed over.
    CContactRules(const CDataRow* pHeader, const CDataRow* pMapping, int nColumns,
                  const NameOrder& nameOrder = {});

    int GetColumnCount() const { return static_cast<int>(m_columns.size()); }
    // The columns that give detail rows (neither name, company nor "X"), in
    // index order.
    const std::vector<int>& GetDetailColumns() const { return m_detailColumns; }
    // A column's header (PropertyKey); empty when over 1,024 bytes.
    std::string_view GetHeader(int nColumn) const;
    bool HasNameColumn() const { return !m_nameColumns.empty(); }

    // The contact a row gives (kNone), or why it gives none.
    qvxrules::SkipReason ReadContact(const CDataRow* pRow, CContactOut& out) const;
    // Appends the detail rows of one column of a row that gives a contact,
    // keyed as ReadRow keys them (the row's earlier columns are read again
    // where their keys could meet). True when the cell held a value (stored
    // or not).
    bool AppendDetails(const CDataRow* pRow, int nColumn, CDetailsOut& out) const;
    // Everything the row gives.
    void ReadRow(const CDataRow* pRow, CContactRow& out) const;

    // The file line a row starts on; rows made without a file count one
    // line each, after the header line.
    static int LineOf(const CDataRow* pRow);

private:
    enum class Kind { kName, kCompany, kHidden, kPhone, kList, kPlain };
    struct Column {
        std::string header;
        std::string dialKey;  // "qVx_" + header
        std::string type;     // the code; "-" is stored as ""
        Kind kind = Kind::kHidden;
        // Columns whose keys could meet share a group (-1: none); the
        // column's place in it.
        int nGroup = -1;
        int nInGroup = 0;
    };

    bool AppendColumn(const CDataRow* pRow, int nColumn, CDetailsOut& out) const;
    void AppendValue(const Column& column, int nColumn, std::string_view key, std::string_view value,
                     CDetailsOut& out) const;
    std::string_view NumberedKey(std::string_view base, int k, CDetailsOut& out) const;
    // key, or the next free "<base> (k)" when the row has it already.
    std::string_view OwnKey(std::string_view key, CDetailsOut& out) const;
    void FindGroups();

    std::vector<Column> m_columns;
    std::vector<std::vector<int>> m_groups;  // columns in index order
    std::vector<int> m_nameColumns;
    int m_nCompany = -1;
    std::vector<int> m_detailColumns;
};

// What the rules make of a whole table: the counts, and the first file
// lines of the rows that give no contact and of the rows with values not
// stored (ascending, at most ten each).
struct ImportTally {
    int nRows = 0;
    int nContacts = 0;
    // ContactDetail rows the database holds (TallyImport only).
    long long nDetails = 0;
    int nSkipped = 0;
    int nNoName = 0;
    int nNameTooLong = 0;
    std::vector<int> skippedLines;
    int nNotStored = 0;
    int nNotStoredRows = 0;  // rows with a value not stored
    std::vector<int> notStoredLines;

    // One row as the rules read it: a contact with its details, or a skip.
    void Add(const CContactRow& row);
    void AddSkipped(int nLine, qvxrules::SkipReason reason);
    // bNewRow: the first values not stored of this row.
    void AddNotStored(int nLine, size_t nValues, bool bNewRow = true);
};

// The tally of the table's data rows as they are now, without building.
ImportTally TallyImport(CDataMap& map);
