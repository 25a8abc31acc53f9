// Runs the main thread's message queue inside the Qt event loop: window
// messages, telephony callbacks, timers and Qt's own events then all run on
// the one main thread, in the order they arrive, without polling. The
// queue's descriptor is readable exactly while a message or a due timer
// waits, so the event loop sleeps until there is work.
#pragma once

#include <QObject>

class QSocketNotifier;

class VM_CMessagePump : public QObject {
    Q_OBJECT
public:
    // Takes the calling thread's queue, which must be the Qt main thread.
    explicit VM_CMessagePump(QObject* parent = nullptr);
    ~VM_CMessagePump() override;

    // Dispatches what waits now. A WM_QUIT ends the Qt event loop with the
    // quit message's code. Safe to re-enter from a modal dialog's loop.
    void VM_Pump();
    // Whether WM_QUIT has been seen, and its code.
    bool VM_QuitSeen() const { return m_bQuit; }
    int VM_ExitCode() const { return m_nExitCode; }

private:
    QSocketNotifier* m_notifier;
    bool m_bQuit = false;
    int m_nExitCode = 0;
};
