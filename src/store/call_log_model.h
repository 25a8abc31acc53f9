// The data behind the call-log list view: the list of the folder shown,
// its columns, each cell's text, which rows are bold, and sorting by header
// clicks and by the sort commands (which the configuration remembers).
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "store/call_info.h"
#include "store/call_log_columns.h"
#include "store/list.h"
#include "store/sort_state.h"

class VM_CAppCfg;

class VM_CCallLogModel {
public:
    explicit VM_CCallLogModel(VM_CAppCfg& cfg) : m_cfg(cfg) {}

    // Shows the folder's list file; nothing happens when it is shown already.
    // False when the folder's path cannot be made.
    bool VM_OpenFolder(int folderId);
    VM_CList* VM_GetList() const { return m_list.get(); }
    int VM_GetFolderId() const { return m_list ? m_list->m_id : -1; }
    // Closes the list shown (saving it when changed).
    void VM_Close() { m_list.reset(); }

    std::vector<VM_SCallColumn> VM_GetColumns() const;
    int VM_GetRowCount() const { return m_list ? m_list->VM_GetCount() : 0; }
    VM_CCallInfo* VM_GetRecord(int row) const;
    std::string VM_GetCellText(int row, int column) const;
    bool VM_IsRowBold(int row) const;

    // A header click: that column in the current order, or the order
    // reversed when it is the column already sorted.
    void VM_OnHeaderClick(int column);
    // A sort command of the main window: as a header click on the column
    // of that kind (nothing when it is not present), remembered in the
    // configuration, which is saved.
    void VM_SortCommand(VM_ECallColumn kind);
    // At start-up and whenever a list is opened: the remembered sort.
    void VM_ApplyStoredSort();
    const VM_SSortState& VM_GetSortState() const { return m_sort; }

private:
    void VM_Sort();

    VM_CAppCfg& m_cfg;
    VM_CCallInfo m_prototype;
    std::unique_ptr<VM_CList> m_list;
    VM_SSortState m_sort;
};
