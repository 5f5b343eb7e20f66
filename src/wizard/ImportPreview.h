// The contacts as the database will hold them, read from the analysed table
// by the same rules the database builder writes with (CContactRules), for
// the wizard's preview and "qvxbuild preview".
//
// Opening reads every row once for the counts but keeps only an index of
// rows; a listed row's contact and details are made when asked for. Rows
// are listed in key order, which is ContactId order; a row's details come in
// (PropertyKey) order, the order the database's index reads them in.
//
// The table's data rows and mapping must stay as they are while the
// preview lives.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "import/ContactRules.h"

class CDataMap;
class CDataRow;
class CImportSession;

class CImportPreview {
public:
    // The table after its data rows were parsed; the mismatched rows are the
    // parser's (rows that do not fit the header), for the counts.
    explicit CImportPreview(CDataMap& table, int nMismatched = 0, std::vector<int> mismatchedLines = {});

    // Contacts, details, rows skipped and values not stored, with their first lines.
    const ImportTally& Tally() const { return m_tally; }
    int MismatchedCount() const { return m_nMismatched; }
    const std::vector<int>& MismatchedLines() const { return m_mismatchedLines; }
    const CContactRules& Rules() const { return m_rules; }

    // Rows that give no contact are listed too (marked by their skip reason).
    void SetShowSkipped(bool bShow);
    bool ShowsSkipped() const { return m_bShowSkipped; }
    // Lists only rows one of whose texts (name, company, detail values, or
    // for a skipped row its cells) holds `text`, letter case ignored. A
    // filter that extends the last one only searches the rows it left.
    void SetFilter(std::string_view text);
    const std::string& Filter() const { return m_filter; }

    // The rows listed now.
    int GetCount() const { return static_cast<int>(m_listed.size()); }
    // The i-th row listed, with its details in PropertyKey order.
    void Read(int nIndex, CContactRow& out) const;
    // The table row of the i-th row listed (for the cells of a skipped one).
    const CDataRow* RowAt(int nIndex) const {
        return m_rows[static_cast<size_t>(m_listed[static_cast<size_t>(nIndex)])];
    }

private:
    bool Matches(int nRow, std::string_view folded, CContactRow& scratch, std::string& buffer) const;
    void List();

    CContactRules m_rules;
    std::vector<const CDataRow*> m_rows;  // key order
    std::vector<uint8_t> m_skip;          // a row's SkipReason
    ImportTally m_tally;
    int m_nMismatched = 0;
    std::vector<int> m_mismatchedLines;
    bool m_bShowSkipped = false;
    std::string m_filter;         // as given
    std::string m_foldedFilter;   // folded
    std::vector<int> m_matching;  // rows matching the filter, all kinds
    std::vector<int> m_listed;    // the rows listed
};

// The preview of the session's analysed file, as the wizard's button and
// "qvxbuild preview" open it: the rows step first, then the preview with the
// rows that do not fit the header. Null when the rows cannot be read.
std::unique_ptr<CImportPreview> OpenImportPreview(CImportSession& session);
