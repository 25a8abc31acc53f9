// Window timers. A timer belongs to the thread that owns its window (or the
// calling thread for a window-less timer); WM_TIMER is made by that thread's
// message retrieval when the timer is due and no posted message waits, so at
// most one tick is pending per timer and a killed timer ticks no more.
#pragma once

#include "platform/win32/types.h"

using TIMERPROC = void (*)(HWND, UINT, UINT_PTR, DWORD);

// Re-arms an existing (hWnd, id) timer. Returns the timer id (a new id when
// hWnd is NULL), 0 on failure.
UINT_PTR SetTimer(HWND hWnd, UINT_PTR idEvent, UINT elapse, TIMERPROC timerFunc);
BOOL KillTimer(HWND hWnd, UINT_PTR idEvent);
