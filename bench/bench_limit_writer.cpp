// The limit a contact database build is measured against: the rows of a
// finished database, already in memory, written again with prepared
// statements in the same order and transactions, with the builder's
// pragmas, and the indexes created after the rows.
//
// usage: bench_limit_writer SOURCE.db OUT.db
// Prints "write <wall seconds> <cpu seconds>" for the writing alone (open to
// synced file); loading the rows is not counted.
#include <fcntl.h>
#include <sqlite3.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <ctime>
#include <functional>
#include <string>
#include <vector>

#include "database/QVXDBBuilder.h"

namespace {

struct Value {
    int type = SQLITE_NULL;
    sqlite3_int64 number = 0;
    std::string text;
};

struct Table {
    std::string name;
    std::string create;
    int columns = 0;
    std::vector<std::vector<Value>> rows;
};

bool Load(sqlite3* db, const char* pszSql, const std::function<void(sqlite3_stmt*)>& onRow) {
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db, pszSql, -1, &stmt, nullptr) != SQLITE_OK) return false;
    int rc;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) onRow(stmt);
    sqlite3_finalize(stmt);
    return rc == SQLITE_DONE;
}

double CpuSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

bool Exec(sqlite3* db, const std::string& sql) {
    return sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: bench_limit_writer SOURCE.db OUT.db\n");
        return 1;
    }
    sqlite3* src = nullptr;
    if (sqlite3_open_v2(argv[1], &src, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) return 1;
    std::vector<Table> tables;
    std::vector<std::string> indexes;
    Load(src, "SELECT type, name, sql FROM sqlite_master WHERE sql IS NOT NULL ORDER BY rowid",
         [&](sqlite3_stmt* s) {
             std::string type = reinterpret_cast<const char*>(sqlite3_column_text(s, 0));
             std::string sql = reinterpret_cast<const char*>(sqlite3_column_text(s, 2));
             if (type == "table") {
                 tables.push_back({reinterpret_cast<const char*>(sqlite3_column_text(s, 1)), sql, 0, {}});
             } else {
                 indexes.push_back(sql);
             }
         });
    for (Table& table : tables) {
        std::string select = "SELECT * FROM " + table.name + " ORDER BY rowid";
        Load(src, select.c_str(), [&](sqlite3_stmt* s) {
            table.columns = sqlite3_column_count(s);
            std::vector<Value> row(static_cast<size_t>(table.columns));
            for (int i = 0; i < table.columns; ++i) {
                Value& v = row[static_cast<size_t>(i)];
                v.type = sqlite3_column_type(s, i);
                if (v.type == SQLITE_INTEGER) v.number = sqlite3_column_int64(s, i);
                if (v.type == SQLITE_TEXT)
                    v.text.assign(reinterpret_cast<const char*>(sqlite3_column_text(s, i)),
                                  static_cast<size_t>(sqlite3_column_bytes(s, i)));
            }
            table.rows.push_back(std::move(row));
        });
    }
    sqlite3_close(src);
    unlink(argv[2]);

    double cpuBegin = CpuSeconds();
    auto begin = std::chrono::steady_clock::now();
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(argv[2], &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX,
                        nullptr) != SQLITE_OK)
        return 1;
    bool ok = true;
    for (const char* pszPragma : qvxdb::kBuildPragmas) ok = ok && Exec(db, pszPragma);
    ok = ok && Exec(db, "BEGIN;");
    for (const Table& table : tables) ok = ok && Exec(db, table.create);
    int inserts = 0;
    for (const Table& table : tables) {
        std::string sql = "INSERT INTO " + table.name + " VALUES(";
        for (int i = 0; i < table.columns; ++i) sql += i == 0 ? "?" : ",?";
        sql += ")";
        sqlite3_stmt* stmt = nullptr;
        if (!table.rows.empty() && sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt, nullptr) != SQLITE_OK)
            return 1;
        for (const auto& row : table.rows) {
            for (int i = 0; i < table.columns; ++i) {
                const Value& v = row[static_cast<size_t>(i)];
                if (v.type == SQLITE_INTEGER) {
                    sqlite3_bind_int64(stmt, i + 1, v.number);
                } else if (v.type == SQLITE_TEXT) {
                    sqlite3_bind_text(stmt, i + 1, v.text.c_str(), static_cast<int>(v.text.size()),
                                      SQLITE_STATIC);
                } else {
                    sqlite3_bind_null(stmt, i + 1);
                }
            }
            ok = ok && sqlite3_step(stmt) == SQLITE_DONE;
            sqlite3_reset(stmt);
            // The builder's rhythm: a commit after every 25000 contact and detail rows.
            if (table.name == "Contact" || table.name == "ContactDetail") {
                if (++inserts == qvxdb::kInsertsPerTransaction) {
                    inserts = 0;
                    ok = ok && Exec(db, "COMMIT;") && Exec(db, "BEGIN;");
                }
            }
        }
        sqlite3_finalize(stmt);
    }
    for (const std::string& index : indexes) ok = ok && Exec(db, index);
    ok = ok && Exec(db, "COMMIT;");
    ok = ok && sqlite3_close(db) == SQLITE_OK;
    int fd = open(argv[2], O_RDONLY | O_CLOEXEC);
    ok = ok && fd >= 0 && fsync(fd) == 0;
    if (fd >= 0) close(fd);
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
    double cpu = CpuSeconds() - cpuBegin;
    if (!ok) {
        std::fprintf(stderr, "bench_limit_writer: writing failed\n");
        return 1;
    }
    std::printf("write %.3f %.3f\n", seconds, cpu);
    return 0;
}
