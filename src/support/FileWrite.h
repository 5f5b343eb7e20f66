// Writing files: every byte or a failure, and replacing a file whole.
#pragma once

#include <sys/types.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <string>
#include <string_view>

namespace qvxsupport {

// Writes all bytes, going on after short writes and interruptions. On a
// failure errno is left as write set it (EIO for a write that took nothing,
// which would otherwise loop for ever). Inline, so that the device service
// and qvx-phone can use it without linking the core library.
inline bool WriteAll(int fd, const char* pData, size_t nSize) {
    while (nSize > 0) {
        const ssize_t n = ::write(fd, pData, nSize);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (n == 0) {
            errno = EIO;
            return false;
        }
        pData += n;
        nSize -= static_cast<size_t>(n);
    }
    return true;
}

inline bool WriteAll(int fd, std::string_view data) {
    return WriteAll(fd, data.data(), data.size());
}

// Replaces the file at `path` with `content` so that a reader - or a crash -
// sees either the old file or the new one, never a half-written one: the
// content goes into a hidden file beside the target, is synced to the disk
// and renamed over the target; the folder is synced after the rename.
// A symbolic link stays and its target is replaced. An existing file keeps
// its mode; a new one gets nNewMode (not reduced by the umask), or with
// kModeFromUmask what the umask leaves of 0666. On a failure the old file is
// untouched and no temporary file is left.
inline constexpr mode_t kModeFromUmask = static_cast<mode_t>(-1);
// For a file that keeps the mode it has when there is nothing to replace.
inline constexpr mode_t kModeUnchanged = static_cast<mode_t>(-2);
bool ReplaceFile(const std::string& path, std::string_view content, mode_t nNewMode = 0644);

// The one rule for a file about to replace the file at `path`: it takes the
// replaced file's mode (a user who closed a file to others keeps it closed),
// else nNewMode as above. Best effort; false only when the mode could not be set.
bool TakeReplacedMode(int fd, const std::string& path, mode_t nNewMode);
// Moves the file `from` over `path` in one rename, by that rule; a new
// file keeps its own mode. On a failure nothing has moved and errno says why.
bool MoveOver(const std::string& from, const std::string& path);

}  // namespace qvxsupport
