// The staging folder of a build into a file of the user's choice (--out): a
// folder beside that file in which the build runs as if it were the data
// folder, so that the finished database is renamed into place in one step
// and the real last.db stays untouched.
//
// A killed build must not leave its partial database there for ever, yet a
// user's folder of a similar name must never go. So every staging folder is
// recorded in the data folder before it is made: a file
// ".qvxstaging.XXXXXX", locked while its build runs, holding the folder's
// path; the folder is ".qvxbuild-XXXXXX" with the record's own letters, so
// no two live records can name the same folder. Every start
// (TidyProgramFolder) removes the folders of records nobody holds.
#pragma once

#include <string>

namespace qvxdb {

class CStagingFolder {
public:
    CStagingFolder() = default;
    // Removes the folder with what the build left in it, then its record.
    ~CStagingFolder();
    CStagingFolder(const CStagingFolder&) = delete;
    CStagingFolder& operator=(const CStagingFolder&) = delete;

    // Makes the folder beside `out`; false with errno set when it cannot be
    // made. Without a data folder it is made all the same, unrecorded.
    bool Make(const std::string& out);
    const std::string& Path() const { return m_path; }
    // Moves the finished database (last.db inside) over `out` in one
    // rename; a replaced file passes its mode on. False with errno set.
    bool MoveResultTo(const std::string& out) const;

private:
    std::string m_path;
    std::string m_record;
    int m_nRecordFd = -1;
};

// Removes the staging folders of killed builds recorded in `dataFolder`.
void TidyStagingFolders(const std::string& dataFolder);
// True when the last part of `path` is a staging folder's name.
bool IsStagingFolder(const std::string& path);
// True for the name of a staging record.
bool IsStagingRecordName(const std::string& name);

}  // namespace qvxdb
