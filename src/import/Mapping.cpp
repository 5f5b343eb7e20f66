#include "import/Mapping.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "i18n/LanguageTable.h"
#include "i18n/TextKeys.h"
#include "import/DataMap.h"
#include "import/MappingCodes.h"
#include "import/NameOrder.h"
#include "support/FileWrite.h"
#include "support/LogModules.h"
#include "support/TextBuffer.h"

using namespace qvxcode;
using namespace qvxtext;

const PropertyType g_PropertyTypes[9] = {
    {kPhone, kPropertyType_Phonenumer},  {kName, kPropertyType_Name},   {kCompany, kPropertyType_Company},
    {kLocation, kPropertyType_Location}, {kEmail, kPropertyType_Email}, {kOther, kPropertyType_Other},
    {kHidden, kPropertyType_Hidden},     {kGroup, kPropertyType_Group}, {kGroupInfo, kPropertyType_GroupInfo},
};

const PropertyType g_OfferedPropertyTypes[7] = {
    {kPhone, kPropertyType_Phonenumer},  {kName, kPropertyType_Name},   {kCompany, kPropertyType_Company},
    {kLocation, kPropertyType_Location}, {kEmail, kPropertyType_Email}, {kOther, kPropertyType_Other},
    {kHidden, kPropertyType_Hidden},
};

namespace {

constexpr size_t kConversionBuffer = 1025;
constexpr size_t kFieldBuffer = 512;

// A field read through a buffer of 512 bytes; a longer text reads as empty.
std::string ReadField512(CDataRow* pRow, int index) {
    char buffer[kFieldBuffer + 1];
    if (pRow == nullptr || pRow->GetField(index, buffer, static_cast<int>(kFieldBuffer)) != 0)
        return std::string();
    buffer[kFieldBuffer] = '\0';
    return buffer;
}

void AppendQuoted(std::string& out, const std::string& text) {
    out.push_back('"');
    for (char c : text) {
        if (c == '"') out.push_back('"');
        out.push_back(c);
    }
    out.push_back('"');
}

}  // namespace

void PropertyTypeToCode(char* pszBuffer, size_t nSize) {
    if (pszBuffer == nullptr || nSize < 2) return;
    const char* code = nullptr;
    char text[kConversionBuffer];
    for (const PropertyType& type : g_PropertyTypes) {
        GetText(type.pszTextKey, text, sizeof text);
        if (strcmp(text, pszBuffer) == 0) code = type.pszCode;
    }
    if (code) qvxsupport::CopyCut(pszBuffer, nSize, code);
}

void CodeToPropertyType(char* pszBuffer, size_t nSize) {
    if (pszBuffer == nullptr || nSize == 0) return;
    for (const PropertyType& type : g_PropertyTypes) {
        if (strcmp(type.pszCode, pszBuffer) == 0) {
            GetText(type.pszTextKey, pszBuffer, nSize);
            return;
        }
    }
}

MappingCounts CountMappingCodes(CDataMap& table, size_t nCodeBuffer) {
    MappingCounts counts;
    CDataRow* mapping = table.GetMappingRow();
    if (mapping == nullptr) return counts;
    counts.bHasMappingRow = true;
    std::string code(nCodeBuffer + 1, '\0');
    const int nColumns = table.GetColumnCount();
    for (int j = 0; j < nColumns; ++j) {
        mapping->GetField(j, code.data(), static_cast<int>(nCodeBuffer));
        const char* text = code.c_str();
        if (strcmp(text, qvxcode::kName) == 0) ++counts.nName;
        if (strcmp(text, qvxcode::kCompany) == 0) ++counts.nCompany;
        if (text[0] == '\0') ++counts.nEmpty;
    }
    return counts;
}

const char* FirstBrokenMappingRule(const MappingCounts& counts) {
    if (counts.nName == 0) return qvxtext::kMappingDlg_Info_No_Name;
    if (counts.nCompany > 1) return qvxtext::kMappingDlg_Info_ToMany_Company;
    if (counts.nEmpty > 0) return qvxtext::kMappingDlg_Info_Empty_Entry;
    return nullptr;
}

bool MappingFitsTable(CDataMap& table, int nMatched) {
    return nMatched >= table.GetColumnCount() && FirstBrokenMappingRule(CountMappingCodes(table)) == nullptr;
}

std::string MappingFileText(CDataMap& table, const char* pszName, const char* pszDescription) {
    std::string content = "Quorvex mapping file\r\n";
    const int nColumns = table.GetColumnCount();
    CDataRow* header = table.GetHeaderRow();
    CDataRow* mapping = table.GetMappingRow();
    for (int j = 0; j < nColumns; ++j) {
        if (j > 0) content.push_back(',');
        AppendQuoted(content, ReadField512(header, j));
    }
    content += "\r\n";
    for (int j = 0; j < nColumns; ++j) {
        if (j > 0) content.push_back(',');
        AppendQuoted(content, ReadField512(mapping, j));
    }
    content += "\r\n";
    content += "Name:";
    content += pszName ? pszName : "";
    content += "\r\nDescription:";
    content += pszDescription ? pszDescription : "";
    content += "\r\n";
    // Entries are written one per column, so an entry's number is its column's.
    NameOrder order;
    for (const NameOrderItem& item : table.GetNameOrder())
        if (item.nColumn >= 0 && item.nColumn < nColumns &&
            ReadField512(mapping, item.nColumn) == qvxcode::kName)
            order.push_back(item);
    if (!order.empty()) {
        content += kNameOrderKey;
        content += NameOrderText(order);
        content += "\r\n";
    }
    return content;
}

bool WriteMappingFile(const char* pszPath, CDataMap& table, const char* pszName, const char* pszDescription) {
    if (pszName == nullptr) pszName = "";
    if (pszDescription == nullptr) pszDescription = "";
    if (pszPath == nullptr || *pszPath == '\0') {
        LOG_WARN(qvxlog::MapDlg, "SaveMapping() Open file(%s) failed !", pszPath ? pszPath : "");
        return false;
    }
    const std::string content = MappingFileText(table, pszName, pszDescription);

    // An interrupted save never leaves a half-written mapping behind.
    if (!qvxsupport::ReplaceFile(pszPath, content)) {
        LOG_WARN(qvxlog::MapDlg, "SaveMapping() Open file(%s) failed !", pszPath);
        return false;
    }
    table.SetName(pszName);
    table.SetDescription(pszDescription);
    return true;
}
