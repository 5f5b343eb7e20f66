#include "import/ContactRules.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <functional>
#include <numeric>
#include <optional>
#include <unordered_map>

#include "import/DataMap.h"
#include "import/MappingCodes.h"
#include "support/Trim.h"

namespace {

constexpr std::string_view kListSeparator = ":::";
constexpr std::string_view kDialKeyPrefix = "qVx_";
constexpr std::string_view kDialType = "P";

// A header or code as the rules read it: empty when absent or over the limit.
std::string ReadLimited(const CDataRow* pRow, int nColumn) {
    if (pRow == nullptr) return std::string();
    const std::optional<std::string_view> text = pRow->PeekField(nColumn);
    if (!text || text->size() > qvxrules::kMaxNameBytes) return std::string();
    return std::string(*text);
}

std::string_view Cell(const CDataRow* pRow, int nColumn) {
    const std::optional<std::string_view> text = pRow->PeekField(nColumn);
    return text ? *text : std::string_view();
}

// Keeps the smallest distinct lines, ascending.
void KeepLine(std::vector<int>& lines, int nLine) {
    auto it = std::lower_bound(lines.begin(), lines.end(), nLine);
    if (it != lines.end() && *it == nLine) return;
    if (lines.size() >= qvxrules::kLinesKept && it == lines.end()) return;
    lines.insert(it, nLine);
    if (lines.size() > qvxrules::kLinesKept) lines.pop_back();
}

// The key without a trailing " (n)" (n a number from 1 on, no leading zero).
std::string_view BaseOf(std::string_view key) {
    if (key.size() < 4 || key.back() != ')') return key;
    const size_t nClose = key.size() - 1;
    size_t i = nClose;
    while (i > 0 && key[i - 1] >= '0' && key[i - 1] <= '9') --i;
    if (i == nClose || key[i] == '0' || i < 2 || key[i - 1] != '(' || key[i - 2] != ' ') return key;
    return key.substr(0, i - 2);
}

// Every key a column can give, numbered, made unique or as a dial number's
// "qVx_" key, has the family of its header or of its dial key: two keys can
// only be equal within one family.
std::string Family(std::string_view key) {
    if (key.substr(0, kDialKeyPrefix.size()) == kDialKeyPrefix) key.remove_prefix(kDialKeyPrefix.size());
    for (std::string_view base = BaseOf(key); base.size() != key.size(); base = BaseOf(key)) key = base;
    return std::string(key);
}

}  // namespace

void qvxrules::SplitName(std::string_view name, std::array<std::string_view, kNameParts>& parts) {
    parts.fill(std::string_view());
    size_t nPart = 0;
    size_t i = 0;
    while (i < name.size() && nPart < parts.size()) {
        while (i < name.size() && (name[i] == ' ' || name[i] == '-')) ++i;
        if (i == name.size()) break;
        size_t nEnd = i;
        while (nEnd < name.size() && name[nEnd] != ' ' && name[nEnd] != '-') ++nEnd;
        parts[nPart++] = name.substr(i, nEnd - i);
        i = nEnd;
    }
}

size_t qvxrules::DialNumber(std::string_view value, char* pOut) {
    size_t nLength = 0;
    for (size_t i = 0; i < value.size(); ++i) {
        const char c = value[i];
        if (c == '+' && nLength == 0) {
            pOut[nLength++] = c;
        } else if (c == '(' && value.substr(i, 3) == "(0)") {
            i += 2;
        } else if (c >= '0' && c <= '9') {
            pOut[nLength++] = c;
        }
    }
    return nLength;
}

void CMadeTexts::Clear() {
    m_nBlock = 0;
    m_nUsed = 0;
    m_large.clear();
    m_pReserved = nullptr;
}

char* CMadeTexts::Reserve(size_t nBytes) {
    m_bReservedLarge = nBytes > kBlockBytes;
    if (m_bReservedLarge) {
        m_large.push_back(std::make_unique<char[]>(nBytes));
        m_pReserved = m_large.back().get();
        return m_pReserved;
    }
    if (m_nBlock < m_blocks.size() && m_nUsed + nBytes > kBlockBytes) {
        ++m_nBlock;
        m_nUsed = 0;
    }
    if (m_nBlock == m_blocks.size()) m_blocks.push_back(std::make_unique<char[]>(kBlockBytes));
    m_pReserved = m_blocks[m_nBlock].get() + m_nUsed;
    return m_pReserved;
}

std::string_view CMadeTexts::Commit(size_t nUsed) {
    const std::string_view text(m_pReserved, nUsed);
    if (!m_bReservedLarge) m_nUsed += nUsed;
    m_pReserved = nullptr;
    return text;
}

