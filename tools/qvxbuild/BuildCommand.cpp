// qvxbuild build FILE.csv [FILE.map] [--out FILE.db] [--language NAME]
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "CommandSupport.h"
#include "Commands.h"
#include "ProgressLine.h"
#include "database/CreateDBThread.h"
#include "database/QVXDBBuilder.h"
#include "database/StagingFolder.h"
#include "i18n/LanguageTable.h"
#include "i18n/TextKeys.h"
#include "import/AnalysisStep.h"
#include "import/CSVParser.h"
#include "import/DataMap.h"
#include "import/Mapping.h"
#include "import/MappingChoice.h"
#include "platform/ProgramPath.h"
#include "support/ProgressPercent.h"
#include "threads/CallbackReceiver.h"

namespace {

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
                if (qvxsupport::RaiseShownPercent(m_count, m_total, m_shown))
                    m_line.Show(qvxsupport::DisplayedPercent(m_shown), m_text);
                return static_cast<int>(m_count);
            }
            case CB::INFO_TEXT:
                if (param && strlen(static_cast<const char*>(param)) <= 128) {
                    m_text = static_cast<const char*>(param);
                    m_line.Show(qvxsupport::DisplayedPercent(m_shown), m_text);
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
    int64_t m_total = 0;
    int64_t m_count = 0;
    int m_shown = 0;
    std::string m_text;
};

