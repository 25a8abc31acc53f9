#include "lines/base/runtime_folder.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace lines {

namespace {

const char* NonEmptyEnv(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0' ? value : nullptr;
}

std::string SystemError(const std::string& what) { return what + ": " + std::strerror(errno); }

}  // namespace

std::string RuntimeFolder() {
    if (const char* dir = NonEmptyEnv("VOCERRA_RUNTIME_DIR")) return dir;
    if (const char* dir = NonEmptyEnv("XDG_RUNTIME_DIR")) return std::string(dir) + "/vocerra";
    return "/tmp/vocerra-" + std::to_string(geteuid());
}

bool PreparePrivateFolder(const std::string& folder, std::string* error) {
    if (mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
        *error = SystemError("cannot make " + folder);
        return false;
    }
    struct stat st {};
    if (lstat(folder.c_str(), &st) != 0) {
        *error = SystemError(folder);
        return false;
    }
    if (!S_ISDIR(st.st_mode)) {
        *error = folder + " is not a folder";
        return false;
    }
    if (st.st_uid != geteuid()) {
        *error = folder + " belongs to another user";
        return false;
    }
    if ((st.st_mode & 077) != 0 && chmod(folder.c_str(), 0700) != 0) {
        *error = SystemError("cannot make " + folder + " private");
        return false;
    }
    return true;
}

}  // namespace lines
