// Listing a folder's files of one kind, as the program's lists show them.
#pragma once

#include <string>
#include <vector>

namespace qvxplatform {

// The names of the plain files in `folder` whose name ends with `extension`
// (compared ignoring case, e.g. ".map"), hidden files left out, in name order
// ignoring case (ties in byte order). Empty when the folder cannot be read.
std::vector<std::string> ListFolderFiles(const std::string& folder, const std::string& extension);

}  // namespace qvxplatform
