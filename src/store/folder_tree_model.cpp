#include "store/folder_tree_model.h"

#include <bitset>

#include "store/app_config.h"

namespace {

void AddRows(const VM_CTree& tree, VM_CNode* node, int depth, std::bitset<VM_CTree::kMaxId + 1>& seen,
             std::vector<VM_STreeRow>& rows) {
    auto* item = dynamic_cast<VM_CTreeItem*>(node);
    if (item == nullptr || seen[static_cast<size_t>(node->m_id)]) return;
    seen.set(static_cast<size_t>(node->m_id));
    rows.push_back({item, depth});
    for (VM_CNode* child : tree.VM_GetChildren(node)) AddRows(tree, child, depth + 1, seen, rows);
}

bool SaveIfFiled(VM_CTree& tree) { return tree.VM_GetFile() == nullptr || tree.VM_Save(); }

}  // namespace

std::vector<VM_STreeRow> VM_GetTreeRows(const VM_CTree& tree) {
    std::vector<VM_STreeRow> rows;
    std::bitset<VM_CTree::kMaxId + 1> seen;
    if (VM_CNode* root = tree.VM_Find(0)) AddRows(tree, root, 0, seen, rows);
    return rows;
}

bool VM_AddDefaultFolders(VM_CTree& tree, VM_ETreeKind kind, VM_CAppCfg& cfg) {
    if (tree.VM_GetCount() != 0) return false;
    bool messages = kind == VM_ETreeKind::kMessages;
    auto* root = new VM_CTreeItem(messages ? "Phone Calls" : "Address Book", 0, 0);
    tree.VM_Insert(nullptr, root);
    if (messages) {
        auto* inbox = new VM_CTreeItem("Inbox", 1, 1);
        auto* deleted = new VM_CTreeItem("Deleted Messages", 2, 2);
        auto* bulk = new VM_CTreeItem("Bulk Call", 3, 4);
        tree.VM_Insert(root, inbox);
        tree.VM_Insert(root, deleted);
        tree.VM_Insert(root, bulk);
        cfg.m_idInbox = static_cast<uint8_t>(inbox->m_id);
        cfg.m_idDeleted = static_cast<uint8_t>(deleted->m_id);
        cfg.m_idBulkCall = static_cast<uint8_t>(bulk->m_id);
        cfg.VM_Save();
    } else {
        for (const char* name : {"My Friends", "My Relatives", "My Colleagues", "My Business Partners"})
            tree.VM_Insert(root, new VM_CTreeItem(name, 3, 4));
    }
    SaveIfFiled(tree);
    return true;
}

VM_CTreeItem* VM_NewFolder(VM_CTree& tree, VM_CNode* parent) {
    auto* folder = new VM_CTreeItem("New Folder", 3, 4);
    if (!tree.VM_Insert(parent, folder)) {
        delete folder;
        return nullptr;
    }
    SaveIfFiled(tree);
    return folder;
}

bool VM_RenameFolder(VM_CTree& tree, VM_CNode* folder, const char* name) {
    if (!tree.VM_Contains(folder) || name == nullptr || name[0] == '\0') return false;
    folder->m_szName = name;
    tree.VM_MarkChanged();
    SaveIfFiled(tree);
    return true;
}

bool VM_DeleteFolder(VM_CTree& tree, VM_CNode* folder) {
    if (!tree.VM_RemoveNode(folder)) return false;
    SaveIfFiled(tree);
    return true;
}

bool VM_IsSelectableTarget(const VM_CAppCfg& cfg, VM_ETreeKind kind, const VM_CNode* folder, bool forCopy) {
    if (folder == nullptr) return false;
    if (kind == VM_ETreeKind::kMessages && folder->m_id == 0) return false;
    return !(forCopy && folder->m_id == cfg.m_idDeleted);
}

bool VM_IsDropTarget(VM_ETreeKind kind, const VM_CNode* folder, int shownFolderId) {
    if (folder == nullptr || folder->m_id == shownFolderId) return false;
    return kind != VM_ETreeKind::kMessages || folder->m_id != 0;
}
