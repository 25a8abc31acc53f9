#include "platform/win32/timers.h"

#include <atomic>

#include "platform/win32/errors.h"
#include "platform/win32/threads.h"
#include "platform/win32/window_table.h"

namespace {

// Window-less timers get ids of their own, never 0.
std::atomic<UINT_PTR> g_nextTimerId{0x7F00};

std::shared_ptr<platform::detail::ThreadQueue> OwnerQueue(HWND hWnd) {
    if (hWnd == nullptr) return platform::detail::CurrentQueue(true);
    auto window = platform::detail::FindWindowObject(hWnd);
    return window ? window->queue.lock() : nullptr;
}

}  // namespace

UINT_PTR SetTimer(HWND hWnd, UINT_PTR idEvent, UINT elapse, TIMERPROC timerFunc) {
    auto queue = OwnerQueue(hWnd);
    if (!queue) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    UINT_PTR id = idEvent;
    if (hWnd == nullptr && id == 0) id = g_nextTimerId.fetch_add(1);
    queue->SetTimer(hWnd, id, elapse, timerFunc);
    return hWnd == nullptr ? id : (idEvent != 0 ? idEvent : 1);
}

BOOL KillTimer(HWND hWnd, UINT_PTR idEvent) {
    auto queue = OwnerQueue(hWnd);
    if (!queue || !queue->KillTimer(hWnd, idEvent)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    return TRUE;
}
