// What the folder-tree view shows and the folder edits it makes, so the view
// only draws: the rows in display order, the default folders, new, rename
// and delete folder, and which folders a move, copy or drop may target.
#pragma once

#include <vector>

#include "store/folder_commands.h"
#include "store/tree.h"

class VM_CAppCfg;

struct VM_STreeRow {
    VM_CTreeItem* item;
    int depth;  // 0 for the root
};

// From the root, each folder followed by its subfolders in sibling order;
// a folder is listed once even when damaged links name it twice.
std::vector<VM_STreeRow> VM_GetTreeRows(const VM_CTree& tree);

// Fills an empty tree with the default folders ("Phone Calls" with
// "Inbox", "Deleted Messages", "Bulk Call"; or "Address Book" with the four
// "My ..." folders) and saves it. For the message tree the identifiers of
// the three folders are stored in the configuration, which is saved. False
// when the tree was not empty.
bool VM_AddDefaultFolders(VM_CTree& tree, VM_ETreeKind kind, VM_CAppCfg& cfg);

// Inserts "New Folder" (images 3 and 4) as the parent's last child and saves
// the tree; null, with nothing inserted, when the tree is full.
VM_CTreeItem* VM_NewFolder(VM_CTree& tree, VM_CNode* parent);
// Stores a non-empty name and saves; false for an empty one (the edit goes
// on).
bool VM_RenameFolder(VM_CTree& tree, VM_CNode* folder, const char* name);
// Only a folder of the tree without subfolders; the tree is saved.
bool VM_DeleteFolder(VM_CTree& tree, VM_CNode* folder);

// The folder dialog of Move and Copy: the message root is never a target,
// and Copy does not offer "Deleted Messages".
bool VM_IsSelectableTarget(const VM_CAppCfg& cfg, VM_ETreeKind kind, const VM_CNode* folder, bool forCopy);
// Dropping entries: never the folder being shown, nor the message root
// (the address-book root holds entries like any other folder).
bool VM_IsDropTarget(VM_ETreeKind kind, const VM_CNode* folder, int shownFolderId);
