// A fresh folder under the system's temporary folder, removed with its
// contents when the object goes; optionally made the current directory for
// its lifetime.
#pragma once

#include <cstddef>
#include <string>

namespace testsupport {

class TempDir {
public:
    explicit TempDir(bool makeCurrent = false);
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return m_path; }
    // path() + "/" + name
    std::string file(const std::string& name) const;

private:
    std::string m_path;
    std::string m_previousCwd;
};

// Whole contents of a file; empty when it cannot be read.
std::string ReadFileBytes(const std::string& path);
void WriteFileBytes(const std::string& path, const std::string& bytes);
bool FileExists(const std::string& path);
// Entries in a folder, so a test can see that no temporary file was left.
std::size_t FilesIn(const std::string& folder);

}  // namespace testsupport
