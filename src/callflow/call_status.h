// The one line of status text a call shows to the user. The caller-ID window
// implements it; the mailbox controller and the answer machine write to it,
// always on the main thread (worker threads post the text's index instead).
#pragma once

class VM_ICallStatus {
public:
    virtual ~VM_ICallStatus() = default;
    // Replaces the status line with text. Must stay harmless after the user
    // has closed the window.
    virtual void VM_ShowStatus(const char* text) = 0;
};
