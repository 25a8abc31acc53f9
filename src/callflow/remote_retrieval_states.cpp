// Entry operations of the remote-retrieval states (10 to 81) of the call
// flows, and the release of the retrieval controller.
#include "callflow/single_mailbox_ctrl.h"

void VM_ReleaseCallRtrController(VM_CCallRtrController* controller) {
    // Nothing creates one yet.
    (void)controller;
}

// Until retrieval is built, entering it ends the call.
bool VM_CSingleMailboxCtrl::VM_OnRetrievalMenu() { return false; }
bool VM_CSingleMailboxCtrl::VM_OnDefaultPassword(int /*state*/) { return false; }
bool VM_CSingleMailboxCtrl::VM_OnPasswordReset() { return false; }
bool VM_CSingleMailboxCtrl::VM_OnCurrentPassword(int /*state*/) { return false; }
bool VM_CSingleMailboxCtrl::VM_OnRetrievalStart() { return false; }
bool VM_CSingleMailboxCtrl::VM_OnOpenMessages() { return false; }
bool VM_CSingleMailboxCtrl::VM_OnPasswordEntry(int& /*state*/, DWORD /*event*/, WPARAM /*wParam*/) {
    return false;
}
bool VM_CSingleMailboxCtrl::VM_OnMessagePlayback(int& /*state*/, DWORD /*event*/, WPARAM /*wParam*/) {
    return false;
}
