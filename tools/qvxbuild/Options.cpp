#include "Options.h"

#include <strings.h>

#include <cstring>

#include "CommandSupport.h"
#include "import/ContactsFormats.h"

int ReadOptions(const char* pszCommand, int argc, char** argv, std::initializer_list<OptionSpec> specs,
                std::vector<const char*>& files, size_t nMaxFiles) {
    bool bOptionsEnded = false;
    for (int i = 0; i < argc; ++i) {
        const char* pszArg = argv[i];
        const bool bOption = !bOptionsEnded && pszArg[0] == '-' && pszArg[1] != '\0';
        if (bOption && std::strcmp(pszArg, "--") == 0) {
            bOptionsEnded = true;
            continue;
        }
        const OptionSpec* pSpec = nullptr;
        for (const OptionSpec& spec : specs)
            if (bOption && std::strcmp(pszArg, spec.pszName) == 0) pSpec = &spec;
        if (pSpec && pSpec->ppValue && i + 1 < argc) {
            *pSpec->ppValue = argv[++i];
        } else if (pSpec && pSpec->pbFlag) {
            *pSpec->pbFlag = true;
        } else if (bOption || files.size() >= nMaxFiles) {
            return RefuseArgument(pszCommand, pszArg);
        } else {
            files.push_back(pszArg);
        }
    }
    return -1;
}

namespace {

bool EndsWithMap(const char* pszName) {
    const size_t nLength = std::strlen(pszName);
    return nLength >= 4 && strcasecmp(pszName + nLength - 4, ".map") == 0;
}

}  // namespace

int PairFileArguments(const char* pszCommand, const std::vector<const char*>& names,
                      std::vector<FileArgument>& out) {
    for (const char* pszName : names) {
        const bool bMapping = EndsWithMap(pszName) ||
                              (!out.empty() && out.back().pszMap == nullptr && !IsContactsFileName(pszName));
        if (!bMapping) {
            out.push_back(FileArgument{pszName, nullptr});
        } else if (out.empty() || out.back().pszMap != nullptr) {
            return RefuseArgument(pszCommand, pszName);
        } else {
            out.back().pszMap = pszName;
        }
    }
    return -1;
}
