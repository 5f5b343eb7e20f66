// Choosing a mapping by itself: the first mapping file of a list that makes
// an analysed file complete. Ready mappings for the common exports ship in
// the folder "mappings"; since a mapping is matched by header, one of them
// fits every export of its program.
#pragma once

#include <string>
#include <vector>

class CDataMap;

// True when the mapping file would make the analysed table complete
// (MappingFitsTable). Tried on a copy of the table's header: the table itself
// and its mapping row stay as they are.
bool MappingFileFits(CDataMap& table, const std::string& path);

// The paths of the ".map" files in `folder`, in the order the wizard lists
// them (file name, ignoring case).
std::vector<std::string> ListMappingFiles(const std::string& folder);

// The index of the first path that fits the table, or -1.
int FindFittingMapping(CDataMap& table, const std::vector<std::string>& paths);
