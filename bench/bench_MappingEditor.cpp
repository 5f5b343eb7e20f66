// Opening the mapping editor on a file with 20,000 columns, with and without
// the sample column: the samples must not slow the opening noticeably.
// Prints the best of five openings of each, and the time to collect the
// samples from the analysed file.
#include <stdlib.h>
#include <unistd.h>

#include <QApplication>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "gui/mapping_editor/MappingDlg.h"
#include "i18n/LanguageTable.h"
#include "import/AnalysisStep.h"
#include "import/ColumnSamples.h"
#include "import/ContactsFile.h"
#include "import/DataMap.h"

namespace {

using Clock = std::chrono::steady_clock;

double Ms(Clock::time_point from) {
    return std::chrono::duration<double, std::milli>(Clock::now() - from).count();
}

// 20,000 columns and 100 data rows; every tenth column is always empty, so
// the sample search reads all the rows it may.
std::string WriteWideFile(const std::string& folder, int nColumns, int nRows) {
    std::string path = folder + "/wide.csv";
    FILE* out = std::fopen(path.c_str(), "wb");
    if (out == nullptr) return std::string();
    std::string line;
    for (int j = 0; j < nColumns; ++j) line += (j ? ";Column " : "Column ") + std::to_string(j);
    line += "\r\n";
    std::fwrite(line.data(), 1, line.size(), out);
    for (int i = 0; i < nRows; ++i) {
        line.clear();
        for (int j = 0; j < nColumns; ++j) {
            if (j) line += ';';
            if (j % 10 != 9) {
                line += 'v';
                line += std::to_string(i);
                line += '.';
                line += std::to_string(j);
            }
        }
        line += "\r\n";
        std::fwrite(line.data(), 1, line.size(), out);
    }
    std::fclose(out);
    return path;
}

double OpenEditor(CDataMap& table, const std::vector<std::vector<std::string>>* pSamples) {
    const Clock::time_point start = Clock::now();
    CMappingDlg dlg;
    dlg.SetNewMode();
    dlg.SetDataMap(&table);
    if (pSamples) dlg.SetSamples(*pSamples);
    dlg.show();
    QApplication::processEvents();
    const double ms = Ms(start);
    dlg.hide();
    return ms;
}

}  // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    char folder[] = "/tmp/qvx_bench_editor_XXXXXX";
    if (mkdtemp(folder) == nullptr) return 1;
    // A copy of language.ini: choosing the language writes into the file.
    const std::string language = std::string(folder) + "/language.ini";
    {
        FILE* in = std::fopen(QVX_PROGRAM_DIR "/language.ini", "rb");
        FILE* out = std::fopen(language.c_str(), "wb");
        if (in == nullptr || out == nullptr) return 1;
        char buffer[4096];
        size_t n;
        while ((n = std::fread(buffer, 1, sizeof buffer, in)) > 0) std::fwrite(buffer, 1, n, out);
        std::fclose(in);
        std::fclose(out);
    }
    SetLanguageFile(language.c_str());
    SetLanguage("English");
    const int nColumns = 20000;
    const int nRows = 100;
    const std::string csv = WriteWideFile(folder, nColumns, nRows);
    CContactsFile parser;
    CDataMap table;
    parser.SetCSVFileName(csv.c_str());
    int csvState = CSV_STATE_CHOSEN;
    int mappingState = MAPPING_STATE_NONE;
    if (csv.empty() || AnalyzeCSVFile(parser, table, csvState, mappingState) != 0) return 1;

    double collect = 1e9, plain = 1e9, withSamples = 1e9;
    std::vector<std::vector<std::string>> samples;
    for (int round = 0; round < 5; ++round) {
        const Clock::time_point start = Clock::now();
        samples = CollectColumnSamples(parser, table);
        collect = std::min(collect, Ms(start));
        plain = std::min(plain, OpenEditor(table, nullptr));
        withSamples = std::min(withSamples, OpenEditor(table, &samples));
    }
    std::printf("columns: %d, data rows: %d\n", nColumns, nRows);
    std::printf("collecting the samples: %.1f ms\n", collect);
    std::printf("opening the editor without samples: %.1f ms\n", plain);
    std::printf("opening the editor with samples: %.1f ms\n", withSamples);
    unlink(csv.c_str());
    unlink(language.c_str());
    rmdir(folder);
    return 0;
}
