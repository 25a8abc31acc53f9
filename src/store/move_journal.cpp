#include "store/move_journal.h"

#include <memory>
#include <string>

#include "diag/trace.h"
#include "store/addr_entry.h"
#include "store/app_config.h"
#include "store/byte_stream.h"
#include "store/call_info.h"
#include "store/entry_transfer.h"
#include "store/stored_file.h"

namespace {

constexpr int32_t kVersion = 1;
constexpr const char* kJournal = "Move.Jnl";

std::string Encode(const VM_SFolderMove& move) {
    VM_CByteWriter out;
    out.VM_WriteInt32(kVersion);
    out.VM_WriteInt32(move.kind == VM_ETreeKind::kMessages ? 0 : 1);
    out.VM_WriteInt32(move.source);
    out.VM_WriteInt32(move.target);
    out.VM_WriteInt32(static_cast<int32_t>(move.ids.size()));
    for (const auto& [from, to] : move.ids) {
        out.VM_WriteInt32(from);
        out.VM_WriteInt32(to);
    }
    return out.VM_Bytes();
}

bool Decode(const std::string& bytes, VM_SFolderMove& move) {
    VM_CByteReader in(bytes.data(), bytes.size());
    int32_t version = 0, kind = 0, count = 0;
    if (!in.VM_ReadInt32(version) || version != kVersion || !in.VM_ReadInt32(kind) ||
        !in.VM_ReadInt32(move.source) || !in.VM_ReadInt32(move.target) || !in.VM_ReadInt32(count) || count < 0 ||
        static_cast<size_t>(count) > in.VM_Remaining() / 8)
        return false;
    move.kind = kind == 0 ? VM_ETreeKind::kMessages : VM_ETreeKind::kAddresses;
    move.ids.resize(static_cast<size_t>(count));
    for (auto& [from, to] : move.ids)
        if (!in.VM_ReadInt32(from) || !in.VM_ReadInt32(to)) return false;
    return in.VM_AtEnd();
}

// Takes the moved records out of the source; they are deleted without
// their files, which the target's records own.
bool DropFromSource(const VM_CAppCfg& cfg, const VM_SFolderMove& move, const VM_CItem& prototype) {
    std::unique_ptr<VM_CList> target = VM_OpenFolderList(cfg, move.kind, &prototype, move.target);
    std::unique_ptr<VM_CList> source = VM_OpenFolderList(cfg, move.kind, &prototype, move.source);
    if (!target || !source || !source->VM_CanSave()) return false;
    int dropped = 0;
    for (const auto& [from, to] : move.ids) {
        VM_CItem* original = source->VM_FindById(from);
        if (original == nullptr || target->VM_FindById(to) == nullptr) continue;
        source->VM_Remove(original, false);
        delete original;
        dropped++;
    }
    if (dropped == 0) return true;
    VM_TRACE(g_bTraceTapi, "VM_FinishInterruptedMove: %d records leave folder %d for folder %d", dropped, move.source,
             move.target);
    return source->VM_Save();
}

}  // namespace

bool VM_WriteMoveJournal(const VM_CAppCfg& cfg, const VM_SFolderMove& move) {
    const std::string path = VM_PathText(cfg, VM_FOLDER_CONFIG, kJournal);
    return !path.empty() && VM_SaveStoredFile(path.c_str(), Encode(move));
}

void VM_RemoveMoveJournal(const VM_CAppCfg& cfg) {
    const std::string path = VM_PathText(cfg, VM_FOLDER_CONFIG, kJournal);
    if (!path.empty()) VM_DeleteStoredFile(path.c_str());
}

void VM_FinishInterruptedMove(const VM_CAppCfg& cfg) {
    const std::string path = VM_PathText(cfg, VM_FOLDER_CONFIG, kJournal);
    std::string bytes;
    if (path.empty() || VM_ReadStoredFile(path.c_str(), bytes) != VM_FileState::kRead) return;
    VM_SFolderMove move;
    // A journal this program cannot read names no move it could finish.
    if (Decode(bytes, move)) {
        VM_CCallInfo call;
        VM_CAddrEntry address;
        const VM_CItem& prototype = move.kind == VM_ETreeKind::kMessages ? static_cast<const VM_CItem&>(call) : address;
        if (!DropFromSource(cfg, move, prototype)) {
            VM_TRACE(g_bTraceTapi, "VM_FinishInterruptedMove: folder %d could not be saved, tried again next start",
                     move.source);
            return;
        }
    }
    VM_DeleteStoredFile(path.c_str());
}
