#include "import/VCardReader.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <new>

#include "i18n/LanguageTable.h"
#include "i18n/TextKeys.h"
#include "import/DataMap.h"
#include "import/VCardCardParser.h"
#include "import/VCardProperties.h"
#include "import/VCardValues.h"
#include "support/LogModules.h"
#include "support/Utf8.h"

using namespace qvxvcard;

namespace {

// A sniffed file start: enough for a mark, blank lines and BEGIN:VCARD.
constexpr size_t kSniffBytes = 4096;
// Every data row has a slot per column: a file whose cards bring ever new
// properties must not make the table grow without end. Real exports stay
// far below this.
constexpr size_t kMaxColumns = 1024;
// Shared columns past the cap, per kind: values of one kind in one card
// beyond this many are not kept.
constexpr int kMaxMoreColumns = 32;
constexpr size_t kMaxVersions = 8;

// The shared columns' kinds: phone, e-mail, address, other text; -1 for
// values that need none (technical ones, the name and its parts).
int MoreSlot(VCardColumnKind kind) {
    switch (kind) {
        case VCardColumnKind::kPhone:
            return 0;
        case VCardColumnKind::kEmail:
            return 1;
        case VCardColumnKind::kAddress:
            return 2;
        case VCardColumnKind::kText:
        case VCardColumnKind::kCompany:
            return 3;
        default:
            return -1;
    }
}

// "AGENT:" with nothing after it: 2.1 puts the agent's card on the next lines.
bool OpensAgentCard(std::string_view line) {
    line = TrimBlanks(line);
    if (!StartsNoCase(line, "AGENT")) return false;
    line.remove_prefix(5);
    if (line.empty() || (line.front() != ':' && line.front() != ';')) return false;
    const size_t colon = line.find(':');
    return colon != std::string_view::npos && TrimBlanks(line.substr(colon + 1)).empty();
}

}  // namespace

CVCardReader::CVCardReader() = default;
CVCardReader::~CVCardReader() = default;

bool CVCardReader::IsVCardText(std::string_view text) {
    LineWalker lines(text, LineEndOf(text.substr(0, std::min(text.size(), kSniffBytes))));
    std::string_view line;
    while (lines.Next(line)) {
        if (TrimBlanks(line).empty()) continue;
        return IsMarker(TrimBlanks(line), "BEGIN:VCARD");
    }
    return false;
}

bool CVCardReader::IsVCardFile(const char* pszPath) {
    if (pszPath == nullptr) return false;
    FILE* f = fopen(pszPath, "rb");
    if (f == nullptr) return false;
    TextBytes bytes;
    if (!bytes.Allocate(kSniffBytes)) {
        fclose(f);
        return false;
    }
    bytes.size = fread(bytes.data.get(), 1, kSniffBytes, f);
    fclose(f);
    // A cut character at the end of the piece must not make the start
    // Windows-1252: only whole lines are looked at.
    TextEncoding encoding;
    if (!DecodeToUtf8(bytes, &encoding)) return false;
    return IsVCardText(std::string_view(bytes.data.get(), bytes.size));
}

void CVCardReader::AddUnreadable(uint32_t line) {
    ++m_nUnreadable;
    if (m_unreadableLines.size() < static_cast<size_t>(kUnreadableLinesKept))
        m_unreadableLines.push_back(static_cast<int>(line));
}

void CVCardReader::Tally::Add(int nLine, int n) {
    if (n <= 0) return;
    if (nPlaces == 0 || nLine > nLastLine) {
        ++nPlaces;
        nLastLine = nLine;
    }
    nCount += n;
    if (lines.size() < static_cast<size_t>(kUnreadableLinesKept) && (lines.empty() || lines.back() < nLine))
        lines.push_back(nLine);
}

