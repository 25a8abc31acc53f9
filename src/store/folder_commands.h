// Which folder commands the selected folder allows, and the bold state of
// message folders.
#pragma once

#include <cstdint>

#include "store/list.h"
#include "store/tree.h"

class VM_CAppCfg;

enum class VM_ETreeKind { kMessages, kAddresses };

struct VM_SFolderCommands {
    bool newFolder = false;
    bool rename = false;
    bool deleteFolder = false;
};

// treeOfShownPage: the selected folder belongs to the tree of the page
// shown; shownRecords: the number of records in the folder's list (the one
// shown). Nothing is offered while the folder-tree pane is hidden.
VM_SFolderCommands VM_GetFolderCommands(const VM_CAppCfg& cfg, VM_ETreeKind kind, const VM_CTree& tree,
                                        const VM_CNode* selected, bool treeOfShownPage, int shownRecords);

// Bold (2) when the list holds a record without the read flag, else normal (1).
int32_t VM_GetFolderState(const VM_CList& list);
// The same for a folder whose list is not shown, read from its file.
int32_t VM_GetFolderStateFromFile(const VM_CAppCfg& cfg, int folderId);
// Sets the folder's state; true when it changed (the tree is then marked
// changed and saved when it has a file).
bool VM_SetFolderState(VM_CTree& tree, int folderId, int32_t state);
