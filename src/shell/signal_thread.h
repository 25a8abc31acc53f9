// SIGINT and SIGTERM are taken by one thread that turns them into a quit
// request posted to the main window; every other thread has them blocked,
// so none is interrupted in a system call.
#pragma once

#include <atomic>
#include <csignal>
#include <thread>

#include "callflow/observer.h"

// Asks the running frame to stop (wParam the signal); posted by the signal thread.
constexpr UINT VM_MSG_QUIT_REQUEST = 0x8070;

class VM_CSignalThread {
public:
    // Before any other thread exists.
    static void VM_BlockInThisThread();
    void VM_Start(HWND window);
    void VM_Stop();
    ~VM_CSignalThread() { VM_Stop(); }

private:
    std::thread m_thread;
    std::atomic<bool> m_bStopping{false};
};

class VM_CAnswerMachine;
// The call in progress is ended and the records posted on the way are
// filed before the frame goes: stops the machine, dispatches what it posted,
// then lets stopNotices hand back the records the notice sender still holds
// and dispatches those too.
void VM_StopAnsweringAndFile(VM_CAnswerMachine* machine, void (*stopNotices)(void*), void* context);
