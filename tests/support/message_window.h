// A message-only window of the calling thread, for tests that need an owner
// to which devices and services post their notices. Messages it is sent go
// to the default procedure; tests read the posted ones from the queue.
#pragma once

#include "platform/win32/messages.h"

namespace testsupport {

class MessageWindow {
public:
    MessageWindow();
    ~MessageWindow();
    MessageWindow(const MessageWindow&) = delete;
    MessageWindow& operator=(const MessageWindow&) = delete;

    HWND hwnd() const { return m_hwnd; }

private:
    HWND m_hwnd = nullptr;
};

}  // namespace testsupport
