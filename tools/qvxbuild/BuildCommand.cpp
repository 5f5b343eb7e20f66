// qvxbuild build FILE.csv [FILE.map] [--out FILE.db] [--language NAME]
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <string>
#include <vector>

#include "Commands.h"
#include "ProgressLine.h"
#include "database/CreateDBThread.h"
#include "i18n/LanguageTable.h"
#include "i18n/TextKeys.h"
#include "import/AnalysisStep.h"
#include "import/CSVParser.h"
#include "import/DataMap.h"
#include "import/Mapping.h"
#include "import/MappingChoice.h"
#include "platform/ProgramPath.h"
#include "threads/CallbackReceiver.h"

namespace {

namespace fs = std::filesystem;

// Shows the build's progress the way the progress dialog computes it.
class BuildProgress : public CCallbackReceiver {
public:
    int OnReceiveCallback(unsigned code, void* param) override {
        switch (code) {
            case CB::SET_RANGE:
                if (param && *static_cast<int*>(param) > 0) {
                    m_total = *static_cast<int*>(param);
                    m_count = 0;
                }
                break;
            case CB::STEP: {
                ++m_count;
                int before = m_shown;
                int percent = DialogPercent(m_count, m_total, m_shown);
                if (m_shown != before) m_line.Show(percent, m_text);
                return static_cast<int>(m_count);
            }
            case CB::INFO_TEXT:
                if (param && strlen(static_cast<const char*>(param)) <= 128) {
                    m_text = static_cast<const char*>(param);
                    m_line.Show(DialogPercent(m_count, m_total, m_shown), m_text);
                }
                break;
            default:
                break;
        }
        return 0;
    }
    void Finish() { m_line.Finish(); }

private:
    ProgressLine m_line;
    long long m_total = 0;
    long long m_count = 0;
    int m_shown = 0;
    std::string m_text;
};

// A folder beside the output file in which the build runs as if it were the
// program folder, so that the finished database can be renamed into place
// and the real last.db stays untouched.
std::string MakeStagingFolder(const std::string& out) {
    fs::path parent = fs::absolute(fs::path(out)).parent_path();
    std::string pattern = (parent / ".qvxbuild-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) return std::string();
    return pattern;
}

}  // namespace

int RunBuild(int argc, char** argv) {
    const char* csv = nullptr;
    const char* map = nullptr;
    const char* out = nullptr;
    const char* language = nullptr;
    for (int i = 0; i < argc; ++i) {
        if (strcmp(argv[i], "--out") == 0 && i + 1 < argc) {
            out = argv[++i];
        } else if (strcmp(argv[i], "--language") == 0 && i + 1 < argc) {
            language = argv[++i];
        } else if (argv[i][0] == '-') {
            fprintf(stderr, "qvxbuild build: unexpected argument '%s'\n", argv[i]);
            PrintUsage();
            return EXIT_USAGE;
        } else if (csv == nullptr) {
            csv = argv[i];
        } else if (map == nullptr) {
            map = argv[i];
        } else {
            fprintf(stderr, "qvxbuild build: unexpected argument '%s'\n", argv[i]);
            PrintUsage();
            return EXIT_USAGE;
        }
    }
    if (csv == nullptr) {
        PrintUsage();
        return EXIT_USAGE;
    }
    InstallInterruptHandler();
    if (!PrepareLanguage(language)) {
        fprintf(stderr, "qvxbuild build: %s\n",
                language ? "no such language in language.ini" : "language.ini not found");
        return EXIT_USAGE;
    }

    CCSVParser parser;
    CDataMap table;
    int csvState = parser.SetCSVFileName(csv) == 0 ? CSV_STATE_CHOSEN : CSV_STATE_NONE;
    int mappingState = MAPPING_STATE_NONE;
    if (map != nullptr)
        mappingState = parser.SetMappingFileName(map) == 0 ? MAPPING_STATE_CHOSEN : MAPPING_STATE_NONE;
    int analysisResult = csvState == CSV_STATE_CHOSEN ? 0 : CSV_ERR_CSV_PATH;
    int mappingResult = mappingState == MAPPING_STATE_CHOSEN ? 0 : CSV_ERR_MAPPING_PATH;
    if (csvState == CSV_STATE_CHOSEN) {
        AnalyzeCSVFile(parser, table, csvState, mappingState, &analysisResult, &mappingResult);
    }
    if (csvState != CSV_STATE_ANALYZED) {
        fprintf(stderr, "qvxbuild build: the CSV file could not be analysed (result %d)\n", analysisResult);
        return EXIT_ANALYSIS_FAILED;
    }
    if (map == nullptr) {
        // No mapping given: the first ready mapping beside the program that fits.
        const std::string folder = qvxplatform::GetProgramFolder() + "/mappings";
        const std::vector<std::string> paths = ListMappingFiles(folder);
        const int nFit = FindFittingMapping(table, paths);
        if (nFit < 0) {
            fprintf(stderr, "qvxbuild build: no mapping in %s fits the file\n", folder.c_str());
            return EXIT_MAPPING_FAILED;
        }
        const std::string& chosen = paths[static_cast<size_t>(nFit)];
        mappingState =
            parser.SetMappingFileName(chosen.c_str()) == 0 ? MAPPING_STATE_CHOSEN : MAPPING_STATE_NONE;
        mappingResult = mappingState == MAPPING_STATE_CHOSEN ? 0 : CSV_ERR_MAPPING_PATH;
        if (mappingState == MAPPING_STATE_CHOSEN)
            AnalyzeCSVFile(parser, table, csvState, mappingState, nullptr, &mappingResult);
        char name[97] = {};
        char description[257] = {};
        parser.ReadMappingInfo(chosen.c_str(), name, sizeof name, description, sizeof description);
        fprintf(stderr, "qvxbuild build: using the mapping \"%s\" (%s)\n", name, chosen.c_str());
    }
    if (mappingState != MAPPING_STATE_COMPLETE) {
        if (mappingResult != 0 || mappingState == MAPPING_STATE_NONE) {
            fprintf(stderr, "qvxbuild build: the mapping file could not be applied (result %d)\n",
                    mappingResult);
        } else {
            const char* rule = FirstBrokenMappingRule(CountMappingCodes(table));
            std::string text = GetText(rule ? rule : qvxtext::kMainDlg_Info_MappingIncomplete, 129);
            fprintf(stderr, "qvxbuild build: the mapping is incomplete: %s\n", text.c_str());
        }
        return EXIT_MAPPING_FAILED;
    }

    std::string staging;
    if (out != nullptr) {
        staging = MakeStagingFolder(out);
        if (staging.empty()) {
            fprintf(stderr, "qvxbuild build: cannot write beside %s\n", out);
            return EXIT_BUILD_FAILED;
        }
        qvxplatform::SetProgramFolder(staging);
    }

    if (InterruptRequested()) {
        fprintf(stderr, "qvxbuild build: stopped; no database was written\n");
        return EXIT_BUILD_FAILED;
    }
    BuildProgress progress;
    CImportData import;
    import.m_pDataMap = &table;
    import.m_pCSVParser = &parser;
    CCreateDBThread worker;
    worker.SetImportData(&import);
    worker.SetReceiver(&progress);
    bool stopped = false;
    if (!worker.StartThread(0, 0, 0)) {
        fprintf(stderr, "qvxbuild build: the build could not be started\n");
        return EXIT_BUILD_FAILED;
    }
    while (!worker.WaitForDone(100)) {
        if (InterruptRequested() && !stopped) {
            stopped = true;
            worker.StopWork();
        }
    }
    progress.Finish();
    worker.SetReceiver(nullptr);

    int status = EXIT_OK;
    if (stopped || InterruptRequested()) {
        fprintf(stderr, "qvxbuild build: stopped; no database was written\n");
        status = EXIT_BUILD_FAILED;
    } else if (worker.GetLastResult() != 0) {
        fprintf(stderr, "qvxbuild build: the database could not be written\n");
        status = EXIT_BUILD_FAILED;
    }

    std::string result = qvxplatform::GetProgramFolder() + "/last.db";
    if (!staging.empty()) {
        std::error_code ec;
        if (status == EXIT_OK) {
            fs::rename(result, out, ec);
            if (ec) {
                fprintf(stderr, "qvxbuild build: cannot move the database to %s: %s\n", out,
                        ec.message().c_str());
                status = EXIT_BUILD_FAILED;
            }
            result = out;
        }
        fs::remove_all(staging, ec);
        qvxplatform::SetProgramFolder("");
    }
    if (status == EXIT_OK) printf("%s\n", result.c_str());
    return status;
}
