// The writer of the Quorvex contact database and owner of its file names.
//
// One builder serves one database file and one build: its construction fixes
// the update date written into every contact and the timestamped file base
// "<program folder>/<seconds>000_<YYYY-MM-DD>_full" (.db, .sem).
//
// Values are bound to prepared statements, never spliced into statement
// text: the stored text equals the cell text byte for byte, apostrophes and
// all, and no statement length limit applies.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "database/DBBuilder.h"
#include "database/HeldFile.h"
#include "import/ContactRules.h"
#include "import/ImportRows.h"

class CDataMap;

namespace qvxdb {
inline constexpr int kErrDialNumber = -10001;  // fewer than two dial characters
inline constexpr int kNameParts = qvxrules::kNameParts;
inline constexpr int kInsertsPerTransaction = 25000;
inline constexpr int kDialNumberPosition = qvxrules::kDialNumberPosition;

// Settings of the building connection only; they change nothing that is
// stored. The rollback journal stays in memory, so no journal file is ever
// left beside the database; the file is synced once at the end instead of at
// every commit. The page cache is small: rows are appended, the details pass
// walks the unique index in order, and the indexes are sorted after the rows
// (SQLite's sorter takes about as much memory as the cache and writes the
// rest to temporary files). Measured on 100,000 and 1,000,000 rows, 4 MiB
// builds as fast as 64 MiB with 100 MiB less peak memory.
inline constexpr const char* kBuildPragmas[] = {
    "PRAGMA journal_mode=MEMORY",
    "PRAGMA synchronous=OFF",
    "PRAGMA cache_size=-4096",
};
}  // namespace qvxdb

// What a build reports to the worker that runs it, and how it learns of a
// stop request. Every hook runs on the building thread.
class CBuildDbHooks {
public:
    virtual ~CBuildDbHooks() = default;
    // One progress step (a row of a pass).
    virtual void ReportStep() = 0;
    // True when the user asked to stop; looked at after every row and,
    // while the indexes are built, every few thousand SQLite steps.
    virtual bool IsStopRequested() = 0;
    // A text for the progress display.
    virtual void SendInfoText(const char* pszText) = 0;
};

class CQVXDBBuilder : public CDBBuilder {
public:
    // Names the files after the current time.
    CQVXDBBuilder();
    // Names the files after the given moment (seconds since 1970 UTC).
    explicit CQVXDBBuilder(int32_t nSeconds);
    ~CQVXDBBuilder() override;

    // --- schema and rows (0, -110, -100 or -210 unless noted) ---

    // The four tables and nine indexes; single results are ignored, the
    // last one is returned.
    int CreateTables();
    int InsertContactBook(int nId, const char* pszName, const char* pszDescription);
    int InsertContactGroup(int nGroupId, int nBookId, const char* pszName, const char* pszDescription);
    // The name's parts (qvxrules::SplitName; none for a name over 1,024
    // bytes) fill NPart0 ... NPart9.
    int InsertContact(int nContactId, const char* pszName, const char* pszCompany, int nBookId, int nGroupId);
    // Type "-" is stored as the empty text; type "PD" first adds the dial
    // number row ("qVx_" + key, qvxrules::DialNumber, "P", 2147483647) and
    // stores nothing when the value has fewer than two dial characters
    // (-10001) or that row fails (its result).
    int InsertContactDetail(int nContactId, const char* pszKey, const char* pszValue, const char* pszType,
                            int nPosition);

    // Writes one complete database from the table: the tables, the rows
    // (contacts, then details column by column), then the indexes. 0 on
    // success; -1 when the file cannot be opened, the user stopped, or the
    // data could not be written completely (disk full, file size limit, I/O
    // error). The connection is closed on return in every case.
    int BuildDb(CDataMap& map, CBuildDbHooks* pHooks);
    // The same from the rows of several files (ImportRows.h), each read by
    // the rules of its own table: all contacts, then the details file by file.
    int BuildDb(const ImportRowList& list, CBuildDbHooks* pHooks);
    // What the last BuildDb made of the rows (all but the detail count),
    // also of a build that did not end; the rules are CContactRules. With
    // several files the lines are those of each file, in file order.
    const ImportTally& GetTally() const { return m_tally; }
    // The same for each file of the list.
    const std::vector<ImportTally>& GetFileTallies() const { return m_fileTallies; }

    // --- files ---

    // The path of the database / semaphore file into a buffer of nSize
    // bytes (zero-filled first; left empty when the path does not fit).
    void GetDBFileName(char* pBuffer, int nSize);
    void GetSemFileName(char* pBuffer, int nSize);
    // Size of a file in bytes, or -1 when it cannot be opened.
    static int64_t GetDBFileSize(const char* pszPath);
    // Measures the database file, stores its whole size and writes it in
    // decimal into the semaphore file (below 4 GiB the text "%d" gave): the
    // size, or -1 when the semaphore file cannot be written.
    int64_t CreateSemFile();
    // The value CreateSemFile stored: 0 before; a missing file reads as
    // 4294967295, more than any phone has room for twice.
    int64_t GetDBSize() const { return m_nDBFileSize; }
    // Delete the file (for a build, its unfinished file); a failure is
    // ignored. Always 0.
    int DeleteDBFile();
    int DeleteSemFile();

