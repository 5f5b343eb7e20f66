// What the commands of qvxbuild share: exit statuses, the usage text, the
// language set-up and JSON output.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "support/TextDecoding.h"

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
// Says on standard error, in the user's language, why the wizard would not
// take the contacts file (its name or that it cannot be read); true when
// the name is not taken, so that the file is not analysed.
bool RefuseContactsFile(const char* pszCommand, const char* pszPath);
// Says on standard error, in the user's language, that the file was read in
// another character set than UTF-8 (as the wizard's info text does).
void SayCharacterSet(const char* pszCommand, TextEncoding encoding);
// A JSON string literal of `bytes`; bytes that do not form valid UTF-8 are
// taken as Latin-1 characters.
std::string JsonString(std::string_view bytes);
// Line numbers as a JSON array: [5,9,12].
std::string JsonLines(const std::vector<int>& lines);
