// The create-database worker: parses every data line of the analysed CSV file
// into the table, writes the contact database and, on success, makes it the
// new last.db. Reports to its receiver (the create-database dialog):
// START_THREAD, SET_RANGE, INFO_TEXT, one STEP per line parsed and per row of
// each pass, further INFO_TEXTs, END_THREAD. A stop request is honoured
// between rows; a stopped or failed build leaves no database file behind,
// and a database that cannot replace last.db is a failed build.
#pragma once

#include <cstdint>
#include <vector>

#include "database/QVXDBBuilder.h"
#include "import/ImportRows.h"
#include "threads/CallbackWorker.h"

class CContactsFile;
class CDataMap;

// What the main dialog lends the worker for one build; not owned.
// The first file is the pair of table and parser; the files after it
// follow in m_further, their contacts after its contacts.
struct CImportData {
    CDataMap* m_pDataMap = nullptr;
    CContactsFile* m_pCSVParser = nullptr;
    // When the build counts as started (CQVXDBBuilder::NowNs), 0 for when
    // the worker begins it.
    int64_t m_llStartNs = 0;
    std::vector<ImportInput> m_further{};

    // Every file, the first one first; empty without the first one.
    std::vector<ImportInput> Files() const;
};

class CCreateDBThread : public CCallbackWorker {
public:
    CCreateDBThread() = default;
    ~CCreateDBThread() override;

    void SetImportData(CImportData* pImportData) { m_pImportData = pImportData; }

    bool StartWork() override;
    void DoWork() override;
    void EndWork() override;

    // Runs the two passes of the writer with this worker's hooks.
    int BuildDb(CQVXDBBuilder& builder);
    // Columns whose code is "X" or "C": they get no details pass of their own.
    int CountHiddenPropTypes();
    // The same for one table.
    static int CountHiddenPropTypes(CDataMap* pTable);
    // The parse callback: one STEP; -1 (also without a receiver) stops parsing.
    static int ParseProgress(void* pWorker);

    // The result of the last run's build: 0 built, -1 failed or stopped,
    // 1 not built (parsing stopped or stop requested before the build).
    // A stop decides only until the database replaces last.db: with 0 the
    // build finished, whatever stop request came after.
    int GetLastResult() const { return m_nLastResult; }
    // When the last run's database was built but could not become last.db:
    // the system error why; else 0.
    int GetLastDBError() const { return m_nLastDBError; }
    // What the last run's build made of the rows: rows that gave no contact
    // and values not stored, with their first lines (empty when nothing was built).
    const ImportTally& GetLastTally() const { return m_lastTally; }
    // The same for each file, in the order of CImportData::Files.
    const std::vector<ImportTally>& GetLastFileTallies() const { return m_lastFileTallies; }
    // The last run's database was built, but a build started later had
    // already become last.db, which stays.
    bool KeptLaterBuild() const { return m_bKeptLater; }

private:
    // The writer's hooks: steps and info texts go to the receiver; the stop
    // request is this worker's.
    class Hooks : public CBuildDbHooks {
    public:
        explicit Hooks(CCreateDBThread& worker) : m_worker(worker) {}
        void ReportStep() override;
        bool IsStopRequested() override;
        void SendInfoText(const char* pszText) override;

    private:
        CCreateDBThread& m_worker;
    };

    CImportData* m_pImportData = nullptr;
    int m_nLastResult = 1;
    int m_nLastDBError = 0;
    ImportTally m_lastTally;
    std::vector<ImportTally> m_lastFileTallies;
    ImportRowList m_rows;  // the rows step's list, for the build
    bool m_bKeptLater = false;
};
