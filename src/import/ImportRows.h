// The one step from an analysed contacts file to its rows: the data records
// are parsed into the table (rows keyed 0, 1, 2 ... in file order, each
// knowing the line it starts on), then the file's text is given back, as the
// table holds all of it now. The build, the tally and the preview all take
// their rows from this step and read them through the contact rules
// (ContactRules.h), so the three always see the same contacts. A step that
// changes which rows there are (such as merging duplicate contacts) belongs
// at the end of MakeImportRows, before anyone reads the table.
#pragma once

#include <vector>

#include "import/ContactsFile.h"

// Parses the rows of the file the parser analysed into its table. Calls
// pCallback once per data record; -1 from it stops the step, which then
// returns CSV_ERR_ABORTED and keeps the text (a later call carries on).
// 0 on success; the parser's own error otherwise.
int MakeImportRows(CContactsFile& parser, PARSE_CALLBACK pCallback = nullptr, void* pContext = nullptr);

// Several files in one import: each file's rows step, then one sequence of
// all their rows, which is what the build, the tally and the preview read.
class CDataMap;
class CDataRow;

// One analysed file of the import; not owned.
struct ImportInput {
    CContactsFile* pParser = nullptr;
    CDataMap* pTable = nullptr;
};

// One row of the import: where it comes from and the contact id it gets.
struct ImportRowRef {
    CDataRow* pRow = nullptr;
    int nFile = 0;  // index into ImportRowList::tables
    int nContactId = 0;
};

// The rows of all files in the order their contacts are written: file by
// file, each in key order. Contact ids continue across files (a file's
// first id follows the ids the earlier files' rows took, skipped rows
// included), so one file keeps the ids of its keys.
struct ImportRowList {
    std::vector<CDataMap*> tables;
    std::vector<ImportRowRef> rows;
};

// The list of tables whose rows were parsed already.
ImportRowList ListImportRows(const std::vector<CDataMap*>& tables);
// The rows step of every file in order, then their list. The callback is
// the one of each file's step; a file that fails stops the step with its
// result (the files before it keep their rows).
int MakeImportRows(const std::vector<ImportInput>& files, ImportRowList& out,
                   PARSE_CALLBACK pCallback = nullptr, void* pContext = nullptr);
