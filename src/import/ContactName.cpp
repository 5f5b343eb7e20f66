#include "import/ContactName.h"

#include <optional>
#include <string_view>

#include "import/DataRow.h"

void JoinNameCells(const CDataRow* pRow, const std::vector<int>& nameColumns, std::string& name) {
    name.clear();
    if (pRow == nullptr) return;
    for (int nColumn : nameColumns) {
        const std::optional<std::string_view> cell = pRow->PeekField(nColumn);
        if (!cell || cell->empty() || cell->size() > qvxname::kMaxNameBytes) continue;
        if (!name.empty()) name.push_back(' ');
        name += *cell;
        if (name.size() > qvxname::kMaxNameBytes) {
            name.clear();
            return;
        }
    }
}
