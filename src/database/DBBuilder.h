// The SQLite connection through which all database writing goes: the file
// name, one connection and a lock that the opening thread holds from OpenDB
// until CloseDB, so that one builder object serves one connection at a time
// (a second thread's OpenDB waits for the first one's CloseDB).
//
// Calling order: SetDBFileName, OpenDB, any number of BeginTransaction /
// ExecuteSQL / prepared statements / CommitTransaction, CloseDB.
#pragma once

#include <sqlite3.h>

#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// Result codes of the connection.
namespace qvxdb {
inline constexpr int kOk = 0;
inline constexpr int kErrNoText = -100;      // formatting produced no statement text
inline constexpr int kErrNotOpen = -110;     // no open connection
inline constexpr int kErrNoFileName = -120;  // no file name set
inline constexpr int kErrOpen = -200;        // the database could not be opened
inline constexpr int kErrClose = -201;       // sqlite3_close failed
inline constexpr int kErrExecute = -210;     // SQLite reported an error
}  // namespace qvxdb

class CDBBuilder {
public:
    CDBBuilder();
    CDBBuilder(const CDBBuilder&) = delete;
    CDBBuilder& operator=(const CDBBuilder&) = delete;
    // Closes a connection that is still open.
    virtual ~CDBBuilder();

    // Replaces the stored file name by a copy (null clears it).
    void SetDBFileName(const char* pszName);
    const char* GetDBFilePath() const {
        return m_lpszDBFileName.empty() ? nullptr : m_lpszDBFileName.c_str();
    }

    // Opens (and creates) the database file: 0, -120 without a file name,
    // -200 when SQLite cannot open it, or when this thread has it open already.
    // On success the builder's lock stays held until CloseDB.
    int OpenDB();
    // Finalizes the prepared statements and closes the connection: 0, or -201
    // when SQLite refused the first close (statements left unfinalized by
    // someone else; they are finalized and the connection closed all the
    // same). Always ends closed with the lock released.
    int CloseDB();
    bool IsOpen() const { return m_lpDB != nullptr; }

    // Formats the statement printf-style and executes it: 0, -110 without a
    // connection, -100 when formatting gives no text, -210 on an SQLite error.
    // There is no length limit on the statement text.
    int ExecuteSQL(const char* pszFormat, ...) __attribute__((format(printf, 2, 3)));

    // "BEGIN;" / "COMMIT;": the SQLite result code (SQLITE_MISUSE without a connection).
    int BeginTransaction();
    int CommitTransaction();

protected:
    // The statement of slot nSlot, prepared from pszSql on first use in this
    // connection and finalized by CloseDB: 0, -110 or -210.
    int GetStatement(size_t nSlot, const char* pszSql, sqlite3_stmt** ppStmt);
    sqlite3* GetHandle() const { return m_lpDB; }
    // The SQLite result of the last statement that failed in ExecuteSQL or
    // GetStatement (0 before any failure).
    int GetLastFailure() const { return m_nLastFailure; }

private:
    void AcquireLock();
    void ReleaseLock();

    std::string m_lpszDBFileName;
    sqlite3* m_lpDB = nullptr;
    std::vector<sqlite3_stmt*> m_statements;
    int m_nLastFailure = 0;

    // The builder's lock: held by one thread from OpenDB to CloseDB. A plain
    // mutex cannot be held across calls like that, so it is a flag under a mutex.
    std::mutex m_csDB;
    std::condition_variable m_csFree;
    bool m_bLocked = false;
    std::thread::id m_owner;
};
