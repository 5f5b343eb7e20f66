// qvxbuild: runs the wizard's steps without windows.
#include <cstdio>
#include <cstring>
#include <string>

#include "Commands.h"
#include "i18n/LanguageTable.h"
#include "platform/ProgramPath.h"
#include "support/Log.h"
#include "support/ProductInfo.h"

// Installed, the trace log goes to the user's state folder.
QVX_DEFINE_LOG_FILE_AT(g_logFile, qvxplatform::GetTraceLogFile("QVXWizard.l_0").c_str());

namespace {

const char kUsage[] =
    "usage: qvxbuild analyze FILE.csv [--map FILE.map] [--json]\n"
    "       qvxbuild build FILE.csv [FILE.map] [--out FILE.db] [--language NAME]\n"
    "       qvxbuild send [--phone NAME|SERIAL] [--install]\n"
    "\n"
    "exit status: 0 success, 1 usage, 2 analysis failed, 3 mapping failed or incomplete,\n"
    "             4 build failed or stopped, 5 copy to the phone failed\n";

// The --help text (also the source of the manual page, through help2man).
const char kHelp[] =
    "Usage: qvxbuild analyze FILE.csv [--map FILE.map] [--json]\n"
    "  or:  qvxbuild build FILE.csv [FILE.map] [--out FILE.db] [--language NAME]\n"
    "  or:  qvxbuild send [--phone NAME|SERIAL] [--install]\n"
    "Runs the steps of the contact wizard QVXWizard without windows: analyses a\n"
    "contacts CSV file, builds the phone's contact database from it, and copies\n"
    "the database built last to a (simulated) phone. Writes the wizard's trace log.\n"
    "\n"
    "Commands:\n"
    "  analyze FILE.csv   show the separator, quote character, columns and rows\n"
    "                     found; --map FILE.map also applies a mapping, without it\n"
    "                     the ready mappings that fit are listed; --json prints\n"
    "                     the result as JSON\n"
    "  build FILE.csv [FILE.map]\n"
    "                     build the database; without FILE.map with the first\n"
    "                     mapping in mappings/ beside the program that fits the\n"
    "                     file; it becomes last.db in the user's data\n"
    "                     folder, or FILE.db with --out FILE.db (last.db then stays\n"
    "                     as it was); --language NAME chooses the language of the\n"
    "                     messages (Deutsch, English)\n"
    "  send               copy last.db to the phone (--phone NAME|SERIAL when\n"
    "                     several are connected) after checking that twice its\n"
    "                     size fits; --install installs the phone application when\n"
    "                     it is missing\n"
    "\n"
    "Options:\n"
    "  -h, --help         show this help and exit\n"
    "  -V, --version      show the version and exit\n"
    "\n"
    "Exit status:\n"
    "  0  success\n"
    "  1  usage\n"
    "  2  the analysis failed\n"
    "  3  the mapping failed or is incomplete, or none fits\n"
    "  4  the build failed or was stopped (Ctrl-C)\n"
    "  5  the copy to the phone failed\n"
    "\n"
    "Files:\n"
    "  Beside a program folder that is writable and not installed (the build\n"
    "  folder, a portable copy), last.db stays in the program folder and the\n"
    "  trace log QVXWizard.l_0 in the current directory. Installed, they are\n"
    "  $XDG_DATA_HOME/qvxwizard/last.db (~/.local/share/qvxwizard) and\n"
    "  $XDG_STATE_HOME/qvxwizard/QVXWizard.l_0 (~/.local/state/qvxwizard).\n";

}  // namespace

void PrintUsage() {
    fputs(kUsage, stderr);
}

bool PrepareLanguage(const char* pszLanguage) {
    std::string file = qvxplatform::GetProgramFolder() + "/language.ini";
    if (!SetLanguageFile(file.c_str())) return false;
    // An installed language.ini is shared: each user's choice is kept apart.
    SetLanguageChoiceFile(
        qvxplatform::UserFilesBesideProgram() ? nullptr : qvxplatform::GetLanguageChoiceFile().c_str());
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
        fputs(kHelp, stdout);
        return EXIT_OK;
    }
    if (strcmp(command, "--version") == 0 || strcmp(command, "-V") == 0) {
        printf("qvxbuild (QVXWizard) %d.%d.%d.%d\n", qvxproduct::kVersionMajor, qvxproduct::kVersionMinor,
               qvxproduct::kVersionRelease, qvxproduct::kVersionBuild);
        return EXIT_OK;
    }
    fprintf(stderr, "qvxbuild: unknown command '%s'\n", command);
    PrintUsage();
    return EXIT_USAGE;
}
