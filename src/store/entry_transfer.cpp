#include "store/entry_transfer.h"

#include <algorithm>
#include <memory>
#include <optional>
#include <set>
#include <string>

#include "diag/trace.h"
#include "store/app_config.h"
#include "store/call_info.h"
#include "store/delete_journal.h"
#include "store/move_journal.h"

namespace {

std::vector<int> ValidPositions(const VM_CList& list, std::vector<int> positions) {
    std::sort(positions.begin(), positions.end());
    positions.erase(std::unique(positions.begin(), positions.end()), positions.end());
    std::erase_if(positions, [&](int p) { return list.VM_GetAt(p) == nullptr; });
    return positions;
}

bool SaveIfFileBacked(VM_CList& list) {
    if (!(list.m_dwFlags & VM_CList::kFileBacked)) return true;
    return list.VM_Save();
}

// Puts the target back as it was before the records were appended.
void UndoAppends(VM_CList& target, const std::vector<VM_CItem*>& items, const std::vector<int32_t>& oldIds,
                 int32_t oldNextId) {
    for (size_t i = 0; i < items.size(); ++i) {
        target.VM_Remove(items[i], false);
        items[i]->m_id = oldIds[i];
    }
    target.m_nextId = oldNextId;
}

std::unique_ptr<char[]> ListFileName(const VM_CAppCfg& cfg, VM_ETreeKind kind, int folderId) {
    return std::unique_ptr<char[]>(kind == VM_ETreeKind::kMessages ? cfg.VM_GetMessageListFileName(folderId)
                                                                   : cfg.VM_GetAddressListFileName(folderId));
}

}  // namespace

std::unique_ptr<VM_CList> VM_OpenFolderList(const VM_CAppCfg& cfg, VM_ETreeKind kind, const VM_CItem* prototype,
                                            int folderId) {
    std::unique_ptr<char[]> path = ListFileName(cfg, kind, folderId);
    if (!path) return nullptr;
    auto list = std::make_unique<VM_CList>(prototype, path.get(), VM_CList::kFileBacked);
    list->m_id = folderId;
    return list;
}

VM_STransferResult VM_MoveEntries(VM_CList& source, const std::vector<int>& positions, VM_CList& target,
                                  const VM_CAppCfg* cfg, VM_ETreeKind kind) {
    VM_STransferResult result;
    if (&source == &target || ((target.m_dwFlags & VM_CList::kFileBacked) && !target.VM_CanSave())) return result;
    std::vector<int> valid = ValidPositions(source, positions);
    std::vector<VM_CItem*> items;
    std::vector<int32_t> oldIds;
    int32_t oldNextId = target.m_nextId;
    VM_SFolderMove move{kind, source.m_id, target.m_id, {}};
    for (int p : valid) {
        VM_CItem* item = source.VM_GetAt(p);
        int32_t oldId = item->m_id;
        // Until the target is saved the entry stays owned by the source.
        if (!target.VM_Append(item)) break;
        items.push_back(item);
        oldIds.push_back(oldId);
        move.ids.emplace_back(oldId, item->m_id);
    }
    const bool journaled = cfg != nullptr && (source.m_dwFlags & target.m_dwFlags & VM_CList::kFileBacked);
    if (items.size() != valid.size() || (journaled && !VM_WriteMoveJournal(*cfg, move)) ||
        !SaveIfFileBacked(target)) {
        UndoAppends(target, items, oldIds, oldNextId);
        if (journaled) VM_RemoveMoveJournal(*cfg);
        VM_TRACE(g_bTraceTapi, "VM_MoveEntries: target not saved, %d entries stay", static_cast<int>(valid.size()));
        return result;
    }
    for (VM_CItem* item : items) source.VM_Remove(item, false);
    if (!SaveIfFileBacked(source)) {
        // The entries go back where they were and leave the target again;
        // should that save fail too, the journal ends the move at the next start.
        for (size_t i = 0; i < items.size(); ++i) source.VM_PutBack(valid[i], items[i]);
        UndoAppends(target, items, oldIds, oldNextId);
        if (SaveIfFileBacked(target) && journaled) VM_RemoveMoveJournal(*cfg);
        VM_TRACE(g_bTraceTapi, "VM_MoveEntries: source not saved, %d entries stay", static_cast<int>(valid.size()));
        return result;
    }
    if (journaled) VM_RemoveMoveJournal(*cfg);
    result.ok = true;
    result.count = static_cast<int>(items.size());
    result.firstRemoved = valid.empty() ? -1 : valid.front();
    return result;
}

