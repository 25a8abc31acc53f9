#include <unistd.h>

#include <mutex>
#include <shared_mutex>
#include <string>
#include <unordered_map>

#include "platform/win32/errors.h"
#include "platform/win32/threads.h"
#include "platform/win32/window_table.h"

namespace platform::detail {

namespace {

struct WindowTable {
    std::shared_mutex lock;
    std::unordered_map<std::uintptr_t, std::shared_ptr<Window>> windows;
    std::unordered_map<std::string, WNDPROC> classes;
    std::uintptr_t next = 0x10000;
};

WindowTable& Table() {
    static WindowTable* table = new WindowTable;  // outlives every thread
    return *table;
}

std::uintptr_t Key(HWND hwnd) { return reinterpret_cast<std::uintptr_t>(hwnd); }

WNDPROC FindClass(const std::string& name) {
    WindowTable& table = Table();
    std::shared_lock<std::shared_mutex> guard(table.lock);
    auto it = table.classes.find(name);
    return it == table.classes.end() ? nullptr : it->second;
}

std::shared_ptr<Window> InsertWindow(WNDPROC proc) {
    auto window = std::make_shared<Window>();
    window->ownerThread = GetCurrentThreadId();
    window->queue = CurrentQueue(true);  // a thread with a window has a queue
    window->proc = proc;
    WindowTable& table = Table();
    std::unique_lock<std::shared_mutex> guard(table.lock);
    window->hwnd = reinterpret_cast<HWND>(table.next);
    table.next += 2;
    table.windows.emplace(Key(window->hwnd), window);
    return window;
}

void EraseWindow(HWND hwnd) {
    WindowTable& table = Table();
    std::unique_lock<std::shared_mutex> guard(table.lock);
    table.windows.erase(Key(hwnd));
}

}  // namespace

std::shared_ptr<Window> FindWindowObject(HWND hwnd) {
    WindowTable& table = Table();
    std::shared_lock<std::shared_mutex> guard(table.lock);
    auto it = table.windows.find(Key(hwnd));
    return it == table.windows.end() ? nullptr : it->second;
}

}  // namespace platform::detail

using platform::detail::FindWindowObject;

WORD RegisterClassA(const WNDCLASSA* wc) {
    if (wc == nullptr || wc->lpszClassName == nullptr || wc->lpfnWndProc == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    auto& table = platform::detail::Table();
    std::unique_lock<std::shared_mutex> guard(table.lock);
    if (!table.classes.emplace(wc->lpszClassName, wc->lpfnWndProc).second) {
        SetLastError(ERROR_CLASS_ALREADY_EXISTS);
        return 0;
    }
    return static_cast<WORD>(0xC000 + table.classes.size());
}

BOOL UnregisterClassA(LPCSTR className, HINSTANCE) {
    if (className == nullptr) return FALSE;
    auto& table = platform::detail::Table();
    std::unique_lock<std::shared_mutex> guard(table.lock);
    if (table.classes.erase(className) == 0) {
        SetLastError(ERROR_CLASS_DOES_NOT_EXIST);
        return FALSE;
    }
    return TRUE;
}

HWND CreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style, int x, int y,
                     int width, int height, HWND parent, HANDLE menu, HINSTANCE hInstance,
                     LPVOID param) {
    WNDPROC proc = className ? platform::detail::FindClass(className) : nullptr;
    if (proc == nullptr) {
        SetLastError(ERROR_CLASS_DOES_NOT_EXIST);
        return nullptr;
    }
    auto window = platform::detail::InsertWindow(proc);
    CREATESTRUCTA create{param, hInstance, menu, parent, height, width, y, x,
                         static_cast<LONG>(style), windowName, className, exStyle};
    if (proc(window->hwnd, WM_CREATE, 0, reinterpret_cast<LPARAM>(&create)) == -1) {
        platform::detail::EraseWindow(window->hwnd);
        return nullptr;
    }
    return window->hwnd;
}

BOOL DestroyWindow(HWND hWnd) {
    auto window = FindWindowObject(hWnd);
    if (!window || window->ownerThread != GetCurrentThreadId()) {
        SetLastError(window ? ERROR_ACCESS_DENIED : ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    window->proc(hWnd, WM_DESTROY, 0, 0);
    platform::detail::EraseWindow(hWnd);
    if (auto queue = window->queue.lock()) queue->ForgetWindow(hWnd);
    return TRUE;
}

BOOL IsWindow(HWND hWnd) { return FindWindowObject(hWnd) ? TRUE : FALSE; }

LRESULT DefWindowProcA(HWND hWnd, UINT msg, WPARAM, LPARAM) {
    if (msg == WM_CLOSE) DestroyWindow(hWnd);
    return 0;
}

LRESULT SendMessageA(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto window = FindWindowObject(hWnd);
    if (!window) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    // Threads here only ever post to each other's windows.
    if (window->ownerThread != GetCurrentThreadId()) {
        SetLastError(ERROR_ACCESS_DENIED);
        return 0;
    }
    return window->proc(hWnd, msg, wParam, lParam);
}

LONG_PTR GetWindowLongPtrA(HWND hWnd, int index) {
    auto window = FindWindowObject(hWnd);
    if (!window) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    if (index == GWLP_USERDATA) return window->userData;
    if (index == GWLP_WNDPROC) return reinterpret_cast<LONG_PTR>(window->proc);
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
}

LONG_PTR SetWindowLongPtrA(HWND hWnd, int index, LONG_PTR value) {
    auto window = FindWindowObject(hWnd);
    if (!window || window->ownerThread != GetCurrentThreadId()) {
        SetLastError(window ? ERROR_ACCESS_DENIED : ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    LONG_PTR previous = 0;
    if (index == GWLP_USERDATA) {
        previous = window->userData;
        window->userData = value;
    } else if (index == GWLP_WNDPROC) {
        previous = reinterpret_cast<LONG_PTR>(window->proc);
        window->proc = reinterpret_cast<WNDPROC>(value);
    } else {
        SetLastError(ERROR_INVALID_PARAMETER);
    }
    return previous;
}

DWORD GetWindowThreadProcessId(HWND hWnd, LPDWORD processId) {
    auto window = FindWindowObject(hWnd);
    if (!window) return 0;
    if (processId != nullptr) *processId = static_cast<DWORD>(getpid());
    return window->ownerThread;
}
