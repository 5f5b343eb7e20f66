// Helpers of the database tests: reading a database file back with SQLite.
#pragma once

#include <sqlite3.h>

#include <string>
#include <vector>

namespace qvxdbtest {

using Row = std::vector<std::string>;

// Every row of a query, each column as text ("<null>" for NULL); an empty
// result with a failed flag when the query cannot run.
inline std::vector<Row> Query(const std::string& path, const std::string& sql, bool* pFailed = nullptr) {
    std::vector<Row> rows;
    sqlite3* db = nullptr;
    bool failed = true;
    if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
        sqlite3_stmt* stmt = nullptr;
        if (sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt, nullptr) == SQLITE_OK) {
            int rc;
            while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
                Row row;
                for (int i = 0; i < sqlite3_column_count(stmt); ++i) {
                    if (sqlite3_column_type(stmt, i) == SQLITE_NULL) {
                        row.push_back("<null>");
                    } else {
                        const unsigned char* text = sqlite3_column_text(stmt, i);
                        row.emplace_back(reinterpret_cast<const char*>(text),
                                         static_cast<size_t>(sqlite3_column_bytes(stmt, i)));
                    }
                }
                rows.push_back(row);
            }
            failed = rc != SQLITE_DONE;
        }
        sqlite3_finalize(stmt);
    }
    sqlite3_close(db);
    if (pFailed) *pFailed = failed;
    return rows;
}

inline std::string Scalar(const std::string& path, const std::string& sql) {
    auto rows = Query(path, sql);
    return rows.empty() || rows[0].empty() ? std::string("<none>") : rows[0][0];
}

}  // namespace qvxdbtest
