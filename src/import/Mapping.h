// The mapping model: property codes and their texts, the rules of a complete
// mapping, and the writer of the mapping file.
#pragma once

#include <cstddef>
#include <string>

class CDataMap;

// A property code with the language key of the text the user sees for it.
struct PropertyType {
    const char* pszCode;
    const char* pszTextKey;
};

// The nine codes in their fixed order: PD, N, C, L, E, -, X, G, I.
extern const PropertyType g_PropertyTypes[9];
// The seven codes the user can choose ("G" and "I" are shown but not offered).
extern const PropertyType g_OfferedPropertyTypes[7];

// Shown text -> code, in place: the text is compared with the text of each of
// the nine keys in order and the last match wins; a text that matches none
// stays unchanged. A size below 2 does nothing.
void PropertyTypeToCode(char* pszBuffer, size_t nSize);
// Code -> shown text, in place (cut to nSize - 1 bytes); a code that is not
// one of the nine stays unchanged.
void CodeToPropertyType(char* pszBuffer, size_t nSize);

struct MappingCounts {
    int nName = 0;     // columns with "N"
    int nCompany = 0;  // columns with "C"
    int nEmpty = 0;    // columns without a code
    bool bHasMappingRow = false;
};

// Counts the codes over the table's columns, each read through a buffer of
// `nCodeBuffer` bytes and compared exactly.
MappingCounts CountMappingCodes(CDataMap& table, size_t nCodeBuffer = 512);
// The language key of the first rule a mapping breaks, or null when it is
// complete. The rules, in this order: at least one column "N"
// (MappingDlg_Info_No_Name), at most one column "C"
// (MappingDlg_Info_ToMany_Company), no column without a code
// (MappingDlg_Info_Empty_Entry). Several name columns are joined into one
// name; without a company column the company is empty.
const char* FirstBrokenMappingRule(const MappingCounts& counts);
// True when a mapping file just applied to the table makes it complete:
// every column found its entry (nMatched not below the column count) and
// the rules hold.
bool MappingFitsTable(CDataMap& table, int nMatched);

// Writes the mapping file for `table`: the fixed first line, the header
// texts, the codes (each quoted, with an inner quote doubled), "Name:" and
// "Description:" lines and, when the table orders its name columns, a
// "Name order:" line (of its name columns only), each ended by CR LF. Also stores name and description
// into the table. The file is replaced atomically; false (and the warning
// "SaveMapping() Open file(%s) failed !") when it cannot be written.
bool WriteMappingFile(const char* pszPath, CDataMap& table, const char* pszName, const char* pszDescription);
// The text WriteMappingFile writes.
std::string MappingFileText(CDataMap& table, const char* pszName, const char* pszDescription);