VM_STransferResult VM_CopyEntries(const VM_CList& source, const std::vector<int>& positions, VM_CList& target) {
    VM_STransferResult result;
    if (&source == &target || ((target.m_dwFlags & VM_CList::kFileBacked) && !target.VM_CanSave())) return result;
    std::vector<VM_CItem*> clones;
    for (int p : ValidPositions(source, positions)) {
        VM_CItem* clone = source.VM_GetAt(p)->VM_Clone();
        if (clone == nullptr || !target.VM_Append(clone)) {
            if (clone != nullptr) clone->VM_Delete();
            result.failed.push_back(p);
            continue;
        }
        clones.push_back(clone);
    }
    if (!SaveIfFileBacked(target)) {
        // The copies' recordings go with them.
        for (VM_CItem* clone : clones) target.VM_Remove(clone, true);
        return result;
    }
    result.ok = true;
    result.count = static_cast<int>(clones.size());
    return result;
}

VM_STransferResult VM_MoveToFolder(const VM_CAppCfg& cfg, VM_ETreeKind kind, VM_CList& shown,
                                   const std::vector<int>& positions, int targetFolderId) {
    if (targetFolderId == shown.m_id) return {};
    std::unique_ptr<VM_CList> target = VM_OpenFolderList(cfg, kind, shown.VM_GetPrototype(), targetFolderId);
    if (!target) return {};
    return VM_MoveEntries(shown, positions, *target, &cfg, kind);
}

VM_STransferResult VM_CopyToFolder(const VM_CAppCfg& cfg, const VM_CList& shown, const std::vector<int>& positions,
                                   int targetFolderId) {
    if (targetFolderId == shown.m_id || targetFolderId == cfg.m_idDeleted) return {};
    std::unique_ptr<VM_CList> target =
        VM_OpenFolderList(cfg, VM_ETreeKind::kMessages, shown.VM_GetPrototype(), targetFolderId);
    if (!target) return {};
    return VM_CopyEntries(shown, positions, *target);
}

bool VM_DeleteSaved(const VM_CAppCfg& cfg, VM_ETreeKind kind, VM_CList& list, const std::vector<int>& positions) {
    // Deleting recordings from a list whose file cannot be rewritten would
    // leave the file naming recordings that are gone.
    if ((list.m_dwFlags & VM_CList::kFileBacked) && !list.VM_CanSave()) return false;
    const std::vector<int> valid = ValidPositions(list, positions);
    std::vector<VM_CItem*> taken;
    std::set<std::string> recordings;
    for (int p : valid) {
        taken.push_back(list.VM_GetAt(p));
        const auto wave = kind == VM_ETreeKind::kMessages
                              ? taken.back()->VM_GetAttrText(VM_CCallInfo::kAttrWaveFile)
                              : std::nullopt;
        if (wave && !wave->empty()) recordings.insert(wave->substr(wave->rfind('/') + 1));
    }
    const bool journaled = !recordings.empty() && (list.m_dwFlags & VM_CList::kFileBacked);
    if (journaled && !VM_WriteDeleteJournal(cfg, recordings)) return false;
    for (auto it = valid.rbegin(); it != valid.rend(); ++it) list.VM_RemoveAt(*it, false);
    if (!SaveIfFileBacked(list)) {
        for (size_t i = 0; i < taken.size(); ++i) list.VM_PutBack(valid[i], taken[i]);
        if (journaled) VM_RemoveDeleteJournal(cfg);
        VM_TRACE(g_bTraceTapi, "VM_DeleteSaved: list not saved, %d entries stay", static_cast<int>(taken.size()));
        return false;
    }
    for (VM_CItem* item : taken) item->VM_Delete();
    if (journaled) VM_RemoveDeleteJournal(cfg);
    return true;
}

VM_STransferResult VM_DeleteEntries(const VM_CAppCfg& cfg, VM_ETreeKind kind, VM_CList& shown,
                                    const std::vector<int>& positions) {
    if (kind == VM_ETreeKind::kMessages && shown.m_id != cfg.m_idDeleted)
        return VM_MoveToFolder(cfg, kind, shown, positions, cfg.m_idDeleted);
    VM_STransferResult result;
    const std::vector<int> valid = ValidPositions(shown, positions);
    if (!VM_DeleteSaved(cfg, kind, shown, valid)) return result;
    result.ok = true;
    result.count = static_cast<int>(valid.size());
    result.firstRemoved = valid.empty() ? -1 : valid.front();
    return result;
}
