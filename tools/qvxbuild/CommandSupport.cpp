#include "CommandSupport.h"

#include <cstdio>
#include <string_view>

#include "i18n/LanguageTable.h"
#include "i18n/TextKeys.h"
#include "platform/ProgramPath.h"
#include "support/Utf8.h"

void PrintUsage() {
    fputs(
        "usage: qvxbuild analyze FILE.csv [--map FILE.map] [--json]\n"
        "       qvxbuild build FILE.csv [FILE.map] [--out FILE.db] [--language NAME]\n"
        "       qvxbuild send [--phone NAME|SERIAL] [--install]\n"
        "\n"
        "exit status: 0 success, 1 usage, 2 analysis failed, 3 mapping failed or incomplete,\n"
        "             4 build failed or stopped, 5 copy to the phone failed\n",
        stderr);
}

int RefuseArgument(const char* pszCommand, const char* pszArgument) {
    fprintf(stderr, "qvxbuild %s: unexpected argument '%s'\n", pszCommand, pszArgument);
    PrintUsage();
    return EXIT_USAGE;
}

bool PrepareLanguage(const char* pszLanguage) {
    std::string file = qvxplatform::GetProgramFolder() + "/language.ini";
    if (!SetLanguageFile(file.c_str())) return false;
    KeepLanguageChoiceWithUserFiles();
    if (pszLanguage != nullptr && *pszLanguage != '\0') return SetLanguage(pszLanguage);
    return ChooseStartupLanguage();
}

bool CheckUserDataFolder(const char* pszCommand) {
    if (!qvxplatform::GetUserDataFolder().empty()) return true;
    fprintf(stderr,
            "qvxbuild %s: there is no folder for your files: $XDG_DATA_HOME/qvxwizard (else "
            "~/.local/share/qvxwizard) cannot be made\n",
            pszCommand);
    return false;
}

void SayCharacterSet(const char* pszCommand, TextEncoding encoding) {
    if (encoding == TextEncoding::kUtf8) return;
    const std::string text =
        FormatTextWithString(GetText(qvxtext::kMainDlg_Info_ReadAs, 257), TextEncodingLabel(encoding));
    fprintf(stderr, "qvxbuild %s: %s\n", pszCommand, text.c_str());
}

std::string JsonString(const std::string& bytes) {
    std::string out = "\"";
    std::string_view rest = bytes;
    while (!rest.empty()) {
        const auto c = static_cast<unsigned char>(rest[0]);
        char32_t cp = 0;
        const size_t len = c < 0x80 ? 1 : qvxsupport::DecodeUtf8(rest, cp);
        if (c == '"' || c == '\\') {
            out.push_back('\\');
            out.push_back(static_cast<char>(c));
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c == '\t') {
            out += "\\t";
        } else if (c < 0x20) {
            char esc[8];
            snprintf(esc, sizeof esc, "\\u%04x", c);
            out += esc;
        } else if (len > 0) {
            out.append(rest.substr(0, len));
            rest.remove_prefix(len);
            continue;
        } else {
            // A byte taken as Latin-1 is the code point of its value (two
            // bytes in UTF-8: every such byte is 0x80 or above).
            out.push_back(static_cast<char>(0xC0 | (c >> 6)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        }
        rest.remove_prefix(1);
    }
    out.push_back('"');
    return out;
}
