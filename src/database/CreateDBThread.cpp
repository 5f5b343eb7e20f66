#include "database/CreateDBThread.h"

#include <cstring>

#include "i18n/LanguageTable.h"
#include "i18n/TextKeys.h"
#include "import/ContactsFile.h"
#include "import/DataMap.h"
#include "import/ImportRows.h"
#include "import/MappingCodes.h"
#include "support/LogModules.h"

CCreateDBThread::~CCreateDBThread() = default;

std::vector<ImportInput> CImportData::Files() const {
    std::vector<ImportInput> files;
    if (m_pDataMap == nullptr || m_pCSVParser == nullptr) return files;
    files.push_back(ImportInput{m_pCSVParser, m_pDataMap});
    files.insert(files.end(), m_further.begin(), m_further.end());
    return files;
}

bool CCreateDBThread::StartWork() {
    SendCallback(CB::START_THREAD);
    int total = 1;
    if (m_pImportData) {
        long long product = 0;
        for (const ImportInput& file : m_pImportData->Files()) {
            long long lines = file.pParser->m_nLineCount;
            long long perLine = file.pTable->GetColumnCount() - CountHiddenPropTypes(file.pTable) + 1;
            product += lines * perLine;
        }
        total = product < 1 ? 1 : product > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<int>(product);
    }
    SendCallback(CB::SET_RANGE, &total);
    char text[261];
    GetText(qvxtext::kProgressDlg_Info_Parse, text, sizeof text);
    SendCallback(CB::INFO_TEXT, text);
    return true;
}

int CCreateDBThread::ParseProgress(void* pWorker) {
    return static_cast<CCreateDBThread*>(pWorker)->SendCallback(CB::STEP);
}

void CCreateDBThread::DoWork() {
    LOG_INFO(qvxlog::CrDBThr, "DoWork() begin");
    m_nLastResult = 1;
    m_nLastDBError = 0;
    m_lastTally = ImportTally();
    m_lastFileTallies.clear();
    m_rows = ImportRowList();
    m_bKeptLater = false;
    {
        CQVXDBBuilder builder;
        if (m_pImportData) builder.SetBuildStart(m_pImportData->m_llStartNs);
        const std::vector<ImportInput> files =
            m_pImportData ? m_pImportData->Files() : std::vector<ImportInput>();
        const int parsed =
            files.empty() ? -1 : MakeImportRows(files, m_rows, &CCreateDBThread::ParseProgress, this);
        if (parsed == CSV_ERR_ABORTED) {
            LOG_WARN(qvxlog::CrDBThr, "DoWork() : MakeImportRows() failed !");
        } else {
            LOG_INFO(qvxlog::CrDBThr, "MakeImportRows() succeeded");
            if (m_bStop.load() == 0) {
                if (!builder.BeginBuildFile() || BuildDb(builder) != 0) {
                    LOG_WARN(qvxlog::CrDBThr, "DoWork() : BuildDb() failed !");
                    builder.DeleteDBFile();
                    m_nLastResult = -1;
                } else if (m_bStop.load() != 0) {
                    // The last moment a stop still counts: a stop later than
                    // this finds the build finished, and the result says so.
                    LOG_WARN(qvxlog::CrDBThr, "DoWork() : stopped before replacing last.db");
                    builder.DeleteDBFile();
                    m_nLastResult = -1;
                } else if (!builder.SetLastDB()) {
                    m_nLastDBError = builder.GetFileError();
                    LOG_WARN(qvxlog::CrDBThr, "DoWork() : the database could not replace last.db (%s)",
                             strerror(m_nLastDBError));
                    builder.DeleteDBFile();
                    m_nLastResult = -1;
                } else {
                    LOG_INFO(qvxlog::CrDBThr, "BuildDb() succeeded");
                    m_bKeptLater = builder.KeptLaterBuild();
                    m_nLastResult = 0;
                }
            }
        }
        LOG_INFO(qvxlog::CrDBThr, "DoWork() finish");
        StopWork();
    }
}

void CCreateDBThread::EndWork() {
    SendCallback(CB::END_THREAD);
}

int CCreateDBThread::BuildDb(CQVXDBBuilder& builder) {
    if (m_pImportData == nullptr || m_pImportData->m_pDataMap == nullptr) return -1;
    Hooks hooks(*this);
    // Rows listed by the rows step, or else the tables as they are.
    if (m_rows.tables.empty()) {
        std::vector<CDataMap*> tables;
        for (const ImportInput& file : m_pImportData->Files()) tables.push_back(file.pTable);
        m_rows = ListImportRows(tables);
    }
    const int nResult = builder.BuildDb(m_rows, &hooks);
    m_rows = ImportRowList();
    m_lastTally = builder.GetTally();
    m_lastFileTallies = builder.GetFileTallies();
    return nResult;
}

int CCreateDBThread::CountHiddenPropTypes() {
    return CountHiddenPropTypes(m_pImportData ? m_pImportData->m_pDataMap : nullptr);
}

int CCreateDBThread::CountHiddenPropTypes(CDataMap* table) {
    LOG_INFO(qvxlog::CrDBThr, "CountHiddenPropTypes() begin");
    int hidden = 0;
    int names = 0;
    if (table != nullptr) {
        CDataRow* mapping = table->GetMappingRow();
        const int columns = table->GetColumnCount();
        for (int j = 0; j < columns && mapping; ++j) {
            char code[3];
            mapping->GetField(j, code, 2);
            code[2] = '\0';
            if (strcmp(code, qvxcode::kHidden) == 0 || strcmp(code, qvxcode::kCompany) == 0) ++hidden;
            // The name's parts are one pass, like a single name column.
            if (strcmp(code, qvxcode::kName) == 0 && ++names > 1) ++hidden;
        }
    }
    LOG_INFO(qvxlog::CrDBThr, "CountHiddenPropTypes() finish");
    return hidden;
}

void CCreateDBThread::Hooks::ReportStep() {
    m_worker.SendCallback(CB::STEP);
}

bool CCreateDBThread::Hooks::IsStopRequested() {
    return m_worker.m_bStop.load() != 0;
}

void CCreateDBThread::Hooks::SendInfoText(const char* pszText) {
    m_worker.SendCallback(CB::INFO_TEXT, const_cast<char*>(pszText));
}
