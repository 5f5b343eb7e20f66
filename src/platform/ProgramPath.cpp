#include "platform/ProgramPath.h"

#include <unistd.h>

#include <mutex>

namespace qvxplatform {
namespace {

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
    g_override = folder;
    // The folder is used without a trailing slash; "/" itself stays.
    while (g_override.size() > 1 && g_override.back() == '/') g_override.pop_back();
}

}  // namespace qvxplatform
