#include "app/frame/message_pump.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include "platform/win32/win32.h"

VM_CMessagePump::VM_CMessagePump(QObject* parent)
    : QObject(parent),
      m_notifier(new QSocketNotifier(static_cast<qintptr>(GetMessageQueueFd()), QSocketNotifier::Read, this)) {
    connect(m_notifier, &QSocketNotifier::activated, this, &VM_CMessagePump::VM_Pump);
}

VM_CMessagePump::~VM_CMessagePump() { m_notifier->setEnabled(false); }

void VM_CMessagePump::VM_Pump() {
    // One message at a time: a handler that opens a modal dialog runs a
    // nested event loop, which comes back here for the messages after it.
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            m_bQuit = true;
            m_nExitCode = static_cast<int>(msg.wParam);
            QCoreApplication::exit(m_nExitCode);
            return;
        }
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}
