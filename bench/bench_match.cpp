// Finds and merges the duplicates of generated contacts, as the rules read
// them, and reports the times of each step (median of several runs).
//   bench_match [contacts] [runs]
// Default: 100000 contacts, a tenth of them another form of an earlier one
// (national numbers, names turned round, e-mail in capitals or, for half
// of them, none), with three numbers and an e-mail each; every 500th shares
// a switchboard number.
#include <time.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "import/ContactMatch.h"
#include "import/ContactRules.h"
#include "import/DataMap.h"

namespace {

using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

void FillTable(CDataMap& map, int nRows) {
    const char* headers[] = {"Name", "Company", "Phone", "Mobile", "Work", "Email"};
    const char* codes[] = {"N", "C", "PD", "PD", "PD", "E"};
    map.SetColumnCount(6);
    for (int i = 0; i < 6; ++i) {
        map.GetHeaderRow()->SetField(i, headers[i]);
        map.GetMappingRow()->SetField(i, codes[i]);
    }
    const int nUnique = nRows - nRows / 10;
    char buf[128];
    for (int r = 0; r < nRows; ++r) {
        const bool bCopy = r >= nUnique;
        // A copy is of a contact spread over the whole file.
        const long long p = bCopy ? (static_cast<long long>(r - nUnique) * 7919) % nUnique : r;
        map.AddRow(r);
        CDataRow* row = map.NextRow();
        snprintf(buf, sizeof buf, bCopy ? "Müller%lld, Jörg%lld" : "Joerg%lld Mueller%lld", p, p);
        row->SetField(0, buf);
        snprintf(buf, sizeof buf, "Firma %lld GmbH", p % 5000);
        row->SetField(1, buf);
        snprintf(buf, sizeof buf, bCopy ? "030/%07lld" : "+49 (0)30 %07lld", (p * 104729) % 10000000);
        row->SetField(2, buf);
        snprintf(buf, sizeof buf, bCopy ? "0171 %07lld" : "+49 171 %07lld", (p * 15485863) % 10000000);
        row->SetField(3, buf);
        if (p % 500 == 0) {
            row->SetField(4, "+49 89 10000");
        } else {
            snprintf(buf, sizeof buf, "0711 %07lld", (p * 982451653) % 10000000);
            row->SetField(4, buf);
        }
        // Half of the copies have no e-mail, as a phone's export often has none.
        if (!bCopy || r % 2 == 0) {
            snprintf(buf, sizeof buf, bCopy ? "Person%lld@Example.org" : "person%lld@example.org", p);
            row->SetField(5, buf);
        }
    }
}

double CpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    const int nRows = argc > 1 ? std::atoi(argv[1]) : 100000;
    const int nRuns = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;

    CDataMap map;
    FillTable(map, nRows);
    const CContactRules rules(map);
    std::vector<CContactRow> rows(static_cast<size_t>(nRows));
    map.Rewind();
    for (CContactRow& row : rows) rules.ReadRow(map.NextRow(), row);

    std::vector<double> entryTimes, findTimes, mergeTimes, cpuTimes;
    size_t nGroups = 0, nMerged = 0, nPossible = 0;
    for (int run = 0; run < nRuns; ++run) {
        // A fresh key cache each run, as each build has.
        qvxmatch::CNumberKeys keys("DE");
        const double cpuStart = CpuSeconds();
        Clock::time_point start = Clock::now();
        std::vector<qvxmatch::MatchEntry> entries;
        entries.reserve(rows.size());
        for (const CContactRow& row : rows) entries.push_back(qvxmatch::EntryOfRow(row));
        entryTimes.push_back(SecondsSince(start));

        start = Clock::now();
        const qvxmatch::MatchResult result = qvxmatch::FindDuplicates(entries, keys);
        findTimes.push_back(SecondsSince(start));

        start = Clock::now();
        std::vector<const CContactRow*> members;
        nMerged = 0;
        for (const std::vector<size_t>& group : result.groups) {
            if (group.size() < 2) continue;
            members.clear();
            for (size_t i : group) members.push_back(&rows[i]);
            nMerged += qvxmatch::MergeContacts(members, keys).details.size() > 0 ? 1 : 0;
        }
        mergeTimes.push_back(SecondsSince(start));
        cpuTimes.push_back(CpuSeconds() - cpuStart);
        nGroups = result.groups.size();
        nPossible = result.possible.size();
    }
    printf("contacts %d: %zu after merging (%zu merged), %zu possible duplicate groups\n", nRows, nGroups,
           nMerged, nPossible);
    printf("median of %d runs: entries %.3f s, finding %.3f s, merging %.3f s (wall); all %.3f s CPU\n",
           nRuns, Median(entryTimes), Median(findTimes), Median(mergeTimes), Median(cpuTimes));
    return 0;
}
