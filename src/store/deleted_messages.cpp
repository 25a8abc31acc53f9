#include "store/deleted_messages.h"

#include <memory>
#include <vector>

#include "diag/trace.h"
#include "store/app_config.h"
#include "store/entry_transfer.h"

namespace {

// The list holding the folder's records: the shown one, or its file.
VM_CList* FolderList(const VM_CAppCfg& cfg, VM_CList* shown, const VM_CItem* prototype, int folderId,
                     std::unique_ptr<VM_CList>& opened) {
    if (shown != nullptr && shown->m_id == folderId) return shown;
    opened = VM_OpenFolderList(cfg, VM_ETreeKind::kMessages, prototype, folderId);
    if (opened && !opened->VM_CanSave()) opened.reset();
    return opened.get();
}

}  // namespace

VM_SRemoteDeleteResult VM_RemoteDeleteMessage(const VM_CAppCfg& cfg, int folderId, int32_t recordId,
                                              VM_CList* shown) {
    VM_SRemoteDeleteResult result;
    if (folderId == cfg.m_idDeleted) return result;
    VM_CCallInfo prototype;
    std::unique_ptr<VM_CList> sourceFile, deletedFile;
    VM_CList* source = FolderList(cfg, shown, &prototype, folderId, sourceFile);
    VM_CItem* record = source != nullptr && source->VM_CanSave() ? source->VM_FindById(recordId) : nullptr;
    if (record == nullptr) return result;
    VM_CList* deleted = FolderList(cfg, shown, &prototype, cfg.m_idDeleted, deletedFile);
    if (deleted == nullptr) return result;

    // Moved with its recording, as the Delete command moves it: a copy
    // would need a second message's room on a full disk, and a death
    // between making it and deleting the original would leave the message
    // twice. The move is undone when either list cannot be saved.
    const bool unread = !(record->VM_GetFlags() & VM_CCallInfo::kFlagRead);
    if (!VM_MoveEntries(*source, {source->VM_IndexOf(record)}, *deleted, &cfg, VM_ETreeKind::kMessages).ok) {
        VM_TRACE(g_bTraceTapi, "VM_RemoteDeleteMessage: record %d of folder %d stays", recordId, folderId);
        return result;
    }
    result.done = true;
    result.wasUnread = unread;
    result.removedFromShown = source == shown;
    if (deleted == shown) result.addedToShown = record;
    return result;
}

bool VM_EmptyDeletedMessages(const VM_CAppCfg& cfg, VM_CList* shown) {
    VM_CCallInfo prototype;
    std::unique_ptr<VM_CList> opened;
    VM_CList* deleted = FolderList(cfg, shown, &prototype, cfg.m_idDeleted, opened);
    if (deleted == nullptr) return false;
    std::vector<int> all(static_cast<size_t>(deleted->VM_GetCount()));
    for (size_t i = 0; i < all.size(); ++i) all[i] = static_cast<int>(i);
    return VM_DeleteSaved(cfg, VM_ETreeKind::kMessages, *deleted, all);
}
