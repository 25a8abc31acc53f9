// The call flow of several mailboxes (0 to 9) on one line: after the main
// greeting the caller picks a mailbox with one digit, hears its greeting and
// leaves a message filed under its number. Remote retrieval asks for the
// mailbox whose messages are to be played. A mailbox exists when its
// greeting file exists. The chosen mailbox is held in the mailbox filter.
#pragma once

#include "callflow/single_mailbox_ctrl.h"

class VM_CMultiMailboxCtrl : public VM_CSingleMailboxCtrl {
public:
    VM_CMultiMailboxCtrl(VM_CAppCfg* cfg, VM_CAddressBook* addressBook);
    ~VM_CMultiMailboxCtrl() override;

    bool VM_TestCondition(WORD guard) override;
    bool VM_OnEnterState(int& state, DWORD event, WPARAM param) override;
    DWORD VM_GetMessageEvent(UINT message, WPARAM wParam) override;
    bool VM_OnMainGreeting() override;
    bool VM_OnRecordingTone() override;
    bool VM_OnRetrievalStart() override;

    // Entering state 3: digit value 0..9 (anything else is invalid).
    virtual bool VM_OnMailboxDigit(int digit);
    virtual bool VM_OnMailboxGreeting();
    virtual bool VM_OnMailboxPrompt();
    // Entering state 33.
    virtual bool VM_OnRetrievalMailbox(int digit);
    // Entering state 60.
    virtual bool VM_OnMailboxMenu();
};
