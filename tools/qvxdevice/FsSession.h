// One open file system of a simulated phone: the current folder, the memory
// figures and the file operations (copy, install), with progress reports to
// the registered file listeners.
//
// A phone path has the form "\\C:\Data\Quorvex\" (drive letter, then folders
// separated by '\'); "\Data" is taken from the current drive and "Data\x"
// from the current folder. Drive C: is the phone folder's subfolder "C".
// Paths on the phone never lead out of the phone's folder: a link that does
// makes the operation fail with ECONA_INVALID_NAME.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "ListenerSet.h"
#include "PhoneFolder.h"
#include "transfer/ConnApiTypes.h"

namespace qvxdev {

using PhonePath = std::vector<std::string>;  // drive letter, then folders

// Resolves `text` against `current`; false for an empty or malformed path or
// one that climbs above its drive.
bool ResolvePhonePath(const PhonePath& current, std::string_view text, PhonePath& out);

// Removes what killed copies left on a phone: the service's own part files
// (".<name>.part-<pid>-<n>") whose writing process is gone.
void RemoveStalePartFiles(const std::string& phonePath);

class FsSession {
public:
    FsSession(std::string serial, std::string phonePath);

    ListenerSet<FSNotifyIF>& Listeners() { return m_listeners; }

    uint32_t SetCurrentFolder(std::string_view folder);
    uint32_t RefreshMemory();
    uint32_t GetMemory(int64_t* pFree, int64_t* pTotal, int64_t* pUsed);
    uint32_t CopyFile(uint32_t options, const std::string& fileName, const std::string& sourcePath,
                      const std::string* targetPath);
    // Deletes a file (never a folder or what a link names) of the phone.
    uint32_t DeleteFile(const std::string& fileName, const std::string* targetPath);
    uint32_t Install(const std::string& packageName, const std::string& sourceFolder);

private:
    struct Transfer {
        std::string source;     // file to read
        std::string targetDir;  // folder to write into; empty: read only
        std::string name;       // name of the target file, and of the report
        bool overwrite = false;
        uint32_t operation = 0;
        PhonePath phoneFolder;       // the folder on the phone side, if any
        bool sourceOnPhone = false;  // else the target is on the phone (when written)
        bool targetOnPhone() const { return !sourceOnPhone && !phoneFolder.empty(); }
    };

    // Reads the phone's settings; marks the session lost when the phone is gone.
    bool Present(PhoneInfo& info);
    uint32_t Lost();
    std::string HostPath(const PhonePath& path) const;
    // A folder of the phone, opened without leaving the phone's folder: -1
    // and `error` ECONA_INVALID_NAME when a link leads out of it, else
    // ECONA_FOLDER_NOT_FOUND.
    int OpenFolder(const PhonePath& path, uint32_t& error) const;
    uint32_t Run(const Transfer& t, const PhoneInfo& info);
    bool Report(uint32_t operation, int64_t done, int64_t total);

    const std::string m_serial;
    const std::string m_phonePath;
    ListenerSet<FSNotifyIF> m_listeners;
    std::mutex m_opMutex;  // one operation at a time per file system
    std::mutex m_mutex;    // the fields below
    PhonePath m_current{"C"};
    bool m_lost = false;
    int64_t m_free = 0, m_total = 0, m_used = 0;
};

}  // namespace qvxdev
