#include "database/DatabaseCounts.h"

#include <sqlite3.h>

namespace {

bool CountRows(sqlite3* db, const char* pszSql, long long& nCount) {
    sqlite3_stmt* pStmt = nullptr;
    bool bOk =
        sqlite3_prepare_v2(db, pszSql, -1, &pStmt, nullptr) == SQLITE_OK && sqlite3_step(pStmt) == SQLITE_ROW;
    if (bOk) nCount = sqlite3_column_int64(pStmt, 0);
    sqlite3_finalize(pStmt);
    return bOk;
}

}  // namespace

bool CountDatabase(const std::string& path, DatabaseCounts& counts) {
    sqlite3* db = nullptr;
    // Read-only: the file may be lent to a copy at the same time.
    bool bOk = sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK;
    bOk = bOk && CountRows(db, "SELECT count(*) FROM Contact", counts.nContacts) &&
          CountRows(db, "SELECT count(*) FROM ContactDetail", counts.nDetails);
    sqlite3_close(db);
    return bOk;
}
