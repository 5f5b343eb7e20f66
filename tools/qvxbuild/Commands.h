// The commands of qvxbuild. Each returns the process exit status.
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

int RunAnalyze(int argc, char** argv);
int RunBuild(int argc, char** argv);
int RunSend(int argc, char** argv);

// Shared helpers.
void PrintUsage();
// Points the language table at language.ini beside the program and makes a
// language current (the named one, else the stored or the locale's).
bool PrepareLanguage(const char* pszLanguage);
// A JSON string literal of `bytes`; bytes that do not form valid UTF-8 are
// taken as Latin-1 characters.
std::string JsonString(const std::string& bytes);
// "2, 3, 9", followed by "… (the first 10 of 14)" when not all are listed.
std::string MismatchedLinesText(int nCount, const std::vector<int>& lines);
