#include "database/DBBuilder.h"

#include <cstdarg>
#include <cstdio>
#include <memory>
#include <mutex>

#include "support/LogModules.h"

namespace {
// Statement texts up to this length are formatted on the stack.
constexpr int kStatementBuffer = 5001;
}  // namespace

CDBBuilder::CDBBuilder() = default;

CDBBuilder::~CDBBuilder() {
    if (m_lpDB != nullptr) CloseDB();
}

void CDBBuilder::SetDBFileName(const char* pszName) {
    const char* pszShown = pszName != nullptr ? pszName : "";
    LOG_INFO(qvxlog::DBBld, "SetDBFileName(%s) begin", pszShown);
    m_lpszDBFileName = pszShown;
    LOG_INFO(qvxlog::DBBld, "SetDBFileName(%s) finish", pszShown);
}

void CDBBuilder::AcquireLock() {
    std::unique_lock<std::mutex> lock(m_csDB);
    m_csFree.wait(lock, [this] { return !m_bLocked; });
    m_bLocked = true;
    m_owner = std::this_thread::get_id();
}

void CDBBuilder::ReleaseLock() {
    std::lock_guard<std::mutex> lock(m_csDB);
    if (!m_bLocked) return;
    m_bLocked = false;
    m_owner = std::thread::id();
    m_csFree.notify_one();
}

int CDBBuilder::OpenDB() {
    LOG_INFO(qvxlog::DBBld, "OpenDB() begin");
    {
        // A second open by the holder would otherwise wait for itself.
        std::lock_guard<std::mutex> lock(m_csDB);
        if (m_bLocked && m_owner == std::this_thread::get_id()) {
            LOG_WARN(qvxlog::DBBld, "CDBBuilder::OpenDB() connection already open");
            return qvxdb::kErrOpen;
        }
    }
    AcquireLock();
    if (m_lpszDBFileName.empty()) {
        ReleaseLock();
        return qvxdb::kErrNoFileName;
    }
    // Memory statistics cost a process-wide lock per allocation and serve
    // nothing here. This works only before SQLite's first use in the process;
    // later it is refused and changes nothing.
    static std::once_flag s_config;
    std::call_once(s_config, [] { sqlite3_config(SQLITE_CONFIG_MEMSTATUS, 0); });
    sqlite3* pDB = nullptr;
    // The connection is used by the opening thread only (see the lock), so
    // SQLite's own per-call locking is left out.
    if (sqlite3_open_v2(m_lpszDBFileName.c_str(), &pDB,
                        SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX,
                        nullptr) != SQLITE_OK) {
        LOG_WARN(qvxlog::DBBld, "CDBBuilder::OpenDB() sqlite3_open( %s ) failed !", m_lpszDBFileName.c_str());
        sqlite3_close(pDB);  // SQLite may hand out a handle with the failure
        ReleaseLock();
        return qvxdb::kErrOpen;
    }
    m_lpDB = pDB;
    LOG_INFO(qvxlog::DBBld, "CDBBuilder::OpenDB() sqlite3_open( %s )", m_lpszDBFileName.c_str());
    LOG_INFO(qvxlog::DBBld, "OpenDB() finish");
    return qvxdb::kOk;
}

int CDBBuilder::CloseDB() {
    LOG_INFO(qvxlog::DBBld, "CloseDB() begin");
    for (sqlite3_stmt* pStmt : m_statements) sqlite3_finalize(pStmt);
    m_statements.clear();

    int nResult = qvxdb::kOk;
    if (sqlite3_close(m_lpDB) != SQLITE_OK) {
        LOG_WARN(qvxlog::DBBld, "CDBBuilder::CloseDB() sqlite3_close() failed !");
        nResult = qvxdb::kErrClose;
        // Statements that somebody left open keep the connection alive; end
        // them so that the connection and its file are released all the same.
        while (sqlite3_stmt* pStmt = sqlite3_next_stmt(m_lpDB, nullptr)) sqlite3_finalize(pStmt);
        sqlite3_close_v2(m_lpDB);
    } else {
        LOG_INFO(qvxlog::DBBld, "CDBBuilder::CloseDB() sqlite3_close() succeeded");
    }
    m_lpDB = nullptr;
    ReleaseLock();
    LOG_INFO(qvxlog::DBBld, "CloseDB() finish");
    return nResult;
}

int CDBBuilder::ExecuteSQL(const char* pszFormat, ...) {
    if (m_lpDB == nullptr) return qvxdb::kErrNotOpen;
    if (pszFormat == nullptr) return qvxdb::kErrNoText;

    char szStatement[kStatementBuffer] = {};
    va_list args;
    va_start(args, pszFormat);
    int nLength = vsnprintf(szStatement, sizeof szStatement, pszFormat, args);
    va_end(args);
    if (nLength <= 0) return qvxdb::kErrNoText;

    const char* pszStatement = szStatement;
    std::unique_ptr<char[]> longStatement;
    if (nLength >= kStatementBuffer) {
        // Never executed cut: a cut statement could do something else.
        longStatement.reset(new (std::nothrow) char[static_cast<size_t>(nLength) + 1]);
        if (!longStatement) return qvxdb::kErrNoText;
        va_start(args, pszFormat);
        vsnprintf(longStatement.get(), static_cast<size_t>(nLength) + 1, pszFormat, args);
        va_end(args);
        pszStatement = longStatement.get();
    }
    int nRc = sqlite3_exec(m_lpDB, pszStatement, nullptr, nullptr, nullptr);
    if (nRc != SQLITE_OK) {
        m_nLastFailure = nRc;
        return qvxdb::kErrExecute;
    }
    return qvxdb::kOk;
}

int CDBBuilder::BeginTransaction() {
    if (m_lpDB == nullptr) return SQLITE_MISUSE;
    return sqlite3_exec(m_lpDB, "BEGIN;", nullptr, nullptr, nullptr);
}

int CDBBuilder::CommitTransaction() {
    if (m_lpDB == nullptr) return SQLITE_MISUSE;
    return sqlite3_exec(m_lpDB, "COMMIT;", nullptr, nullptr, nullptr);
}

int CDBBuilder::GetStatement(size_t nSlot, const char* pszSql, sqlite3_stmt** ppStmt) {
    *ppStmt = nullptr;
    if (m_lpDB == nullptr) return qvxdb::kErrNotOpen;
    try {
        if (nSlot >= m_statements.size()) m_statements.resize(nSlot + 1, nullptr);
    } catch (...) {
        return qvxdb::kErrExecute;
    }
    if (m_statements[nSlot] == nullptr) {
        sqlite3_stmt* pStmt = nullptr;
        int nRc = sqlite3_prepare_v2(m_lpDB, pszSql, -1, &pStmt, nullptr);
        if (nRc != SQLITE_OK || pStmt == nullptr) {
            sqlite3_finalize(pStmt);
            m_nLastFailure = nRc != SQLITE_OK ? nRc : SQLITE_ERROR;
            return qvxdb::kErrExecute;
        }
        m_statements[nSlot] = pStmt;
    }
    *ppStmt = m_statements[nSlot];
    return qvxdb::kOk;
}
