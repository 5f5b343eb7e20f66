// vCard benchmark: the same generated contacts as a CSV file and as a vCard
// file (version 3.0, one card per contact), each analysed (`qvxbuild
// analyze`) and built (`qvxbuild build --out`) five times, in turns: median
// wall and CPU time, the largest peak memory. Goals: the vCard build within 1.3 x the
// CSV build, the vCard analysis below 1.5 x the file's size + 32 MB
// (MB = 10^6 bytes).
//
// usage: bench_vcard [ROWS]   (default 100000)
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "ChildRun.h"
#include "ContactGenerator.h"

namespace {

namespace fs = std::filesystem;

// The fields of one generated CSV line (';' separated, '"' quoted).
std::vector<std::string> SplitCsv(const std::string& line) {
    std::vector<std::string> fields(1);
    bool quoted = false;
    for (size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (c == '"') {
            if (quoted && i + 1 < line.size() && line[i + 1] == '"') {
                fields.back() += '"';
                ++i;
            } else {
                quoted = !quoted;
            }
        } else if (c == ';' && !quoted) {
            fields.emplace_back();
        } else if (c != '\r') {
            fields.back() += c;
        }
    }
    return fields;
}

std::string Escape(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == ',' || c == ';' || c == '\\') out += '\\';
        out += c;
    }
    return out;
}

// The contacts of the CSV file as vCards, streamed line by line.
bool WriteCards(const std::string& csv, const std::string& vcf) {
    std::ifstream in(csv, std::ios::binary);
    std::ofstream out(vcf, std::ios::binary);
    std::string line;
    if (!std::getline(in, line)) return false;
    while (std::getline(in, line)) {
        const std::vector<std::string> f = SplitCsv(line);
        if (f.size() != 9) return false;
        const size_t blank = f[0].rfind(' ');
        const std::string family = blank == std::string::npos ? f[0] : f[0].substr(blank + 1);
        const std::string given = blank == std::string::npos ? std::string() : f[0].substr(0, blank);
        std::string card = "BEGIN:VCARD\r\nVERSION:3.0\r\n";
        card += "N:" + Escape(family) + ";" + Escape(given) + ";;;\r\n";
        card += "FN:" + Escape(f[0]) + "\r\n";
        if (!f[1].empty()) card += "ORG:" + Escape(f[1]) + "\r\n";
        if (!f[2].empty()) card += "TEL;TYPE=HOME,VOICE:" + f[2] + "\r\n";
        if (!f[3].empty()) card += "TEL;TYPE=WORK,VOICE:" + f[3] + "\r\n";
        if (!f[4].empty()) card += "TEL;TYPE=CELL:" + f[4] + "\r\n";
        if (!f[5].empty()) card += "EMAIL;TYPE=INTERNET:" + f[5] + "\r\n";
        if (!f[6].empty()) card += "ADR;TYPE=HOME:;;;" + Escape(f[6]) + ";;;\r\n";
        if (!f[7].empty()) card += "CATEGORIES:" + Escape(f[7]) + "\r\n";
        if (!f[8].empty()) card += "NOTE:" + Escape(f[8]) + "\r\n";
        card += "END:VCARD\r\n";
        out << card;
    }
    return static_cast<bool>(out);
}

struct Figures {
    double wall = 0;
    double cpu = 0;
    long peakKB = 0;
    int status = 0;
};

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// The runs of the commands go in turns (one round runs each once), so that
// a change of the machine's load meets both alike; medians per command.
std::vector<Figures> MeasureInTurns(const std::vector<std::vector<std::string>>& commands, int rounds) {
    std::vector<std::vector<double>> wall(commands.size()), cpu(commands.size());
    std::vector<Figures> figures(commands.size());
    for (int round = 0; round < rounds; ++round) {
        for (size_t c = 0; c < commands.size(); ++c) {
            const qvxbench::ChildRun run = qvxbench::RunChild(commands[c]);
            wall[c].push_back(run.seconds);
            cpu[c].push_back(run.cpuSeconds);
            figures[c].peakKB = std::max(figures[c].peakKB, run.peakKB);
            figures[c].status |= run.status;
        }
    }
    for (size_t c = 0; c < commands.size(); ++c) {
        figures[c].wall = Median(wall[c]);
        figures[c].cpu = Median(cpu[c]);
    }
    return figures;
}

}  // namespace

int main(int argc, char** argv) {
    const long rows = argc > 1 ? atol(argv[1]) : 100000;
    const std::string qvxbuild = std::string(QVX_PROGRAM_DIR) + "/qvxbuild";
    const fs::path dir = fs::temp_directory_path() / ("qvxbench-vcard-" + std::to_string(getpid()));
    fs::create_directories(dir);
    const std::string csv = (dir / "contacts.csv").string();
    const std::string vcf = (dir / "contacts.vcf").string();
    const std::string csvMap = (dir / "contacts.map").string();
    {
        std::ofstream map(csvMap, std::ios::binary);
        map << qvxbench::kMapping;
    }
    if (!qvxbench::WriteContacts(csv, rows) || !WriteCards(csv, vcf)) {
        fprintf(stderr, "could not write the files\n");
        return 1;
    }

    printf("| file | contacts | size | step | wall (median) | cpu (median) | peak memory | goal |\n");
    printf("|---|---:|---:|---|---:|---:|---:|---:|\n");
    const std::string db = (dir / "out.db").string();
    const std::vector<std::vector<std::string>> commands = {
        {qvxbuild, "analyze", csv},
        {qvxbuild, "analyze", vcf},
        {qvxbuild, "build", csv, csvMap, "--out", db, "--language", "English"},
        // With nothing but the file: the built-in mapping is chosen by itself.
        {qvxbuild, "build", vcf, "--out", db, "--language", "English"},
    };
    const std::vector<Figures> f = MeasureInTurns(commands, 5);
    fs::remove(db);
    for (size_t c = 0; c < commands.size(); ++c) {
        const bool vcard = c % 2 == 1;
        const bool analyze = c < 2;
        const double size = static_cast<double>(fs::file_size(vcard ? vcf : csv));
        const std::string goal =
            analyze ? std::to_string(static_cast<int>((1.5 * size + 32e6) / 1e6)) + " MB" : "";
        printf("| %s | %ld | %.1f MB | %s | %.2f s%s | %.2f s | %.0f MB | %s |\n", vcard ? "vCard" : "CSV",
               rows, size / 1e6, analyze ? "analyze" : "build", f[c].wall, f[c].status ? " (FAILED)" : "",
               f[c].cpu, f[c].peakKB * 1024.0 / 1e6, goal.c_str());
    }
    printf("\nvCard build / CSV build: %.2f (wall), %.2f (cpu); goal at most 1.30\n", f[3].wall / f[2].wall,
           f[3].cpu / f[2].cpu);
    fs::remove_all(dir);
    return 0;
}
