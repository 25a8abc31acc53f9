// The "Deleted Messages" folder's own rules: deleting a message remotely
// (from a call's remote retrieval) and emptying the folder on exit.
#pragma once

#include <cstdint>

#include "store/call_info.h"
#include "store/list.h"

class VM_CAppCfg;

struct VM_SRemoteDeleteResult {
    bool done = false;
    bool removedFromShown = false;        // the record left the shown list
    VM_CItem* addedToShown = nullptr;     // the record now in the shown list
    bool wasUnread = false;               // "Deleted Messages" becomes bold
};

// Request 0x8013: the record `recordId` of folder `folderId` moves to
// "Deleted Messages" with its recording. `shown` is the list on screen (its
// m_id is its folder), or null. When the record is not found, or a list
// cannot be saved, the message stays where it is.
VM_SRemoteDeleteResult VM_RemoteDeleteMessage(const VM_CAppCfg& cfg, int folderId, int32_t recordId,
                                              VM_CList* shown);

// Deletes every record of "Deleted Messages" with its recording: through the
// shown list when that folder is on screen, else through its file, which an
// empty list deletes. A damaged file is left alone. True when emptied.
bool VM_EmptyDeletedMessages(const VM_CAppCfg& cfg, VM_CList* shown);
