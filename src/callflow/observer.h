// An object offered the main window's messages. The application window asks
// its observers in turn; owners of timers pass WM_TIMER on to them the same way.
#pragma once

#include "platform/win32/types.h"

class VM_CObserver {
public:
    virtual ~VM_CObserver() = default;
    // True when the message was handled; result is then what the window returns.
    virtual bool VM_OnMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                              LRESULT& result) = 0;
};
