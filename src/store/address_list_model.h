// The data behind the address list view: the list of the address folder
// shown, its cells, the hint while it is empty, and sorting by header clicks
// and by the sort commands (which the configuration remembers).
#pragma once

#include <memory>
#include <string>

#include "store/addr_entry.h"
#include "store/address_list_columns.h"
#include "store/list.h"
#include "store/sort_state.h"

class VM_CAppCfg;

class VM_CAddrListModel {
public:
    explicit VM_CAddrListModel(VM_CAppCfg& cfg) : m_cfg(cfg) {}

    // Shows the folder's list file; nothing happens when it is shown already.
    // False when the folder's path cannot be made.
    bool VM_OpenFolder(int folderId);
    VM_CList* VM_GetList() const { return m_list.get(); }
    int VM_GetFolderId() const { return m_list ? m_list->m_id : -1; }
    // Closes the list shown (saving it when changed).
    void VM_Close() { m_list.reset(); }

    int VM_GetRowCount() const { return m_list ? m_list->VM_GetCount() : 0; }
    VM_CAddrEntry* VM_GetEntry(int row) const;
    std::string VM_GetCellText(int row, int column) const;
    // The hint the view shows over an empty list, or null.
    const char* VM_GetEmptyHint() const { return VM_GetRowCount() == 0 ? VM_ADDR_LIST_EMPTY_HINT : nullptr; }

    void VM_OnHeaderClick(int column);
    // A sort command of the main window: as a header click on that column,
    // remembered in the configuration, which is saved.
    void VM_SortCommand(VM_EAddrColumn kind);
    // Whenever a list is opened: the remembered sort.
    void VM_ApplyStoredSort();
    const VM_SSortState& VM_GetSortState() const { return m_sort; }

private:
    void VM_Sort();

    VM_CAppCfg& m_cfg;
    VM_CAddrEntry m_prototype;
    std::unique_ptr<VM_CList> m_list;
    VM_SSortState m_sort;
};
