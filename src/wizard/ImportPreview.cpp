#include "wizard/ImportPreview.h"

#include <algorithm>
#include <utility>

#include "import/DataMap.h"
#include "import/DataRow.h"
#include "import/ImportRows.h"
#include "support/Latin1Case.h"
#include "wizard/ImportSession.h"
#include "wizard/ImportSet.h"

CImportPreview::CImportPreview(CDataMap& table, int nMismatched, std::vector<int> mismatchedLines)
    : m_nMismatched(nMismatched), m_mismatchedLines(std::move(mismatchedLines)) {
    m_fileMismatched.push_back(nMismatched);
    Open(ListImportRows({&table}));
}

CImportPreview::CImportPreview(const ImportRowList& list, const std::vector<const CContactsFile*>& parsers) {
    for (const CContactsFile* pParser : parsers) {
        const int nMismatched = pParser != nullptr ? pParser->GetMismatchedCount() : 0;
        m_fileMismatched.push_back(nMismatched);
        m_nMismatched += nMismatched;
        if (pParser == nullptr) continue;
        const std::vector<int>& lines = pParser->GetMismatchedLines();
        m_mismatchedLines.insert(m_mismatchedLines.end(), lines.begin(), lines.end());
    }
    Open(list);
}

void CImportPreview::Open(const ImportRowList& list) {
    m_rules.reserve(list.tables.size());
    for (CDataMap* pTable : list.tables) m_rules.emplace_back(*pTable);
    m_fileTallies.assign(list.tables.size(), ImportTally());
    m_fileMismatched.resize(list.tables.size());
    m_rows.reserve(list.rows.size());
    m_files.reserve(list.rows.size());
    m_ids.reserve(list.rows.size());
    for (const ImportRowRef& ref : list.rows) {
        m_rows.push_back(ref.pRow);
        m_files.push_back(ref.nFile);
        m_ids.push_back(ref.nContactId);
    }
    // The counts need every row's details once; only their number is kept.
    m_skip.resize(m_rows.size());
    CContactRow row;
    for (size_t r = 0; r < m_rows.size(); ++r) {
        m_rules[static_cast<size_t>(m_files[r])].ReadRow(m_rows[r], row);
        m_skip[r] = static_cast<uint8_t>(row.skip);
        m_tally.Add(row);
        m_fileTallies[static_cast<size_t>(m_files[r])].Add(row);
    }
    m_matching.resize(m_rows.size());
    for (size_t r = 0; r < m_rows.size(); ++r) m_matching[r] = static_cast<int>(r);
    List();
}

void CImportPreview::List() {
    m_listed.clear();
    for (int r : m_matching)
        if (m_bShowSkipped || m_skip[static_cast<size_t>(r)] == 0) m_listed.push_back(r);
}

void CImportPreview::SetShowSkipped(bool bShow) {
    if (bShow == m_bShowSkipped) return;
    m_bShowSkipped = bShow;
    List();
}

bool CImportPreview::Matches(int nRow, std::string_view folded, CContactRow& scratch,
                             std::string& buffer) const {
    auto holds = [&](std::string_view text) {
        if (text.size() < folded.size()) return false;
        qvxsupport::FoldLatin1Case(text, buffer);
        return buffer.find(folded) != std::string::npos;
    };
    const CDataRow* pRow = m_rows[static_cast<size_t>(nRow)];
    const CContactRules& rules = m_rules[static_cast<size_t>(m_files[static_cast<size_t>(nRow)])];
    if (m_skip[static_cast<size_t>(nRow)] != 0) {
        for (int j = 0; j < rules.GetColumnCount(); ++j) {
            const auto cell = pRow->PeekField(j);
            if (cell && holds(*cell)) return true;
        }
        return false;
    }
    rules.ReadRow(pRow, scratch);
    if (holds(scratch.contact.name) || holds(scratch.contact.company)) return true;
    for (const ContactDetailRow& detail : scratch.details.rows)
        if (holds(detail.value)) return true;
    return false;
}

void CImportPreview::SetFilter(std::string_view text) {
    std::string folded;
    qvxsupport::FoldLatin1Case(text, folded);
    if (folded == m_foldedFilter) {
        m_filter.assign(text);
        return;
    }
    // A longer filter holding the last one can only narrow what it left.
    const bool bNarrows = folded.find(m_foldedFilter) != std::string::npos;
    if (!bNarrows) {
        m_matching.resize(m_rows.size());
        for (size_t r = 0; r < m_rows.size(); ++r) m_matching[r] = static_cast<int>(r);
    }
    m_filter.assign(text);
    m_foldedFilter = std::move(folded);
    if (!m_foldedFilter.empty()) {
        CContactRow scratch;
        std::string buffer;
        size_t nKept = 0;
        for (int r : m_matching)
            if (Matches(r, m_foldedFilter, scratch, buffer)) m_matching[nKept++] = r;
        m_matching.resize(nKept);
    }
    List();
}

void CImportPreview::Read(int nIndex, CContactRow& out) const {
    const auto nRow = static_cast<size_t>(m_listed[static_cast<size_t>(nIndex)]);
    m_rules[static_cast<size_t>(m_files[nRow])].ReadRow(m_rows[nRow], out);
    out.nKey = m_ids[nRow];
    // Stable: details of one key keep their write order, as the rows would come back.
    std::stable_sort(out.details.rows.begin(), out.details.rows.end(),
                     [](const ContactDetailRow& a, const ContactDetailRow& b) { return a.key < b.key; });
}

ImportSource CImportPreview::SourceAt(int nIndex) const {
    const auto nRow = static_cast<size_t>(m_listed[static_cast<size_t>(nIndex)]);
    return ImportSource{m_files[nRow], CContactRules::LineOf(m_rows[nRow])};
}

std::unique_ptr<CImportPreview> OpenImportPreview(CImportSet& set) {
    if (set.ParseRows() != 0) return nullptr;
    std::vector<CDataMap*> tables;
    std::vector<const CContactsFile*> parsers;
    for (int f = 0; f < set.Count(); ++f) {
        tables.push_back(&set.At(f).Table());
        parsers.push_back(&set.At(f).Parser());
    }
    return std::make_unique<CImportPreview>(ListImportRows(tables), parsers);
}

std::unique_ptr<CImportPreview> OpenImportPreview(CImportSession& session) {
    if (session.ParseRows() != 0) return nullptr;
    const CContactsFile& parser = session.Parser();
    return std::make_unique<CImportPreview>(session.Table(), parser.GetMismatchedCount(),
                                            parser.GetMismatchedLines());
}
