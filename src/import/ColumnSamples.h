// Sample values of the analysed file's columns, shown beside each column in
// the mapping editor so that columns with look-alike headers ("Phone 1 -
// Label", "Phone 1 - Value") can be told apart.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

class CContactsFile;
class CDataMap;

namespace qvxsamples {
inline constexpr size_t kPerColumn = 3;
// Rows looked at: at most kMaxRows, and fewer for a wide file (about
// kMaxCells cells in all, but never fewer than kMinRows rows), so that a file
// with an always-empty column does not have to be read to its end.
inline constexpr int kMaxRows = 1000;
inline constexpr int kMinRows = 10;
inline constexpr long long kMaxCells = 250000;
}  // namespace qvxsamples

// The first non-empty values (up to nPerColumn, in row order) of each column
// of the file the parser analysed into `table`, one list per column. The data
// rows are parsed, as the build parses them, into a scratch table one at a
// time; `table` keeps no data row from this, and the parser is handed
// `table` back. Empty lists when the file has no data rows.
std::vector<std::vector<std::string>> CollectColumnSamples(CContactsFile& parser, CDataMap& table,
                                                           size_t nPerColumn = qvxsamples::kPerColumn);
