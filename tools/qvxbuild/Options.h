// The one argument reader of the qvxbuild commands.
#pragma once

#include <cstddef>
#include <initializer_list>
#include <vector>

// An option of a command: with a value (the next argument, stored in
// *ppValue) or a flag (*pbFlag set).
struct OptionSpec {
    const char* pszName;
    const char** ppValue = nullptr;
    bool* pbFlag = nullptr;
};

// Reads a command's arguments: the options in `specs` and up to nMaxFiles
// file names, in any order; "--" ends the options, so that the file names
// after it may begin with a dash ("-" alone always is a file name). An
// unknown option, an option lacking its value or one file name too many is
// refused with the usage. -1 when everything was taken, else the exit status.
int ReadOptions(const char* pszCommand, int argc, char** argv, std::initializer_list<OptionSpec> specs,
                std::vector<const char*>& files, size_t nMaxFiles);

// A contacts file of a command and the mapping given for it (null for none).
struct FileArgument {
    const char* pszFile = nullptr;
    const char* pszMap = nullptr;
};

// The file names of a command as contacts files, each followed by its
// mapping: an argument ending in ".map" belongs to the file before it, and
// so does any other name that is no contacts file name right after a file
// without one (a single file's second argument always was its mapping). A
// mapping without a file before it is refused with the usage. -1 when
// everything was taken, else the exit status.
int PairFileArguments(const char* pszCommand, const std::vector<const char*>& names,
                      std::vector<FileArgument>& out);
