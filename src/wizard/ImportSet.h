// CImportSet: the contacts files of one import, in the order their contacts
// go into the database. Each file is an import session of its own (its
// analysis, character set, mapping, automatic choice and counts); the set
// lends the build, the preview and the tally all of them at once.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "database/CreateDBThread.h"
#include "wizard/ImportSession.h"

class CImportSet {
public:
    // `programFolder` holds the shipped mappings, as for CImportSession.
    explicit CImportSet(std::string programFolder);

    int Count() const { return static_cast<int>(m_files.size()); }
    CImportSession& At(int nIndex) { return *m_files[static_cast<size_t>(nIndex)]; }
    const CImportSession& At(int nIndex) const { return *m_files[static_cast<size_t>(nIndex)]; }
    // Adds a session for the file at the end, its mapping list read and the
    // file chosen (not analysed yet); the session is returned to set it up.
    CImportSession& Add(const std::string& path);
    // Adds a session with nothing done yet (no list read, no file chosen).
    CImportSession& Append();
    void Remove(int nIndex);
    void Clear() { m_files.clear(); }
    // The index of the session of that file, or -1.
    int Find(const std::string& path) const;

    // Every file analysed with a complete mapping (and at least one file).
    bool IsComplete() const;
    // The rows step of every file, in order; the first failure's result.
    int ParseRows();
    // What a build is lent: every file's parser and table.
    CImportData ImportData();

private:
    std::string m_programFolder;
    std::vector<std::unique_ptr<CImportSession>> m_files;
};