std::vector<ReaderNotice> CVCardReader::GetNotices() const {
    std::vector<ReaderNotice> notices;
    const std::pair<const Tally*, std::array<const char*, 2>> kinds[] = {
        {&m_skippedLines, {qvxtext::kVCard_Info_LineSkipped, qvxtext::kVCard_Info_LinesSkipped}},
        {&m_undecoded, {qvxtext::kVCard_Info_ValueNotDecoded, qvxtext::kVCard_Info_ValuesNotDecoded}},
        {&m_notKept, {qvxtext::kVCard_Info_ValueNotKept, qvxtext::kVCard_Info_ValuesNotKept}},
    };
    for (const auto& [tally, keys] : kinds)
        if (tally->nCount > 0)
            notices.push_back({keys[0], keys[1], tally->nCount, tally->lines, tally->nPlaces});
    return notices;
}

const char* CVCardReader::UnreadableKeyOne() const {
    return qvxtext::kVCard_Info_CardUnreadable;
}

const char* CVCardReader::UnreadableKeyMany() const {
    return qvxtext::kVCard_Info_CardsUnreadable;
}

void CVCardReader::NoteVersion(std::string_view version) {
    version = TrimBlanks(version);
    if (version.empty() || version.size() > 8 || m_versions.size() >= kMaxVersions) return;
    if (std::find(m_versions.begin(), m_versions.end(), version) == m_versions.end())
        m_versions.emplace_back(version);
}

int CVCardReader::ColumnOf(const std::string& header, VCardColumnKind kind, std::array<int, 4>& more,
                           bool bAdd) {
    auto hit = m_columnIndex.find(header);
    if (hit != m_columnIndex.end()) return hit->second;
    if (bAdd && m_columns.size() < kMaxColumns) return AddColumn(header, kind);
    const int slot = MoreSlot(kind);
    if (slot < 0) return -1;
    const int n = ++more[static_cast<size_t>(slot)];
    if (n > kMaxMoreColumns) return -1;
    const VCardWords& w = *m_words;
    const std::string* words[4] = {&w.phone, &w.email, &w.address, &w.moreDetails};
    std::string moreHeader = slot < 3 ? *words[slot] + " (" + w.more + ")" : w.moreDetails;
    if (n > 1) moreHeader += " (" + std::to_string(n) + ")";
    hit = m_columnIndex.find(moreHeader);
    if (hit != m_columnIndex.end()) return hit->second;
    if (!bAdd) return -1;
    ++m_nMoreColumns;
    return AddColumn(moreHeader, slot == 3 ? VCardColumnKind::kText : kind);
}

int CVCardReader::AddColumn(const std::string& header, VCardColumnKind kind) {
    auto hit = m_columnIndex.find(header);
    if (hit != m_columnIndex.end()) return hit->second;
    const int index = static_cast<int>(m_columns.size());
    m_columnIndex.emplace(header, index);
    m_columns.push_back({header, kind});
    return index;
}

std::string CVCardReader::GetHeader(int nColumn) const {
    if (nColumn < 0 || nColumn >= GetColumnCount()) return std::string();
    return m_columns[static_cast<size_t>(nColumn)].header;
}

VCardColumnKind CVCardReader::GetColumnKind(int nColumn) const {
    if (nColumn < 0 || nColumn >= GetColumnCount()) return VCardColumnKind::kTechnical;
    return m_columns[static_cast<size_t>(nColumn)].kind;
}

void CVCardReader::DropText() {
    m_text.Clear();
    std::vector<Card>().swap(m_cards);
}

void CVCardReader::ReleaseText(CDataMap& table) {
    if (table.GetRowCount() >= m_nCards - m_nUnreadable) DropText();
}

int CVCardReader::Analyse(const char* pszPath, CDataMap&) {
    const int result = Read(pszPath);
    m_bFileRead = result != CSV_ERR_SPLIT;
    return result;
}

bool CVCardReader::ApplyBuiltInMapping(CDataMap& table) const {
    std::vector<VCardColumnKind> kinds;
    kinds.reserve(m_columns.size());
    for (const Column& column : m_columns) kinds.push_back(column.kind);
    return ApplyVCardMapping(kinds, table);
}

