#include "platform/ProgramPath.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <vector>

namespace qvxplatform {
namespace {

constexpr const char* kUserFolderName = "qvxwizard";

std::mutex g_lock;
std::string g_override;

std::string ExecutableFolder() {
    // readlink does not end the text; grow the buffer until the link fits.
    std::string buf(256, '\0');
    for (;;) {
        ssize_t n = ::readlink("/proc/self/exe", buf.data(), buf.size());
        if (n < 0) return ".";
        if (static_cast<size_t>(n) < buf.size()) {
            buf.resize(static_cast<size_t>(n));
            break;
        }
        if (buf.size() >= 65536) return ".";
        buf.resize(buf.size() * 2);
    }
    size_t slash = buf.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return buf.substr(0, slash);
}

bool IsDirectory(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// Creates the missing folders of an absolute path, each with mode 0700.
bool MakeFolders(const std::string& path) {
    if (path.empty() || path[0] != '/') return false;
    if (IsDirectory(path)) return true;
    for (size_t pos = 1; pos <= path.size(); ++pos) {
        if (pos < path.size() && path[pos] != '/') continue;
        const std::string part = path.substr(0, pos);
        if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) return false;
    }
    return IsDirectory(path);
}

// $HOME when it is an absolute path, else the home folder of the account.
std::string HomeFolder() {
    const char* home = std::getenv("HOME");
    if (home != nullptr && home[0] == '/') return home;
    long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(size > 0 ? static_cast<size_t>(size) : 16384);
    struct passwd entry {};
    struct passwd* found = nullptr;
    if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found != nullptr &&
        found->pw_dir != nullptr && found->pw_dir[0] == '/')
        return found->pw_dir;
    return {};
}

std::string WithoutTrailingSlashes(std::string path) {
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    return path;
}

}  // namespace

std::string GetProgramFolder() {
    {
        std::lock_guard<std::mutex> lock(g_lock);
        if (!g_override.empty()) return g_override;
    }
    static const std::string folder = ExecutableFolder();
    return folder;
}

void SetProgramFolder(const std::string& folder) {
    std::lock_guard<std::mutex> lock(g_lock);
    // The folder is used without a trailing slash; "/" itself stays.
    g_override = WithoutTrailingSlashes(folder);
}

bool UserFilesBesideProgram() {
    const std::string folder = GetProgramFolder();
    if (::access(folder.c_str(), W_OK) != 0) return false;
    // An installation is shared even where its user may write to it (root).
    return ::access((folder + "/" + kInstalledMarker).c_str(), F_OK) != 0;
}

std::string XdgUserFolder(const char* variable) {
    std::string base;
    const char* value = variable != nullptr ? std::getenv(variable) : nullptr;
    // A relative folder in these variables means nothing sensible; it is ignored.
    if (value != nullptr && value[0] == '/') {
        base = value;
    } else {
        const std::string home = HomeFolder();
        if (home.empty() || variable == nullptr) return {};
        if (std::strcmp(variable, "XDG_CONFIG_HOME") == 0)
            base = home + "/.config";
        else if (std::strcmp(variable, "XDG_STATE_HOME") == 0)
            base = home + "/.local/state";
        else
            base = home + "/.local/share";
    }
    base = WithoutTrailingSlashes(base);
    const std::string folder = (base == "/" ? std::string() : base) + "/" + kUserFolderName;
    return MakeFolders(folder) ? folder : std::string();
}

bool UserFoldersMissing() {
    return !UserFilesBesideProgram() &&
           (XdgUserFolder("XDG_DATA_HOME").empty() || XdgUserFolder("XDG_STATE_HOME").empty());
}

std::string GetUserDataFolder() {
    if (UserFilesBesideProgram()) return GetProgramFolder();
    return XdgUserFolder("XDG_DATA_HOME");
}

std::string GetUserMappingFolder() {
    if (UserFilesBesideProgram()) return GetProgramFolder() + "/mappings";
    const std::string data = XdgUserFolder("XDG_DATA_HOME");
    if (data.empty()) return {};
    const std::string folder = data + "/mappings";
    return MakeFolders(folder) ? folder : std::string();
}

std::vector<std::string> GetMappingFolders(const std::string& programMappings) {
    std::vector<std::string> folders{programMappings};
    if (!UserFilesBesideProgram()) {
        const std::string user = GetUserMappingFolder();
        if (!user.empty() && user != programMappings) folders.push_back(user);
    }
    return folders;
}

std::string GetLanguageChoiceFile() {
    if (UserFilesBesideProgram()) return {};
    const std::string config = XdgUserFolder("XDG_CONFIG_HOME");
    return config.empty() ? std::string() : config + "/language.ini";
}

std::string GetTraceLogFile(const std::string& fileName) {
    // Never the current directory: whoever may write there could plant a
    // link or share the file.
    const std::string folder =
        UserFilesBesideProgram() ? GetProgramFolder() : XdgUserFolder("XDG_STATE_HOME");
    // The trace log keeps names of up to 199 bytes.
    if (folder.empty() || folder.size() + 1 + fileName.size() > 199) return {};
    return (folder == "/" ? std::string() : folder) + "/" + fileName;
}

}  // namespace qvxplatform
