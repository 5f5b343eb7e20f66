// qvxbuild: runs the wizard's steps without windows.
#include <cstdio>
#include <cstring>
#include <string>

#include "Commands.h"
#include "i18n/LanguageTable.h"
#include "platform/ProgramPath.h"
#include "support/Log.h"

QVX_DEFINE_LOG_FILE(g_logFile);

void PrintUsage() {
    fputs(
        "usage: qvxbuild analyze FILE.csv [--map FILE.map] [--json]\n"
        "       qvxbuild build FILE.csv [FILE.map] [--out FILE.db] [--language NAME]\n"
        "         (without FILE.map: the first mapping in mappings/ beside the program that fits)\n"
        "       qvxbuild send [--phone NAME|SERIAL] [--install]\n"
        "\n"
        "exit status: 0 success, 1 usage, 2 analysis failed, 3 mapping failed or incomplete,\n"
        "             4 build failed or stopped, 5 copy to the phone failed\n",
        stderr);
}

bool PrepareLanguage(const char* pszLanguage) {
    std::string file = qvxplatform::GetProgramFolder() + "/language.ini";
    if (!SetLanguageFile(file.c_str())) return false;
    if (pszLanguage != nullptr && *pszLanguage != '\0') return SetLanguage(pszLanguage);
    return ChooseStartupLanguage();
}

std::string JsonString(const std::string& bytes) {
    std::string out = "\"";
    size_t i = 0;
    // A byte taken as Latin-1 is a code point below 0x100: two UTF-8 bytes.
    auto appendLatin1 = [&out](unsigned char c) {
        out.push_back(static_cast<char>(0xC0 | (c >> 6)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    };
    while (i < bytes.size()) {
        unsigned char c = static_cast<unsigned char>(bytes[i]);
        if (c == '"' || c == '\\') {
            out.push_back('\\');
            out.push_back(static_cast<char>(c));
            ++i;
        } else if (c < 0x20) {
            char esc[8];
            switch (c) {
                case '\n':
                    out += "\\n";
                    break;
                case '\r':
                    out += "\\r";
                    break;
                case '\t':
                    out += "\\t";
                    break;
                default:
                    snprintf(esc, sizeof esc, "\\u%04x", c);
                    out += esc;
            }
            ++i;
        } else if (c < 0x80) {
            out.push_back(static_cast<char>(c));
            ++i;
        } else {
            // A valid UTF-8 sequence passes whole; anything else is Latin-1.
            int len = (c & 0xE0) == 0xC0 ? 2 : (c & 0xF0) == 0xE0 ? 3 : (c & 0xF8) == 0xF0 ? 4 : 0;
            unsigned cp = len == 2 ? (c & 0x1F) : len == 3 ? (c & 0x0F) : (c & 0x07);
            bool valid = len != 0 && i + static_cast<size_t>(len) <= bytes.size();
            for (int k = 1; valid && k < len; ++k) {
                unsigned char cc = static_cast<unsigned char>(bytes[i + static_cast<size_t>(k)]);
                if ((cc & 0xC0) != 0x80) valid = false;
                cp = (cp << 6) | (cc & 0x3F);
            }
            static const unsigned kMin[5] = {0, 0, 0x80, 0x800, 0x10000};
            if (valid && (cp < kMin[len] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))) valid = false;
            if (valid) {
                out.append(bytes, i, static_cast<size_t>(len));
                i += static_cast<size_t>(len);
            } else {
                appendLatin1(c);
                ++i;
            }
        }
    }
    out.push_back('"');
    return out;
}

int main(int argc, char** argv) {
    if (argc < 2) {
        PrintUsage();
        return EXIT_USAGE;
    }
    const char* command = argv[1];
    if (strcmp(command, "analyze") == 0) return RunAnalyze(argc - 2, argv + 2);
    if (strcmp(command, "build") == 0) return RunBuild(argc - 2, argv + 2);
    if (strcmp(command, "send") == 0) return RunSend(argc - 2, argv + 2);
    if (strcmp(command, "--help") == 0 || strcmp(command, "-h") == 0) {
        PrintUsage();
        return EXIT_OK;
    }
    fprintf(stderr, "qvxbuild: unknown command '%s'\n", command);
    PrintUsage();
    return EXIT_USAGE;
}
