#include "support/FileWrite.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <climits>
#include <cstdio>
#include <cstdlib>

namespace qvxsupport {

bool TakeReplacedMode(int fd, const std::string& path, mode_t nNewMode) {
    mode_t nMode = nNewMode;
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0) {
        nMode = st.st_mode & 07777;
    } else if (nNewMode == kModeUnchanged) {
        return true;
    } else if (nNewMode == kModeFromUmask) {
        // The umask can only be read by setting it: done only when needed.
        const mode_t nMask = ::umask(0);
        ::umask(nMask);
        nMode = 0666 & ~nMask;
    }
    return ::fchmod(fd, nMode) == 0;
}

bool MoveOver(const std::string& from, const std::string& path) {
    const int fd = ::open(from.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return false;
    (void)TakeReplacedMode(fd, path, kModeUnchanged);
    ::close(fd);
    return ::rename(from.c_str(), path.c_str()) == 0;
}

bool ReplaceFile(const std::string& path, std::string_view content, mode_t nNewMode) {
    if (path.empty()) return false;
    std::string target = path;
    char resolved[PATH_MAX];
    if (::realpath(path.c_str(), resolved) != nullptr) target = resolved;

    const size_t nSlash = target.rfind('/');
    const std::string folder = nSlash == std::string::npos ? std::string(".") : target.substr(0, nSlash + 1);
    // Hidden and with a short name of its own: no listing of the folder takes
    // it for a file of the program, and a long target name still leaves room.
    std::string temp = (nSlash == std::string::npos ? std::string() : folder) + ".qvxwrite.XXXXXX";
    const int fd = ::mkstemp(temp.data());
    if (fd < 0) return false;

    // Keeping the mode is best effort; the content matters more.
    (void)TakeReplacedMode(fd, target, nNewMode);
    bool bOk = WriteAll(fd, content) && ::fsync(fd) == 0;
    if (::close(fd) != 0) bOk = false;
    if (bOk && ::rename(temp.c_str(), target.c_str()) != 0) bOk = false;
    if (!bOk) {
        ::unlink(temp.c_str());
        return false;
    }
    // The new file is in place whatever the folder's sync says (some file
    // systems cannot sync a folder), so it does not decide the result.
    const int dirFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        (void)::fsync(dirFd);
        ::close(dirFd);
    }
    return true;
}

}  // namespace qvxsupport
