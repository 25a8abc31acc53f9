// Transition tables written as rows of entries and flattened at compile time
// into the 19-value rows the state machine reads.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "callflow/state_machine.h"
#include "platform/win32/types.h"

// The state whose entry ends the run.
constexpr int SM_END = -1;

struct VM_SFlowEntry {
    DWORD mask = 0;  // 0: an empty entry, which never matches
    WORD guard = 0;
    WORD action = 0;
    int next = SM_STAY;
};

struct VM_SFlowRow {
    int state = 0;
    std::array<VM_SFlowEntry, 6> entries{};
};

template <std::size_t N>
constexpr std::array<std::int32_t, N * SM_ROW_SIZE> VM_FlattenFlowTable(const std::array<VM_SFlowRow, N>& rows) {
    std::array<std::int32_t, N * SM_ROW_SIZE> out{};
    for (std::size_t r = 0; r < N; ++r) {
        std::int32_t* row = out.data() + r * SM_ROW_SIZE;
        row[0] = rows[r].state;
        for (std::size_t k = 0; k < 6; ++k) {
            const VM_SFlowEntry& e = rows[r].entries[k];
            row[1 + 3 * k] = static_cast<std::int32_t>(e.mask);
            row[2 + 3 * k] = e.mask == 0 ? 0 : static_cast<std::int32_t>((DWORD{e.guard} << 16) | e.action);
            row[3 + 3 * k] = e.mask == 0 ? SM_STAY : e.next;
        }
    }
    return out;
}

// The call flows' tables.
constexpr int VM_SINGLE_MAILBOX_STATES = 26;
constexpr int VM_MULTI_MAILBOX_STATES = 30;
extern const std::array<std::int32_t, VM_SINGLE_MAILBOX_STATES * SM_ROW_SIZE> g_singleMailboxTable;
extern const std::array<std::int32_t, VM_MULTI_MAILBOX_STATES * SM_ROW_SIZE> g_multiMailboxTable;

// Guards of the tables.
constexpr WORD VM_GUARD_RETRIEVAL_NOT_BLOCKED = 1;  // single: RN; multi: R
constexpr WORD VM_GUARD_RETRIEVAL = 4;              // multi: R
constexpr WORD VM_GUARD_NOT_BLOCKED = 5;            // multi: N
constexpr WORD VM_GUARD_RETRIEVAL_AND_NOT_BLOCKED = 6;  // multi: RN
