// The call in progress, kept on disk from its answer until its record is
// filed, so that a message the program did not live to file is filed at
// the next start with what was known of the call: who called, when, to
// which mailbox. One small file per call, "Call%04x.Jnl" in the Voice
// folder, holding the call's record as a call log holds it; every write
// replaces it whole and reaches the disk before it returns.
#pragma once

#include <ctime>
#include <memory>
#include <string>
#include <vector>

#include "store/call_info.h"

class VM_CAppCfg;

// Writes the record's journal, the first time under a new name, which the
// record then carries. False when it could not be written (a full disk):
// the call goes on, only without its journal.
bool VM_WriteCallJournal(const VM_CAppCfg& cfg, VM_CCallInfo& record);
// Once the record is filed, or when the call is not to be filed at all.
void VM_RemoveCallJournal(VM_CCallInfo& record);

struct VM_SCallJournal {
    std::string path;
    std::unique_ptr<VM_CCallInfo> record;  // null when the file held none
    std::time_t written = 0;
};

// Every journal in the program folder, oldest first.
std::vector<VM_SCallJournal> VM_ReadCallJournals(const VM_CAppCfg& cfg);