// Why `out` may not be written, or "" when it may: it must not be empty,
// name an input file (also through a link), or be anything but a regular
// file; an existing file must be a database, which is replaced in one step.
std::string RefuseOutput(const char* out, const char* csv, const char* map) {
    if (*out == '\0') return "--out needs a file name";
    if (*out == '-')
        return "--out needs a file name (write ./" + std::string(out) + " for one that begins with '-')";
    if (CQVXDBBuilder::IsOwnFileName(out))
        return std::string(out) +
               " is a file the program keeps for itself (a build without --out makes last.db)";
    struct stat target {};
    if (lstat(out, &target) != 0) return errno == ENOENT ? "" : std::string(out) + ": " + strerror(errno);
    if (S_ISDIR(target.st_mode)) return std::string(out) + " is a folder";
    if (!S_ISREG(target.st_mode)) return std::string(out) + " exists and is not a regular file";
    for (const char* input : {csv, map}) {
        if (input == nullptr) continue;  // no mapping given
        struct stat in {};
        if (stat(input, &in) == 0 && in.st_dev == target.st_dev && in.st_ino == target.st_ino)
            return std::string(out) + " is the input file " + input;
    }
    char header[16] = {};
    const int fd = open(out, O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    const ssize_t got = fd >= 0 ? read(fd, header, sizeof header) : -1;
    if (fd >= 0) close(fd);
    if (got != 0 &&
        (got != static_cast<ssize_t>(sizeof header) || memcmp(header, "SQLite format 3", 16) != 0))
        return std::string(out) + " exists and is not a database";
    return "";
}

int Build(int argc, char** argv) {
    const char* csv = nullptr;
    const char* map = nullptr;
    const char* out = nullptr;
    const char* language = nullptr;
    bool optionsEnded = false;
    for (int i = 0; i < argc; ++i) {
        const bool option = !optionsEnded && argv[i][0] == '-' && argv[i][1] != '\0';
        if (option && strcmp(argv[i], "--") == 0) {
            optionsEnded = true;
        } else if (option && strcmp(argv[i], "--out") == 0 && i + 1 < argc) {
            out = argv[++i];
        } else if (option && strcmp(argv[i], "--language") == 0 && i + 1 < argc) {
            language = argv[++i];
        } else if (option || (csv != nullptr && map != nullptr)) {
            return RefuseArgument("build", argv[i]);
        } else if (csv == nullptr) {
            csv = argv[i];
        } else {
            map = argv[i];
        }
    }
    if (csv == nullptr) {
        PrintUsage();
        return EXIT_USAGE;
    }
    if (language != nullptr && *language == '\0') {
        fprintf(stderr, "qvxbuild build: --language needs a language name\n");
        return EXIT_USAGE;
    }
    if (out != nullptr) {
        const std::string refusal = RefuseOutput(out, csv, map);
        if (!refusal.empty()) {
            fprintf(stderr, "qvxbuild build: %s\n", refusal.c_str());
            return EXIT_USAGE;
        }
    }
    InstallInterruptHandler();
    if (!PrepareLanguage(language)) {
        fprintf(stderr, "qvxbuild build: %s\n",
                language ? "no such language in language.ini" : "language.ini not found");
        return EXIT_USAGE;
    }
    if (out == nullptr && !CheckUserDataFolder("build")) return EXIT_BUILD_FAILED;

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
    if (parser.GetMismatchedCount() > 0) {
        fprintf(stderr,
                "qvxbuild build: warning: %d row%s not fit the header (surplus fields are dropped, missing "
                "ones left empty); %s on lines: %s\n",
                parser.GetMismatchedCount(), parser.GetMismatchedCount() == 1 ? " does" : "s do",
                parser.GetMismatchedCount() == 1 ? "it starts" : "they start",
                MismatchedLinesText(parser.GetMismatchedCount(), parser.GetMismatchedLines()).c_str());
    }
    if (map == nullptr) {
        // No mapping given: the first ready mapping that fits.
        const std::vector<std::string> paths = ReadyMappingFiles();
        const int nFit = FindFittingMapping(table, paths);
        if (nFit < 0) {
            fprintf(stderr, "qvxbuild build: no mapping in %s fits the file\n",
                    ReadyMappingFolders().c_str());
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

    CQVXDBBuilder::TidyProgramFolder();
    qvxdb::CStagingFolder staging;
    if (out != nullptr) {
        if (!staging.Make(out)) {
            fprintf(stderr, "qvxbuild build: cannot write beside %s: %s\n", out, strerror(errno));
            return EXIT_BUILD_FAILED;
        }
        qvxplatform::SetProgramFolder(staging.Path());
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

    // The worker's result tells whether the build finished, not the moment
    // a stop came; with --out the move into place is the last moment.
    int status = EXIT_OK;
    const bool built = worker.GetLastResult() == 0 && (out == nullptr || !InterruptRequested());
    if (!built && (stopped || InterruptRequested())) {
        fprintf(stderr, "qvxbuild build: stopped; no database was written\n");
        status = EXIT_BUILD_FAILED;
    } else if (worker.GetLastDBError() != 0) {
        fprintf(stderr,
                "qvxbuild build: the database could not replace last.db (%s); last.db stays as it was\n",
                strerror(worker.GetLastDBError()));
        status = EXIT_BUILD_FAILED;
    } else if (worker.GetLastResult() != 0) {
        fprintf(stderr, "qvxbuild build: the database could not be written\n");
        status = EXIT_BUILD_FAILED;
    }

    std::string result = qvxplatform::GetUserDataFolder() + "/last.db";
    if (out != nullptr) {
        // One rename: an existing database at `out` is replaced whole or not at all.
        if (status == EXIT_OK) {
            if (!staging.MoveResultTo(out)) {
                fprintf(stderr, "qvxbuild build: cannot move the database to %s: %s\n", out, strerror(errno));
                status = EXIT_BUILD_FAILED;
            }
            result = out;
        }
        qvxplatform::SetProgramFolder("");
    }
    if (status == EXIT_OK && (stopped || InterruptRequested()))
        fprintf(stderr, "qvxbuild build: the build had finished when the stop came; the database is kept\n");
    if (status == EXIT_OK) printf("%s\n", result.c_str());
    return status;
}

}  // namespace

int RunBuild(int argc, char** argv) {
    try {
        return Build(argc, argv);
    } catch (const std::exception& e) {
        fprintf(stderr, "qvxbuild build: %s\n", e.what());
        return EXIT_BUILD_FAILED;
    }
}
