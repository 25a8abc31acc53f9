// The main window's commands that make address-book entries: a new entry,
// and adding or blocking the caller of the selected call.
#include "app/views/command_table.h"
#include "app/views/entry_list_view.h"
#include "app/views/folder_tree_view.h"
#include "app/views/main_views.h"
#include "store/entry_transfer.h"

int VM_CMainViews::VM_CmdNewAddress() {
    if (m_page != Page::kAddresses || m_addrList.VM_GetList() == nullptr || !m_hooks.editAddress) return 0;
    auto entry = std::make_unique<VM_CAddrEntry>();
    if (!m_hooks.editAddress(*entry, m_addrList.VM_GetFolderId(), "New")) return 0;
    return VM_FileAddressEntry(entry.release(), m_addrList.VM_GetFolderId()) ? 1 : 0;
}

int VM_CMainViews::VM_CmdAddCaller(bool block) {
    if (m_page != Page::kMessages || !m_hooks.editAddress) return 0;
    const VM_CCallInfo* record = m_callLog.VM_GetRecord(VM_GetListView(Page::kMessages)->VM_GetFirstSelected());
    if (record == nullptr) return 0;
    auto entry = std::make_unique<VM_CAddrEntry>();
    entry->VM_AddFlags(VM_CAddrEntry::kFlagNotify);
    entry->VM_SetAttr(VM_CAddrEntry::kAttrName, record->VM_GetAttr(VM_CCallInfo::kAttrName));
    entry->VM_SetAttr(VM_CAddrEntry::kAttrOffice, record->VM_GetAttr(VM_CCallInfo::kAttrNumber));
    if (block) {
        entry->VM_ClearFlags(VM_CAddrEntry::kFlagNotify);
        entry->VM_AddFlags(VM_CAddrEntry::kFlagBlockTone | VM_CAddrEntry::kFlagBulkCall);
    }
    const int current = VM_GetTreeView(Page::kAddresses)->VM_GetSelectedFolder();
    for (;;) {
        if (!m_hooks.editAddress(*entry, current, "New")) return 0;
        const int folder = m_hooks.chooseAddressFolder ? m_hooks.chooseAddressFolder(current) : current;
        if (folder == -2) continue;  // "<< Back" to the entry dialog
        if (folder < 0) return 0;
        return VM_FileAddressEntry(entry.release(), folder) ? 1 : 0;
    }
}

bool VM_CMainViews::VM_FileAddressEntry(VM_CAddrEntry* entry, int folderId) {
    std::unique_ptr<VM_CAddrEntry> owned(entry);
    VM_CList* shown = m_addrList.VM_GetList();
    if (shown != nullptr && shown->m_id == folderId) {
        if (!shown->VM_Append(owned.get())) return false;
        owned.release();
        const bool saved = shown->VM_Save();
        VM_FillList(Page::kAddresses);
        VM_GetListView(Page::kAddresses)->VM_SelectOnly(shown->VM_GetCount() - 1);
        return saved;
    }
    const VM_CAddrEntry prototype;
    std::unique_ptr<VM_CList> list = VM_OpenFolderList(m_cfg, VM_ETreeKind::kAddresses, &prototype, folderId);
    if (!list || !list->VM_Append(owned.get())) return false;
    owned.release();
    return list->VM_Save();
}
