// What the commands of qvxbuild share: exit statuses, the usage text, the
// language set-up and JSON output.
#pragma once

#include <string>
#include <vector>

enum ExitStatus {
    EXIT_OK = 0,
    EXIT_USAGE = 1,
    EXIT_ANALYSIS_FAILED = 2,
    EXIT_MAPPING_FAILED = 3,
    EXIT_BUILD_FAILED = 4,
    EXIT_SEND_FAILED = 5,
};

void PrintUsage();
// "unexpected argument" and the usage; returns EXIT_USAGE.
int RefuseArgument(const char* pszCommand, const char* pszArgument);
// Points the language table at language.ini beside the program and makes a
// language current (the named one, else the stored or the locale's).
bool PrepareLanguage(const char* pszLanguage);
// False, after saying why on standard error, when there is no folder for
// last.db and the built databases (installed, the XDG data folder cannot be made).
bool CheckUserDataFolder(const char* pszCommand);
// The ready mappings, as the wizard lists them: mappings/ beside the program,
// then, for an installed program, the user's own mapping folder.
std::vector<std::string> ReadyMappingFiles();
// The folders searched by ReadyMappingFiles, for messages ("A and B").
std::string ReadyMappingFolders();
// A JSON string literal of `bytes`; bytes that do not form valid UTF-8 are
// taken as Latin-1 characters.
std::string JsonString(const std::string& bytes);
// "2, 3, 9", followed by ", ... (the first 10 of 14)" when not all are listed.
std::string MismatchedLinesText(int nCount, const std::vector<int>& lines);