void CKeyTable::Clear() {
    m_nCount = 0;
    if (++m_nGeneration != 0) return;
    for (Slot& slot : m_slots) slot.nGeneration = 0;
    m_nGeneration = 1;
}

size_t CKeyTable::Find(std::string_view key) const {
    const size_t nMask = m_slots.size() - 1;
    const size_t nHash = std::hash<std::string_view>{}(key);
    size_t i = nHash & nMask;
    while (m_slots[i].nGeneration == m_nGeneration && m_slots[i].key != key) i = (i + 1) & nMask;
    return i;
}

uint32_t& CKeyTable::Emplace(std::string_view key, uint32_t nValue, bool& bInserted) {
    if ((m_nCount + 1) * 2 > m_slots.size()) Grow();
    Slot& slot = m_slots[Find(key)];
    bInserted = slot.nGeneration != m_nGeneration;
    if (bInserted) {
        slot = {m_nGeneration, nValue, key};
        ++m_nCount;
    }
    return slot.nValue;
}

void CKeyTable::Grow() {
    std::vector<Slot> old = std::move(m_slots);
    const uint32_t nLive = m_nGeneration;
    m_slots.assign(std::max<size_t>(64, old.size() * 2), Slot());
    m_nGeneration = 1;
    for (const Slot& slot : old)
        if (slot.nGeneration == nLive) m_slots[Find(slot.key)] = {m_nGeneration, slot.nValue, slot.key};
}

void CDetailsOut::Clear() {
    rows.clear();
    notStored.clear();
    m_texts.Clear();
    m_keys.Clear();
    m_nextFree.Clear();
}

CContactRules::CContactRules(CDataMap& map)
    : CContactRules(map.GetHeaderRow(), map.GetMappingRow(), map.GetColumnCount(), map.GetNameOrder()) {}

CContactRules::CContactRules(const CDataRow* pHeader, const CDataRow* pMapping, int nColumns,
                             const NameOrder& nameOrder) {
    m_columns.resize(static_cast<size_t>(std::max(nColumns, 0)));
    for (int i = 0; i < nColumns; ++i) {
        Column& column = m_columns[static_cast<size_t>(i)];
        column.header = ReadLimited(pHeader, i);
        column.dialKey = std::string(kDialKeyPrefix) + column.header;
        const std::string code = ReadLimited(pMapping, i);
        column.type = code == qvxcode::kOther ? std::string() : code;
        if (code == qvxcode::kName) {
            column.kind = Kind::kName;
            m_nameColumns.push_back(i);
        } else if (code == qvxcode::kCompany) {
            // The last one is the company; none of them gives details.
            column.kind = Kind::kCompany;
            m_nCompany = i;
        } else if (code == qvxcode::kHidden) {
            column.kind = Kind::kHidden;
        } else if (code == qvxcode::kPhone) {
            column.kind = Kind::kPhone;
        } else if (code == qvxcode::kEmail || code == qvxcode::kLocation) {
            column.kind = Kind::kList;
        } else {
            column.kind = Kind::kPlain;
        }
        if (column.kind == Kind::kPhone || column.kind == Kind::kList || column.kind == Kind::kPlain)
            m_detailColumns.push_back(i);
    }
    // The ordered name columns first, then the others as they stand.
    const NameOrder joined = JoinedNameOrder(nameOrder, m_nameColumns);
    m_nameColumns.clear();
    for (const NameOrderItem& item : joined) m_nameColumns.push_back(item.nColumn);
    FindGroups();
}

void CContactRules::FindGroups() {
    std::vector<int> parent(m_columns.size());
    std::iota(parent.begin(), parent.end(), 0);
    auto root = [&parent](int i) {
        while (parent[static_cast<size_t>(i)] != i) i = parent[static_cast<size_t>(i)];
        return i;
    };
    std::unordered_map<std::string, int> firstOfFamily;
    for (int nColumn : m_detailColumns) {
        const Column& column = m_columns[static_cast<size_t>(nColumn)];
        std::vector<std::string> families = {Family(column.header)};
        if (column.kind == Kind::kPhone) families.push_back(Family(column.dialKey));
        for (std::string& family : families) {
            const auto [it, bNew] = firstOfFamily.emplace(std::move(family), nColumn);
            if (!bNew) parent[static_cast<size_t>(root(nColumn))] = root(it->second);
        }
    }
    std::vector<int> members(m_columns.size(), 0);
    for (int nColumn : m_detailColumns) ++members[static_cast<size_t>(root(nColumn))];
    std::vector<int> groupOfRoot(m_columns.size(), -1);
    for (int nColumn : m_detailColumns) {
        const auto nRoot = static_cast<size_t>(root(nColumn));
        if (members[nRoot] < 2) continue;
        if (groupOfRoot[nRoot] < 0) {
            groupOfRoot[nRoot] = static_cast<int>(m_groups.size());
            m_groups.emplace_back();
        }
        Column& column = m_columns[static_cast<size_t>(nColumn)];
        column.nGroup = groupOfRoot[nRoot];
        std::vector<int>& group = m_groups[static_cast<size_t>(column.nGroup)];
        column.nInGroup = static_cast<int>(group.size());
        group.push_back(nColumn);
    }
}

