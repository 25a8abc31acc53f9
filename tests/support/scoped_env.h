// Sets (or, with null, removes) an environment variable for one scope and
// puts the previous state back afterwards.
#pragma once

#include <string>

namespace testsupport {

class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value);
    ~ScopedEnv();
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

    // Changes the value again within the same scope.
    void Set(const char* value);

private:
    std::string m_name;
    bool m_had = false;
    std::string m_old;
};

}  // namespace testsupport
