#include "import/ImportRows.h"

#include <malloc.h>

#include <algorithm>

#include "import/DataMap.h"
#include "import/DataRow.h"

int MakeImportRows(CContactsFile& parser, PARSE_CALLBACK pCallback, void* pContext) {
    const int nResult = parser.ParseData(2, pCallback, pContext);
    if (nResult != 0) return nResult;
    // The table holds the rows now; the text only took room. Its many small
    // blocks stay with the allocator unless it is asked to give the pages back.
    parser.ReleaseLines();
    malloc_trim(0);
    return 0;
}

ImportRowList ListImportRows(const std::vector<CDataMap*>& tables) {
    ImportRowList list;
    list.tables = tables;
    size_t nTotal = 0;
    for (CDataMap* pTable : tables) nTotal += static_cast<size_t>(std::max(pTable->GetRowCount(), 0));
    list.rows.reserve(nTotal);
    int nFirstId = 0;
    for (size_t f = 0; f < tables.size(); ++f) {
        CDataMap& table = *tables[f];
        const int nRows = table.GetRowCount();
        table.Rewind();
        for (int r = 0; r < nRows; ++r) {
            CDataRow* pRow = table.NextRow();
            if (pRow == nullptr) break;
            list.rows.push_back(ImportRowRef{pRow, static_cast<int>(f), nFirstId + pRow->GetKey()});
        }
        nFirstId += std::max(nRows, 0);
    }
    return list;
}

int MakeImportRows(const std::vector<ImportInput>& files, ImportRowList& out, PARSE_CALLBACK pCallback,
                   void* pContext) {
    std::vector<CDataMap*> tables;
    for (const ImportInput& file : files) {
        const int nResult = MakeImportRows(*file.pParser, pCallback, pContext);
        if (nResult != 0) return nResult;
        tables.push_back(file.pTable);
    }
    // Merging duplicate contacts of all files belongs here, once every row is read.
    out = ListImportRows(tables);
    return 0;
}
