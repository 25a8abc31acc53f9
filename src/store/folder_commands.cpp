#include "store/folder_commands.h"

#include <memory>

#include "store/app_config.h"
#include "store/call_info.h"

VM_SFolderCommands VM_GetFolderCommands(const VM_CAppCfg& cfg, VM_ETreeKind kind, const VM_CTree& tree,
                                        const VM_CNode* selected, bool treeOfShownPage, int shownRecords) {
    VM_SFolderCommands commands;
    if (!cfg.VM_IsFlag(VM_FLAG_FOLDER_TREE) || !treeOfShownPage || !tree.VM_Contains(selected)) return commands;
    int32_t id = selected->m_id;
    if (kind == VM_ETreeKind::kMessages) {
        if (id == cfg.m_idDeleted || id == cfg.m_idBulkCall) return commands;
        if (id == 0 || id == cfg.m_idInbox) {
            commands.newFolder = true;
            return commands;
        }
    } else if (id == 0) {
        commands.newFolder = true;
        return commands;
    }
    commands.newFolder = true;
    commands.rename = true;
    commands.deleteFolder = selected->m_idFirstChild == -1 && shownRecords == 0;
    return commands;
}

int32_t VM_GetFolderState(const VM_CList& list) {
    for (int i = 0; i < list.VM_GetCount(); ++i)
        if (!(list.VM_GetAt(i)->VM_GetFlags() & VM_CCallInfo::kFlagRead)) return VM_CTreeItem::kStateBold;
    return VM_CTreeItem::kStateNormal;
}

int32_t VM_GetFolderStateFromFile(const VM_CAppCfg& cfg, int folderId) {
    std::unique_ptr<char[]> path(cfg.VM_GetMessageListFileName(folderId));
    if (!path) return VM_CTreeItem::kStateNormal;
    VM_CCallInfo prototype;
    VM_CList list(&prototype, path.get(), 0);
    return VM_GetFolderState(list);
}

bool VM_SetFolderState(VM_CTree& tree, int folderId, int32_t state) {
    auto* item = dynamic_cast<VM_CTreeItem*>(tree.VM_Find(folderId));
    if (item == nullptr || item->m_nState == state) return false;
    item->m_nState = state;
    tree.VM_MarkChanged();
    if (tree.VM_GetFile() != nullptr) tree.VM_Save();
    return true;
}
