#include "store/call_journal.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "diag/trace.h"
#include "store/app_config.h"
#include "store/list.h"
#include "store/stored_file.h"

namespace {

constexpr const char* kPrefix = "Call";
constexpr const char* kSuffix = ".Jnl";

// The first free name, taken in one step so two calls never share one.
std::string ReserveJournalName(const std::string& folder) {
    for (unsigned n = 0; n <= 0xFFFF; ++n) {
        char name[32];
        std::snprintf(name, sizeof name, "/%s%04x%s", kPrefix, n, kSuffix);
        const std::string path = folder + name;
        const int fd = ::open(path.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC | O_NOFOLLOW, 0600);
        if (fd >= 0) {
            ::close(fd);
            return path;
        }
        if (errno != EEXIST) break;
    }
    return {};
}

bool IsJournalName(const char* name) {
    const size_t length = std::strlen(name);
    return length == std::strlen(kPrefix) + 4 + std::strlen(kSuffix) && std::strncmp(name, kPrefix, 4) == 0 &&
           std::strcmp(name + length - 4, kSuffix) == 0;
}

std::unique_ptr<VM_CCallInfo> ReadJournal(const std::string& path) {
    VM_CCallInfo prototype;
    // Not file-backed: a damaged journal is read as far as it goes and never set aside.
    VM_CList list(&prototype, path.c_str(), 0);
    if (list.VM_GetCount() == 0) return nullptr;
    auto* record = static_cast<VM_CCallInfo*>(list.VM_GetAt(0));
    list.VM_RemoveAt(0, false);
    return std::unique_ptr<VM_CCallInfo>(record);
}

}  // namespace

bool VM_WriteCallJournal(const VM_CAppCfg& cfg, VM_CCallInfo& record) {
    std::string path = record.VM_GetJournal();
    if (path.empty()) {
        const std::string folder = VM_PathText(cfg, VM_FOLDER_VOICE);
        if (folder.empty()) return false;
        path = ReserveJournalName(folder);
        if (path.empty()) return false;
        record.VM_SetJournal(path);
    }
    VM_CByteWriter out;
    out.VM_WriteInt32(0);  // list id
    out.VM_WriteInt32(1);  // next id
    out.VM_WriteInt32(1);  // one record
    record.VM_Write(out);
    if (VM_SaveStoredFile(path.c_str(), out.VM_Bytes())) return true;
    VM_TRACE(g_bTraceTapi, "VM_WriteCallJournal: %s could not be written", path.c_str());
    return false;
}

void VM_RemoveCallJournal(VM_CCallInfo& record) {
    if (record.VM_GetJournal().empty()) return;
    VM_DeleteStoredFile(record.VM_GetJournal().c_str());
    record.VM_SetJournal({});
}

std::vector<VM_SCallJournal> VM_ReadCallJournals(const VM_CAppCfg& cfg) {
    std::vector<VM_SCallJournal> journals;
    const std::string folder = VM_PathText(cfg, VM_FOLDER_VOICE);
    DIR* dir = folder.empty() ? nullptr : ::opendir(folder.c_str());
    if (dir == nullptr) return journals;
    while (const dirent* entry = ::readdir(dir)) {
        if (!IsJournalName(entry->d_name)) continue;
        VM_SCallJournal journal;
        journal.path = folder + "/" + entry->d_name;
        struct stat info {};
        if (::stat(journal.path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) continue;
        journal.written = info.st_mtime;
        journal.record = ReadJournal(journal.path);
        journals.push_back(std::move(journal));
    }
    ::closedir(dir);
    std::sort(journals.begin(), journals.end(),
              [](const VM_SCallJournal& a, const VM_SCallJournal& b) { return a.written < b.written; });
    return journals;
}
