#include "store/address_list_model.h"

#include <vector>

#include "store/app_config.h"
#include "store/entry_transfer.h"

bool VM_CAddrListModel::VM_OpenFolder(int folderId) {
    if (m_list && m_list->m_id == folderId) return true;
    std::unique_ptr<VM_CList> list = VM_OpenFolderList(m_cfg, VM_ETreeKind::kAddresses, &m_prototype, folderId);
    if (!list) return false;
    m_list = std::move(list);
    VM_ApplyStoredSort();
    return true;
}

VM_CAddrEntry* VM_CAddrListModel::VM_GetEntry(int row) const {
    return m_list ? static_cast<VM_CAddrEntry*>(m_list->VM_GetAt(row)) : nullptr;
}

std::string VM_CAddrListModel::VM_GetCellText(int row, int column) const {
    VM_CAddrEntry* entry = VM_GetEntry(row);
    const std::vector<VM_SAddrColumn>& columns = VM_GetAddrListColumns();
    if (entry == nullptr || column < 0 || column >= static_cast<int>(columns.size())) return std::string();
    return VM_GetAddrCellText(*entry, columns[static_cast<size_t>(column)].kind);
}

void VM_CAddrListModel::VM_Sort() {
    if (!m_list || m_sort.column < 0) return;
    VM_CAddrListSort keys;
    m_list->VM_Sort(m_sort.column, m_sort.order, &keys);
}

void VM_CAddrListModel::VM_OnHeaderClick(int column) {
    m_sort.VM_OnHeaderClick(column);
    VM_Sort();
}

void VM_CAddrListModel::VM_SortCommand(VM_EAddrColumn kind) {
    VM_OnHeaderClick(static_cast<int>(kind));
    m_cfg.m_nAddrSortColumn = static_cast<uint8_t>(m_sort.column);
    m_cfg.m_nAddrSortOrder = static_cast<uint8_t>(m_sort.order);
    m_cfg.VM_Save();
}

void VM_CAddrListModel::VM_ApplyStoredSort() {
    m_sort.column = m_cfg.m_nAddrSortColumn < VM_GetAddrListColumns().size() ? m_cfg.m_nAddrSortColumn : 0;
    m_sort.order = m_cfg.m_nAddrSortOrder == kSortDescending ? kSortDescending : kSortAscending;
    VM_Sort();
}
