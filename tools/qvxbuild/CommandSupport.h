// What the commands of qvxbuild share: the usage text, the language set-up
// and JSON output.
#pragma once

#include <string>

void PrintUsage();
// Points the language table at language.ini beside the program and makes a
// language current (the named one, else the stored or the locale's).
bool PrepareLanguage(const char* pszLanguage);
// A JSON string literal of `bytes`; bytes that do not form valid UTF-8 are
// taken as Latin-1 characters.
std::string JsonString(const std::string& bytes);
