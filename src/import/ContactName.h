// The contact's name from the mapping's name columns: exports give the name
// in parts (first, middle, last), and each part is a column with "N".
#pragma once

#include <cstddef>
#include <string>
#include <vector>

class CDataRow;

namespace qvxname {
// A name cell, and the joined name, count only up to this many bytes.
inline constexpr size_t kMaxNameBytes = 1024;
}  // namespace qvxname

// The contact's name in a row: the non-empty name cells joined in column
// order by one space. A cell longer than 1,024 bytes counts as empty (as the
// single name cell always did); a joined name longer than 1,024 bytes is
// empty, so the row gives no contact. `name` is reused, to spare allocations
// row after row.
void JoinNameCells(const CDataRow* pRow, const std::vector<int>& nameColumns, std::string& name);
