#include "database/QVXDBBuilder.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <ctime>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "i18n/LanguageTable.h"
#include "i18n/TextKeys.h"
#include "import/ContactRules.h"
#include "import/DataMap.h"
#include "import/MappingCodes.h"
#include "support/LogModules.h"
#include "support/NumberList.h"

namespace {

constexpr const char* kSchema[] = {
    "CREATE TABLE ContactBook (ContactBookId INTEGER PRIMARY KEY, Name TEXT, Description TEXT, Visible "
    "INTEGER)",
    "CREATE TABLE ContactGroup (ContactGroupId INTEGER PRIMARY KEY, ContactBookId INTEGER, Name TEXT, "
    "Description "
    "TEXT)",
    "CREATE TABLE Contact (ContactId INTEGER, Name TEXT, Company TEXT, UpdateDate DATETIME, ContactBookId "
    "INTEGER, "
    "ContactGroupId INTEGER, NPart0 TEXT, NPart1 TEXT, NPart2 TEXT, NPart3 TEXT, NPart4 TEXT, NPart5 TEXT, "
    "NPart6 "
    "TEXT, NPart7 TEXT, NPart8 TEXT, NPart9 TEXT, UNIQUE (ContactId, ContactGroupId, ContactBookId) ON "
    "CONFLICT "
    "REPLACE)",
    "CREATE TABLE ContactDetail (ContactId INTEGER, PropertyKey TEXT, Value TEXT, PropertyType TEXT, "
    "Position "
    "INTEGER, UNIQUE (ContactId, PropertyKey) ON CONFLICT REPLACE)",
    "DELETE FROM ContactBook",
    "DELETE FROM ContactGroup",
    "DELETE FROM Contact",
    "DELETE FROM ContactDetail",
    "CREATE INDEX [Contact_index2] ON Contact ([Name])",
    "CREATE INDEX [Contact_index3] ON Contact ([ContactGroupId])",
    "CREATE INDEX [Value_index] ON ContactDetail([Value])",
    "CREATE INDEX [Prop_index] ON ContactDetail([PropertyType])",
    "CREATE INDEX [Prop_index2] ON ContactDetail([PropertyKey])",
    "CREATE INDEX [Id_index] ON ContactDetail([ContactId])",
    "CREATE INDEX [Group_index2] ON ContactGroup([ContactGroupId])",
    "CREATE INDEX [Book_index] ON ContactBook([ContactBookId])",
    "CREATE INDEX [Group_index4] ON ContactGroup([ContactBookId])",
};

// The CREATE TABLE and DELETE statements come first, the indexes after them.
constexpr size_t kTableStatements = 8;
constexpr size_t kSchemaStatements = sizeof kSchema / sizeof kSchema[0];

// SQLite virtual machine steps between two looks at the stop request while
// the indexes are built.
constexpr int kStopCheckSteps = 10000;

enum StatementSlot : size_t { kSlotBook, kSlotGroup, kSlotContact, kSlotDetail };

constexpr const char* kInsertBook = "INSERT INTO ContactBook (ContactBookId,Name,Description) VALUES(?,?,?)";
constexpr const char* kInsertGroup =
    "INSERT INTO ContactGroup (ContactGroupId,ContactBookId,Name,Description) VALUES(?,?,?,?)";
constexpr const char* kInsertContact =
    "INSERT INTO Contact "
    "(ContactId,Name,Company,UpdateDate,ContactBookId,ContactGroupId,NPart0,NPart1,NPart2,"
    "NPart3,NPart4,NPart5,NPart6,NPart7,NPart8,NPart9) VALUES(?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)";
constexpr const char* kInsertDetail =
    "INSERT INTO ContactDetail (ContactId,PropertyKey,Value,PropertyType,Position) VALUES(?,?,?,?,?)";

constexpr int kTextBuffer = 261;

constexpr int kContactBookId = 100;
constexpr int kContactGroupId = 1000;
constexpr int kContactRowBookId = 1;
constexpr int kContactRowGroupId = 100;

const char* OrEmpty(const char* psz) {
    return psz != nullptr ? psz : "";
}

void BindText(sqlite3_stmt* pStmt, int nIndex, const char* pszText) {
    // The texts outlive the step that uses them, so SQLite need not copy them.
    sqlite3_bind_text(pStmt, nIndex, OrEmpty(pszText), -1, SQLITE_STATIC);
}

// A text of the given length; SQLite is told it is one even when empty.
void BindView(sqlite3_stmt* pStmt, int nIndex, std::string_view text) {
    sqlite3_bind_text(pStmt, nIndex, text.empty() ? "" : text.data(), static_cast<int>(text.size()),
                      SQLITE_STATIC);
}

// "5, 9, 12" for the trace log.
std::string LinesText(const std::vector<int>& lines) {
    const std::string text = qvxsupport::JoinNumbers(lines, ", ");
    return text.empty() ? "-" : text;
}

// Errors after which the file cannot hold the complete data any more (as
// opposed to a statement that fails for its own row only).
bool IsWriteFailure(int nRc) {
    switch (nRc & 0xff) {
        case SQLITE_BUSY:
        case SQLITE_LOCKED:
        case SQLITE_FULL:
        case SQLITE_IOERR:
        case SQLITE_NOMEM:
        case SQLITE_CORRUPT:
        case SQLITE_NOTADB:
        case SQLITE_READONLY:
        case SQLITE_CANTOPEN:
        case SQLITE_PERM:
            return true;
        default:
            return false;
    }
}

// Pushes the written data to the disk, so that an I/O error left over from
// writing without syncing is seen before the build counts as done.
bool SyncFile(const char* pszPath) {
    int fd = open(pszPath, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    bool bOk = fsync(fd) == 0;
    close(fd);
    return bOk;
}

}  // namespace

CQVXDBBuilder::CQVXDBBuilder() {
    Init(static_cast<int32_t>(time(nullptr)));
}

CQVXDBBuilder::CQVXDBBuilder(int32_t nSeconds) {
    Init(nSeconds);
}

CQVXDBBuilder::~CQVXDBBuilder() {
    // Closed here, while the statements' owner is still whole.
    if (IsOpen()) CloseDB();
}

int CQVXDBBuilder::CreateTables() {
    return ExecuteSchema(0, kSchemaStatements);
}

int CQVXDBBuilder::ExecuteSchema(size_t nBegin, size_t nEnd) {
    int nResult = qvxdb::kOk;
    for (size_t i = nBegin; i < nEnd; ++i) {
        nResult = ExecuteSQL("%s", kSchema[i]);
        if (nResult == qvxdb::kErrExecute) NoteFailure(GetLastFailure());
    }
    return nResult;
}

void CQVXDBBuilder::NoteFailure(int nRc) {
    if (IsWriteFailure(nRc) && m_nWriteError == 0) m_nWriteError = nRc;
}

int CQVXDBBuilder::PrepareInsert(size_t nSlot, const char* pszSql, sqlite3_stmt** ppStmt) {
    int nResult = GetStatement(nSlot, pszSql, ppStmt);
    if (nResult == qvxdb::kErrExecute) NoteFailure(GetLastFailure());
    return nResult;
}

int CQVXDBBuilder::StepInsert(sqlite3_stmt* pStmt) {
    int nRc = sqlite3_step(pStmt);
    sqlite3_reset(pStmt);
    if (nRc == SQLITE_DONE) return qvxdb::kOk;
    NoteFailure(nRc);
    return qvxdb::kErrExecute;
}

int CQVXDBBuilder::InsertContactBook(int nId, const char* pszName, const char* pszDescription) {
    sqlite3_stmt* pStmt = nullptr;
    int nResult = PrepareInsert(kSlotBook, kInsertBook, &pStmt);
    if (nResult != qvxdb::kOk) return nResult;
    sqlite3_bind_int(pStmt, 1, nId);
    BindText(pStmt, 2, pszName);
    BindText(pStmt, 3, pszDescription);
    return StepInsert(pStmt);
}

int CQVXDBBuilder::InsertContactGroup(int nGroupId, int nBookId, const char* pszName,
                                      const char* pszDescription) {
    sqlite3_stmt* pStmt = nullptr;
    int nResult = PrepareInsert(kSlotGroup, kInsertGroup, &pStmt);
    if (nResult != qvxdb::kOk) return nResult;
    sqlite3_bind_int(pStmt, 1, nGroupId);
    sqlite3_bind_int(pStmt, 2, nBookId);
    BindText(pStmt, 3, pszName);
    BindText(pStmt, 4, pszDescription);
    return StepInsert(pStmt);
}

int CQVXDBBuilder::InsertContact(int nContactId, const char* pszName, const char* pszCompany, int nBookId,
                                 int nGroupId) {
    sqlite3_stmt* pStmt = nullptr;
    int nResult = PrepareInsert(kSlotContact, kInsertContact, &pStmt);
    if (nResult != qvxdb::kOk) return nResult;

    const std::string_view name = OrEmpty(pszName);
    std::array<std::string_view, qvxrules::kNameParts> parts;
    qvxrules::SplitName(name.size() > qvxrules::kMaxNameBytes ? std::string_view() : name, parts);

    sqlite3_bind_int(pStmt, 1, nContactId);
    BindText(pStmt, 2, pszName);
    BindText(pStmt, 3, pszCompany);
    BindText(pStmt, 4, m_szUpdateDate);
    sqlite3_bind_int(pStmt, 5, nBookId);
    sqlite3_bind_int(pStmt, 6, nGroupId);
    for (int i = 0; i < qvxdb::kNameParts; ++i) BindView(pStmt, 7 + i, parts[static_cast<size_t>(i)]);
    return StepInsert(pStmt);
}

int CQVXDBBuilder::InsertDetailRow(int nContactId, const char* pszKey, const char* pszValue,
                                   const char* pszType, int nPosition) {
    sqlite3_stmt* pStmt = nullptr;
    int nResult = PrepareInsert(kSlotDetail, kInsertDetail, &pStmt);
    if (nResult != qvxdb::kOk) return nResult;
    sqlite3_bind_int(pStmt, 1, nContactId);
    BindText(pStmt, 2, pszKey);
    BindText(pStmt, 3, pszValue);
    BindText(pStmt, 4, pszType);
    sqlite3_bind_int(pStmt, 5, nPosition);
    return StepInsert(pStmt);
}

int CQVXDBBuilder::WriteContactRow(int nContactId, const CContactOut& contact) {
    sqlite3_stmt* pStmt = nullptr;
    int nResult = PrepareInsert(kSlotContact, kInsertContact, &pStmt);
    if (nResult != qvxdb::kOk) return nResult;
    sqlite3_bind_int(pStmt, 1, nContactId);
    BindView(pStmt, 2, contact.name);
    BindView(pStmt, 3, contact.company);
    BindText(pStmt, 4, m_szUpdateDate);
    sqlite3_bind_int(pStmt, 5, kContactRowBookId);
    sqlite3_bind_int(pStmt, 6, kContactRowGroupId);
    for (int i = 0; i < qvxdb::kNameParts; ++i) BindView(pStmt, 7 + i, contact.parts[static_cast<size_t>(i)]);
    return StepInsert(pStmt);
}

int CQVXDBBuilder::WriteDetailRow(int nContactId, const ContactDetailRow& row) {
    sqlite3_stmt* pStmt = nullptr;
    int nResult = PrepareInsert(kSlotDetail, kInsertDetail, &pStmt);
    if (nResult != qvxdb::kOk) return nResult;
    sqlite3_bind_int(pStmt, 1, nContactId);
    BindView(pStmt, 2, row.key);
    BindView(pStmt, 3, row.value);
    BindView(pStmt, 4, row.type);
    sqlite3_bind_int(pStmt, 5, row.nPosition);
    return StepInsert(pStmt);
}

int CQVXDBBuilder::InsertContactDetail(int nContactId, const char* pszKey, const char* pszValue,
                                       const char* pszType, int nPosition) {
    pszType = OrEmpty(pszType);
    if (std::strcmp(pszType, qvxcode::kPhone) == 0) {
        const std::string_view value = OrEmpty(pszValue);
        std::string number(value.size(), '\0');
        number.resize(qvxrules::DialNumber(value, number.data()));
        if (number.size() < 2) return qvxdb::kErrDialNumber;
        const std::string key = std::string("qVx_") + OrEmpty(pszKey);
        const int nResult =
            InsertDetailRow(nContactId, key.c_str(), number.c_str(), "P", qvxdb::kDialNumberPosition);
        if (nResult != qvxdb::kOk) return nResult;
    }
    if (std::strcmp(pszType, qvxcode::kOther) == 0) pszType = "";
    return InsertDetailRow(nContactId, pszKey, pszValue, pszType, nPosition);
}

int CQVXDBBuilder::ApplyBuildSettings() {
    int nResult = qvxdb::kOk;
    for (const char* pszPragma : qvxdb::kBuildPragmas) {
        nResult = ExecuteSQL("%s", pszPragma);
        if (nResult != qvxdb::kOk) break;
    }
    return nResult;
}

namespace {

// Closes the transaction after every kInsertsPerTransaction insert calls,
// counted across both passes, and opens the next one.
class CTransactionBatcher {
public:
    explicit CTransactionBatcher(CDBBuilder& db) : m_db(db) {}
    void CountInsert() { ++m_nInserts; }
    // SQLITE_OK, or the result of the COMMIT or BEGIN that failed.
    int NextTransaction() {
        if (m_nInserts < qvxdb::kInsertsPerTransaction) return SQLITE_OK;
        m_nInserts = 0;
        int nRc = m_db.CommitTransaction();
        if (nRc == SQLITE_OK) nRc = m_db.BeginTransaction();
        return nRc;
    }

private:
    CDBBuilder& m_db;
    int m_nInserts = 0;
};

// Flags of a row in one build.
constexpr uint8_t kHasContact = 1;
constexpr uint8_t kHasNotStored = 2;

}  // namespace

struct CQVXDBBuilder::BuildRun {
    BuildRun(CDBBuilder& db, CBuildDbHooks* pHooksIn) : pHooks(pHooksIn), batcher(db) {}