std::string_view CContactRules::GetHeader(int nColumn) const {
    if (nColumn < 0 || nColumn >= GetColumnCount()) return std::string_view();
    return m_columns[static_cast<size_t>(nColumn)].header;
}

int CContactRules::LineOf(const CDataRow* pRow) {
    return pRow->GetLine() > 0 ? pRow->GetLine() : pRow->GetKey() + 2;
}

qvxrules::SkipReason CContactRules::ReadContact(const CDataRow* pRow, CContactOut& out) const {
    using qvxrules::SkipReason;
    out.name = std::string_view();
    out.company = std::string_view();
    out.parts.fill(std::string_view());
    out.notStored.clear();
    out.m_name.clear();
    if (m_nameColumns.empty()) return SkipReason::kNoName;

    bool bCellTooLong = false;
    for (int nColumn : m_nameColumns) {
        const std::string_view cell = Cell(pRow, nColumn);
        if (cell.empty()) continue;
        if (cell.size() > qvxrules::kMaxNameBytes) {
            out.notStored.push_back({nColumn, qvxrules::NotStoredReason::kNameTooLong});
            bCellTooLong = true;
            continue;
        }
        if (!out.m_name.empty()) out.m_name.push_back(' ');
        out.m_name += cell;
    }
    if (out.m_name.size() > qvxrules::kMaxNameBytes || (out.m_name.empty() && bCellTooLong)) {
        out.notStored.clear();
        return SkipReason::kNameTooLong;
    }

    std::string_view company;
    if (m_nCompany >= 0) {
        company = Cell(pRow, m_nCompany);
        if (company.size() > qvxrules::kMaxNameBytes) {
            out.notStored.push_back({m_nCompany, qvxrules::NotStoredReason::kCompanyTooLong});
            company = std::string_view();
        }
    }
    if (!out.m_name.empty()) {
        out.name = out.m_name;
    } else if (!company.empty()) {
        // An entry of a company alone is listed under the company.
        out.name = company;
    } else {
        out.notStored.clear();
        return SkipReason::kNoName;
    }
    out.company = company;
    qvxrules::SplitName(out.name, out.parts);
    return SkipReason::kNone;
}

std::string_view CContactRules::NumberedKey(std::string_view base, int k, CDetailsOut& out) const {
    char szNumber[16] = " (";
    char* pEnd = std::to_chars(szNumber + 2, szNumber + sizeof szNumber - 1, k).ptr;
    *pEnd++ = ')';
    const size_t nNumber = static_cast<size_t>(pEnd - szNumber);
    char* p = out.m_texts.Reserve(base.size() + nNumber);
    std::memcpy(p, base.data(), base.size());
    std::memcpy(p + base.size(), szNumber, nNumber);
    return out.m_texts.Commit(base.size() + nNumber);
}

std::string_view CContactRules::OwnKey(std::string_view key, CDetailsOut& out) const {
    bool bNew = false;
    out.m_keys.Emplace(key, 0, bNew);
    if (bNew) return key;
    const std::string_view base = BaseOf(key);
    // The keys only grow within a row, so a number once found taken stays taken.
    uint32_t& k = out.m_nextFree.Emplace(base, 2, bNew);
    while (true) {
        const std::string_view numbered = NumberedKey(base, static_cast<int>(k++), out);
        out.m_keys.Emplace(numbered, 0, bNew);
        if (bNew) return numbered;
    }
}

void CContactRules::AppendValue(const Column& column, int nColumn, std::string_view key,
                                std::string_view value, CDetailsOut& out) const {
    if (value.size() > qvxrules::kMaxValueBytes) {
        out.notStored.push_back({nColumn, qvxrules::NotStoredReason::kValueTooLong});
        return;
    }
    std::string_view number;
    if (column.kind == Kind::kPhone) {
        char* pNumber = out.m_texts.Reserve(value.size());
        const size_t nDigits = qvxrules::DialNumber(value, pNumber);
        if (nDigits < 2) {
            out.m_texts.Commit(0);
            out.notStored.push_back({nColumn, qvxrules::NotStoredReason::kNoDialNumber});
            return;
        }
        number = out.m_texts.Commit(nDigits);
    }
    // Only a column of a group can meet a key given before in the row.
    if (column.nGroup >= 0) key = OwnKey(key, out);
    if (column.kind == Kind::kPhone) {
        std::string_view dialKey = column.dialKey;
        if (key.data() != column.header.data()) {
            char* p = out.m_texts.Reserve(kDialKeyPrefix.size() + key.size());
            std::memcpy(p, kDialKeyPrefix.data(), kDialKeyPrefix.size());
            std::memcpy(p + kDialKeyPrefix.size(), key.data(), key.size());
            dialKey = out.m_texts.Commit(kDialKeyPrefix.size() + key.size());
        }
        if (column.nGroup >= 0) dialKey = OwnKey(dialKey, out);
        out.rows.push_back({dialKey, number, kDialType, qvxrules::kDialNumberPosition});
    }
    out.rows.push_back({key, value, column.type, nColumn});
}

