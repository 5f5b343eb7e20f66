#include "import/MappingChoice.h"

#include "import/CSVParser.h"
#include "import/DataMap.h"
#include "import/Mapping.h"
#include "platform/FolderFiles.h"

bool MappingFileFits(CDataMap& table, const std::string& path) {
    const int nColumns = table.GetColumnCount();
    if (nColumns <= 0) return false;
    CDataMap scratch;
    if (scratch.SetColumnCount(nColumns) != nColumns) return false;
    CDataRow* pHeader = table.GetHeaderRow();
    CDataRow* pCopy = scratch.GetHeaderRow();
    if (pHeader == nullptr || pCopy == nullptr) return false;
    for (int j = 0; j < nColumns; ++j) {
        const std::string* pText = pHeader->PeekField(j);
        if (pText != nullptr) pCopy->SetField(j, pText->c_str());
    }
    CCSVParser parser;
    return parser.SetTable(&scratch) == 0 && parser.SetMappingFileName(path.c_str()) == 0 &&
           parser.ParseAdditionalInformation() == 0 &&
           MappingFitsTable(scratch, parser.GetMatchedColumnCount());
}

std::vector<std::string> ListMappingFiles(const std::string& folder) {
    std::vector<std::string> paths;
    for (const std::string& name : qvxplatform::ListFolderFiles(folder, ".map"))
        paths.push_back(folder + "/" + name);
    return paths;
}

int FindFittingMapping(CDataMap& table, const std::vector<std::string>& paths) {
    for (size_t i = 0; i < paths.size(); ++i)
        if (MappingFileFits(table, paths[i])) return static_cast<int>(i);
    return -1;
}
