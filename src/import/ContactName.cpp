#include "import/ContactName.h"

#include "import/DataMap.h"
#include "import/DataRow.h"
#include "import/MappingCodes.h"

std::vector<int> FindNameColumns(CDataMap& table) {
    std::vector<int> columns;
    CDataRow* pMapping = table.GetMappingRow();
    const int nColumns = table.GetColumnCount();
    for (int j = 0; pMapping != nullptr && j < nColumns; ++j) {
        const std::string* pCode = pMapping->PeekField(j);
        if (pCode != nullptr && *pCode == qvxcode::kName) columns.push_back(j);
    }
    return columns;
}

void JoinNameCells(const CDataRow* pRow, const std::vector<int>& nameColumns, std::string& name) {
    name.clear();
    if (pRow == nullptr) return;
    for (int nColumn : nameColumns) {
        const std::string* pCell = pRow->PeekField(nColumn);
        if (pCell == nullptr || pCell->empty() || pCell->size() > qvxname::kMaxNameBytes) continue;
        if (!name.empty()) name.push_back(' ');
        name += *pCell;
        if (name.size() > qvxname::kMaxNameBytes) {
            name.clear();
            return;
        }
    }
}
