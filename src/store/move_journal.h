// Moving records from one folder to another writes two list files: the
// target's with the records, then the source's without them. A kill or a
// power loss between the two would leave each record in both folders,
// sharing one recording that a delete in either would take from the other.
// So the move is written down first ("Move.Jnl" in the Config folder) and
// taken off once the source is saved; the next start finishes a move the
// program did not live to finish.
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include "store/folder_commands.h"

class VM_CAppCfg;

struct VM_SFolderMove {
    VM_ETreeKind kind = VM_ETreeKind::kMessages;
    int source = -1;  // folder identifiers
    int target = -1;
    std::vector<std::pair<int32_t, int32_t>> ids;  // a record's identifier in the source, then in the target
};

// Before the target is saved. False when it could not be written (a full
// disk): the move must then not be made.
bool VM_WriteMoveJournal(const VM_CAppCfg& cfg, const VM_SFolderMove& move);
// Once the source is saved without the records, or the move is undone.
void VM_RemoveMoveJournal(const VM_CAppCfg& cfg);

// At start, before anything else writes the lists: the records the target
// holds leave the source (their recordings stay, the target names them).
// A source that cannot be saved keeps the journal for the next start.
void VM_FinishInterruptedMove(const VM_CAppCfg& cfg);
