// Sorting the call log by whether each message has been opened: new
// messages first in ascending order, last in descending order; within each
// group the list keeps its order.
#pragma once

#include "store/list.h"

class VM_CReadStateSort : public VM_ISortCbk {
public:
    std::optional<std::string> VM_GetSortKey(const VM_CItem& item, int column) override;
};

// order: kSortAscending or kSortDescending.
void VM_SortByReadState(VM_CList& list, int order);
