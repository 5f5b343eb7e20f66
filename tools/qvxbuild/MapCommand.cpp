// qvxbuild map FILE [--out FILE.map] [--json]
#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "CommandSupport.h"
#include "Commands.h"
#include "Options.h"
#include "i18n/LanguageTable.h"
#include "import/AnalysisStep.h"
#include "import/DataMap.h"
#include "import/DataRow.h"
#include "import/HeaderGuess.h"
#include "import/Mapping.h"
#include "import/NearestMapping.h"
#include "platform/ProgramPath.h"
#include "support/Utf8.h"
#include "wizard/ImportSession.h"

namespace {

// The longest header or code read; the mapping file holds no longer ones.
constexpr int kCellChars = 512;
// A mapping's name as the editor keeps it.
constexpr size_t kNameBuffer = 96;

struct MapReport {
    const char* pszFrom = "";  // "fitting", "nearest" or "guesses"
    std::string fromPath;      // the fitting or nearest mapping's file
    std::string name;
    std::string description;
    std::vector<std::string> headers;
    std::vector<std::string> codes;
    std::vector<StartColumn> columns;
    NameOrder nameOrder;  // empty: column order
    const char* pszBrokenRule = nullptr;
};

const char* OriginText(CodeOrigin origin) {
    switch (origin) {
        case CodeOrigin::kKnown:
            return "known";
        case CodeOrigin::kSure:
            return "sure";
        case CodeOrigin::kGuessed:
            return "guessed";
        case CodeOrigin::kUnknown:
            return "unknown";
    }
    return "";
}

std::string ReadTableText(CDataMap& table, bool bName) {
    std::string buffer(1025, '\0');
    const int result = bName ? table.GetName(buffer.data(), 1024) : table.GetDescription(buffer.data(), 1024);
    if (result != 0) return std::string();
    buffer.resize(std::char_traits<char>::length(buffer.c_str()));
    return buffer;
}

void PrintJson(const MapReport& r, const char* out) {
    std::string text = "{\"from\":" + JsonString(r.pszFrom);
    text += ",\"file\":" + (r.fromPath.empty() ? std::string("null") : JsonString(r.fromPath));
    text += ",\"name\":" + JsonString(r.name);
    text += ",\"description\":" + JsonString(r.description);
    text += ",\"complete\":";
    text += r.pszBrokenRule == nullptr ? "true" : "false";
    text += ",\"out\":" + (out == nullptr ? std::string("null") : JsonString(out));
    // The name columns in the order they are joined, by header.
    text += ",\"name_order\":[";
    bool bFirst = true;
    for (const NameOrderItem& item : r.nameOrder) {
        const size_t j = static_cast<size_t>(item.nColumn);
        if (j >= r.codes.size() || r.codes[j] != "N") continue;
        if (!bFirst) text += ',';
        bFirst = false;
        text += JsonString(r.headers[j]);
    }
    text += ']';
    text += ",\"columns\":[";
    for (size_t j = 0; j < r.headers.size(); ++j) {
        if (j > 0) text += ',';
        const StartColumn column = j < r.columns.size() ? r.columns[j] : StartColumn{};
        const char* pszPart = NamePartText(column.name);
        text += "{\"header\":" + JsonString(r.headers[j]) + ",\"code\":" + JsonString(r.codes[j]);
        text += ",\"origin\":" + JsonString(OriginText(column.origin));
        text += ",\"name_part\":" + (pszPart == nullptr ? std::string("null") : JsonString(pszPart)) + "}";
    }
    text += "]}\n";
    fputs(text.c_str(), stdout);
}

// Which columns were guessed and which are unknown, one line each; the
// order of the name columns when the mapping gives one.
void SayGuesses(const MapReport& r) {
    std::string order;
    for (const NameOrderItem& item : r.nameOrder) {
        const size_t j = static_cast<size_t>(item.nColumn);
        if (j >= r.codes.size() || r.codes[j] != "N") continue;
        order += " \"" + r.headers[j] + "\"";
        if (const char* pszPart = NamePartText(item.part)) order += std::string("=") + pszPart;
    }
    if (!order.empty()) fprintf(stderr, "qvxbuild map: name joined in the order%s\n", order.c_str());
    for (size_t j = 0; j < r.headers.size() && j < r.columns.size(); ++j) {
        const char* pszHeader = r.headers[j].c_str();
        switch (r.columns[j].origin) {
            case CodeOrigin::kKnown:
                break;
            case CodeOrigin::kSure:
                fprintf(stderr, "qvxbuild map: guessed (sure): \"%s\" = %s\n", pszHeader, r.codes[j].c_str());
                break;
            case CodeOrigin::kGuessed:
                fprintf(stderr, "qvxbuild map: guessed (check it): \"%s\" = %s\n", pszHeader,
                        r.codes[j].c_str());
                break;
            case CodeOrigin::kUnknown:
                fprintf(stderr, "qvxbuild map: unknown (not imported): \"%s\"\n", pszHeader);
                break;
        }
    }
}

int Map(int argc, char** argv) {
    const char* out = nullptr;
    bool json = false;
    std::vector<const char*> files;
    const int refused =
        ReadOptions("map", argc, argv, {{"--out", &out, nullptr}, {"--json", nullptr, &json}}, files, 1);
    if (refused >= 0) return refused;
    if (files.empty()) {
        PrintUsage();
        return EXIT_USAGE;
    }
    PrepareLanguage(nullptr);

    // As the wizard does when the file is chosen: a mapping that fits is
    // taken, else the editor's start for a new one.
    CImportSession session(qvxplatform::GetProgramFolder());
    session.SetCollectSamples(false);
    session.ListMappings();
    const bool bRefused = RefuseContactsFile("map", files[0]);
    if (!bRefused) session.SetCSVFile(files[0]);
    int analysisResult = session.CSVState() == CSV_STATE_CHOSEN ? 0 : CSV_ERR_CSV_PATH;
    bool bFitting = false;
    if (session.CSVState() == CSV_STATE_CHOSEN) {
        AnalysisOutcome outcome = session.Analyse(true);
        analysisResult = outcome.nAnalysisResult;
        bFitting = !outcome.autoChosenPath.empty();
        session.ApplyAnalysis(std::move(outcome));
    }
    if (session.CSVState() != CSV_STATE_ANALYZED) {
        if (!bRefused) SayAnalysisFailed("map", analysisResult, files[0]);
        return EXIT_ANALYSIS_FAILED;
    }
    SayCharacterSet("map", session.Parser().GetEncoding());

    CDataMap& table = session.Table();
    MapReport report;
    for (int j = 0; j < table.GetColumnCount(); ++j)
        report.headers.push_back(ReadCell(table.GetHeaderRow(), j, kCellChars));
    if (bFitting) {
        report.pszFrom = "fitting";
        report.name = session.AutoChosenName();
        report.description = ReadTableText(table, false);
        if (!session.BuiltInMappingChosen()) report.fromPath = session.SelectedMapping();
        // Every code is known; the name parts are read from the headers.
        std::vector<std::string> codes;
        for (int j = 0; j < table.GetColumnCount(); ++j)
            codes.push_back(ReadCell(table.GetMappingRow(), j, kCellChars));
        report.columns = CompleteCodes(report.headers, codes);
        if (session.BuiltInMappingChosen())
            fprintf(stderr, "qvxbuild map: the built-in mapping \"%s\" fits the file\n", report.name.c_str());
        else
            fprintf(stderr, "qvxbuild map: the mapping \"%s\" (%s) fits the file\n", report.name.c_str(),
                    report.fromPath.c_str());
    } else {
        const NearestMapping& nearest = session.Nearest();
        const std::string startPath = nearest.nIndex >= 0 ? nearest.path : std::string();
        const NewMappingStart start =
            StartNewMapping(table, startPath, qvxsupport::CutUtf8(session.NewMappingName(), kNameBuffer));
        report.columns = start.columns;
        report.name = ReadTableText(table, true);
        if (start.bFromFile) {
            report.pszFrom = "nearest";
            report.fromPath = startPath;
            fprintf(stderr,
                    "qvxbuild map: no mapping fits the file; starting from the nearest, \"%s\" (%s)\n",
                    nearest.name.c_str(), startPath.c_str());
        } else {
            report.pszFrom = "guesses";
            fprintf(stderr,
                    "qvxbuild map: no mapping fits the file or is near it; guessed from the headers\n");
        }
    }
    for (int j = 0; j < table.GetColumnCount(); ++j)
        report.codes.push_back(ReadCell(table.GetMappingRow(), j, kCellChars));
    report.nameOrder = table.GetNameOrder();
    SayGuesses(report);
    report.pszBrokenRule = FirstBrokenMappingRule(CountMappingCodes(table));

    if (out != nullptr && !WriteMappingFile(out, table, report.name.c_str(), report.description.c_str())) {
        fprintf(stderr, "qvxbuild map: %s could not be written\n", out);
        return EXIT_MAPPING_FAILED;
    }
    if (json)
        PrintJson(report, out);
    else if (out == nullptr)
        fputs(MappingFileText(table, report.name.c_str(), report.description.c_str()).c_str(), stdout);
    if (report.pszBrokenRule != nullptr) {
        const std::string text = GetText(report.pszBrokenRule, 129);
        fprintf(stderr, "qvxbuild map: the mapping is incomplete: %s\n", text.c_str());
        return EXIT_MAPPING_FAILED;
    }
    return EXIT_OK;
}

}  // namespace

int RunMap(int argc, char** argv) {
    try {
        return Map(argc, argv);
    } catch (const std::exception& e) {
        fprintf(stderr, "qvxbuild map: %s\n", e.what());
        return EXIT_ANALYSIS_FAILED;
    }
}
