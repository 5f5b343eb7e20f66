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
constexpr size_t kMaxVersions = 8;

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

void CVCardReader::NoteVersion(std::string_view version) {
    version = TrimBlanks(version);
    if (version.empty() || version.size() > 8 || m_versions.size() >= kMaxVersions) return;
    if (std::find(m_versions.begin(), m_versions.end(), version) == m_versions.end())
        m_versions.emplace_back(version);
}

int CVCardReader::AddColumn(const std::string& header, VCardColumnKind kind) {
    auto hit = m_columnIndex.find(header);
    if (hit != m_columnIndex.end()) return hit->second;
    if (m_columns.size() >= kMaxColumns) {
        ++m_nCutValues;
        return -1;
    }
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
    m_nCutValues = 0;
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
    auto addColumn = [this](const std::string& header, VCardColumnKind kind, std::string_view) {
        AddColumn(header, kind);
    };
    auto noteVersion = [this](std::string_view v) { NoteVersion(v); };

    try {
        LineWalker lines(text, m_cLineEnd);
        std::string_view line;
        uint32_t lineNo = 0;
        bool inCard = false;
        bool inGarbage = false;
        size_t cardStart = 0;  // offset of the line after BEGIN:VCARD
        uint32_t cardLine = 0;
        auto closeCard = [&](size_t end, bool complete) {
            Card card{cardStart, static_cast<uint32_t>(end - cardStart), cardLine, 0};
            if (end - cardStart >= UINT32_MAX) complete = false;
            card.readable = complete && parser.Parse(text.substr(cardStart, end - cardStart), addColumn,
                                                     noteVersion, false);
            if (!card.readable) AddUnreadable(cardLine);
            m_cards.push_back(card);
        };
        while (!lines.AtEnd()) {
            const size_t lineStart = lines.Offset();
            lines.Next(line);
            ++lineNo;
            if (IsMarker(line, "BEGIN:VCARD")) {
                if (inCard) closeCard(lineStart, false);
                inCard = true;
                inGarbage = false;
                cardStart = lines.Offset();
                cardLine = lineNo;
            } else if (inCard && IsMarker(line, "END:VCARD")) {
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
    if (m_nCutValues > 0)
        LOG_WARN(qvxlog::CSVPars, "vCard file %s: %d values beyond %zu columns are not read", pszPath,
                 m_nCutValues, kMaxColumns);
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
    for (const Card& card : m_cards) {
        if (card.readable) {
            if (skip > 0) {
                --skip;
            } else if (table.AddRow(table.GetRowCount()) == 0) {
                CDataRow* row = table.NextRow();
                parser.Parse(
                    m_text.GetText().substr(card.offset, card.length),
                    [&](const std::string& header, VCardColumnKind, std::string_view value) {
                        auto hit = m_columnIndex.find(header);
                        if (row == nullptr || hit == m_columnIndex.end() || hit->second >= nColumns) return;
                        cell.assign(value);
                        row->SetField(hit->second, cell.c_str());
                    },
                    [](std::string_view) {});
            }
        }
        if (pCallback && pCallback(pContext) == -1) return CSV_ERR_ABORTED;
    }
    return 0;
}
