// Opens the preview of a generated contacts file of 100,000 rows after its
// analysis, as the wizard's preview button does, and filters it; reports the
// wall times.
//
//   bench_preview [rows]
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "import/AnalysisStep.h"
#include "import/ContactsFile.h"
#include "import/DataMap.h"
#include "wizard/ImportPreview.h"

namespace {

using Clock = std::chrono::steady_clock;

double MsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

bool WriteFiles(const std::string& csv, const std::string& map, long long nRows) {
    FILE* out = fopen(csv.c_str(), "wb");
    if (!out) return false;
    fputs("Vorname;Nachname;Firma;Telefon;Mobil;E-Mail;Ort;Notiz\r\n", out);
    for (long long r = 0; r < nRows; ++r) {
        // Every 50th row has neither a name nor a company.
        if (r % 50 == 49) {
            fprintf(out, ";;;030 %07lld;;;Berlin;\r\n", r);
            continue;
        }
        fprintf(out,
                "Vorname%lld;Nachname%lld;Firma %lld GmbH;+49 30 %07lld;0171 %07lld ::: 0151 %07lld;"
                "person%lld@example.org;Berlin;\"Notiz %lld\"\r\n",
                r, r, r % 977, r, r, r, r, r);
    }
    fclose(out);
    out = fopen(map.c_str(), "wb");
    if (!out) return false;
    fputs(
        "Quorvex mapping file\r\n"
        "\"Vorname\",\"Nachname\",\"Firma\",\"Telefon\",\"Mobil\",\"E-Mail\",\"Ort\",\"Notiz\"\r\n"
        "\"N\",\"N\",\"C\",\"PD\",\"PD\",\"E\",\"L\",\"-\"\r\nName:bench\r\n",
        out);
    fclose(out);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    const long long nRows = argc > 1 ? atoll(argv[1]) : 100000;
    const char* base = getenv("TMPDIR");
    std::string dir = std::string(base && *base ? base : "/tmp") + "/bench_preview.XXXXXX";
    if (!mkdtemp(dir.data())) {
        perror("mkdtemp");
        return 1;
    }
    const std::string csv = dir + "/contacts.csv", map = dir + "/contacts.map";
    if (!WriteFiles(csv, map, nRows)) {
        perror("write");
        return 1;
    }

    CContactsFile parser;
    CDataMap table;
    parser.SetCSVFileName(csv.c_str());
    parser.SetMappingFileName(map.c_str());
    int nCsv = CSV_STATE_CHOSEN, nMapping = MAPPING_STATE_CHOSEN;
    auto start = Clock::now();
    AnalyzeCSVFile(parser, table, nCsv, nMapping);
    const double dAnalyse = MsSince(start);
    if (nCsv != CSV_STATE_ANALYZED || nMapping != MAPPING_STATE_COMPLETE) {
        fprintf(stderr, "bench_preview: the analysis failed (%d, %d)\n", nCsv, nMapping);
        return 1;
    }
    // The rows are parsed once per file (the analysis step of the wizard does it).
    start = Clock::now();
    parser.ParseData(2);
    const double dParse = MsSince(start);

    // Opening: the counts and the index, then the first screen of lines.
    start = Clock::now();
    CImportPreview preview(table, parser.GetMismatchedCount(), parser.GetMismatchedLines());
    CContactRow row;
    for (int i = 0; i < 40 && i < preview.GetCount(); ++i) preview.Read(i, row);
    const double dOpen = MsSince(start);

    // Typing a filter key by key ("person4711"), each step narrowing the last.
    const std::string typed = "person4711";
    start = Clock::now();
    double dFirstKey = 0;
    for (size_t n = 1; n <= typed.size(); ++n) {
        preview.SetFilter(typed.substr(0, n));
        if (n == 1) dFirstKey = MsSince(start);
    }
    const double dTyped = MsSince(start);
    const int nFound = preview.GetCount();
    // A new filter over all rows that matches none.
    start = Clock::now();
    preview.SetFilter("zzz-not-there");
    const double dNone = MsSince(start);
    start = Clock::now();
    preview.SetFilter("");
    preview.SetShowSkipped(true);
    const double dClear = MsSince(start);

    printf("rows: %lld, contacts: %d, details: %lld, skipped: %d\n", nRows, preview.Tally().nContacts,
           preview.Tally().nDetails, preview.Tally().nSkipped);
    printf("analysis: %.1f ms, parsing the rows: %.1f ms\n", dAnalyse, dParse);
    printf("open (counts, index, first 40 lines): %.1f ms\n", dOpen);
    printf("filter \"p\" over all rows: %.1f ms; typing \"%s\" key by key: %.1f ms in all (%d found)\n",
           dFirstKey, typed.c_str(), dTyped, nFound);
    printf("filter matching nothing over all rows: %.1f ms; clearing it, skipped rows shown: %.1f ms\n",
           dNone, dClear);
    unlink(csv.c_str());
    unlink(map.c_str());
    rmdir(dir.c_str());
    return 0;
}
