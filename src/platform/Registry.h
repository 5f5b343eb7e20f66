// Stand-in for the Windows registry: the INI file registry.ini beside the
// program, one section per key path (for example
// [HKEY_LOCAL_MACHINE\SOFTWARE\PC Connectivity Solution\API]), values as keys.
// A missing file or value reads as absent, exactly as a missing registry value.
#pragma once

#include <cstdint>
#include <string>

namespace qvxplatform {

bool RegReadString(const std::string& keyPath, const std::string& valueName, std::string& value);
bool RegReadDword(const std::string& keyPath, const std::string& valueName, uint32_t& value);

}  // namespace qvxplatform
