#include "PhoneFolder.h"

#include <dirent.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <set>
#include <sstream>

#include "platform/ProgramPath.h"
#include "support/AsciiCase.h"

namespace qvxdev {

namespace {

std::string_view Trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
    return s;
}

}  // namespace

bool IniSection::Load(const std::string& path, std::string_view section) {
    m_entries.clear();
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::ostringstream ss;
    ss << in.rdbuf();
    Parse(ss.str(), section);
    return true;
}

void IniSection::Parse(std::string_view text, std::string_view section) {
    m_entries.clear();
    bool inSection = false;
    bool seenSection = false;  // the first of duplicate sections wins
    while (!text.empty()) {
        size_t eol = text.find('\n');
        std::string_view line = Trim(text.substr(0, eol));
        text = eol == std::string_view::npos ? std::string_view() : text.substr(eol + 1);
        if (line.empty() || line.front() == ';') continue;
        if (line.front() == '[') {
            size_t close = line.find(']');
            std::string_view name =
                close == std::string_view::npos ? line.substr(1) : line.substr(1, close - 1);
            bool match = qvxsupport::EqualsIgnoringCase(Trim(name), section);
            inSection = match && !seenSection;
            if (match) seenSection = true;
            continue;
        }
        if (!inSection) continue;
        size_t eq = line.find('=');
        if (eq == std::string_view::npos) continue;
        std::string_view key = Trim(line.substr(0, eq));
        std::string_view value = Trim(line.substr(eq + 1));
        if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
            value.back() == value.front()) {
            value = value.substr(1, value.size() - 2);
        }
        if (key.empty()) continue;
        bool dup = std::any_of(m_entries.begin(), m_entries.end(),
                               [&](const auto& e) { return qvxsupport::EqualsIgnoringCase(e.first, key); });
        if (!dup) m_entries.emplace_back(std::string(key), std::string(value));
    }
}

bool IniSection::Get(std::string_view key, std::string& value) const {
    for (const auto& e : m_entries) {
        if (qvxsupport::EqualsIgnoringCase(e.first, key)) {
            value = e.second;
            return true;
        }
    }
    return false;
}

std::string ProgramFolder() {
    char buffer[PATH_MAX + 1];
    ssize_t n = readlink("/proc/self/exe", buffer, PATH_MAX);
    if (n <= 0) return ".";
    std::string path(buffer, static_cast<size_t>(n));
    size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

std::string ResolvePhonesDir() {
    const char* env = getenv("QVX_PHONES_DIR");
    if (env && *env) return env;
    const std::string program = ProgramFolder();
    IniSection reg;
    std::string value;
    if (reg.Load(program + "/registry.ini", kRegistryKeyApi) && reg.Get(kPhonesFolderValue, value) &&
        !value.empty()) {
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
    IniSection section;
    if (!section.Load(ini, kPhoneSection)) return false;
    info = PhoneInfo{};
    info.folderName = folderName;
    info.path = dir;
    std::string v;
    info.name = section.Get("Name", v) && !v.empty() ? v : folderName;
    info.serial = section.Get("SerialNumber", v) && !v.empty() ? v : folderName;
    int64_t n = 0;
    if (section.Get("TotalMemory", v) && ParseCount(v, n)) info.totalMemory = n;
    if (section.Get("FreeMemory", v) && ParseCount(v, n)) info.freeMemory = n;
    if (section.Get("CopySpeed", v) && ParseCount(v, n)) info.copySpeed = n;
    if (section.Get("DisconnectAfter", v) && ParseCount(v, n)) info.disconnectAfter = n;
    info.installFails = section.Get("InstallFails", v) && v == "1";
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