int CVCardReader::Read(const char* pszPath) {
    m_text.Clear();
    m_cards.clear();
    m_columns.clear();
    m_columnIndex.clear();
    m_versions.clear();
    m_nUnreadable = 0;
    m_unreadableLines.clear();
    m_nCards = 0;
    m_nMoreColumns = 0;
    m_skippedLines = Tally();
    m_undecoded = Tally();
    m_notKept = Tally();
    m_words = std::make_unique<VCardWords>();
    VCardWords& w = *m_words;
    w.name = w.Text(qvxtext::kVCard_Column_Name, "Name");
    w.family = w.Text(qvxtext::kVCard_Column_FamilyName, "Family name");
    w.given = w.Text(qvxtext::kVCard_Column_GivenName, "Given name");
    w.additional = w.Text(qvxtext::kVCard_Column_AdditionalNames, "Additional names");
    w.prefix = w.Text(qvxtext::kVCard_Column_NamePrefix, "Name prefix");
    w.suffix = w.Text(qvxtext::kVCard_Column_NameSuffix, "Name suffix");
    w.company = w.Text(qvxtext::kVCard_Column_Company, "Company");
    w.department = w.Text(qvxtext::kVCard_Column_Department, "Department");
    w.phone = w.Text(qvxtext::kVCard_Column_Phone, "Phone");
    w.email = w.Text(qvxtext::kVCard_Column_Email, "E-mail");
    w.address = w.Text(qvxtext::kVCard_Column_Address, "Address");
    w.more = w.Text(qvxtext::kVCard_Column_More, "more");
    w.moreDetails = w.Text(qvxtext::kVCard_Column_MoreDetails, "More details");
    for (size_t k = 0; k < w.types.size(); ++k) w.types[k] = w.Text(kTypeKeys[k][0], kTypeKeys[k][1]);
    for (const PropInfo& p : kProps) w.props.push_back(p.key ? w.Text(p.key, p.english) : std::string());
    AddColumn(w.name, VCardColumnKind::kName);

    if (pszPath == nullptr || m_text.Read(pszPath) != 0) {
        LOG_WARN(qvxlog::CSVPars, "vCard file %s could not be read", pszPath ? pszPath : "");
        m_text.Clear();
        return CSV_ERR_SPLIT;
    }
    m_encoding = m_text.GetEncoding();
    const std::string_view text = m_text.GetText();
    m_cLineEnd = LineEndOf(text);
    CardParser parser(w, m_encoding, m_cLineEnd);
    std::array<int, 4> more{};
    int nNotKept = 0;
    auto addColumn = [&](const std::string& header, VCardColumnKind kind, std::string_view) {
        if (ColumnOf(header, kind, more, true) < 0 && MoreSlot(kind) >= 0) ++nNotKept;
    };
    auto noteVersion = [this](std::string_view v) { NoteVersion(v); };

    try {
        LineWalker lines(text, m_cLineEnd);
        std::string_view line;
        uint32_t lineNo = 0;
        bool inCard = false;
        bool inGarbage = false;
        bool agent = false;    // the line before opened an embedded card
        int depth = 0;         // embedded cards open
        size_t cardStart = 0;  // offset of the line after BEGIN:VCARD
        uint32_t cardLine = 0;
        auto closeCard = [&](size_t end, bool complete) {
            Card card{cardStart, static_cast<uint32_t>(end - cardStart), cardLine, 0};
            if (end - cardStart >= UINT32_MAX) complete = false;
            card.readable = complete;
            if (complete) {
                more.fill(0);
                nNotKept = 0;
                parser.Parse(text.substr(cardStart, end - cardStart), addColumn, noteVersion, false);
                for (uint32_t at : parser.SkippedLines()) m_skippedLines.Add(static_cast<int>(cardLine + at));
                // Only the first lines are named.
                m_skippedLines.nCount +=
                    parser.SkippedCount() - static_cast<int>(parser.SkippedLines().size());
                m_undecoded.Add(static_cast<int>(cardLine), parser.UndecodedCount());
                m_notKept.Add(static_cast<int>(cardLine), nNotKept);
            } else {
                AddUnreadable(cardLine);
            }
            m_cards.push_back(card);
        };
        while (!lines.AtEnd()) {
            const size_t lineStart = lines.Offset();
            lines.Next(line);
            ++lineNo;
            const bool agentBefore = agent;
            agent = inCard && OpensAgentCard(line);
            if (IsMarker(line, "BEGIN:VCARD")) {
                if (inCard && (agentBefore || depth > 0)) {
                    ++depth;
                    continue;
                }
                if (inCard) closeCard(lineStart, false);
                inCard = true;
                inGarbage = false;
                depth = 0;
                cardStart = lines.Offset();
                cardLine = lineNo;
            } else if (inCard && IsMarker(line, "END:VCARD")) {
                if (depth > 0) {
                    --depth;
                    continue;
                }
                closeCard(lineStart, true);
                inCard = false;
            } else if (!inCard && !TrimBlanks(line).empty() && !inGarbage) {
                // Text outside any card counts once per stretch.
                inGarbage = true;
                AddUnreadable(lineNo);
                m_cards.push_back({lineStart, 0, lineNo, 0});
            }
        }
        if (inCard) closeCard(text.size(), false);
    } catch (const std::bad_alloc&) {
        LOG_WARN(qvxlog::CSVPars, "vCard file %s: out of memory", pszPath);
        m_text.Clear();
        return CSV_ERR_SPLIT;
    }
    if (m_cards.size() > static_cast<size_t>(INT32_MAX - 1)) return CSV_ERR_SPLIT;
    m_nCards = static_cast<int>(m_cards.size());
    if (m_nMoreColumns > 0 || m_notKept.nCount > 0)
        LOG_WARN(qvxlog::CSVPars, "vCard file %s: past %zu columns, %d shared columns, %d values not kept",
                 pszPath, kMaxColumns, m_nMoreColumns, m_notKept.nCount);
    LOG_INFO(qvxlog::CSVPars, "vCard file %s: %d cards, %d columns, %d unreadable", pszPath, m_nCards,
             GetColumnCount(), m_nUnreadable);
    if (m_nCards == m_nUnreadable &&
        std::none_of(m_cards.begin(), m_cards.end(), [](const Card& c) { return c.length > 0; }))
        return CSV_ERR_NO_LINES;
    return 0;
}

