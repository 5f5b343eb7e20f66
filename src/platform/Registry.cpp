#include "platform/Registry.h"

#include <cerrno>
#include <cstdlib>

#include "platform/IniFile.h"
#include "platform/ProgramPath.h"

namespace qvxplatform {
namespace {

bool ReadRegistryValue(const std::string& keyPath, const std::string& valueName, std::string& value) {
    // Read afresh each time: the registry is consulted rarely, and an edited
    // registry.ini then takes effect as a changed registry value would.
    CIniFile ini;
    if (!ini.Load(GetProgramFolder() + "/registry.ini")) return false;
    return ini.GetValue(keyPath, valueName, value);
}

}  // namespace

bool RegReadString(const std::string& keyPath, const std::string& valueName, std::string& value) {
    std::string v;
    if (!ReadRegistryValue(keyPath, valueName, v)) return false;
    value = v;
    return true;
}

bool RegReadDword(const std::string& keyPath, const std::string& valueName, uint32_t& value) {
    std::string text;
    if (!ReadRegistryValue(keyPath, valueName, text)) return false;
    // Decimal or 0x hexadecimal; anything else (signs, blanks, trailing text,
    // out of range) is not a DWORD and reads as absent.
    if (text.empty() || text[0] < '0' || text[0] > '9') return false;
    int base = 10;
    const char* digits = text.c_str();
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        digits += 2;
        if (!((*digits >= '0' && *digits <= '9') || (*digits >= 'a' && *digits <= 'f') ||
              (*digits >= 'A' && *digits <= 'F'))) {
            return false;
        }
    }
    errno = 0;
    char* end = nullptr;
    unsigned long long n = std::strtoull(digits, &end, base);
    if (errno != 0 || end == nullptr || end != text.c_str() + text.size() || n > 0xFFFFFFFFull) return false;
    value = static_cast<uint32_t>(n);
    return true;
}

}  // namespace qvxplatform
