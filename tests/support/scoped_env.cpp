#include "support/scoped_env.h"

#include <cstdlib>

namespace testsupport {

ScopedEnv::ScopedEnv(const char* name, const char* value) : m_name(name) {
    const char* old = std::getenv(name);
    m_had = old != nullptr;
    if (m_had) m_old = old;
    Set(value);
}

ScopedEnv::~ScopedEnv() { Set(m_had ? m_old.c_str() : nullptr); }

void ScopedEnv::Set(const char* value) {
    if (value != nullptr) {
        setenv(m_name.c_str(), value, 1);
    } else {
        unsetenv(m_name.c_str());
    }
}

}  // namespace testsupport
