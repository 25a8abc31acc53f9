#include "callflow/timer.h"

#include <algorithm>

#include "platform/win32/messages.h"
#include "platform/win32/timers.h"

VM_CTimer::VM_CTimer(VM_CTimerCbk* callback)
    : m_pCallback(callback), m_idTimer(reinterpret_cast<UINT_PTR>(this)) {}

VM_CTimer::~VM_CTimer() {
    VM_Stop();
    m_idTimer = 0;
}

bool VM_CTimer::VM_OnMessage(HWND window, UINT message, WPARAM wParam, LPARAM /*lParam*/,
                             LRESULT& result) {
    if (message != WM_TIMER) return false;
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    if (!m_bRunning) return false;
    return VM_OnTick(window, static_cast<UINT_PTR>(wParam), result);
}

bool VM_CTimer::VM_Start(int periodMs, HWND window, int totalMs) {
    std::lock_guard<std::recursive_mutex> guard(m_lock);
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
    std::lock_guard<std::recursive_mutex> guard(m_lock);
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
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    return m_bRunning;
}

bool VM_CTimer::VM_OnTick(HWND window, UINT_PTR idTimer, LRESULT& result) {
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    if (window != m_hWnd || idTimer != m_idTimer) return false;
    const std::uint32_t run = m_nRun;
    if (m_pCallback != nullptr) m_pCallback->VM_TimerCallback(this);
    // The callback may have stopped the timer, or stopped and started it anew.
    if (m_bRunning && run == m_nRun && m_nTotal > 0) {
        // In 64 bits: a period near the int32 limit must not wrap the sum.
        std::int64_t elapsed = std::int64_t{m_nElapsed} + m_nPeriod;
        m_nElapsed = static_cast<std::int32_t>(std::min<std::int64_t>(elapsed, m_nTotal));
        if (elapsed >= m_nTotal) VM_StopLocked();
    }
    result = 0;
    return true;
}
