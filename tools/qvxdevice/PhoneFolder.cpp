#include "PhoneFolder.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <set>

#include "platform/IniFile.h"
#include "platform/ProgramPath.h"
#include "transfer/ConnApiSettings.h"

namespace qvxdev {

std::string ResolvePhonesDir() {
    const char* env = getenv("QVX_PHONES_DIR");
    if (env && *env) return env;
    // The service is compiled with its own copy of the program folder's rules,
    // so this is the folder of the program that loaded it.
    const std::string program = qvxplatform::GetProgramFolder();
    CIniFile reg;
    std::string value;
    if (reg.Load(program + "/registry.ini") &&
        reg.GetValue(qvxconn::kApiRegistryKey, kPhonesFolderValue, value) && !value.empty()) {
        return value.front() == '/' ? value : program + "/" + value;
    }
    const std::string data = qvxplatform::GetUserDataFolder();
    return (data.empty() ? program : data) + "/phones";
}

bool ParseCount(std::string_view text, int64_t& value) {
    if (text.empty() || text.size() > 18) return false;  // 18 digits cannot overflow
    int64_t v = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        v = v * 10 + (c - '0');
    }
    value = v;
    return true;
}

bool IsPlainName(std::string_view name) {
    if (name.empty() || name.size() > 255 || name == "." || name == "..") return false;
    return std::none_of(name.begin(), name.end(),
                        [](char c) { return c == '/' || c == '\\' || static_cast<unsigned char>(c) < 0x20; });
}

bool ReadPhone(const std::string& dir, const std::string& folderName, PhoneInfo& info) {
    struct stat st {};
    const std::string ini = dir + "/" + kPhoneIni;
    if (stat(ini.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
    CIniFile file;
    if (!file.Load(ini)) return false;
    const auto section = [&file](const char* key, std::string& value) {
        return file.GetValue(kPhoneSection, key, value);
    };
    info = PhoneInfo{};
    info.folderName = folderName;
    info.path = dir;
    std::string v;
    info.name = section("Name", v) && !v.empty() ? v : folderName;
    info.serial = section("SerialNumber", v) && !v.empty() ? v : folderName;
    int64_t n = 0;
    if (section("TotalMemory", v) && ParseCount(v, n)) info.totalMemory = n;
    if (section("FreeMemory", v) && ParseCount(v, n)) info.freeMemory = n;
    if (section("CopySpeed", v) && ParseCount(v, n)) info.copySpeed = n;
    if (section("DisconnectAfter", v) && ParseCount(v, n)) info.disconnectAfter = n;
    info.installFails = section("InstallFails", v) && v == "1";
    return true;
}

std::vector<PhoneInfo> ScanPhones(const std::string& phonesDir) {
    std::vector<std::string> names;
    if (DIR* d = opendir(phonesDir.c_str())) {
        while (dirent* e = readdir(d)) {
            if (e->d_name[0] == '.') continue;
            names.emplace_back(e->d_name);
        }
        closedir(d);
    }
    std::sort(names.begin(), names.end());
    std::vector<PhoneInfo> phones;
    std::set<std::string> serials;
    for (const auto& name : names) {
        PhoneInfo info;
        if (!ReadPhone(phonesDir + "/" + name, name, info)) continue;
        if (!serials.insert(info.serial).second) continue;
        phones.push_back(std::move(info));
    }
    return phones;
}

std::string FormatPhoneIni(const PhoneInfo& info) {
    std::string text = "; A phone simulated by the QVX device service.\n[Phone]\n";
    text += "Name=" + info.name + "\n";
    text += "SerialNumber=" + info.serial + "\n";
    if (info.totalMemory >= 0) text += "TotalMemory=" + std::to_string(info.totalMemory) + "\n";
    if (info.freeMemory >= 0) text += "FreeMemory=" + std::to_string(info.freeMemory) + "\n";
    if (info.copySpeed > 0) text += "CopySpeed=" + std::to_string(info.copySpeed) + "\n";
    if (info.disconnectAfter >= 0) text += "DisconnectAfter=" + std::to_string(info.disconnectAfter) + "\n";
    if (info.installFails) text += "InstallFails=1\n";
    return text;
}

}  // namespace qvxdev
