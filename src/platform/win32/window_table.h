// Internal: registered window classes and live windows.
#pragma once

#include <memory>

#include "platform/win32/messages.h"
#include "platform/win32/thread_queue.h"

namespace platform::detail {

struct Window {
    HWND hwnd;
    DWORD ownerThread;
    std::weak_ptr<ThreadQueue> queue;
    WNDPROC proc;
    LONG_PTR userData = 0;
};

std::shared_ptr<Window> FindWindowObject(HWND hwnd);

}  // namespace platform::detail
