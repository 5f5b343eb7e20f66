// The contacts as the database will hold them, read from the analysed table
// by the same rules the database builder writes with (CContactRules), for
// the wizard's preview and "qvxbuild preview".
//
// Opening reads every row once for the counts but keeps only an index of
// rows; a listed row's contact and details are made when asked for. Rows
// are listed in ContactId order (file by file, each in key order); a row's details come in
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

class CContactsFile;
class CDataMap;
class CDataRow;
class CImportSession;
class CImportSet;
struct ImportRowList;

// Where a contact of the preview comes from.
struct ImportSource {
    int nFile = 0;  // index in the import's list of files
    int nLine = 0;
};

class CImportPreview {
public:
    // The table after its data rows were parsed; the mismatched rows are the
    // parser's (rows that do not fit the header), for the counts.
    explicit CImportPreview(CDataMap& table, int nMismatched = 0, std::vector<int> mismatchedLines = {});
    // The rows of several files (ImportRows.h), each read by its own table's
    // rules; the mismatched rows are each file's, counted together.
    CImportPreview(const ImportRowList& list, const std::vector<const CContactsFile*>& parsers);

    // Contacts, details, rows skipped and values not stored, with their first lines.
    const ImportTally& Tally() const { return m_tally; }
    int MismatchedCount() const { return m_nMismatched; }
    const std::vector<int>& MismatchedLines() const { return m_mismatchedLines; }
    // The rules of the first file.
    const CContactRules& Rules() const { return m_rules.front(); }
    // The rules the i-th row listed is read by.
    const CContactRules& RulesAt(int nIndex) const {
        return m_rules[static_cast<size_t>(
            m_files[static_cast<size_t>(m_listed[static_cast<size_t>(nIndex)])])];
    }
    // Each file's tally and mismatched rows, in file order.
    const std::vector<ImportTally>& FileTallies() const { return m_fileTallies; }
    const std::vector<int>& FileMismatched() const { return m_fileMismatched; }
    int FileCount() const { return static_cast<int>(m_rules.size()); }

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
    // The i-th row listed, with its details in PropertyKey order; nKey is
    // the contact id the build gives it.
    void Read(int nIndex, CContactRow& out) const;
    // Where the i-th row listed comes from: the file (its index) and the line.
    ImportSource SourceAt(int nIndex) const;
    // The table row of the i-th row listed (for the cells of a skipped one).
    const CDataRow* RowAt(int nIndex) const {
        return m_rows[static_cast<size_t>(m_listed[static_cast<size_t>(nIndex)])];
    }

private:
    bool Matches(int nRow, std::string_view folded, CContactRow& scratch, std::string& buffer) const;
    void List();

    void Open(const ImportRowList& list);

    std::vector<CContactRules> m_rules;   // per file
    std::vector<const CDataRow*> m_rows;  // the list's order
    std::vector<int> m_files;             // a row's file
    std::vector<int> m_ids;               // a row's contact id
    std::vector<ImportTally> m_fileTallies;
    std::vector<int> m_fileMismatched;
    std::vector<uint8_t> m_skip;  // a row's SkipReason
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
// The same for every file of the set, in its order.
std::unique_ptr<CImportPreview> OpenImportPreview(CImportSet& set);
