// Per-thread message queues and windows as message targets.
//
// A thread gets its queue with its first PeekMessageA or GetMessageA; a post
// to a thread without one fails. Windows belong to the thread that created
// them; a post to a window lands in its owner's queue, and DispatchMessageA
// calls the window procedure on the retrieving thread.
#pragma once

#include "platform/win32/types.h"

constexpr UINT WM_NULL = 0x0000;
constexpr UINT WM_CREATE = 0x0001;
constexpr UINT WM_DESTROY = 0x0002;
constexpr UINT WM_SIZE = 0x0005;
constexpr UINT WM_PAINT = 0x000F;
constexpr UINT WM_CLOSE = 0x0010;
constexpr UINT WM_QUIT = 0x0012;
constexpr UINT WM_ENDSESSION = 0x0016;
constexpr UINT WM_COMMAND = 0x0111;
constexpr UINT WM_SYSCOMMAND = 0x0112;
constexpr UINT WM_TIMER = 0x0113;
constexpr UINT WM_USER = 0x0400;
constexpr UINT WM_APP = 0x8000;

constexpr UINT PM_NOREMOVE = 0x0000;
constexpr UINT PM_REMOVE = 0x0001;
constexpr UINT PM_NOYIELD = 0x0002;

inline const HWND HWND_MESSAGE = reinterpret_cast<HWND>(static_cast<LONG_PTR>(-3));

using WNDPROC = LRESULT (*)(HWND, UINT, WPARAM, LPARAM);

struct WNDCLASSA {
    UINT style;
    WNDPROC lpfnWndProc;
    int cbClsExtra;
    int cbWndExtra;
    HINSTANCE hInstance;
    HANDLE hIcon;
    HANDLE hCursor;
    HANDLE hbrBackground;
    LPCSTR lpszMenuName;
    LPCSTR lpszClassName;
};

// What WM_CREATE carries in lParam.
struct CREATESTRUCTA {
    LPVOID lpCreateParams;
    HINSTANCE hInstance;
    HANDLE hMenu;
    HWND hwndParent;
    int cy;
    int cx;
    int y;
    int x;
    LONG style;
    LPCSTR lpszName;
    LPCSTR lpszClass;
    DWORD dwExStyle;
};

constexpr int GWLP_WNDPROC = -4;
constexpr int GWLP_USERDATA = -21;

BOOL PostMessageA(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam);
BOOL PostThreadMessageA(DWORD idThread, UINT msg, WPARAM wParam, LPARAM lParam);
void PostQuitMessage(int exitCode);

// 1 for a message, 0 for WM_QUIT, -1 on error (hWnd names no window).
BOOL GetMessageA(LPMSG msg, HWND hWnd, UINT filterMin, UINT filterMax);
BOOL PeekMessageA(LPMSG msg, HWND hWnd, UINT filterMin, UINT filterMax, UINT removeMsg);
BOOL WaitMessage();
LRESULT DispatchMessageA(const MSG* msg);
BOOL TranslateMessage(const MSG* msg);

// Registered messages are numbered from 0xC000; the same name gives the
// same number within the process.
UINT RegisterWindowMessageA(LPCSTR name);

WORD RegisterClassA(const WNDCLASSA* wc);
BOOL UnregisterClassA(LPCSTR className, HINSTANCE hInstance);
HWND CreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style,
                     int x, int y, int width, int height, HWND parent, HANDLE menu,
                     HINSTANCE hInstance, LPVOID param);
BOOL DestroyWindow(HWND hWnd);
BOOL IsWindow(HWND hWnd);
LRESULT DefWindowProcA(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam);
// Only to a window of the calling thread: calls the window procedure directly.
LRESULT SendMessageA(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam);
LONG_PTR GetWindowLongPtrA(HWND hWnd, int index);
LONG_PTR SetWindowLongPtrA(HWND hWnd, int index, LONG_PTR value);
DWORD GetWindowThreadProcessId(HWND hWnd, LPDWORD processId);

// Not a Windows call: a descriptor that becomes readable when a message is
// posted to the calling thread's queue or one of its timers falls due, so a
// foreign event loop can pump the queue with PeekMessageA. Creates the
// queue if needed; the descriptor belongs to the queue (do not close it).
int GetMessageQueueFd();
