// Points the registry at a file in a fresh folder for the life of the
// object, and puts the previous choice back afterwards.
#pragma once

#include <string>

#include "support/temp_dir.h"

namespace testsupport {

class ScopedRegistryFile {
public:
    ScopedRegistryFile();
    ~ScopedRegistryFile();
    ScopedRegistryFile(const ScopedRegistryFile&) = delete;
    ScopedRegistryFile& operator=(const ScopedRegistryFile&) = delete;

    const std::string& path() const { return m_path; }
    const TempDir& dir() const { return m_dir; }
    // Uses another file from now on.
    void Use(const std::string& path);

private:
    TempDir m_dir;
    std::string m_path;
    bool m_hadOld = false;
    std::string m_old;
};

}  // namespace testsupport
