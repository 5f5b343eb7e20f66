// Looking at files and folders without opening them for use: whether a path
// names a folder or a readable plain file, when a file was last changed, and
// the plain files of a folder with one extension.
#pragma once

#include <ctime>
#include <string>
#include <vector>

namespace qvxplatform {

enum class ReadableFile {
    kNo,                // cannot be opened for reading, or no plain file
    kYes,               // opened for reading and closed again
    kYesButCloseFailed  // readable, though closing it reported an error
};

// Whether the path names a folder (a link to one counts).
bool IsDirectory(const std::string& path);

// Tries to open the path for reading. A folder opens for reading on Linux,
// but it is no file to read, so anything but a plain file counts as kNo.
ReadableFile CheckReadableFile(const std::string& path);

// The file's last modification time; false when it cannot be looked up.
bool GetModificationTime(const std::string& path, std::time_t* pTime);

// Names (without folder) of the plain files in `folder` whose names end in
// `extension` (ignoring case) and are longer than it; hidden files are left
// out. Sorted ignoring case, names equal but for case in byte order. An
// unreadable folder gives an empty list.
std::vector<std::string> ListFilesWithExtension(const std::string& folder, const std::string& extension);

}  // namespace qvxplatform
