// A file whose one row holds a ":::" list of many parts (80,000 numbers,
// about 1.1 MB): the wizard's analysis with its counts, the preview's
// opening and the build, each timed. The first two should stay within
// twice the build's time, as all three read the row by the same rules.
//
//   bench_lists [parts]
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>

#include "database/QVXDBBuilder.h"
#include "import/ContactsFile.h"
#include "platform/ProgramPath.h"
#include "wizard/ImportPreview.h"
#include "wizard/ImportSession.h"

namespace {

using Clock = std::chrono::steady_clock;

double MsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

class CNoHooks : public CBuildDbHooks {
public:
    void ReportStep() override {}
    bool IsStopRequested() override { return false; }
    void SendInfoText(const char*) override {}
};

bool WriteFiles(const std::string& csv, const std::string& map, long nParts) {
    FILE* out = fopen(csv.c_str(), "wb");
    if (!out) return false;
    fputs("Name,Telefon,E-Mail\r\nAnna Alt,", out);
    for (long i = 0; i < nParts; ++i) fprintf(out, "%s0711 %06ld", i ? " ::: " : "", i);
    fputs(",anna@example.org\r\nBernd Berg,0711 1 ::: 0711 2,bernd@example.org\r\n", out);
    fclose(out);
    out = fopen(map.c_str(), "wb");
    if (!out) return false;
    fputs("Quorvex mapping file\r\n\"Name\",\"Telefon\",\"E-Mail\"\r\n\"N\",\"PD\",\"E\"\r\nName:bench\r\n",
          out);
    fclose(out);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    const long nParts = argc > 1 ? atol(argv[1]) : 80000;
    const char* base = getenv("TMPDIR");
    std::string dir = std::string(base && *base ? base : "/tmp") + "/bench_lists.XXXXXX";
    if (!mkdtemp(dir.data())) {
        perror("mkdtemp");
        return 1;
    }
    const std::string csv = dir + "/contacts.csv", map = dir + "/contacts.map";
    if (!WriteFiles(csv, map, nParts)) {
        perror("write");
        return 1;
    }
    qvxplatform::SetProgramFolder(dir);

    // The wizard's analysis: the file, the mapping and the counts of the rows.
    CImportSession session(dir);
    session.SetTallyRows(true);
    auto start = Clock::now();
    bool bChosen =
        session.SetCSVFile(csv) == CSV_STATE_CHOSEN && session.SetMappingFile(map) == MAPPING_STATE_CHOSEN;
    if (bChosen) {
        AnalysisOutcome outcome = session.Analyse(false);
        bChosen = outcome.nResult == 0;
        session.ApplyAnalysis(std::move(outcome));
    }
    const double dAnalyse = MsSince(start);
    if (!bChosen || session.MappingState() != MAPPING_STATE_COMPLETE || session.Tally() == nullptr) {
        fprintf(stderr, "bench_lists: the analysis failed\n");
        return 1;
    }
    const long long nDetails = session.Tally()->nDetails;

    start = Clock::now();
    std::unique_ptr<CImportPreview> preview = OpenImportPreview(session);
    CContactRow row;
    for (int i = 0; preview && i < preview->GetCount(); ++i) preview->Read(i, row);
    const double dPreview = MsSince(start);
    if (!preview) {
        fprintf(stderr, "bench_lists: the preview did not open\n");
        return 1;
    }

    CImportData import = session.ImportData();
    CQVXDBBuilder builder;
    CNoHooks hooks;
    start = Clock::now();
    const int nBuilt = builder.BuildDb(*import.m_pDataMap, &hooks);
    const double dBuild = MsSince(start);
    builder.DeleteDBFile();

    printf("parts: %ld, details: %lld, build result: %d\n", nParts, nDetails, nBuilt);
    printf("analysis with counts: %.1f ms (%.2f x build)\n", dAnalyse, dAnalyse / dBuild);
    printf("preview (open, read every row): %.1f ms (%.2f x build)\n", dPreview, dPreview / dBuild);
    printf("build: %.1f ms\n", dBuild);
    unlink(csv.c_str());
    unlink(map.c_str());
    rmdir(dir.c_str());
    return nBuilt == 0 ? 0 : 1;
}