    void Step() const {
        if (pHooks != nullptr) pHooks->ReportStep();
    }
    bool StopRequested() const { return pHooks != nullptr && pHooks->IsStopRequested(); }
    void Info(const char* pszText) const {
        if (pHooks != nullptr) pHooks->SendInfoText(pszText);
    }

    CBuildDbHooks* pHooks;
    CTransactionBatcher batcher;
    // The rules of each file, in the list's order.
    std::vector<CContactRules> rules;
    const ImportRowList* pList = nullptr;
    int nRows = 0;
    // Per row, in key order: kHasContact when the contact pass gave it a
    // contact, kHasNotStored once a value of it was not stored.
    std::vector<uint8_t> hasContact;
};

int CQVXDBBuilder::FailBuild(int nCode) {
    // Nothing of a build that cannot write its data completely may count as done.
    LOG_WARN(qvxlog::CrDBThr, "BuildDb() writing the database failed <%d>", nCode);
    if (sqlite3_get_autocommit(GetHandle()) == 0) ExecuteSQL("ROLLBACK;");
    CloseDB();
    return -1;
}

int CQVXDBBuilder::StopBuild(const char* pszNote) {
    LOG_INFO(qvxlog::CrDBThr, "%s", pszNote);
    ExecuteSQL("COMMIT;");
    CloseDB();
    return -1;
}

int CQVXDBBuilder::AfterRow(BuildRun& run, const char* pszStopNote) {
    int nRc = run.batcher.NextTransaction();
    if (nRc != SQLITE_OK) return FailBuild(nRc);
    if (m_nWriteError != 0) return FailBuild(m_nWriteError);
    if (run.StopRequested()) return StopBuild(pszStopNote);
    run.Step();
    return 0;
}

void CQVXDBBuilder::WriteBookAndGroup() {
    char szName[kTextBuffer];
    char szDescription[kTextBuffer];
    GetText(qvxtext::kDB_ContactBook_Name, szName, sizeof szName);
    GetText(qvxtext::kDB_ContactBook_Description, szDescription, sizeof szDescription);
    InsertContactBook(kContactBookId, szName, szDescription);
    GetText(qvxtext::kDB_ContactGroup_Name, szName, sizeof szName);
    GetText(qvxtext::kDB_ContactGroup_Description, szDescription, sizeof szDescription);
    InsertContactGroup(kContactGroupId, kContactBookId, szName, szDescription);
}

int CQVXDBBuilder::WriteContacts(BuildRun& run) {
    char szText[kTextBuffer];
    CContactOut contact;
    GetText(qvxtext::kProgressDlg_Info_Contacts, szText, sizeof szText);
    run.Info(szText);
    LOG_INFO(qvxlog::CrDBThr, "Entry contacts start");
    run.hasContact.assign(static_cast<size_t>(std::max(run.nRows, 0)), 0);
    for (int r = 0; r < run.nRows; ++r) {
        const ImportRowRef& ref = run.pList->rows[static_cast<size_t>(r)];
        const CContactRules& rules = run.rules[static_cast<size_t>(ref.nFile)];
        ImportTally& fileTally = m_fileTallies[static_cast<size_t>(ref.nFile)];
        const int nLine = CContactRules::LineOf(ref.pRow);
        const qvxrules::SkipReason skip = rules.ReadContact(ref.pRow, contact);
        if (skip == qvxrules::SkipReason::kNone) {
            WriteContactRow(ref.nContactId, contact);
            run.batcher.CountInsert();
            run.hasContact[static_cast<size_t>(r)] = kHasContact;
            ++m_tally.nContacts;
            ++fileTally.nContacts;
            if (!contact.notStored.empty()) {
                run.hasContact[static_cast<size_t>(r)] |= kHasNotStored;
                m_tally.AddNotStored(nLine, contact.notStored.size());
                fileTally.AddNotStored(nLine, contact.notStored.size());
            }
        } else {
            m_tally.AddSkipped(nLine, skip);
            fileTally.AddSkipped(nLine, skip);
        }
        if (AfterRow(run, "Abort while entry contacts") != 0) return -1;
    }
    return 0;
}

int CQVXDBBuilder::WriteDetails(BuildRun& run) {
    LOG_INFO(qvxlog::CrDBThr, "Entry details start");
    char szText[kTextBuffer];
    CDetailsOut details;
    // File by file, each column by column, as one file has always been written.
    for (size_t f = 0; f < run.rules.size(); ++f) {
        const CContactRules& rules = run.rules[f];
        ImportTally& fileTally = m_fileTallies[f];
        for (int i : rules.GetDetailColumns()) {
            GetText(qvxtext::kProgressDlg_Info_Details, szText, sizeof szText);
            // The text comes from language.ini: formatted safely, and cut as a
            // 261-byte buffer would cut it.
            std::string infoText = FormatTextWithString(szText, std::string(rules.GetHeader(i)).c_str());
            if (infoText.size() > kTextBuffer - 1) infoText.resize(kTextBuffer - 1);
            run.Info(infoText.c_str());

            for (int r = 0; r < run.nRows; ++r) {
                const ImportRowRef& ref = run.pList->rows[static_cast<size_t>(r)];
                if (ref.nFile != static_cast<int>(f)) continue;
                uint8_t& flags = run.hasContact[static_cast<size_t>(r)];
                if ((flags & kHasContact) == 0) continue;
                details.Clear();
                if (rules.AppendDetails(ref.pRow, i, details)) {
                    for (const ContactDetailRow& row : details.rows) WriteDetailRow(ref.nContactId, row);
                    run.batcher.CountInsert();
                    if (!details.notStored.empty()) {
                        const int nLine = CContactRules::LineOf(ref.pRow);
                        const bool bNewRow = (flags & kHasNotStored) == 0;
                        m_tally.AddNotStored(nLine, details.notStored.size(), bNewRow);
                        fileTally.AddNotStored(nLine, details.notStored.size(), bNewRow);
                        flags |= kHasNotStored;
                    }
                }
                if (AfterRow(run, "Abort while entry details") != 0) return -1;
            }
        }
    }
    return 0;
}

int CQVXDBBuilder::WriteIndexes(BuildRun& run) {
    char szText[kTextBuffer];
    GetText(qvxtext::kProgressDlg_Info_Finishing, szText, sizeof szText);
    run.Info(szText);
    LOG_INFO(qvxlog::CrDBThr, "Create indexes start");
    // Built in one go over the finished tables, which is much faster than
    // keeping them up to date row by row, and gives denser files. SQLite
    // looks at the stop request while it works.
    auto stopCheck = [](void* pRun) { return static_cast<BuildRun*>(pRun)->StopRequested() ? 1 : 0; };
    sqlite3_progress_handler(GetHandle(), kStopCheckSteps, stopCheck, &run);
    bool bStopped = false;
    for (size_t i = kTableStatements; i < kSchemaStatements; ++i) {
        bStopped = run.StopRequested();
        if (bStopped) break;
        if (ExecuteSQL("%s", kSchema[i]) != qvxdb::kErrExecute) continue;
        bStopped = (GetLastFailure() & 0xff) == SQLITE_INTERRUPT;
        if (bStopped) break;
        NoteFailure(GetLastFailure());
    }
    sqlite3_progress_handler(GetHandle(), 0, nullptr, nullptr);
    if (bStopped) return StopBuild("Abort while creating the indexes");
    if (m_nWriteError != 0) return FailBuild(m_nWriteError);
    return 0;
}

int CQVXDBBuilder::FinishBuild() {
    int nRc = CommitTransaction();
    if (nRc != SQLITE_OK) return FailBuild(nRc);
    if (m_nWriteError != 0) return FailBuild(m_nWriteError);
    if (CloseDB() != qvxdb::kOk) {
        LOG_WARN(qvxlog::CrDBThr, "BuildDb() closing the database failed");
        return -1;
    }
    if (!SyncFile(GetDBFilePath())) {
        LOG_WARN(qvxlog::CrDBThr, "BuildDb() syncing the database failed");
        return -1;
    }
    return 0;
}

int CQVXDBBuilder::BuildDb(CDataMap& map, CBuildDbHooks* pHooks) {
    return BuildDb(ListImportRows({&map}), pHooks);
}

int CQVXDBBuilder::BuildDb(const ImportRowList& list, CBuildDbHooks* pHooks) {
    LOG_INFO(qvxlog::CrDBThr, "BuildDb() begin");
    m_nWriteError = 0;
    if (OpenDB() != qvxdb::kOk) return -1;

    ApplyBuildSettings();
    int nRc = BeginTransaction();
    if (nRc != SQLITE_OK) return FailBuild(nRc);
    ExecuteSchema(0, kTableStatements);
    WriteBookAndGroup();

    BuildRun run(*this, pHooks);
    run.rules.reserve(list.tables.size());
    for (CDataMap* pTable : list.tables) run.rules.emplace_back(*pTable);
    run.pList = &list;
    run.nRows = static_cast<int>(list.rows.size());
    m_tally = ImportTally();
    m_tally.nRows = run.nRows;
    m_fileTallies.assign(list.tables.size(), ImportTally());
    for (const ImportRowRef& ref : list.rows) ++m_fileTallies[static_cast<size_t>(ref.nFile)].nRows;
    if (WriteContacts(run) != 0) return -1;
    if (WriteDetails(run) != 0) return -1;
    if (WriteIndexes(run) != 0) return -1;
    if (FinishBuild() != 0) return -1;
    LOG_INFO(
        qvxlog::CrDBThr,
        "BuildDb() %d of %d rows give no contact (first lines %s), %d values not stored (first lines %s)",
        m_tally.nSkipped, m_tally.nRows, LinesText(m_tally.skippedLines).c_str(), m_tally.nNotStored,
        LinesText(m_tally.notStoredLines).c_str());
    LOG_INFO(qvxlog::CrDBThr, "BuildDb() finish");
    return 0;
}
