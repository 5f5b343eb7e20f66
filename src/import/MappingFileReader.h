// Reading mapping files: the first line names the kind of file, the second
// holds the column headers, the third their codes (both CSV with ',' and
// '"'), then the lines "Name:" and "Description:".
#pragma once

#include <cstddef>
#include <string>
#include <vector>

class CDataMap;

// Applies the mapping file by column header to the table's mapping row
// (a column without an entry gets an empty code) and stores its name and
// description in the table. nMatched counts the entries that found their
// column. 0, CSV_ERR_MAPPING_FILE, CSV_ERR_MAPPING_LINES or a read code.
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
