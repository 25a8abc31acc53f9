// Moving, copying and deleting selected entries between folder lists.
//
// The target list is saved before the source list gives anything up, so a
// target that cannot be written (a full disk, a damaged file that must not
// be saved over) leaves every entry where it was; a source that cannot be
// written takes its entries back from the target. An entry is never in
// neither folder, and not in both for longer than the program lives: moves
// between folders' files are journaled (move_journal.h).
#pragma once

#include <memory>
#include <vector>

#include "store/folder_commands.h"
#include "store/list.h"

class VM_CAppCfg;

// With this many entries or more the view refills once instead of removing
// rows one by one.
constexpr int kRefillThreshold = 16;

struct VM_STransferResult {
    bool ok = false;
    int count = 0;          // entries moved or copied
    int firstRemoved = -1;  // smallest source position that was moved
    std::vector<int> failed;  // source positions not copied (to deselect)
    // The position to select in the source afterwards, or -1 when it is empty.
    int VM_SelectionAfter(int sourceCount) const {
        if (sourceCount <= 0 || firstRemoved < 0) return sourceCount > 0 ? 0 : -1;
        return firstRemoved < sourceCount ? firstRemoved : sourceCount - 1;
    }
};

// The positions are in any order; invalid ones are ignored. Entries keep
// their order and get new identifiers in the target. Both lists are saved
// when they are file-backed; with the configuration, as folders' files
// (their m_id) of that kind, under the move journal.
VM_STransferResult VM_MoveEntries(VM_CList& source, const std::vector<int>& positions, VM_CList& target,
                                  const VM_CAppCfg* cfg = nullptr, VM_ETreeKind kind = VM_ETreeKind::kMessages);
// Clones (each with its own copy of its recording) go to the target; an
// entry that cannot be cloned is listed in `failed`.
VM_STransferResult VM_CopyEntries(const VM_CList& source, const std::vector<int>& positions, VM_CList& target);

// A folder's list file opened as a file-backed list (loaded at once), or
// null when its path cannot be made.
std::unique_ptr<VM_CList> VM_OpenFolderList(const VM_CAppCfg& cfg, VM_ETreeKind kind, const VM_CItem* prototype,
                                            int folderId);

// The same into a folder's list file, which is opened for the purpose. The
// shown list's m_id is its folder.
VM_STransferResult VM_MoveToFolder(const VM_CAppCfg& cfg, VM_ETreeKind kind, VM_CList& shown,
                                   const std::vector<int>& positions, int targetFolderId);
VM_STransferResult VM_CopyToFolder(const VM_CAppCfg& cfg, const VM_CList& shown, const std::vector<int>& positions,
                                   int targetFolderId);

// Deletes the entries with their recordings or greetings: the list is saved
// first, and a message's recording goes only once its list no longer names
// it (delete_journal.h). False, with nothing deleted, when the list cannot
// be saved.
bool VM_DeleteSaved(const VM_CAppCfg& cfg, VM_ETreeKind kind, VM_CList& list, const std::vector<int>& positions);

// The Delete command: call records of any folder but "Deleted Messages" move
// there; in "Deleted Messages" and in address lists the entries are deleted
// with their recordings or greetings and the list is saved.
VM_STransferResult VM_DeleteEntries(const VM_CAppCfg& cfg, VM_ETreeKind kind, VM_CList& shown,
                                    const std::vector<int>& positions);
