// Parses arbitrary bytes as an INI file, looks values up, lists sections,
// and writes a value into a copy of the input, which must read back.
#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

#include "platform/IniFile.h"

namespace {

std::string TempFolder() {
    static std::string folder = [] {
        char tmpl[] = "/tmp/qvx_fuzz_ini_XXXXXX";
        const char* made = ::mkdtemp(tmpl);
        return std::string(made ? made : "/tmp");
    }();
    return folder;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    CIniFile ini;
    ini.Parse(text);

    std::string value;
    std::string firstSection;
    for (const std::string& name : ini.GetSectionNames()) {
        if (firstSection.empty()) firstSection = name;
        ini.HasNonEmptySection(name);
        for (const auto& [key, v] : ini.GetSection(name)) {
            if (!ini.GetValue(name, key, value)) __builtin_trap();
        }
    }
    ini.GetValue("currentLanguage", "language", value);

    // The first bytes choose the written value; the rest is the file.
    std::string path = TempFolder() + "/fuzz.ini";
    FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) return 0;
    std::fwrite(data, 1, size, f);
    std::fclose(f);
    std::string section = firstSection.empty() ? std::string("S") : firstSection;
    std::string newValue(text.substr(0, std::min<size_t>(size, 8)));
    if (CIniFile::WriteValue(path, section, "fuzzkey", newValue)) {
        CIniFile again;
        if (!again.Load(path)) __builtin_trap();
        std::string back;
        if (!again.GetValue(section, "fuzzkey", back) || back != newValue) __builtin_trap();
        // Every other section keeps its keys.
        for (const std::string& name : ini.GetSectionNames()) {
            if (ini.GetSection(name).size() > again.GetSection(name).size()) __builtin_trap();
        }
    }
    ::unlink(path.c_str());
    return 0;
}
