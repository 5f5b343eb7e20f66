// Helpers shared by the core tests: temporary folders and file contents.
#pragma once

#include <string>
#include <vector>

namespace qvxtest {

// A fresh folder under the system's temporary folder, removed with its
// content when the object goes.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& Path() const { return m_path; }
    std::string File(const std::string& name) const { return m_path + "/" + name; }

private:
    std::string m_path;
};

void WriteFile(const std::string& path, const std::string& bytes);
std::string ReadFile(const std::string& path);
bool FileExists(const std::string& path);
std::string FixturePath(const std::string& name);
// Lines of a text file, without their LF.
std::vector<std::string> ReadLines(const std::string& path);

}  // namespace qvxtest
