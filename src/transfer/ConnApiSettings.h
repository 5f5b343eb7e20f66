// Where the connectivity layer finds the library of each service group and
// the restart markers (see ConnApi.h); read by the service groups.
#pragma once

#include <string>

namespace qvxconn {

inline constexpr const char* kApiRegistryKey = "HKEY_LOCAL_MACHINE\\SOFTWARE\\PC Connectivity Solution\\API";
inline constexpr const char* kDefaultLibrary = "libqvxdevice.so";
inline constexpr const char* kStopSignal = "9D14093C-8B2C-49aa-A328-35C1BDB2BC15";
inline constexpr const char* kStartSignal = "8427ACED-9495-4cb7-A13D-B98012DF6654";

// The folder in which the watcher looks for the restart markers.
std::string GetSignalFolder();

}  // namespace qvxconn
