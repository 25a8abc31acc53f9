// What the address list view shows: its columns, each cell's text and each
// column's sort key, and the hint shown while the list is empty. The view
// only draws.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "store/addr_entry.h"
#include "store/list.h"

enum class VM_EAddrColumn { kName, kPhone, kGreeting };

struct VM_SAddrColumn {
    VM_EAddrColumn kind;
    const char* title;
    int width;
};

extern const char* const VM_ADDR_LIST_EMPTY_HINT;

// "Name" 150, "Phone Number" 200, "Greeting" 200.
const std::vector<VM_SAddrColumn>& VM_GetAddrListColumns();

std::string VM_GetAddrCellText(VM_CAddrEntry& entry, VM_EAddrColumn column);
std::optional<std::string> VM_GetAddrSortKey(const VM_CAddrEntry& entry, VM_EAddrColumn column);

// Sort keys by column position.
class VM_CAddrListSort : public VM_ISortCbk {
public:
    std::optional<std::string> VM_GetSortKey(const VM_CItem& item, int column) override;
};