    // A real build writes into a file of its own, named
    // "<file base>.XXXXXX.unfinished" and locked while the build runs, so
    // that builds started in the same second never meet and a start finds
    // what a killed build left. False when it cannot be created.
    bool BeginBuildFile();
    // For a build (BeginBuildFile): moves its file over last.db in one step,
    // unless a build started later (SetBuildStart) has already put its own there (then this
    // file is dropped and the result is true all the same); the new last.db
    // keeps the mode of the old one. For a lent
    // database (GetLastDB): gives it back by removing the second name, its
    // semaphore file and its record; a last.db gone meanwhile is restored
    // from it. Otherwise moves the
    // database file over last.db. On failure last.db stays as it was and
    // GetFileError tells why.
    bool SetLastDB();
    // Lends last.db: gives it a second name, this builder's database path (a
    // hard link, or a copy where links are impossible), so that last.db
    // itself never goes away. First a record "<file base>.lent" is written
    // that lets a start prove a lent name its own after a kill. Never
    // replaces an existing file (a record left by a killed lending counts
    // as one). On failure GetFileError tells why (ENOENT: there is no
    // last.db; EEXIST: the name is taken).
    bool GetLastDB();
    // Names the files after another moment (for a lender whose name is taken).
    void NameAfter(int32_t nSeconds);
    // The moment the build counts as started (nanoseconds since 1970, as
    // NowNs gives it), when that was before the builder was made: the
    // command or the wizard's Complete, before the CSV file is read.
    void SetBuildStart(int64_t llStartNs) {
        if (llStartNs > 0) m_llBuildStart = llStartNs;
    }
    static int64_t NowNs();
    // SetLastDB kept last.db because a build started later had already put its own there.
    bool KeptLaterBuild() const { return m_bKeptLater; }
    // The system error of the last failed SetLastDB, GetLastDB or BeginBuildFile.
    int GetFileError() const { return m_nFileError; }

    // At the start of a program: removes what killed runs of the program
    // left, and nothing else: unfinished build files of its own unique
    // pattern whose lock is free; lent names nobody holds that are last.db
    // itself or that their record proves lent (those with their semaphore
    // files and records), restoring a missing last.db from the newest
    // recorded one; the staging folders of killed --out builds.
    static void TidyProgramFolder();
    // True for a path the program keeps for itself, which no one may write
    // to: in the data folder last.db (and its side files) and every name
    // made of a file base (lent names, semaphore files, records, unfinished
    // builds), and anything inside a staging folder.
    static bool IsOwnFileName(const std::string& path);

    const char* GetUpdateDate() const { return m_szUpdateDate; }
    const char* GetFileBase() const { return m_szFileBase; }

protected:
    int64_t m_nDBFileSize = 0;
    char m_szUpdateDate[11] = {};
    char m_szFileBase[261] = {};

private:
    // One build's hooks, transaction batcher and column positions.
    struct BuildRun;

    // The passes of BuildDb. The row passes and FinishBuild return 0 to go
    // on, or -1 once the build has ended (rolled back or stopped, and closed).
    void WriteBookAndGroup();
    int WriteContacts(BuildRun& run);
    int WriteDetails(BuildRun& run);
    // The schema's indexes, after the rows and in the last transaction.
    int WriteIndexes(BuildRun& run);
    int FinishBuild();
    // What follows each row of a pass: the transaction boundary, the write
    // check, the stop request and the progress step.
    int AfterRow(BuildRun& run, const char* pszStopNote);
    int FailBuild(int nCode);
    int StopBuild(const char* pszNote);

    // Schema statements [nBegin, nEnd): the last one's result.
    int ExecuteSchema(size_t nBegin, size_t nEnd);
    void Init(int32_t nSeconds);
    int ApplyBuildSettings();
    void NoteFailure(int nRc);
    int PrepareInsert(size_t nSlot, const char* pszSql, sqlite3_stmt** ppStmt);
    int StepInsert(sqlite3_stmt* pStmt);
    // The rows exactly as the rules gave them.
    int WriteContactRow(int nContactId, const CContactOut& contact);
    int WriteDetailRow(int nContactId, const ContactDetailRow& row);
    int InsertDetailRow(int nContactId, const char* pszKey, const char* pszValue, const char* pszType,
                        int nPosition);

    ImportTally m_tally;
    std::vector<ImportTally> m_fileTallies;
    // The first error that means the file cannot be written completely.
    int m_nWriteError = 0;
    int m_nFileError = 0;
    CHeldFile m_buildFile;       // a build's unfinished file, locked
    int64_t m_llBuildStart = 0;  // nanoseconds since 1970 at construction
    bool m_bKeptLater = false;
    CHeldFile m_lentFile;  // the lent second name of last.db, locked shared
};
