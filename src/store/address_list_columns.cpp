#include "store/address_list_columns.h"

const char* const VM_ADDR_LIST_EMPTY_HINT =
    "Tip: To quickly add a new address entry, please right-click on this window to bring up short cut menu and "
    "then select New menu item.";

const std::vector<VM_SAddrColumn>& VM_GetAddrListColumns() {
    static const std::vector<VM_SAddrColumn> columns = {
        {VM_EAddrColumn::kName, "Name", 150},
        {VM_EAddrColumn::kPhone, "Phone Number", 200},
        {VM_EAddrColumn::kGreeting, "Greeting", 200},
    };
    return columns;
}

std::string VM_GetAddrCellText(VM_CAddrEntry& entry, VM_EAddrColumn column) {
    if (column == VM_EAddrColumn::kGreeting) return entry.VM_GetGreetingText();
    return VM_GetAddrSortKey(entry, column).value_or("");
}

std::optional<std::string> VM_GetAddrSortKey(const VM_CAddrEntry& entry, VM_EAddrColumn column) {
    switch (column) {
        case VM_EAddrColumn::kName: return entry.VM_GetAttrText(VM_CAddrEntry::kAttrName);
        case VM_EAddrColumn::kPhone: return entry.VM_GetDisplayPhone();
        case VM_EAddrColumn::kGreeting: return std::string(entry.VM_PeekGreetingText());
    }
    return std::nullopt;
}

std::optional<std::string> VM_CAddrListSort::VM_GetSortKey(const VM_CItem& item, int column) {
    const std::vector<VM_SAddrColumn>& columns = VM_GetAddrListColumns();
    if (column < 0 || column >= static_cast<int>(columns.size())) return std::nullopt;
    return VM_GetAddrSortKey(static_cast<const VM_CAddrEntry&>(item), columns[column].kind);
}
