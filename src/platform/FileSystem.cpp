#include "platform/FileSystem.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

#include "support/AsciiCase.h"

namespace qvxplatform {

bool IsDirectory(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

ReadableFile CheckReadableFile(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return ReadableFile::kNo;
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return ReadableFile::kNo;
    }
    return ::close(fd) == 0 ? ReadableFile::kYes : ReadableFile::kYesButCloseFailed;
}

bool GetModificationTime(const std::string& path, std::time_t* pTime) {
    struct stat st {};
    if (path.empty() || stat(path.c_str(), &st) != 0) return false;
    if (pTime) *pTime = st.st_mtime;
    return true;
}

std::vector<std::string> ListFilesWithExtension(const std::string& folder, const std::string& extension) {
    std::vector<std::string> names;
    DIR* pDir = opendir(folder.c_str());
    if (!pDir) return names;
    while (const dirent* pEntry = readdir(pDir)) {
        const std::string name = pEntry->d_name;
        if (name.empty() || name[0] == '.' || name.size() <= extension.size()) continue;
        if (!qvxsupport::EndsWithIgnoringCase(name, extension)) continue;
        struct stat st {};
        const std::string path = folder + "/" + name;
        if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) continue;
        names.push_back(name);
    }
    closedir(pDir);
    std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
        const int n = qvxsupport::CompareIgnoringCase(a, b);
        return n != 0 ? n < 0 : a < b;
    });
    return names;
}

}  // namespace qvxplatform
