// Messages whose calls were never filed because the program or the machine
// died during the call (or because the folder's list could not be saved
// then): at the next start each message file in Voice that no call log
// names is repaired and filed in the Inbox as a recovered call, with what
// its call's journal (call_journal.h) knew of it, and the user is told once.
#pragma once

class VM_CAppCfg;

struct VM_SRecovery {
    int filed = 0;        // recovered messages filed in the Inbox
    int discarded = 0;    // files with no message in them, deleted
    int setAside = 0;     // files that are no message this program can read, renamed ".damaged"
    int unfiled = 0;      // recovered but the Inbox could not be saved: tried again next start
};

// Run before answering starts, while nothing else writes the folder. It
// first finishes a move between folders that a death interrupted
// (move_journal.h).
VM_SRecovery VM_RecoverInterruptedMessages(const VM_CAppCfg& cfg);

// The note a recovered call carries in its record.
extern const char* const VM_RECOVERED_CALL_NOTE;
