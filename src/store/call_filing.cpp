#include "store/call_filing.h"

#include <memory>

#include "diag/trace.h"
#include "store/app_config.h"
#include "store/entry_transfer.h"
#include "store/folder_commands.h"

int VM_GetDestinationFolder(const VM_CAppCfg& cfg, const VM_CCallInfo& record) {
    return (record.VM_GetFlags() & VM_CCallInfo::kFlagBulkCall) ? cfg.m_idBulkCall : cfg.m_idInbox;
}

VM_CCallInfo* VM_HandOverCallRecord(VM_CCallInfo*& record) {
    // The record goes on with its recording where it is: a copy of the file
    // under a new name would need the room of a second message on a full
    // disk, and a process dying during the copy would leave the message
    // twice, once in each file.
    VM_CCallInfo* handed = record;
    record = nullptr;
    return handed;
}

bool VM_FileCallRecord(const VM_CAppCfg& cfg, int folderId, VM_CCallInfo* record, VM_CList* shown,
                       int32_t* recordId) {
    if (record == nullptr) return false;
    VM_CCallInfo prototype;
    std::unique_ptr<VM_CList> opened;
    VM_CList* list = shown;
    if (shown == nullptr || shown->m_id != folderId) {
        opened = VM_OpenFolderList(cfg, VM_ETreeKind::kMessages, &prototype, folderId);
        list = opened.get();
        if (list == nullptr || !list->VM_CanSave() || !list->VM_Append(record) || !list->VM_Save()) {
            if (list != nullptr) list->VM_Remove(record, false);
            return false;
        }
        // The list, and the record with it, goes when this returns.
        if (recordId != nullptr) *recordId = record->m_id;
        return true;
    }
    if (!list->VM_Append(record)) return false;
    if (recordId != nullptr) *recordId = record->m_id;
    if (list->VM_CanSave() && list->VM_Save()) return true;
    list->VM_Remove(record, false);
    return false;
}

void VM_MarkMessageOpened(VM_CList& list, VM_CCallInfo& record, VM_CTree& tree) {
    record.VM_AddFlags(VM_CCallInfo::kFlagRead);
    if (list.VM_CanSave()) list.VM_Save();
    VM_SetFolderState(tree, list.m_id, VM_GetFolderState(list));
}
