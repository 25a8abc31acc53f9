// What the pages of the mailbox set-up choose, kept across "<< Back" and
// "Next >>" and stored only when the chain is confirmed.
#pragma once

struct VM_SMailboxSetupState {
    int playDevice = -1;    // -1 the default audio device
    int recordDevice = -1;
    bool enhance = false;   // auto-enhance recorded greetings
    bool multiple = false;  // several mailboxes, chosen by a touch-tone digit
    int mailbox = 0;        // the mailbox whose greeting is shown (0..9)
};
