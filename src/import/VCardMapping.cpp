#include "import/VCardMapping.h"

#include "i18n/LanguageTable.h"
#include "i18n/TextKeys.h"
#include "import/DataMap.h"
#include "import/MappingCodes.h"

const char* VCardMappingCode(VCardColumnKind kind) {
    switch (kind) {
        case VCardColumnKind::kName:
            return qvxcode::kName;
        case VCardColumnKind::kCompany:
            return qvxcode::kCompany;
        case VCardColumnKind::kPhone:
            return qvxcode::kPhone;
        case VCardColumnKind::kEmail:
            return qvxcode::kEmail;
        case VCardColumnKind::kAddress:
            return qvxcode::kLocation;
        case VCardColumnKind::kText:
            return qvxcode::kOther;
        case VCardColumnKind::kNamePart:
        case VCardColumnKind::kTechnical:
            break;
    }
    return qvxcode::kHidden;
}

std::string VCardMappingName() {
    std::string name = GetText(qvxtext::kVCard_Mapping_Name);
    return name.empty() ? "vCard" : name;
}

bool ApplyVCardMapping(const std::vector<VCardColumnKind>& kinds, CDataMap& table) {
    const int nColumns = static_cast<int>(kinds.size());
    if (nColumns <= 0 || table.GetColumnCount() != nColumns) return false;
    table.DeleteMappingRow();
    CDataRow* mapping = table.GetMappingRow();
    if (mapping == nullptr) return false;
    for (int j = 0; j < nColumns; ++j) mapping->SetField(j, VCardMappingCode(kinds[static_cast<size_t>(j)]));
    table.SetName(VCardMappingName().c_str());
    table.SetDescription(GetText(qvxtext::kVCard_Mapping_Description, 1025).c_str());
    return true;
}
