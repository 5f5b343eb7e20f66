// Cost of one language lookup (GetText) on the shipped language.ini, as
// dialogs call it on every update, and of one language switch.
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "i18n/LanguageTable.h"
#include "i18n/TextKeys.h"

int main() {
    char tmpl[] = "/tmp/qvx_bench_lang_XXXXXX";
    if (::mkdtemp(tmpl) == nullptr) return 1;
    std::string path = std::string(tmpl) + "/language.ini";
    std::string text;
    {
        FILE* in = std::fopen(QVX_SOURCE_DIR "/src/resources/language.ini", "rb");
        if (in == nullptr) return 1;
        char buf[4096];
        size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, in)) > 0) text.append(buf, n);
        std::fclose(in);
        FILE* out = std::fopen(path.c_str(), "wb");
        if (out == nullptr) return 1;
        std::fwrite(text.data(), 1, text.size(), out);
        std::fclose(out);
    }
    SetLanguageFile(path.c_str());
    SetLanguage("English");

    using Clock = std::chrono::steady_clock;
    const int rounds = 2000;
    char out[261];
    size_t total = 0;
    auto t0 = Clock::now();
    for (int r = 0; r < rounds; ++r) {
        for (std::string_view key : qvxtext::kAllTextKeys) {
            GetText(std::string(key).c_str(), out, sizeof out);
            total += out[0] != '\0';
        }
    }
    double ns = std::chrono::duration<double, std::nano>(Clock::now() - t0).count();
    std::printf("GetText: %.0f ns per lookup (%zu lookups)\n", ns / (rounds * qvxtext::kAllTextKeys.size()),
                total);

    const int switches = 200;
    t0 = Clock::now();
    for (int i = 0; i < switches; ++i) SetLanguage(i % 2 ? "English" : "Deutsch");
    double us = std::chrono::duration<double, std::micro>(Clock::now() - t0).count();
    std::printf("SetLanguage: %.0f us per switch (file written each time)\n", us / switches);

    std::remove(path.c_str());
    ::rmdir(tmpl);
    return 0;
}
