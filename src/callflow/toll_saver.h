// Whether new messages are waiting, so that with the toll-saver option the
// phone rings two more times when none are: an owner calling in from afar
// can hang up before the call is answered and charged.
#pragma once

class VM_CAppCfg;

class VM_CTollSaver {
public:
    virtual ~VM_CTollSaver() = default;

    // 1 while no new message waits (the start state); the alert control sets
    // 0 when a new-message alert starts and 1 when the user has noticed it.
    int VM_GetNoNewMessages() const { return m_bNoNewMessages; }
    void VM_SetNoNewMessages(int noNewMessages) { m_bNoNewMessages = noNewMessages; }

private:
    // Read and written on the main thread only.
    int m_bNoNewMessages = 1;
};

// The ring on which a call is answered: the configured rings, plus 2 when the
// toll-saver option is on and no new message waits. A null toll saver counts
// as no new messages.
int VM_RingsBeforeAnswer(const VM_CAppCfg& cfg, const VM_CTollSaver* tollSaver);
