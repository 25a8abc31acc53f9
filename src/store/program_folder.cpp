#include "store/program_folder.h"

#include <sys/stat.h>
#include <cerrno>
#include <cstdlib>

#include "audio/wave_file_names.h"
#include "platform/win32/files.h"

namespace {

std::string WithoutTrailingSlashes(std::string folder) {
    while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    return folder;
}

std::string ExecutableFolder() {
    char path[MAX_PATH + 1] = {};
    DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
    if (length == 0 || length >= sizeof path) return {};
    char* folder = VM_GetFolderOfPath(path);
    if (folder == nullptr) return {};
    std::string result(folder);
    delete[] folder;
    return result;
}

// A program folder left beside the executable by a portable copy (or an
// earlier version, which kept its files there) is recognised by its
// configuration file.
bool HoldsProgramFolder(const std::string& folder) {
    struct stat info {};
    const std::string cfg = folder + "/Config/Vocerra.Cfg";
    return ::stat(cfg.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

// Where the program folder is when the executable's own path is unknown.
std::string CurrentFolder() {
    char path[MAX_PATH + 1] = {};
    DWORD length = GetCurrentDirectoryA(sizeof path, path);
    if (length == 0 || length >= sizeof path) return {};
    return WithoutTrailingSlashes(path);
}

std::string UserDataFolder() {
    const char* xdg = std::getenv("XDG_DATA_HOME");
    // The base directory rules ignore a relative value.
    if (xdg != nullptr && xdg[0] == '/') return WithoutTrailingSlashes(xdg) + "/vocerra";
    const char* home = std::getenv("HOME");
    if (home == nullptr || home[0] != '/') return {};
    return WithoutTrailingSlashes(home) + "/.local/share/vocerra";
}

}  // namespace

bool VM_MakeFolders(const std::string& folder) {
    if (folder.empty()) return false;
    for (std::size_t slash = folder.find('/', 1); ; slash = folder.find('/', slash + 1)) {
        std::string part = folder.substr(0, slash);
        if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) return false;
        if (slash == std::string::npos) break;
    }
    struct stat info {};
    return ::stat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

std::string VM_FindProgramFolder() {
    return VM_ChooseProgramFolder(std::getenv("VOCERRA_HOME"), ExecutableFolder());
}

std::string VM_ChooseProgramFolder(const char* configuredHome, const std::string& executableFolder) {
    if (configuredHome != nullptr && configuredHome[0] != '\0') {
        std::string folder = WithoutTrailingSlashes(configuredHome);
        VM_MakeFolders(folder);
        return folder;
    }
    // Never a fresh folder beside the executable: a build tree's is deleted
    // by a clean build, and the choice must not depend on where it started.
    std::string folder = executableFolder.empty() ? CurrentFolder() : executableFolder;
    if (!folder.empty() && HoldsProgramFolder(folder)) return folder;
    std::string userData = UserDataFolder();
    if (!userData.empty() && VM_MakeFolders(userData)) return userData;
    return folder;
}
