// qvxbuild analyze FILE [FILE.map] [FILE [FILE.map] ...] [--map FILE.map] [--json]
#include <cstdio>
#include <cstring>
#include <exception>
#include <string>
#include <utility>
#include <vector>

#include "CommandSupport.h"
#include "Commands.h"
#include "Options.h"
#include "i18n/TextKeys.h"
#include "import/AnalysisStep.h"
#include "import/ContactRules.h"
#include "import/ContactsFile.h"
#include "import/DataMap.h"
#include "import/NearestMapping.h"
#include "platform/ProgramPath.h"
#include "support/TextDecoding.h"
#include "wizard/ImportSession.h"
#include "wizard/WizardState.h"

namespace {

// The longest cell shown; a longer one shows empty.
constexpr int kCellChars = 1024;

struct AnalysisReport {
    int nResult = 0;
    char cSeparator = 0;
    char cDelimiter = 0;
    int nColumns = 0;
    int nLines = 0;
    std::string encoding;
    // "csv" or "vcard" once analysed, with the vCard versions found.
    std::string format;
    std::string versions;
    int nMismatched = 0;
    std::vector<int> mismatchedLines;
    std::vector<std::string> headers;
    bool bMapping = false;
    int nMappingResult = 0;
    int nMappingState = 0;
    int nMatched = 0;
    std::string name;
    std::string description;
    std::vector<std::string> codes;
    // Without --map: the ready mappings that fit the file.
    bool bFitting = false;
    std::vector<std::string> fitting;
    // When none fits: the nearest mapping, a start for a new one.
    NearestMapping nearest;
    // With a complete mapping: what the rows give.
    bool bTally = false;
    ImportTally tally;
};

std::string ReadText(CDataMap& table, bool bName) {
    std::string buffer(1025, '\0');
    int result = bName ? table.GetName(buffer.data(), 1024) : table.GetDescription(buffer.data(), 1024);
    if (result != 0) return std::string();
    buffer.resize(strlen(buffer.c_str()));
    return buffer;
}

std::string CharText(char c) {
    if (c == '\t') return "\\t";
    if (c == 0) return "";
    return std::string(1, c);
}

void PrintText(const AnalysisReport& r) {
    printf("result: %d\n", r.nResult);
    printf("separator: %s\n", CharText(r.cSeparator).c_str());
    printf("delimiter: %s\n", CharText(r.cDelimiter).c_str());
    printf("columns: %d\n", r.nColumns);
    printf("lines: %d\n", r.nLines);
    if (!r.encoding.empty()) printf("encoding: %s\n", r.encoding.c_str());
    printf("mismatched: %d\n", r.nMismatched);
    if (r.nMismatched > 0) {
        printf(r.nMismatched == 1 ? "  the row that does not fit the header starts on line %s\n"
                                  : "  rows that do not fit the header start on lines: %s\n",
               qvxwizard::MismatchedLinesText(r.nMismatched, r.mismatchedLines, r.mismatchedLines.size())
                   .c_str());
    }
    printf("headers:\n");
    for (size_t i = 0; i < r.headers.size(); ++i) printf("  %zu: %s\n", i + 1, r.headers[i].c_str());
    if (!r.format.empty())
        printf("format: %s%s%s\n", r.format.c_str(), r.versions.empty() ? "" : " ", r.versions.c_str());
    if (r.bFitting) {
        printf("fitting mappings:%s\n", r.fitting.empty() ? " none" : "");
        for (const std::string& path : r.fitting) printf("  %s\n", path.c_str());
        if (r.nearest.nIndex >= 0) {
            printf("nearest mapping: %s (%s), knows %d of %d columns\n", r.nearest.name.c_str(),
                   r.nearest.path.c_str(), r.nearest.nKnown, r.nearest.nColumns);
            printf("  unknown headers:\n");
            for (const std::string& header : r.nearest.unknownHeaders) printf("    %s\n", header.c_str());
        }
    }
    if (r.bTally) {
        printf("skipped: %d\n", r.tally.nSkipped);
        if (r.tally.nSkipped > 0) {
            printf(r.tally.nSkipped == 1 ? "  the row that gives no contact starts on line %s\n"
                                         : "  rows that give no contact start on lines: %s\n",
                   qvxwizard::MismatchedLinesText(r.tally.nSkipped, r.tally.skippedLines,
                                                  r.tally.skippedLines.size())
                       .c_str());
        }
        printf("values not stored: %d\n", r.tally.nNotStored);
        if (r.tally.nNotStored > 0) {
            printf(r.tally.nNotStoredRows == 1 ? "  in the row on line %s\n" : "  in the rows on lines: %s\n",
                   qvxwizard::MismatchedLinesText(r.tally.nNotStoredRows, r.tally.notStoredLines,
                                                  r.tally.notStoredLines.size())
                       .c_str());
        }
    }
    if (!r.bMapping) return;
    static const char* const kStates[] = {"failed", "chosen", "complete", "incomplete"};
    printf("mapping:\n");
    printf("  result: %d\n", r.nMappingResult);
    printf("  state: %d (%s)\n", r.nMappingState, kStates[r.nMappingState & 3]);
    printf("  matched: %d\n", r.nMatched);
    printf("  name: %s\n", r.name.c_str());
    printf("  description: %s\n", r.description.c_str());
    printf("  codes:\n");
    for (size_t i = 0; i < r.codes.size(); ++i) {
        printf("    %zu: %s = %s\n", i + 1, i < r.headers.size() ? r.headers[i].c_str() : "",
               r.codes[i].c_str());
    }
}

// Appends the texts as JSON strings, separated by commas.
void AppendJsonList(std::string& out, const std::vector<std::string>& texts) {
    for (size_t i = 0; i < texts.size(); ++i) {
        if (i) out += ',';
        out += JsonString(texts[i]);
    }
}

std::string ReportJson(const AnalysisReport& r, const char* pszFile) {
    std::string out = "{";
    if (pszFile != nullptr) out += "\"file\":" + JsonString(pszFile) + ",";
    out += "\"result\":" + std::to_string(r.nResult);
    out += ",\"separator\":" + JsonString(r.cSeparator ? std::string(1, r.cSeparator) : std::string());
    out += ",\"delimiter\":" + JsonString(r.cDelimiter ? std::string(1, r.cDelimiter) : std::string());
    out += ",\"columns\":" + std::to_string(r.nColumns);
    out += ",\"lines\":" + std::to_string(r.nLines);
    out += ",\"encoding\":" + (r.encoding.empty() ? std::string("null") : JsonString(r.encoding));
    out += ",\"mismatched\":" + std::to_string(r.nMismatched);
    out += ",\"mismatched_lines\":[";
    for (size_t i = 0; i < r.mismatchedLines.size(); ++i) {
        if (i) out += ',';
        out += std::to_string(r.mismatchedLines[i]);
    }
    out += "]";
    out += ",\"headers\":[";
    AppendJsonList(out, r.headers);
    out += "]";
    out += ",\"format\":" + (r.format.empty() ? std::string("null") : JsonString(r.format));
    if (!r.versions.empty()) out += ",\"versions\":" + JsonString(r.versions);
    if (r.bFitting) {
        out += ",\"fitting\":[";
        AppendJsonList(out, r.fitting);
        out += "]";
        out += ",\"nearest\":";
        if (r.nearest.nIndex < 0) {
            out += "null";
        } else {
            out += "{\"name\":" + JsonString(r.nearest.name) + ",\"file\":" + JsonString(r.nearest.path);
            out += ",\"known\":" + std::to_string(r.nearest.nKnown);
            out += ",\"columns\":" + std::to_string(r.nearest.nColumns);
            out += ",\"unknown_headers\":[";
            AppendJsonList(out, r.nearest.unknownHeaders);
            out += "]}";
        }
    }
    if (r.bMapping) {
        out += ",\"mapping\":{";
        out += "\"result\":" + std::to_string(r.nMappingResult);
        out += ",\"state\":" + std::to_string(r.nMappingState);
        out += ",\"matched\":" + std::to_string(r.nMatched);
        out += ",\"name\":" + JsonString(r.name);
        out += ",\"description\":" + JsonString(r.description);
        out += ",\"codes\":[";
        AppendJsonList(out, r.codes);
        out += "]}";
    }
    // Known once a complete mapping applies.
    if (r.bTally) {
        out += ",\"skipped\":" + std::to_string(r.tally.nSkipped);
        out += ",\"skipped_lines\":" + JsonLines(r.tally.skippedLines);
        out += ",\"values_not_stored\":" + std::to_string(r.tally.nNotStored);
        out += ",\"values_not_stored_lines\":" + JsonLines(r.tally.notStoredLines);
    } else {
        out +=
            ",\"skipped\":null,\"skipped_lines\":null,\"values_not_stored\":null,"
            "\"values_not_stored_lines\":null";
    }
    out += "}";
    return out;
}

// Analyses one file with its mapping (without one, lists the mappings that
// fit): the exit status, with the report filled.
int AnalyzeFile(const char* pszLabel, const char* pszFile, const char* map, AnalysisReport& report) {
    CImportSession session(qvxplatform::GetProgramFolder());
    session.SetCollectSamples(false);
    session.ListMappings();
    const bool bRefused = RefuseContactsFile(pszLabel, pszFile);
    report.nResult = !bRefused && session.SetCSVFile(pszFile) == CSV_STATE_CHOSEN ? 0 : CSV_ERR_CSV_PATH;
    // A file refused as unreadable reports what reading it would have.
    const char* pszRefusal = bRefused ? CImportSession::RefusalOf(pszFile) : nullptr;
    if (pszRefusal && strcmp(pszRefusal, qvxtext::kMainDlg_Info_CSVNotTaken_Unreadable) == 0)
        report.nResult = CSV_ERR_SPLIT;
    if (map != nullptr) {
        report.bMapping = true;
        report.nMappingResult =
            session.SetMappingFile(map) == MAPPING_STATE_CHOSEN ? 0 : CSV_ERR_MAPPING_PATH;
    }
    if (session.CSVState() == CSV_STATE_CHOSEN) {
        AnalysisOutcome outcome = session.Analyse(false);
        report.nResult = outcome.nAnalysisResult;
        if (report.bMapping && report.nMappingResult == 0) report.nMappingResult = outcome.nMappingResult;
        session.ApplyAnalysis(std::move(outcome));
    }
    const bool analyzed = session.CSVState() == CSV_STATE_ANALYZED;
    const int mappingState = session.MappingState();
    const CContactsFile& parser = session.Parser();
    CDataMap& table = session.Table();
    if (parser.IsFileRead()) report.encoding = TextEncodingName(parser.GetEncoding());
    if (analyzed) {
        report.cSeparator = parser.m_cSeparator;
        report.cDelimiter = parser.m_cDelimiter;
        report.nColumns = parser.m_nColumnCount;
        report.nLines = parser.m_nLineCount;
        report.nMismatched = parser.GetMismatchedCount();
        report.format = parser.Reader()->FormatName();
        report.versions = session.VCardVersions();
        report.mismatchedLines = parser.GetMismatchedLines();
        SayCharacterSet(pszLabel, parser.GetEncoding());
        CDataRow* header = table.GetHeaderRow();
        for (int j = 0; j < report.nColumns; ++j) report.headers.push_back(ReadCell(header, j, kCellChars));
        if (!report.bMapping) {
            report.bFitting = true;
            report.fitting = session.FittingMappings();
            if (report.fitting.empty()) report.nearest = session.FindNearest();
        }
    }
    if (report.bMapping) {
        report.nMappingState = analyzed ? mappingState : MAPPING_STATE_NONE;
        if (analyzed && mappingState != MAPPING_STATE_NONE) {
            report.nMatched = parser.GetMatchedColumnCount();
            report.name = ReadText(table, true);
            report.description = ReadText(table, false);
            CDataRow* mapping = table.GetMappingRow();
            for (int j = 0; j < report.nColumns; ++j)
                report.codes.push_back(ReadCell(mapping, j, kCellChars));
        }
        if (analyzed && mappingState == MAPPING_STATE_COMPLETE && session.ParseRows() == 0) {
            report.bTally = true;
            report.tally = TallyImport(table);
        }
    }
    if (!analyzed && !bRefused) SayAnalysisFailed(pszLabel, report.nResult, pszFile);
    if (!analyzed) return EXIT_ANALYSIS_FAILED;
    if (report.bMapping && report.nMappingState != MAPPING_STATE_COMPLETE) return EXIT_MAPPING_FAILED;
    return EXIT_OK;
}

int Analyze(int argc, char** argv) {
    const char* map = nullptr;
    bool json = false;
    std::vector<const char*> names;
    const int refused =
        ReadOptions("analyze", argc, argv, {{"--json", nullptr, &json}, {"--map", &map, nullptr}}, names,
                    names.max_size());
    if (refused >= 0) return refused;
    std::vector<FileArgument> files;
    const int unpaired = PairFileArguments("analyze", names, files);
    if (unpaired >= 0) return unpaired;
    if (files.empty()) {
        PrintUsage();
        return EXIT_USAGE;
    }
    // --map names the mapping of a single file.
    if (map != nullptr && (files.size() > 1 || files[0].pszMap != nullptr))
        return RefuseArgument("analyze", map);
    if (map != nullptr) files[0].pszMap = map;
    PrepareLanguage(nullptr);

    // One file gives its report alone, as always; several, one report each
    // under its file's name. The status is the first failure's.
    const bool bSeveral = files.size() > 1;
    int status = EXIT_OK;
    std::string out = bSeveral && json ? "{\"files\":[" : "";
    for (size_t f = 0; f < files.size(); ++f) {
        AnalysisReport report;
        const int fileStatus =
            AnalyzeFile(FileLabel("analyze", files, f).c_str(), files[f].pszFile, files[f].pszMap, report);
        if (status == EXIT_OK) status = fileStatus;
        if (json) {
            if (f) out += ',';
            out += ReportJson(report, bSeveral ? files[f].pszFile : nullptr);
        } else {
            if (bSeveral) printf("%sfile: %s\n", f ? "\n" : "", files[f].pszFile);
            PrintText(report);
        }
    }
    if (json) {
        out += bSeveral ? "]}\n" : "\n";
        fputs(out.c_str(), stdout);
    }
    return status;
}

}  // namespace

int RunAnalyze(int argc, char** argv) {
    try {
        return Analyze(argc, argv);
    } catch (const std::exception& e) {
        fprintf(stderr, "qvxbuild analyze: %s\n", e.what());
        return EXIT_ANALYSIS_FAILED;
    }
}
