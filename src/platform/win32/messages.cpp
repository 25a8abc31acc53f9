#include "platform/win32/messages.h"

#include <algorithm>
#include <cctype>
#include <mutex>
#include <string>
#include <unordered_map>

#include "platform/win32/clock.h"
#include "platform/win32/errors.h"
#include "platform/win32/threads.h"
#include "platform/win32/timers.h"
#include "platform/win32/window_table.h"

using platform::detail::CurrentQueue;
using platform::detail::MessageFilter;

namespace {

const HWND kThreadMessagesOnly = reinterpret_cast<HWND>(static_cast<LONG_PTR>(-1));

// A window filter must name a live window; NULL and -1 are the two wildcards.
bool ValidFilter(HWND hWnd) {
    return hWnd == nullptr || hWnd == kThreadMessagesOnly || IsWindow(hWnd);
}

}  // namespace

BOOL PostMessageA(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (hWnd == nullptr) return PostThreadMessageA(GetCurrentThreadId(), msg, wParam, lParam);
    auto window = platform::detail::FindWindowObject(hWnd);
    auto queue = window ? window->queue.lock() : nullptr;
    if (!queue || !queue->Post(platform::detail::ThreadQueue::Make(hWnd, msg, wParam, lParam))) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    return TRUE;
}

BOOL PostThreadMessageA(DWORD idThread, UINT msg, WPARAM wParam, LPARAM lParam) {
    const auto& queue = idThread == GetCurrentThreadId() ? CurrentQueue(true)
                                                  : platform::detail::FindQueue(idThread);
    if (!queue || !queue->Post(platform::detail::ThreadQueue::Make(nullptr, msg, wParam, lParam))) {
        SetLastError(ERROR_INVALID_THREAD_ID);
        return FALSE;
    }
    return TRUE;
}

void PostQuitMessage(int exitCode) { CurrentQueue(true)->PostQuit(exitCode); }

BOOL GetMessageA(LPMSG msg, HWND hWnd, UINT filterMin, UINT filterMax) {
    if (msg == nullptr || !ValidFilter(hWnd)) {
        SetLastError(msg == nullptr ? ERROR_INVALID_PARAMETER : ERROR_INVALID_WINDOW_HANDLE);
        return -1;
    }
    CurrentQueue(true)->Get(msg, MessageFilter{hWnd, filterMin, filterMax});
    return msg->message == WM_QUIT ? FALSE : TRUE;
}

BOOL PeekMessageA(LPMSG msg, HWND hWnd, UINT filterMin, UINT filterMax, UINT removeMsg) {
    if (msg == nullptr || !ValidFilter(hWnd)) return FALSE;
    bool remove = (removeMsg & PM_REMOVE) != 0;
    return CurrentQueue(true)->Peek(msg, MessageFilter{hWnd, filterMin, filterMax}, remove) ? TRUE : FALSE;
}

BOOL WaitMessage() {
    CurrentQueue(true)->WaitForAny();
    return TRUE;
}

LRESULT DispatchMessageA(const MSG* msg) {
    if (msg == nullptr) return 0;
    if (msg->message == WM_TIMER && msg->lParam != 0) {
        auto proc = reinterpret_cast<TIMERPROC>(msg->lParam);
        proc(msg->hwnd, WM_TIMER, msg->wParam, GetTickCount());
        return 0;
    }
    if (msg->hwnd == nullptr) return 0;
    auto window = platform::detail::FindWindowObject(msg->hwnd);
    if (!window) return 0;
    return window->proc(msg->hwnd, msg->message, msg->wParam, msg->lParam);
}

BOOL TranslateMessage(const MSG*) { return FALSE; }

UINT RegisterWindowMessageA(LPCSTR name) {
    if (name == nullptr || *name == '\0') {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    static std::mutex lock;
    static std::unordered_map<std::string, UINT> numbers;
    std::string key(name);
    // Names compare without regard to case, as on the platform we mirror.
    std::transform(key.begin(), key.end(), key.begin(), [](unsigned char c) { return std::tolower(c); });
    std::lock_guard<std::mutex> guard(lock);
    auto it = numbers.find(key);
    if (it != numbers.end()) return it->second;
    if (numbers.size() >= 0x4000) {
        SetLastError(ERROR_NOT_ENOUGH_QUOTA);
        return 0;
    }
    UINT number = 0xC000 + static_cast<UINT>(numbers.size());
    numbers.emplace(key, number);
    return number;
}

int GetMessageQueueFd() { return CurrentQueue(true)->Fd(); }
