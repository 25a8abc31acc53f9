// The messages remote retrieval walks through: a private snapshot of the
// Inbox folder's call log, newest first. The snapshot never writes the list
// file; deleting a message for real is the main thread's work (0x8013), so
// the main thread may change the Inbox while a caller listens.
#pragma once

#include "store/call_info.h"
#include "store/list.h"

class VM_CAppCfg;

// Mailbox filter that takes every message.
constexpr int VM_MAILBOX_ANY = -2;

class VM_CCallRtrController {
public:
    // Loads the Inbox list file of the configuration (a missing file, or no
    // Config folder, gives an empty list) and sorts it by the record time,
    // newest first.
    explicit VM_CCallRtrController(VM_CAppCfg* cfg);
    virtual ~VM_CCallRtrController();
    VM_CCallRtrController(const VM_CCallRtrController&) = delete;
    VM_CCallRtrController& operator=(const VM_CCallRtrController&) = delete;

    // False when the list could not be made (out of memory).
    bool VM_IsReady() const { return m_pList != nullptr; }
    int VM_GetCount() const { return m_pList != nullptr ? m_pList->VM_GetCount() : 0; }

    // The first message of the mailbox (any with VM_MAILBOX_ANY) at or after
    // pos, which then holds its index; null, pos unchanged, when none.
    VM_CCallInfo* VM_FindFirst(int& pos, int mailbox);
    // The same, starting after pos (the next older message).
    VM_CCallInfo* VM_FindNext(int& pos, int mailbox);
    // The same backwards, starting before pos (the next newer message).
    VM_CCallInfo* VM_FindPrevious(int& pos, int mailbox);
    // Forgets the message at pos (its WAVE file and the list file stay);
    // false when there is none.
    bool VM_Remove(int pos);

private:
    VM_CCallInfo* VM_Matching(int index, int mailbox) const;

    VM_CCallInfo* m_pPrototype = nullptr;
    VM_CList* m_pList = nullptr;
    VM_CAppCfg* m_pCfg;
};