bool CContactRules::AppendDetails(const CDataRow* pRow, int nColumn, CDetailsOut& out) const {
    if (nColumn < 0 || nColumn >= GetColumnCount()) return false;
    const Column& column = m_columns[static_cast<size_t>(nColumn)];
    if (column.nGroup >= 0) {
        out.m_keys.Clear();
        out.m_nextFree.Clear();
    }
    if (column.nInGroup > 0 && !Cell(pRow, nColumn).empty()) {
        // The keys the row's earlier columns of the group take, without their rows.
        const size_t nRows = out.rows.size();
        const size_t nNotStored = out.notStored.size();
        const std::vector<int>& group = m_groups[static_cast<size_t>(column.nGroup)];
        for (int i = 0; i < column.nInGroup; ++i) AppendColumn(pRow, group[static_cast<size_t>(i)], out);
        out.rows.resize(nRows);
        out.notStored.resize(nNotStored);
    }
    return AppendColumn(pRow, nColumn, out);
}

bool CContactRules::AppendColumn(const CDataRow* pRow, int nColumn, CDetailsOut& out) const {
    const Column& column = m_columns[static_cast<size_t>(nColumn)];
    if (column.kind != Kind::kPhone && column.kind != Kind::kList && column.kind != Kind::kPlain)
        return false;
    const std::string_view cell = Cell(pRow, nColumn);
    if (cell.empty()) return false;
    if (column.kind == Kind::kPlain || cell.find(kListSeparator) == std::string_view::npos) {
        AppendValue(column, nColumn, column.header, cell, out);
        return true;
    }
    int k = 0;
    std::string_view rest = cell;
    while (true) {
        const size_t nEnd = rest.find(kListSeparator);
        const std::string_view part = qvxsupport::Trim(rest.substr(0, nEnd));
        if (!part.empty()) {
            ++k;
            AppendValue(column, nColumn,
                        k == 1 ? std::string_view(column.header) : NumberedKey(column.header, k, out), part,
                        out);
        }
        if (nEnd == std::string_view::npos) break;
        rest.remove_prefix(nEnd + kListSeparator.size());
    }
    return true;
}

void CContactRules::ReadRow(const CDataRow* pRow, CContactRow& out) const {
    out.nKey = pRow->GetKey();
    out.nLine = LineOf(pRow);
    out.details.Clear();
    out.skip = ReadContact(pRow, out.contact);
    if (out.skip != qvxrules::SkipReason::kNone) return;
    for (int nColumn : m_detailColumns) AppendColumn(pRow, nColumn, out.details);
}

void ImportTally::AddSkipped(int nLine, qvxrules::SkipReason reason) {
    if (reason == qvxrules::SkipReason::kNone) return;
    ++nSkipped;
    if (reason == qvxrules::SkipReason::kNameTooLong) {
        ++nNameTooLong;
    } else {
        ++nNoName;
    }
    KeepLine(skippedLines, nLine);
}

void ImportTally::AddNotStored(int nLine, size_t nValues, bool bNewRow) {
    if (nValues == 0) return;
    nNotStored += static_cast<int>(nValues);
    if (bNewRow) ++nNotStoredRows;
    KeepLine(notStoredLines, nLine);
}

ImportTally TallyImport(CDataMap& map) {
    ImportTally tally;
    const CContactRules rules(map);
    CContactRow row;
    const int nRows = map.GetRowCount();
    map.Rewind();
    for (int r = 0; r < nRows; ++r) {
        const CDataRow* pRow = map.NextRow();
        if (pRow == nullptr) break;
        rules.ReadRow(pRow, row);
        tally.Add(row);
    }
    return tally;
}

void ImportTally::Add(const CContactRow& row) {
    ++nRows;
    if (row.skip != qvxrules::SkipReason::kNone) {
        AddSkipped(row.nLine, row.skip);
        return;
    }
    ++nContacts;
    nDetails += static_cast<long long>(row.details.rows.size());
    AddNotStored(row.nLine, row.contact.notStored.size() + row.details.notStored.size());
}
