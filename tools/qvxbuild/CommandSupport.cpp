#include "CommandSupport.h"

#include <cstdio>
#include <cstring>
#include <string_view>

#include "i18n/LanguageTable.h"
#include "i18n/TextKeys.h"
#include "platform/ProgramPath.h"
#include "support/Log.h"
#include "support/NumberList.h"
#include "support/Utf8.h"
#include "wizard/ImportSession.h"
#include "wizard/WizardState.h"

void PrintUsage() {
    fputs(
        "usage: qvxbuild analyze FILE [FILE.map] [FILE [FILE.map] ...] [--map FILE.map] [--json]\n"
        "       qvxbuild build FILE [FILE.map] [FILE [FILE.map] ...] [--out FILE.db] [--language NAME]\n"
        "       qvxbuild preview FILE [FILE.map] [FILE [FILE.map] ...] [--limit N] [--json]\n"
        "       qvxbuild map FILE [--out FILE.map] [--json]\n"
        "       qvxbuild send [--phone NAME|SERIAL] [--install]\n"
        "\n"
        "Several contacts files (CSV or vCard) go into one database, in the order given; a\n"
        "FILE.map after a file is that file's mapping, else the first one that fits is taken.\n"
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

namespace {

// Says once a run, in the user's language, that the user's folders cannot
// be made (an installed program without a usable home).
void TellNoUserFolders() {
    static bool told = false;
    if (told) return;
    told = true;
    std::string text = GetText(qvxtext::kMsg_NoUserFolders, 1025);
    if (text.empty()) text = "The folders for your files cannot be made (%s).";
    text = FormatTextWithString(text, "$XDG_DATA_HOME/qvxwizard, ~/.local/share/qvxwizard");
    fprintf(stderr, "qvxbuild: %s\n", text.c_str());
}

}  // namespace

bool PrepareLanguage(const char* pszLanguage) {
    std::string file = qvxplatform::GetProgramFolder() + "/language.ini";
    if (!SetLanguageFile(file.c_str())) return false;
    KeepLanguageChoiceWithUserFiles();
    const bool chosen =
        pszLanguage != nullptr && *pszLanguage != '\0' ? SetLanguage(pszLanguage) : ChooseStartupLanguage();
    if (chosen && qvxplatform::UserFoldersMissing()) TellNoUserFolders();
    // The trace log's failure, in the language chosen (English without one).
    LOG_SET_FAILURE_REPORT([](const char* pszFile, int nError) {
        fprintf(stderr, "qvxbuild: %s\n", qvxwizard::LogFailureText(pszFile, nError).c_str());
    });
    return chosen;
}

bool CheckUserDataFolder(const char* /*pszCommand*/) {
    if (!qvxplatform::GetUserDataFolder().empty()) return true;
    TellNoUserFolders();
    return false;
}

bool RefuseContactsFile(const char* pszCommand, const char* pszPath) {
    // An empty path names no file: the analysis says so by its result.
    if (pszPath == nullptr || *pszPath == '\0') return false;
    const char* pszRefusal = CImportSession::RefusalOf(pszPath);
    if (pszRefusal == nullptr) return false;
    // A file that cannot be read is told with the reason, as the analysis would.
    const bool bType = strcmp(pszRefusal, qvxtext::kMainDlg_Info_CSVNotTaken_Type) == 0;
    SayAnalysisFailed(pszCommand, CSV_ERR_SPLIT, pszPath, bType ? pszRefusal : nullptr);
    return true;
}

void SayAnalysisFailed(const char* pszCommand, int nResult, const char* pszPath, const char* pszRefusal) {
    const std::string path = pszPath != nullptr ? pszPath : "";
    const std::string text = pszRefusal != nullptr ? CImportSession::RefusalText(pszRefusal, path)
                                                   : qvxwizard::AnalysisFailureText(nResult, path);
    fprintf(stderr, "qvxbuild %s: %s\n", pszCommand, text.c_str());
}

void SayCharacterSet(const char* pszCommand, TextEncoding encoding) {
    if (encoding == TextEncoding::kUtf8) return;
    const std::string text =
        FormatTextWithString(GetText(qvxtext::kMainDlg_Info_ReadAs, 257), TextEncodingLabel(encoding));
    fprintf(stderr, "qvxbuild %s: %s\n", pszCommand, text.c_str());
}

std::string JsonLines(const std::vector<int>& lines) {
    std::string out = "[";
    out += qvxsupport::JoinNumbers(lines, ",");
    out += ']';
    return out;
}

std::string JsonString(std::string_view bytes) {
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
