// Reading mapping files: the first line names the kind of file, the second
// holds the column headers, the third their codes (both CSV with ',' and
// '"'), then the lines "Name:" and "Description:", and where the mapping
// orders its name columns a line "Name order:" (import/NameOrder.h).
#pragma once

#include <cstddef>
#include <string>
#include <vector>

class CDataMap;

// The column each mapping entry names, by header: the k-th entry with a
// header names the k-th column with that header; an entry beyond the
// columns with its header names the first of them (and so does every entry
// when headers do not repeat). -1 for a header no column has. Of two
// entries naming one column, the later one's code counts.
std::vector<int> EntryColumns(const std::vector<std::string>& headers,
                              const std::vector<std::string>& entries);

// Applies the mapping file by column header to the table's mapping row
// (a column without an entry gets an empty code; EntryColumns) and stores
// its name, description and name order in the table. nMatched counts the
// entries that found their column. 0, CSV_ERR_MAPPING_FILE, CSV_ERR_MAPPING_LINES or a read code.
int ApplyMappingFile(const char* pszPath, CDataMap& table, int& nMatched);

// Name and description of a mapping file, each delivered whole when it
// fits its buffer (length below the size), else empty. False for a file
// that is unreadable or not a mapping file.
bool ReadMappingInfo(const char* pszPath, char* pszName, size_t nNameSize, char* pszDescription,
                     size_t nDescriptionSize);
// The entries of a mapping file: each header name with its code, in file
// order (each read as the mapping is applied). False as ReadMappingInfo.
bool ReadMappingEntries(const char* pszPath, std::vector<std::string>& names,
                        std::vector<std::string>& codes);
