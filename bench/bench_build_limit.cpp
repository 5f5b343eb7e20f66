// A build against its limit: on the same generated contact files,
// `qvxbuild build` (the whole way: reading, analysing, parsing, writing) and
// bench_limit_writer (the same rows already in memory, only written), each
// several times; medians of wall time, CPU time and peak memory, the size of
// both databases, and the memory of the analysis alone.
//
// usage: bench_build_limit [--runs N] [ROWS ...]   (default: 5 runs; 100000 1000000)
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "ChildRun.h"
#include "ContactGenerator.h"

namespace {

namespace fs = std::filesystem;
using qvxbench::ChildRun;
using qvxbench::RunChild;

double Median(std::vector<double> values) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    size_t n = values.size();
    return n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

double MB(double bytes) {
    return bytes / (1024.0 * 1024.0);
}

}  // namespace

int main(int argc, char** argv) {
    int runs = 5;
    std::vector<long> sizes;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--runs") == 0 && i + 1 < argc) {
            runs = std::max(1, std::atoi(argv[++i]));
        } else {
            sizes.push_back(std::atol(argv[i]));
        }
    }
    if (sizes.empty()) sizes = {100000, 1000000};

    const std::string program = QVX_PROGRAM_DIR;
    const std::string qvxbuild = program + "/qvxbuild";
    const std::string limit = fs::path(argv[0]).parent_path() / "bench_limit_writer";
    fs::path dir = fs::temp_directory_path() / ("qvxbench-limit-" + std::to_string(getpid()));
    fs::create_directories(dir);
    const std::string map = (dir / "bench.map").string();
    if (FILE* f = std::fopen(map.c_str(), "wb")) {
        std::fputs(qvxbench::kMapping, f);
        std::fclose(f);
    }

    std::printf(
        "| rows | CSV | build wall | build CPU | build peak | limit wall | limit CPU | wall ratio | CPU "
        "ratio "
        "| db size | limit db size | peak goal | analysis peak | analysis goal |\n"
        "|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|\n");
    for (long rows : sizes) {
        const std::string csv = (dir / ("contacts-" + std::to_string(rows) + ".csv")).string();
        if (!qvxbench::WriteContacts(csv, rows)) return 1;
        const double csvBytes = static_cast<double>(fs::file_size(csv));
        const std::string out = (dir / "build.db").string();
        const std::string limitOut = (dir / "limit.db").string();

        std::vector<double> wall, cpu, peak, limitWall, limitCpu;
        bool failed = false;
        for (int r = 0; r < runs; ++r) {
            fs::remove(out);
            ChildRun run = RunChild({qvxbuild, "build", csv, map, "--out", out, "--language", "English"});
            failed = failed || run.status != 0;
            wall.push_back(run.seconds);
            cpu.push_back(run.cpuSeconds);
            peak.push_back(static_cast<double>(run.peakKB) * 1024.0);
        }
        for (int r = 0; r < runs && !failed; ++r) {
            ChildRun run = RunChild({limit, out, limitOut}, true);
            double seconds = 0, cpuSeconds = 0;
            failed = failed || run.status != 0 ||
                     std::sscanf(run.output.c_str(), "write %lf %lf", &seconds, &cpuSeconds) != 2;
            limitWall.push_back(seconds);
            limitCpu.push_back(cpuSeconds);
        }
        ChildRun analysis = RunChild({qvxbuild, "analyze", csv, "--map", map});
        const double dbBytes = fs::exists(out) ? static_cast<double>(fs::file_size(out)) : 0;
        const double limitBytes = fs::exists(limitOut) ? static_cast<double>(fs::file_size(limitOut)) : 0;
        auto ratio = [](double a, double b) { return b > 0 ? a / b : 0.0; };
        std::printf(
            "| %ld | %.1f MiB | %.2f s | %.2f s | %.0f MiB | %.2f s | %.2f s | %.2f | %.2f | %.1f MiB | %.1f "
            "MiB "
            "| %.0f MiB | %.0f MiB | %.0f MiB |%s\n",
            rows, MB(csvBytes), Median(wall), Median(cpu), MB(Median(peak)), Median(limitWall),
            Median(limitCpu), ratio(Median(wall), Median(limitWall)), ratio(Median(cpu), Median(limitCpu)),
            MB(dbBytes), MB(limitBytes), MB(2.5 * csvBytes) + 64,
            MB(static_cast<double>(analysis.peakKB) * 1024.0), MB(1.5 * csvBytes) + 32,
            failed ? " FAILED" : "");
        std::fflush(stdout);
        fs::remove(csv);
    }
    std::printf(
        "\nmedians of %d runs each; build = `qvxbuild build FILE.csv FILE.map --out OUT.db`, limit = "
        "bench_limit_writer (writing only)\n",
        runs);
    fs::remove_all(dir);
    return 0;
}