int CVCardReader::FillHeader(CDataMap& table) const {
    if (table.SetColumnCount(GetColumnCount()) != GetColumnCount()) return qvxdm::kErrColumns;
    CDataRow* header = table.GetHeaderRow();
    if (header == nullptr) return qvxdm::kErrMemory;
    for (int j = 0; j < GetColumnCount(); ++j)
        header->SetField(j, m_columns[static_cast<size_t>(j)].header.c_str());
    return 0;
}

int CVCardReader::ParseHeader(CDataMap& table, PARSE_CALLBACK pCallback, void* pContext) {
    if (pCallback) pCallback(pContext);
    return FillHeader(table) == 0 ? 0 : CSV_ERR_HEADER_TOO_LONG;
}

int CVCardReader::ParseRows(CDataMap& table, PARSE_CALLBACK pCallback, void* pContext) {
    if (m_text.GetText().empty() || !m_words) {
        // Every row is in the table already: only the steps are left.
        for (int k = 0; k < m_nCards; ++k)
            if (pCallback && pCallback(pContext) == -1) return CSV_ERR_ABORTED;
        return 0;
    }
    int skip = table.GetRowCount();
    table.SetColumnCount(GetColumnCount());
    const int nColumns = table.GetColumnCount();
    // One parser for all cards, so that its buffers are made once.
    CardParser parser(*m_words, m_encoding, m_cLineEnd);
    std::string cell;
    std::array<int, 4> more{};
    for (const Card& card : m_cards) {
        if (card.readable) {
            if (skip > 0) {
                --skip;
            } else if (table.AddRow(table.GetRowCount()) == 0) {
                CDataRow* row = table.NextRow();
                if (row != nullptr) row->SetLine(static_cast<int>(card.line));
                more.fill(0);
                parser.Parse(
                    m_text.GetText().substr(card.offset, card.length),
                    [&](const std::string& header, VCardColumnKind kind, std::string_view value) {
                        const int column = ColumnOf(header, kind, more, false);
                        if (row == nullptr || column < 0 || column >= nColumns) return;
                        cell.assign(value);
                        row->SetField(column, cell.c_str());
                    },
                    [](std::string_view) {});
            }
        }
        if (pCallback && pCallback(pContext) == -1) return CSV_ERR_ABORTED;
    }
    return 0;
}
