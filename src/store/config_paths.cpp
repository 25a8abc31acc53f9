#include <cstdio>
#include <memory>
#include <string>

#include "audio/wave_file_names.h"
#include "platform/win32/files.h"
#include "store/app_config.h"
#include "store/shipped_data.h"

namespace {

bool FolderExists(const std::string& folder) {
    DWORD attributes = GetFileAttributesA(folder.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool EnsureFolder(const std::string& folder) {
    return FolderExists(folder) || CreateDirectoryA(folder.c_str(), nullptr) ||
           FolderExists(folder);
}

// prefix, n in width decimal digits, suffix: "QvLV" 4 1 ".Cfg" -> "QvLV0001.Cfg".
std::string Numbered(const char* prefix, int width, int n, const char* suffix) {
    char name[64];
    std::snprintf(name, sizeof name, "%s%0*d%s", prefix, width, n, suffix);
    return name;
}

}  // namespace

char* VM_CAppCfg::VM_GetPath(const char* subfolder, const char* fileName) const {
    if (m_szHome == nullptr || subfolder == nullptr) return nullptr;
    std::string folder = std::string(m_szHome) + subfolder;
    if (!EnsureFolder(folder)) return nullptr;
    if (fileName == nullptr || fileName[0] == '\0') return VM_NewPath(folder);
    return VM_NewPath(folder + "/" + fileName);
}

std::string VM_PathText(const VM_CAppCfg& cfg, const char* subfolder, const char* fileName) {
    std::unique_ptr<char[]> path(cfg.VM_GetPath(subfolder, fileName));
    return path ? std::string(path.get()) : std::string();
}

char* VM_CAppCfg::VM_GetTreeFileName(int kind) const {
    return VM_GetPath(VM_FOLDER_CONFIG, kind == 1 ? "QvTV.Cfg" : "QvTA.Cfg");
}

char* VM_CAppCfg::VM_GetMessageListFileName(int id) const {
    if (id < 0) return nullptr;
    return VM_GetPath(VM_FOLDER_CONFIG, Numbered("QvLV", 4, id, ".Cfg").c_str());
}

char* VM_CAppCfg::VM_GetAddressListFileName(int id) const {
    if (id < 0) return nullptr;
    return VM_GetPath(VM_FOLDER_CONFIG, Numbered("QvLA", 4, id, ".Cfg").c_str());
}

namespace {

char* UniqueWaveName(const VM_CAppCfg& cfg, const char* subfolder, const char* prefix) {
    char* folder = cfg.VM_GetPath(subfolder, nullptr);
    if (folder == nullptr) return nullptr;
    char* name = VM_MakeUniqueWaveName(folder, prefix);
    delete[] folder;
    return name;
}

}  // namespace

char* VM_CAppCfg::VM_GetNewMessageFileName() const {
    return UniqueWaveName(*this, VM_FOLDER_VOICE, "Msg");
}

char* VM_CAppCfg::VM_GetNewGreetingFileName() const {
    return UniqueWaveName(*this, VM_FOLDER_GREETING, "Grt");
}

char* VM_CAppCfg::VM_GetMainGreetingFileName() const {
    return VM_GetPath(VM_FOLDER_GREETING, "GTMain.wav");
}

char* VM_CAppCfg::VM_GetMailboxGreetingFileName(int n) const {
    if (n < 0 || n > 9) return nullptr;
    return VM_GetPath(VM_FOLDER_GREETING, Numbered("GTMbox", 2, n, ".Wav").c_str());
}

char* VM_CAppCfg::VM_GetPromptFileName(int n) const {
    if (n < 0) return nullptr;
    const std::string name = Numbered("Prp", 4, n, ".Wav");
    char* own = VM_GetPath(VM_FOLDER_PROMPT, name.c_str());
    if (own == nullptr) {
        // No Prompt folder can be made here: play the shipped one where it is.
        std::string shipped = VM_FindShippedFile(VM_FOLDER_PROMPT, name.c_str());
        return shipped.empty() ? nullptr : VM_NewPath(shipped);
    }
    char* used = VM_UseShippedFile(own, VM_FOLDER_PROMPT, name.c_str());
    delete[] own;
    return used;
}

char* VM_CAppCfg::VM_GetHelpFileName(int kind) const {
    if (kind == 1) return VM_GetPath(VM_FOLDER_HELP, "QvHelp.html");
    if (kind == 2) return VM_GetPath(VM_FOLDER_HELP, "QvHelp.pdf");
    return nullptr;
}

char* VM_CAppCfg::VM_GetTempFileName() const {
    char* folder = VM_GetPath(VM_FOLDER_TEMP, nullptr);
    if (folder == nullptr) return nullptr;
    char* name = VM_MakeTempFileName(folder, "Grt");
    delete[] folder;
    return name;
}
