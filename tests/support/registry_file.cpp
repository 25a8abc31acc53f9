#include "support/registry_file.h"

#include <cstdlib>

namespace testsupport {

ScopedRegistryFile::ScopedRegistryFile() {
    const char* old = std::getenv("VOCERRA_REGISTRY");
    m_hadOld = old != nullptr;
    if (m_hadOld) m_old = old;
    Use(m_dir.file("registry.reg"));
}

ScopedRegistryFile::~ScopedRegistryFile() {
    if (m_hadOld) {
        setenv("VOCERRA_REGISTRY", m_old.c_str(), 1);
    } else {
        unsetenv("VOCERRA_REGISTRY");
    }
}

void ScopedRegistryFile::Use(const std::string& path) {
    m_path = path;
    setenv("VOCERRA_REGISTRY", path.c_str(), 1);
}

}  // namespace testsupport
