#include "store/call_log_model.h"

#include "store/app_config.h"
#include "store/entry_transfer.h"

bool VM_CCallLogModel::VM_OpenFolder(int folderId) {
    if (m_list && m_list->m_id == folderId) return true;
    std::unique_ptr<VM_CList> list = VM_OpenFolderList(m_cfg, VM_ETreeKind::kMessages, &m_prototype, folderId);
    if (!list) return false;
    m_list = std::move(list);
    VM_ApplyStoredSort();
    return true;
}

std::vector<VM_SCallColumn> VM_CCallLogModel::VM_GetColumns() const { return VM_GetCallLogColumns(m_cfg.m_dwFlags); }

VM_CCallInfo* VM_CCallLogModel::VM_GetRecord(int row) const {
    return m_list ? static_cast<VM_CCallInfo*>(m_list->VM_GetAt(row)) : nullptr;
}

std::string VM_CCallLogModel::VM_GetCellText(int row, int column) const {
    VM_CCallInfo* record = VM_GetRecord(row);
    std::vector<VM_SCallColumn> columns = VM_GetColumns();
    if (record == nullptr || column < 0 || column >= static_cast<int>(columns.size())) return std::string();
    return VM_GetCallCellText(*record, columns[static_cast<size_t>(column)].kind);
}

bool VM_CCallLogModel::VM_IsRowBold(int row) const {
    VM_CCallInfo* record = VM_GetRecord(row);
    return record != nullptr && VM_IsDrawnBold(*record);
}

void VM_CCallLogModel::VM_Sort() {
    if (!m_list || m_sort.column < 0) return;
    VM_CCallLogSort keys(m_cfg.m_dwFlags);
    m_list->VM_Sort(m_sort.column, m_sort.order, &keys);
}

void VM_CCallLogModel::VM_OnHeaderClick(int column) {
    m_sort.VM_OnHeaderClick(column);
    VM_Sort();
}

void VM_CCallLogModel::VM_SortCommand(VM_ECallColumn kind) {
    std::vector<VM_SCallColumn> columns = VM_GetColumns();
    for (size_t i = 0; i < columns.size(); ++i) {
        if (columns[i].kind != kind) continue;
        VM_OnHeaderClick(static_cast<int>(i));
        m_cfg.m_nCallSortColumn = static_cast<uint8_t>(m_sort.column);
        m_cfg.m_nCallSortOrder = static_cast<uint8_t>(m_sort.order);
        m_cfg.VM_Save();
        return;
    }
}

void VM_CCallLogModel::VM_ApplyStoredSort() {
    int order = m_cfg.m_nCallSortOrder;
    m_sort.column = m_cfg.m_nCallSortColumn;
    m_sort.order = order == kSortDescending ? kSortDescending : kSortAscending;
    VM_Sort();
}
