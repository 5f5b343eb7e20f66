#include "import/AnalysisStep.h"

#include "import/ContactsFile.h"
#include "import/DataMap.h"
#include "import/Mapping.h"
#include "support/LogModules.h"

int AnalyzeCSVFile(CContactsFile& parser, CDataMap& table, int& nCSVState, int& nMappingState,
                   int* pAnalysisResult, int* pMappingResult) {
    LOG_INFO(qvxlog::WizDlg, "Analyze CSV file");
    bool failed = false;
    if (nCSVState == CSV_STATE_CHOSEN) {
        table.Reset(true);
        parser.SetTable(&table);
        int result = parser.AnalyzeCsvData();
        if (result == 0) result = parser.ParseData(1);
        if (pAnalysisResult) *pAnalysisResult = result;
        if (result != 0) {
            nCSVState = CSV_STATE_NONE;
            failed = true;
        } else {
            nCSVState = CSV_STATE_ANALYZED;
        }
    }
    if (nMappingState != MAPPING_STATE_NONE && nCSVState == CSV_STATE_ANALYZED) {
        int result = parser.ParseAdditionalInformation();
        if (pMappingResult) *pMappingResult = result;
        if (result != 0) {
            LOG_WARN(qvxlog::WizDlg, "Analyze CSV file: ParseAdditionalInformation() failed !");
            nMappingState = MAPPING_STATE_NONE;
        } else {
            nMappingState = MappingFitsTable(table, parser.GetMatchedColumnCount())
                                ? MAPPING_STATE_COMPLETE
                                : MAPPING_STATE_INCOMPLETE;
        }
    }
    LOG_INFO(qvxlog::WizDlg, "CSV file analyzed");
    return failed ? -1 : 0;
}
