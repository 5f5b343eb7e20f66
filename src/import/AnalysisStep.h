// The analysis step of the wizard: analyse the chosen CSV file (when it is
// not analysed yet) and apply the chosen mapping. The main dialog runs it on
// the analysis worker's thread; qvxbuild runs it directly.
#pragma once

class CContactsFile;
class CDataMap;

// States of the main dialog that the step reads and changes.
enum CsvState { CSV_STATE_NONE = 0, CSV_STATE_CHOSEN = 1, CSV_STATE_ANALYZED = 2 };
enum MappingState {
    MAPPING_STATE_NONE = 0,
    MAPPING_STATE_CHOSEN = 1,
    MAPPING_STATE_COMPLETE = 2,
    MAPPING_STATE_INCOMPLETE = 3,
};

// -1 when the CSV analysis failed (nCSVState becomes 0), else 0. A mapping
// that cannot be applied only drops the mapping choice (nMappingState 0); an
// applied one is complete (2) when it fits the table (MappingFitsTable),
// else incomplete (3).
// When given, pAnalysisResult receives the parser's result of the analysis
// and pMappingResult that of applying the mapping.
int AnalyzeCSVFile(CContactsFile& parser, CDataMap& table, int& nCSVState, int& nMappingState,
                   int* pAnalysisResult = nullptr, int* pMappingResult = nullptr);
