#include "import/MappingChoice.h"

#include <optional>
#include <string_view>

#include "import/ContactsFile.h"
#include "import/DataMap.h"
#include "import/Mapping.h"
#include "platform/FileSystem.h"

bool MappingFileFits(CDataMap& table, const std::string& path) {
    const int nColumns = table.GetColumnCount();
    if (nColumns <= 0) return false;
    CDataMap scratch;
    if (scratch.SetColumnCount(nColumns) != nColumns) return false;
    CDataRow* pHeader = table.GetHeaderRow();
    CDataRow* pCopy = scratch.GetHeaderRow();
    if (pHeader == nullptr || pCopy == nullptr) return false;
    for (int j = 0; j < nColumns; ++j) {
        // The view is zero-terminated behind its text.
        const std::optional<std::string_view> text = pHeader->PeekField(j);
        if (text) pCopy->SetField(j, text->data());
    }
    CContactsFile parser;
    return parser.SetTable(&scratch) == 0 && parser.SetMappingFileName(path.c_str()) == 0 &&
           parser.ParseAdditionalInformation() == 0 &&
           MappingFitsTable(scratch, parser.GetMatchedColumnCount());
}

std::vector<std::string> ListMappingFiles(const std::string& folder) {
    std::vector<std::string> paths;
    for (const std::string& name : qvxplatform::ListFilesWithExtension(folder, ".map"))
        paths.push_back(folder + "/" + name);
    return paths;
}

int FindFittingMapping(CDataMap& table, const std::vector<std::string>& paths) {
    for (size_t i = 0; i < paths.size(); ++i)
        if (MappingFileFits(table, paths[i])) return static_cast<int>(i);
    return -1;
}
