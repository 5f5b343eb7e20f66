// Analysis benchmark: `qvxbuild analyze` of generated contact files of
// 100,000 and 1,000,000 rows, once as the generator writes them and once
// with every note spread over two lines (records that span lines), three
// runs each: median wall and CPU time, the largest peak memory, and the
// memory goal of an analysis, 1.5 x the file's size + 32 MB (MB = 10^6 bytes).
//
// usage: bench_analyze [MAX_ROWS]   (default 1000000)
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "ContactGenerator.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

struct ChildRun {
    int status = -1;
    double seconds = 0;
    double cpuSeconds = 0;
    long peakKB = 0;
};

ChildRun RunChild(std::vector<std::string> args) {
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    ChildRun run;
    pid_t pid = 0;
    auto start = Clock::now();
    if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) == 0) {
        int status = 0;
        struct rusage usage {};
        wait4(pid, &status, 0, &usage);
        run.seconds = std::chrono::duration<double>(Clock::now() - start).count();
        run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        run.peakKB = usage.ru_maxrss;
        run.cpuSeconds = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                         (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    }
    posix_spawn_file_actions_destroy(&actions);
    return run;
}

// The same contacts with each note over two lines. Streams line by line:
// a child's peak memory as wait4 reports it starts from this process's own.
bool SpreadNotes(const std::string& source, const std::string& to) {
    std::ifstream in(source, std::ios::binary);
    std::ofstream out(to, std::ios::binary);
    const std::string note = "erbeten; ";
    std::string line;
    while (std::getline(in, line)) {
        size_t at = line.find(note);
        if (at != std::string::npos) line.replace(at + note.size() - 1, 1, "\r\n");
        out << line << '\n';
    }
    return static_cast<bool>(out);
}

}  // namespace

int main(int argc, char** argv) {
    long maxRows = argc > 1 ? atol(argv[1]) : 1000000;
    const std::string qvxbuild = std::string(QVX_PROGRAM_DIR) + "/qvxbuild";
    fs::path dir = fs::temp_directory_path() / ("qvxbench-analyze-" + std::to_string(getpid()));
    fs::create_directories(dir);

    printf("| file | rows | size | wall (median) | cpu (median) | peak memory | goal |\n");
    printf("|---|---:|---:|---:|---:|---:|---:|\n");
    for (long rows : {100000L, 1000000L}) {
        if (rows > maxRows) break;
        std::string plain = (dir / ("contacts-" + std::to_string(rows) + ".csv")).string();
        std::string spread = (dir / ("notes-" + std::to_string(rows) + ".csv")).string();
        if (!qvxbench::WriteContacts(plain, rows) || !SpreadNotes(plain, spread)) return 1;
        for (const std::string& csv : {plain, spread}) {
            std::vector<double> wall, cpu;
            long peak = 0;
            int status = 0;
            for (int round = 0; round < 3; ++round) {
                ChildRun run = RunChild({qvxbuild, "analyze", csv});
                wall.push_back(run.seconds);
                cpu.push_back(run.cpuSeconds);
                peak = std::max(peak, run.peakKB);
                status |= run.status;
            }
            std::sort(wall.begin(), wall.end());
            std::sort(cpu.begin(), cpu.end());
            double size = static_cast<double>(fs::file_size(csv));
            printf("| %s | %ld | %.1f MB | %.2f s%s | %.2f s | %.0f MB | %.0f MB |\n",
                   csv == plain ? "one line per contact" : "notes over two lines", rows, size / 1e6, wall[1],
                   status == 0 ? "" : " (FAILED)", cpu[1], peak * 1024.0 / 1e6, (1.5 * size + 32e6) / 1e6);
            fflush(stdout);
        }
        fs::remove(plain);
        fs::remove(spread);
    }
    fs::remove_all(dir);
    return 0;
}
