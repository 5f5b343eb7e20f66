// Writes a contact database of many rows and reports how long it took.
//   bench_BuildDb [rows] [folder]
// Default: 100000 rows (about 100000 contacts and 600000 details) in /tmp.
#include <time.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "database/QVXDBBuilder.h"
#include "i18n/LanguageTable.h"
#include "import/DataMap.h"
#include "platform/ProgramPath.h"

namespace {

class CCountingHooks : public CBuildDbHooks {
public:
    void ReportStep() override { ++m_nSteps; }
    bool IsStopRequested() override { return false; }
    void SendInfoText(const char*) override {}
    long m_nSteps = 0;
};

void FillTable(CDataMap& map, int nRows) {
    const char* headers[] = {"Name", "Company", "Phone", "Mobile", "Email", "City", "Notes"};
    const char* codes[] = {"N", "C", "PD", "PD", "E", "L", "X"};
    const int nColumns = 7;
    map.SetColumnCount(nColumns);
    for (int i = 0; i < nColumns; ++i) {
        map.GetHeaderRow()->SetField(i, headers[i]);
        map.GetMappingRow()->SetField(i, codes[i]);
    }
    char buf[128];
    for (int r = 0; r < nRows; ++r) {
        map.AddRow(r);
        CDataRow* row = map.NextRow();
        snprintf(buf, sizeof buf, "Given%d Middle-Name Family%d", r, (r * 7919) % 100003);
        row->SetField(0, buf);
        snprintf(buf, sizeof buf, "Company %d GmbH", r % 5000);
        row->SetField(1, buf);
        snprintf(buf, sizeof buf, "+49 (0)30 %07d", (r * 104729) % 10000000);
        row->SetField(2, buf);
        snprintf(buf, sizeof buf, "0171/%07d", (r * 15485863) % 10000000);
        row->SetField(3, buf);
        snprintf(buf, sizeof buf, "person%d@example.org", r);
        row->SetField(4, buf);
        snprintf(buf, sizeof buf, "City %d", r % 1000);
        row->SetField(5, buf);
        row->SetField(6, "not imported");
    }
}

}  // namespace

int main(int argc, char** argv) {
    int nRows = argc > 1 ? std::atoi(argv[1]) : 100000;
    std::string folder = argc > 2 ? argv[2] : "/tmp";
    qvxplatform::SetProgramFolder(folder);

    CDataMap map;
    FillTable(map, nRows);

    CQVXDBBuilder builder;
    CCountingHooks hooks;
    timespec cpuBegin{}, cpuEnd{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &cpuBegin);
    auto begin = std::chrono::steady_clock::now();
    int rc = builder.BuildDb(map, &hooks);
    auto end = std::chrono::steady_clock::now();
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &cpuEnd);
    double seconds = std::chrono::duration<double>(end - begin).count();
    double cpu = static_cast<double>(cpuEnd.tv_sec - cpuBegin.tv_sec) +
                 static_cast<double>(cpuEnd.tv_nsec - cpuBegin.tv_nsec) / 1e9;

    char path[261];
    builder.GetDBFileName(path, sizeof path);
    long long size = CQVXDBBuilder::GetDBFileSize(path);
    std::printf("rows %d  result %d  steps %ld  time %.3f s  cpu %.3f s  file %lld bytes\n", nRows, rc,
                hooks.m_nSteps, seconds, cpu, size);
    builder.DeleteDBFile();
    return rc == 0 ? 0 : 1;
}
