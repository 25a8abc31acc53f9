#include "store/delete_journal.h"

#include "store/app_config.h"
#include "store/byte_stream.h"
#include "store/stored_file.h"

namespace {

constexpr const char* kJournal = "Delete.Jnl";

}  // namespace

bool VM_WriteDeleteJournal(const VM_CAppCfg& cfg, const std::set<std::string>& names) {
    const std::string path = VM_PathText(cfg, VM_FOLDER_CONFIG, kJournal);
    if (path.empty()) return false;
    VM_CByteWriter out;
    out.VM_WriteInt32(static_cast<int32_t>(names.size()));
    for (const std::string& name : names) out.VM_WriteCounted(name);
    return VM_SaveStoredFile(path.c_str(), out.VM_Bytes());
}

void VM_RemoveDeleteJournal(const VM_CAppCfg& cfg) {
    const std::string path = VM_PathText(cfg, VM_FOLDER_CONFIG, kJournal);
    if (!path.empty()) VM_DeleteStoredFile(path.c_str());
}

std::set<std::string> VM_ReadDeleteJournal(const VM_CAppCfg& cfg) {
    std::set<std::string> names;
    const std::string path = VM_PathText(cfg, VM_FOLDER_CONFIG, kJournal);
    std::string bytes;
    if (path.empty() || VM_ReadStoredFile(path.c_str(), bytes) != VM_FileState::kRead) return names;
    VM_CByteReader in(bytes.data(), bytes.size());
    int32_t count = 0;
    if (!in.VM_ReadInt32(count)) return names;
    for (int32_t i = 0; i < count; ++i) {
        int32_t length = 0;
        std::string name;
        if (!in.VM_ReadInt32(length) || length < 0 || !in.VM_ReadBytes(static_cast<size_t>(length), name)) break;
        names.insert(name);
    }
    return names;
}
