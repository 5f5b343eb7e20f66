#include "import/ColumnSamples.h"

#include <algorithm>
#include <optional>
#include <string_view>

#include "import/ContactsFile.h"
#include "import/DataMap.h"

namespace {

struct SampleScan {
    CDataMap* pScratch = nullptr;
    std::vector<std::vector<std::string>>* pSamples = nullptr;
    std::vector<int> pending;  // columns that still want values
    size_t nPerColumn = 0;
    int nRows = 0;
    int nMaxRows = 0;
};

// Called by the parser after each data line: takes the values of the row just
// parsed, drops the row, and stops the parsing once nothing more is wanted.
int TakeRow(void* pContext) {
    SampleScan& scan = *static_cast<SampleScan*>(pContext);
    scan.pScratch->Rewind();
    if (CDataRow* pRow = scan.pScratch->NextRow()) {
        for (size_t k = 0; k < scan.pending.size();) {
            const int nColumn = scan.pending[k];
            const std::optional<std::string_view> cell = pRow->PeekField(nColumn);
            if (cell && !cell->empty()) {
                std::vector<std::string>& values = (*scan.pSamples)[static_cast<size_t>(nColumn)];
                values.emplace_back(*cell);
                if (values.size() >= scan.nPerColumn) {
                    scan.pending[k] = scan.pending.back();
                    scan.pending.pop_back();
                    continue;
                }
            }
            ++k;
        }
        scan.pScratch->DeleteRow(pRow->GetKey());
    }
    ++scan.nRows;
    return scan.pending.empty() || scan.nRows >= scan.nMaxRows ? -1 : 0;
}

}  // namespace

std::vector<std::vector<std::string>> CollectColumnSamples(CContactsFile& parser, CDataMap& table,
                                                           size_t nPerColumn) {
    const int nColumns = table.GetColumnCount();
    std::vector<std::vector<std::string>> samples(static_cast<size_t>(std::max(nColumns, 0)));
    if (nColumns <= 0 || nPerColumn == 0) return samples;

    CDataMap scratch;
    scratch.SetColumnCount(nColumns);
    SampleScan scan;
    scan.pScratch = &scratch;
    scan.pSamples = &samples;
    scan.nPerColumn = nPerColumn;
    scan.pending.reserve(static_cast<size_t>(nColumns));
    for (int j = nColumns - 1; j >= 0; --j) scan.pending.push_back(j);
    const long long nByCells = qvxsamples::kMaxCells / nColumns;
    scan.nMaxRows =
        static_cast<int>(std::clamp<long long>(nByCells, qvxsamples::kMinRows, qvxsamples::kMaxRows));

    if (parser.SetTable(&scratch) != 0) return samples;
    parser.ParseData(2, &TakeRow, &scan);
    parser.SetTable(&table);
    return samples;
}
