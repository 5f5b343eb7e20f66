#include "import/ContactRules.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <optional>

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

void CDetailsOut::Clear() {
    rows.clear();
    notStored.clear();
    m_texts.Clear();
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
    std::vector<int> joined;
    for (const NameOrderItem& item : nameOrder) {
        const bool bName = item.nColumn >= 0 && item.nColumn < nColumns &&
                           m_columns[static_cast<size_t>(item.nColumn)].kind == Kind::kName;
        if (bName && std::find(joined.begin(), joined.end(), item.nColumn) == joined.end())
            joined.push_back(item.nColumn);
    }
    for (int nColumn : m_nameColumns)
        if (std::find(joined.begin(), joined.end(), nColumn) == joined.end()) joined.push_back(nColumn);
    m_nameColumns = std::move(joined);
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

std::string_view CContactRules::NumberedKey(const Column& column, int k, CDetailsOut& out) const {
    char szNumber[16] = " (";
    char* pEnd = std::to_chars(szNumber + 2, szNumber + sizeof szNumber - 1, k).ptr;
    *pEnd++ = ')';
    const size_t nNumber = static_cast<size_t>(pEnd - szNumber);
    char* p = out.m_texts.Reserve(column.header.size() + nNumber);
    std::memcpy(p, column.header.data(), column.header.size());
    std::memcpy(p + column.header.size(), szNumber, nNumber);
    return out.m_texts.Commit(column.header.size() + nNumber);
}

void CContactRules::AppendValue(const Column& column, int nColumn, std::string_view key,
                                std::string_view value, CDetailsOut& out) const {
    if (value.size() > qvxrules::kMaxValueBytes) {
        out.notStored.push_back({nColumn, qvxrules::NotStoredReason::kValueTooLong});
        return;
    }
    if (column.kind == Kind::kPhone) {
        char* pNumber = out.m_texts.Reserve(value.size());
        const size_t nDigits = qvxrules::DialNumber(value, pNumber);
        if (nDigits < 2) {
            out.m_texts.Commit(0);
            out.notStored.push_back({nColumn, qvxrules::NotStoredReason::kNoDialNumber});
            return;
        }
        const std::string_view number = out.m_texts.Commit(nDigits);
        std::string_view dialKey = column.dialKey;
        if (key.data() != column.header.data()) {
            char* p = out.m_texts.Reserve(kDialKeyPrefix.size() + key.size());
            std::memcpy(p, kDialKeyPrefix.data(), kDialKeyPrefix.size());
            std::memcpy(p + kDialKeyPrefix.size(), key.data(), key.size());
            dialKey = out.m_texts.Commit(kDialKeyPrefix.size() + key.size());
        }
        out.rows.push_back({dialKey, number, kDialType, qvxrules::kDialNumberPosition});
    }
    out.rows.push_back({key, value, column.type, nColumn});
}

bool CContactRules::AppendDetails(const CDataRow* pRow, int nColumn, CDetailsOut& out) const {
    if (nColumn < 0 || nColumn >= GetColumnCount()) return false;
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
                        k == 1 ? std::string_view(column.header) : NumberedKey(column, k, out), part, out);
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
    for (int nColumn : m_detailColumns) AppendDetails(pRow, nColumn, out.details);
    // A later row with the same PropertyKey replaces an earlier one.
    std::vector<ContactDetailRow>& rows = out.details.rows;
    size_t nKept = 0;
    for (size_t i = 0; i < rows.size(); ++i) {
        bool bReplaced = false;
        for (size_t j = i + 1; j < rows.size() && !bReplaced; ++j) bReplaced = rows[j].key == rows[i].key;
        if (!bReplaced) rows[nKept++] = rows[i];
    }
    rows.resize(nKept);
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
