#include "import/ImportRows.h"

#include <malloc.h>

int MakeImportRows(CContactsFile& parser, PARSE_CALLBACK pCallback, void* pContext) {
    const int nResult = parser.ParseData(2, pCallback, pContext);
    if (nResult != 0) return nResult;
    // The table holds the rows now; the text only took room. Its many small
    // blocks stay with the allocator unless it is asked to give the pages back.
    parser.ReleaseLines();
    malloc_trim(0);
    return 0;
}
