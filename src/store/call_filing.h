// A finished call's record on its way into the call log, and a message
// being opened.
#pragma once

#include "store/call_info.h"
#include "store/list.h"
#include "store/tree.h"

class VM_CAppCfg;

// The folder a finished call goes to: "Bulk Call" when the caller's entry
// asks for it (flag 0x20), else "Inbox".
int VM_GetDestinationFolder(const VM_CAppCfg& cfg, const VM_CCallInfo& record);

// The call's record handed to the main window, taking its recording, a
// permanent message file in Voice from its start, along where it is;
// `record` is null afterwards.
VM_CCallInfo* VM_HandOverCallRecord(VM_CCallInfo*& record);

// Appends a new record to its folder: to the shown list when it is that
// folder's, else to the folder's list file. The list is saved. Takes
// ownership and returns true when the record is stored; false, leaving the
// record with the caller, when the folder's file cannot be saved (damaged,
// or the disk is full). recordId, when given, gets the record's identifier
// in the folder's list.
bool VM_FileCallRecord(const VM_CAppCfg& cfg, int folderId, VM_CCallInfo* record, VM_CList* shown,
                       int32_t* recordId = nullptr);

// After the detail dialog, OK or Cancel: the read flag is set, the list
// saved and the folder's bold state recomputed (the tree saves itself when
// it has a file).
void VM_MarkMessageOpened(VM_CList& list, VM_CCallInfo& record, VM_CTree& tree);
