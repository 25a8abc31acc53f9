// Points the registry at a file in a fresh folder for the life of the
// object, and puts the previous choice back afterwards.
#pragma once

#include <string>

#include "support/scoped_env.h"
#include "support/temp_dir.h"

namespace testsupport {

class ScopedRegistryFile {
public:
    ScopedRegistryFile() : m_path(m_dir.file("registry.reg")), m_env("VOCERRA_REGISTRY", m_path.c_str()) {}

    const std::string& path() const { return m_path; }
    const TempDir& dir() const { return m_dir; }
    // Uses another file from now on.
    void Use(const std::string& path) {
        m_path = path;
        m_env.Set(path.c_str());
    }

private:
    TempDir m_dir;
    std::string m_path;
    ScopedEnv m_env;
};

}  // namespace testsupport
