// The folder of the running program (from /proc/self/exe), without a
// trailing slash: the base of every file the program keeps beside itself
// (language.ini, mappings/, last.db, registry.ini, the phone package).
#pragma once

#include <string>

namespace qvxplatform {

// The program folder; an override set with SetProgramFolder wins.
std::string GetProgramFolder();
// Points the program folder elsewhere (tests, tools); empty restores the default.
void SetProgramFolder(const std::string& folder);

}  // namespace qvxplatform
