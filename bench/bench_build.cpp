// Build benchmark: generated contact files of 10,000, 100,000 and 1,000,000
// rows through `qvxbuild build` (wall time and peak memory of the child), the
// analysis alone of the largest file, and the cost of progress reporting
// (the build with a receiver that counts steps against one without reports).
//
// usage: bench_build [MAX_ROWS]   (default 1000000)
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

#include "ChildRun.h"
#include "ContactGenerator.h"
#include "database/CreateDBThread.h"
#include "i18n/LanguageTable.h"
#include "import/AnalysisStep.h"
#include "import/ContactsFile.h"
#include "import/DataMap.h"
#include "platform/ProgramPath.h"
#include "support/Log.h"
#include "threads/CallbackReceiver.h"

QVX_DEFINE_LOG_FILE(g_logFile);

namespace {

namespace fs = std::filesystem;
using qvxbench::ChildRun;
using qvxbench::RunChild;

double ProcessCpuSeconds() {
    struct timespec ts {};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + ts.tv_nsec / 1e9;
}

class StepCounter : public CCallbackReceiver {
public:
    int OnReceiveCallback(unsigned code, void*) override { return code == CB::STEP ? ++steps : 0; }
    long steps = 0;
};

// One in-process build of `csv` in `folder`; with `withProgress` through the
// worker and a counting receiver, else the same parse and passes unobserved.
double InProcessBuild(const std::string& csv, const std::string& map, const std::string& folder,
                      bool withProgress, long* steps) {
    fs::create_directories(folder);
    qvxplatform::SetProgramFolder(folder);
    CContactsFile parser;
    CDataMap table;
    parser.SetCSVFileName(csv.c_str());
    parser.SetMappingFileName(map.c_str());
    int csvState = CSV_STATE_CHOSEN, mappingState = MAPPING_STATE_CHOSEN;
    AnalyzeCSVFile(parser, table, csvState, mappingState);
    double start = ProcessCpuSeconds();
    if (withProgress) {
        StepCounter counter;
        CImportData import{&table, &parser};
        CCreateDBThread worker;
        worker.SetImportData(&import);
        worker.SetReceiver(&counter);
        worker.StartThread(0, 0, 0);
        while (!worker.WaitForDone(50)) {
        }
        *steps = counter.steps;
    } else {
        parser.ParseData(2);
        CQVXDBBuilder builder;
        builder.BuildDb(table, nullptr);
    }
    double seconds = ProcessCpuSeconds() - start;
    qvxplatform::SetProgramFolder("");
    return seconds;
}

}  // namespace

int main(int argc, char** argv) {
    long maxRows = argc > 1 ? atol(argv[1]) : 1000000;
    const std::string program = QVX_PROGRAM_DIR;
    const std::string qvxbuild = program + "/qvxbuild";
    fs::path dir = fs::temp_directory_path() / ("qvxbench-" + std::to_string(getpid()));
    fs::create_directories(dir);
    const std::string map = (dir / "bench.map").string();
    FILE* f = fopen(map.c_str(), "wb");
    fputs(qvxbench::kMapping, f);
    fclose(f);

    printf(
        "| rows | file size | qvxbuild build (wall) | (cpu) | peak memory |\n|---:|---:|---:|---:|---:|\n");
    std::string largest;
    for (long rows : {10000L, 100000L, 1000000L}) {
        if (rows > maxRows) break;
        std::string csv = (dir / ("contacts-" + std::to_string(rows) + ".csv")).string();
        qvxbench::WriteContacts(csv, rows);
        largest = csv;
        std::string out = (dir / "out.db").string();
        ChildRun run = RunChild({qvxbuild, "build", csv, map, "--out", out, "--language", "English"});
        printf("| %ld | %.1f MB | %.2f s%s | %.2f s | %.0f MB |\n", rows, fs::file_size(csv) / 1e6,
               run.seconds, run.status == 0 ? "" : " (FAILED)", run.cpuSeconds, run.peakKB / 1024.0);
        fflush(stdout);
        fs::remove(out);
    }
    if (!largest.empty()) {
        ChildRun run = RunChild({qvxbuild, "analyze", largest});
        printf("\nanalysis alone of the largest file: %.2f s wall, %.2f s cpu, peak %.0f MB\n", run.seconds,
               run.cpuSeconds, run.peakKB / 1024.0);
    }

    SetLanguageFile((program + "/language.ini").c_str());
    SetLanguage("English");
    long rows = maxRows < 100000 ? maxRows : 100000;
    std::string csv = (dir / ("contacts-" + std::to_string(rows) + ".csv")).string();
    if (!fs::exists(csv)) qvxbench::WriteContacts(csv, rows);
    long steps = 0;
    double plain = 1e9, observed = 1e9;
    for (int round = 0; round < 3; ++round) {
        plain = std::min(
            plain, InProcessBuild(csv, map, (dir / std::string("p").append(std::to_string(round))).string(),
                                  false, &steps));
        observed =
            std::min(observed,
                     InProcessBuild(csv, map, (dir / std::string("o").append(std::to_string(round))).string(),
                                    true, &steps));
    }
    printf(
        "\nprogress cost at %ld rows (cpu, best of 3): without reports %.2f s, with a counting receiver %.2f "
        "s "
        "(%ld steps, %+.1f %%)\n",
        rows, plain, observed, steps, (observed - plain) / plain * 100.0);
    fs::remove_all(dir);
    return 0;
}
