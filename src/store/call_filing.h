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

// The copy of the call's record that is handed to the main window, with its
// own permanent copy of the recording; the call's own record is then
// deleted with its temporary recording. When the copy cannot be made (a
// full disk) the original itself is handed over, so the call and its
// message are not lost; `record` is then null and nothing is deleted.
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
