// The one step from an analysed contacts file to its rows: the data records
// are parsed into the table (rows keyed 0, 1, 2 ... in file order, each
// knowing the line it starts on), then the file's text is given back, as the
// table holds all of it now. The build, the tally and the preview all take
// their rows from this step and read them through the contact rules
// (ContactRules.h), so the three always see the same contacts. A step that
// changes which rows there are (such as merging duplicate contacts) belongs
// at the end of MakeImportRows, before anyone reads the table.
#pragma once

#include "import/ContactsFile.h"

// Parses the rows of the file the parser analysed into its table. Calls
// pCallback once per data record; -1 from it stops the step, which then
// returns CSV_ERR_ABORTED and keeps the text (a later call carries on).
// 0 on success; the parser's own error otherwise.
int MakeImportRows(CContactsFile& parser, PARSE_CALLBACK pCallback = nullptr, void* pContext = nullptr);
