#include "store/read_state_sort.h"

#include "store/call_info.h"

std::optional<std::string> VM_CReadStateSort::VM_GetSortKey(const VM_CItem& item, int /*column*/) {
    const auto* record = dynamic_cast<const VM_CCallInfo*>(&item);
    if (record == nullptr) return std::nullopt;
    return std::string(record->VM_IsRead() ? "1" : "0");
}

void VM_SortByReadState(VM_CList& list, int order) {
    VM_CReadStateSort keys;
    list.VM_Sort(0, order, &keys);
}
