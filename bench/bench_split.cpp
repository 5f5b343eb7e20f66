// Splits a generated 100 MB CSV-like file into lines and reports the wall
// time, the peak resident memory and the number of lines.
//
//   bench_split [megabytes] [lf]
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "support/StringMapTable.h"
#include "support/TextFileUtils.h"

namespace {

long PeakRssKb() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// Writes rows of a contact export until the file holds `bytes` bytes.
long long WriteCsv(const std::string& path, long long bytes, const char* lineEnd) {
    FILE* out = fopen(path.c_str(), "wb");
    if (!out) return -1;
    long long written = 0;
    long long rows = 0;
    char row[256];
    written += fprintf(out, "\"Name\";\"Company\";\"Phone\";\"E-mail\";\"City\";\"Group\"%s", lineEnd);
    while (written < bytes) {
        int n = snprintf(row, sizeof row,
                         "\"Contact %lld, Person\";\"Firm %lld GmbH\";\"+49 30 %07lld\";"
                         "\"person%lld@example.org\";\"Berlin\";\"Group %lld\"%s",
                         rows, rows % 977, rows, rows, rows % 13, lineEnd);
        fwrite(row, 1, static_cast<size_t>(n), out);
        written += n;
        ++rows;
    }
    fclose(out);
    return written;
}

}  // namespace

int main(int argc, char** argv) {
    long long megabytes = argc > 1 ? atoll(argv[1]) : 100;
    bool lf = argc > 2 && strcmp(argv[2], "lf") == 0;
    const char* base = getenv("TMPDIR");
    std::string dir = std::string(base && *base ? base : "/tmp") + "/bench_split.XXXXXX";
    if (!mkdtemp(dir.data())) {
        perror("mkdtemp");
        return 1;
    }
    std::string path = dir + "/contacts.csv";
    long long size = WriteCsv(path, megabytes * 1024 * 1024, lf ? "\n" : "\r\n");
    if (size < 0) {
        perror("write");
        return 1;
    }
    long rssBefore = PeakRssKb();

    int rc = 0;
    int lines = 0;
    double seconds = 0;
    {
        CStringMapTable table;
        auto start = std::chrono::steady_clock::now();
        rc = SplitFileLines(path.c_str(), table, !lf);
        seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        lines = table.GetCount();
    }
    long rssPeak = PeakRssKb();
    unlink(path.c_str());
    rmdir(dir.c_str());

    printf("file size      : %lld bytes (%s line ends)\n", size, lf ? "LF" : "CR LF");
    printf("result         : %d\n", rc);
    printf("lines          : %d\n", lines);
    printf("wall time      : %.3f s (%.1f MB/s)\n", seconds, size / 1048576.0 / seconds);
    printf("peak RSS       : %ld KB (%ld KB before splitting)\n", rssPeak, rssBefore);
    return rc == 0 ? 0 : 1;
}
