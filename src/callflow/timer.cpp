#include "callflow/timer.h"

#include <algorithm>

#include "platform/win32/messages.h"
#include "platform/win32/threads.h"
#include "platform/win32/timers.h"

VM_CTimer::VM_CTimer(VM_CTimerCbk* callback)
    : m_pCallback(callback), m_idTimer(reinterpret_cast<UINT_PTR>(this)) {}

VM_CTimer::~VM_CTimer() {
    std::unique_lock<std::mutex> lock(m_lock);
    VM_StopLocked();
    // A callback on another thread still uses the timer; one on this thread
    // is the caller itself.
    const DWORD self = GetCurrentThreadId();
    m_callbackDone.wait(lock, [&] { return m_nCallbacks == 0 || m_idCallbackThread == self; });
    m_idTimer = 0;
}

bool VM_CTimer::VM_OnMessage(HWND window, UINT message, WPARAM wParam, LPARAM /*lParam*/,
                             LRESULT& result) {
    if (message != WM_TIMER) return false;
    return VM_OnTick(window, static_cast<UINT_PTR>(wParam), result);
}

bool VM_CTimer::VM_Start(int periodMs, HWND window, int totalMs) {
    std::lock_guard<std::mutex> guard(m_lock);
    if (m_bRunning) return true;
    if (window == nullptr) return false;
    if (SetTimer(window, m_idTimer, static_cast<UINT>(periodMs), nullptr) == 0) return false;
    m_nElapsed = 0;
    m_bRunning = true;
    m_hWnd = window;
    m_nPeriod = periodMs;
    m_nTotal = totalMs;
    ++m_nRun;
    return true;
}

bool VM_CTimer::VM_Stop() {
    std::lock_guard<std::mutex> guard(m_lock);
    return VM_StopLocked();
}

bool VM_CTimer::VM_StopLocked() {
    if (!m_bRunning) return true;
    if (m_hWnd == nullptr) return false;
    if (!KillTimer(m_hWnd, m_idTimer)) return false;
    m_bRunning = false;
    m_hWnd = nullptr;
    m_nElapsed = 0;
    m_nPeriod = 0;
    m_nTotal = 0;
    return true;
}

bool VM_CTimer::VM_IsRunning() const {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_bRunning;
}

bool VM_CTimer::VM_IsOwnTickLocked(HWND window, UINT_PTR idTimer) const {
    return m_bRunning && window == m_hWnd && idTimer == m_idTimer;
}

bool VM_CTimer::VM_OnTick(HWND window, UINT_PTR idTimer, LRESULT& result) {
    std::uint32_t run;
    {
        // The tick is taken here, under the lock: a stop that returned
        // before this point leaves nothing to call back.
        std::lock_guard<std::mutex> guard(m_lock);
        if (!VM_IsOwnTickLocked(window, idTimer)) return false;
        run = m_nRun;
        ++m_nCallbacks;
        m_idCallbackThread = GetCurrentThreadId();
    }
    if (m_pCallback != nullptr) m_pCallback->VM_TimerCallback(this);
    {
        std::lock_guard<std::mutex> guard(m_lock);
        VM_CountTickLocked(run);
        --m_nCallbacks;
    }
    m_callbackDone.notify_all();
    result = 0;
    return true;
}

void VM_CTimer::VM_CountTickLocked(std::uint32_t run) {
    // The callback may have stopped the timer, or stopped and started it anew.
    if (!m_bRunning || run != m_nRun || m_nTotal <= 0) return;
    // In 64 bits: a period near the int32 limit must not wrap the sum.
    std::int64_t elapsed = std::int64_t{m_nElapsed} + m_nPeriod;
    m_nElapsed = static_cast<std::int32_t>(std::min<std::int64_t>(elapsed, m_nTotal));
    if (elapsed >= m_nTotal) VM_StopLocked();
}
