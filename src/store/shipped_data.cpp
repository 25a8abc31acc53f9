#include "store/shipped_data.h"

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <new>

#include "diag/trace.h"
#include "platform/win32/files.h"
#include "store/app_config.h"
#include "store/file_replace.h"

namespace {

bool FileExists(const std::string& path) {
    DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

std::string ExecutableFolder() {
    char path[MAX_PATH + 1] = {};
    DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
    if (length == 0 || length >= sizeof path) return {};
    std::string text(path, length);
    std::string::size_type slash = text.rfind('/');
    return slash == std::string::npos ? std::string() : text.substr(0, slash);
}

// A whole copy through a temporary file, so that two threads asking for the
// same prompt at once never see half a file.
bool CopyWhole(const std::string& from, const char* to) {
    std::ifstream in(from, std::ios::binary);
    if (!in) return false;
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) return false;
    return VM_ReplaceFile(to, bytes.data(), bytes.size(), 0600);
}

}  // namespace

char* VM_NewPath(const std::string& path) {
    char* copy = new (std::nothrow) char[path.size() + 1];
    if (copy == nullptr) return nullptr;
    path.copy(copy, path.size());
    copy[path.size()] = '\0';
    return copy;
}

std::vector<std::string> VM_ShippedDataFolders() {
    std::vector<std::string> folders;
    const char* configured = std::getenv("VOCERRA_DATA");
    if (configured != nullptr && configured[0] != '\0') folders.emplace_back(configured);
    std::string executable = ExecutableFolder();
    if (!executable.empty()) folders.push_back(executable + "/" VOCERRA_INSTALLED_DATA_RELATIVE);
    // Only a program still in its build tree looks there: an installed copy
    // must not take files from wherever it happened to be built.
    if (executable.rfind(VOCERRA_BUILD_TREE "/", 0) == 0) folders.emplace_back(VOCERRA_SHIPPED_DATA_DIR);
    folders.emplace_back(VOCERRA_INSTALLED_DATA_DIR);
    return folders;
}

std::string VM_FindShippedFile(const char* subfolder, const char* fileName) {
    if (subfolder == nullptr || fileName == nullptr) return {};
    for (const std::string& folder : VM_ShippedDataFolders()) {
        std::string path = folder + subfolder + "/" + fileName;
        if (FileExists(path)) return path;
    }
    return {};
}

char* VM_UseShippedFile(const char* ownPath, const char* subfolder, const char* fileName) {
    if (ownPath == nullptr) return nullptr;
    if (FileExists(ownPath)) return VM_NewPath(ownPath);
    std::string shipped = VM_FindShippedFile(subfolder, fileName);
    if (shipped.empty() || CopyWhole(shipped, ownPath)) return VM_NewPath(ownPath);
    VM_TRACE(g_bTraceAudio, "VM_UseShippedFile: cannot copy %s to %s; using it where it is", shipped.c_str(),
             ownPath);
    return VM_NewPath(shipped);
}

bool VM_InstallDefaultGreeting(const VM_CAppCfg& cfg) {
    char* own = cfg.VM_GetMainGreetingFileName();
    if (own == nullptr) return false;
    char* used = VM_UseShippedFile(own, VM_FOLDER_GREETING, "GTMain.wav");
    bool installed = used != nullptr && FileExists(own);
    delete[] used;
    delete[] own;
    return installed;
}
