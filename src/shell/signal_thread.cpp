#include "shell/signal_thread.h"

#include <pthread.h>

#include "callflow/answer_machine.h"
#include "platform/win32/messages.h"

namespace {

sigset_t Signals() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGUSR1);  // only to wake the thread at the end
    return set;
}

// Blocks the signals in the calling thread for its lifetime, then restores
// the mask the thread had.
class BlockedWhileAlive {
public:
    explicit BlockedWhileAlive(const sigset_t& set) { pthread_sigmask(SIG_BLOCK, &set, &m_previous); }
    ~BlockedWhileAlive() { pthread_sigmask(SIG_SETMASK, &m_previous, nullptr); }
    BlockedWhileAlive(const BlockedWhileAlive&) = delete;
    BlockedWhileAlive& operator=(const BlockedWhileAlive&) = delete;

private:
    sigset_t m_previous;
};

void DispatchPending() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
        if (msg.message != WM_QUIT) DispatchMessageA(&msg);
}

}  // namespace

void VM_CSignalThread::VM_BlockInThisThread() {
    sigset_t set = Signals();
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

void VM_CSignalThread::VM_Start(HWND window) {
    // The thread is born with the signals blocked, as a new thread takes its
    // creator's mask: the wake-up at the end is never fatal, even where the
    // caller leaves them open (a test program), and nothing on this frame has
    // to wait for the thread or outlive the return.
    const sigset_t set = Signals();
    BlockedWhileAlive blocked(set);
    m_thread = std::thread([this, window, set] {
        for (;;) {
            int signo = 0;
            if (sigwait(&set, &signo) != 0) continue;
            if (signo == SIGUSR1 && m_bStopping) return;
            if (signo != SIGUSR1) PostMessageA(window, VM_MSG_QUIT_REQUEST, static_cast<WPARAM>(signo), 0);
        }
    });
}

void VM_CSignalThread::VM_Stop() {
    if (!m_thread.joinable()) return;
    m_bStopping = true;
    pthread_kill(m_thread.native_handle(), SIGUSR1);
    m_thread.join();
}

void VM_StopAnsweringAndFile(VM_CAnswerMachine* machine, void (*stopNotices)(void*), void* context) {
    if (machine != nullptr) machine->VM_Stop();
    // The last records first meet the notice sender; stopping it hands back
    // every record it still holds as a posted message.
    DispatchPending();
    if (stopNotices != nullptr) stopNotices(context);
    DispatchPending();
}
