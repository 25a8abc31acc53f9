#include "store/deleted_messages.h"

#include <memory>

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
    // The original's recording is deleted only where the list can be saved.
    VM_CItem* record = source != nullptr && source->VM_CanSave() ? source->VM_FindById(recordId) : nullptr;
    if (record == nullptr) return result;
    VM_CList* deleted = FolderList(cfg, shown, &prototype, cfg.m_idDeleted, deletedFile);
    if (deleted == nullptr) return result;

    VM_CItem* clone = record->VM_Clone();
    if (clone == nullptr) {
        VM_TRACE(g_bTraceTapi, "VM_RemoteDeleteMessage: record %d cannot be copied, it stays", recordId);
        return result;
    }
    if (!deleted->VM_Append(clone)) {
        clone->VM_Delete();
        return result;
    }
    if (!deleted->VM_Save()) {
        deleted->VM_Remove(clone, true);
        return result;
    }
    // The original (and its recording) goes only once its folder's list
    // is written without it: on a full disk the message stays where it was
    // and the copy leaves Deleted Messages again, so it is in one folder.
    const int index = source->VM_IndexOf(record);
    source->VM_RemoveAt(index, false);
    if (!source->VM_Save()) {
        source->VM_PutBack(index, record);
        deleted->VM_Remove(clone, true);
        deleted->VM_Save();
        VM_TRACE(g_bTraceTapi, "VM_RemoteDeleteMessage: folder %d could not be saved, record %d stays", folderId,
                 recordId);
        return result;
    }
    result.wasUnread = !(record->VM_GetFlags() & VM_CCallInfo::kFlagRead);
    record->VM_Delete();
    result.done = true;
    result.removedFromShown = source == shown;
    if (deleted == shown) result.addedToShown = clone;
    return result;
}

bool VM_EmptyDeletedMessages(const VM_CAppCfg& cfg, VM_CList* shown) {
    VM_CCallInfo prototype;
    std::unique_ptr<VM_CList> opened;
    VM_CList* deleted = FolderList(cfg, shown, &prototype, cfg.m_idDeleted, opened);
    if (deleted == nullptr || !deleted->VM_CanSave()) return false;
    deleted->VM_RemoveAll();
    return deleted->VM_Save();
}
