// Simulated phones: each phone is a folder under the phones folder holding a
// phone.ini; the phone's drive C: is its subfolder "C".
//
// phone.ini, section [Phone] (every key optional):
//   Name            display name (default: the folder name)
//   SerialNumber    unique serial number (default: the folder name)
//   TotalMemory     total memory in bytes   } default: the file system's
//   FreeMemory      free memory in bytes    } figures for the folder (statvfs)
//   CopySpeed       copy speed limit in bytes per second (0 or missing: none)
//   DisconnectAfter the phone "disconnects" once a copy or installation has
//                   moved more than this many bytes (missing: never)
//   InstallFails    1: every installation fails
//
// The phones folder is, in this order: the environment variable
// QVX_PHONES_DIR; the value "PhonesFolder" in section
// [HKEY_LOCAL_MACHINE\SOFTWARE\PC Connectivity Solution\API] of registry.ini
// beside the program (relative values are taken from the program folder);
// the folder "phones" of the user's data folder: beside the program, or for
// an installed program $XDG_DATA_HOME/qvxwizard/phones (platform/ProgramPath.h).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qvxdev {

inline constexpr const char* kPhoneIni = "phone.ini";
inline constexpr const char* kPhoneSection = "Phone";
inline constexpr const char* kPhonesFolderValue = "PhonesFolder";

struct PhoneInfo {
    std::string folderName;  // name of the phone's folder
    std::string path;        // full path of the phone's folder
    std::string name;
    std::string serial;
    int64_t totalMemory = -1;  // -1: not configured
    int64_t freeMemory = -1;
    int64_t copySpeed = 0;         // bytes per second, 0 = unlimited
    int64_t disconnectAfter = -1;  // -1 = never
    bool installFails = false;
};

// The phones folder as described above.
std::string ResolvePhonesDir();

// Reads <dir>/phone.ini; false when the folder holds no readable phone.ini.
bool ReadPhone(const std::string& dir, const std::string& folderName, PhoneInfo& info);
// Every phone of the phones folder, ordered by folder name; hidden folders
// (a leading '.') are skipped and of two phones with one serial number only
// the first counts.
std::vector<PhoneInfo> ScanPhones(const std::string& phonesDir);
// The text of a phone.ini for `info` (name, serial and the settings given).
std::string FormatPhoneIni(const PhoneInfo& info);

// A non-negative decimal number without sign or trailing text.
bool ParseCount(std::string_view text, int64_t& value);
// Usable as one folder or file name: not empty, not "." or "..", no '/' or
// '\\', no control characters, at most 255 bytes.
bool IsPlainName(std::string_view name);

}  // namespace qvxdev
