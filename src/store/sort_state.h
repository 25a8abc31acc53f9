// The sort column and order of a list view, changed by header clicks: a
// click sorts by that column in the current order (ascending when none was
// chosen yet); a click on the column already sorted reverses the order.
#pragma once

#include "store/list.h"

struct VM_SSortState {
    int column = -1;  // -1: not sorted yet
    int order = 0;    // 0 none yet, kSortAscending, kSortDescending

    void VM_OnHeaderClick(int clicked) {
        if (order == 0) {
            order = kSortAscending;
        } else if (clicked == column) {
            order = order == kSortAscending ? kSortDescending : kSortAscending;
        }
        column = clicked;
    }
};
