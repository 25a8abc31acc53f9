#include "shell/signal_thread.h"

#include <pthread.h>

#include <future>

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
    std::promise<void> blocked;
    std::future<void> ready = blocked.get_future();
    m_thread = std::thread([this, window, &blocked] {
        // Blocked here too, so the wake-up at the end is never fatal, even
        // where the starting thread left the signals open (a test program).
        const sigset_t set = Signals();
        pthread_sigmask(SIG_BLOCK, &set, nullptr);
        blocked.set_value();
        for (;;) {
            int signo = 0;
            if (sigwait(&set, &signo) != 0) continue;
            if (signo == SIGUSR1 && m_bStopping) return;
            if (signo != SIGUSR1) PostMessageA(window, VM_MSG_QUIT_REQUEST, static_cast<WPARAM>(signo), 0);
        }
    });
    ready.wait();
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
