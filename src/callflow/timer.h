// The one timer of the system: a window timer on the main window, optionally
// limited to a total duration, calling back on every tick. Ticks arrive as
// WM_TIMER through the main window's observers, so every callback runs on the
// main thread; start and stop may also be called from a call's worker thread.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>

#include "callflow/observer.h"

class VM_CTimer;

class VM_CTimerCbk {
public:
    virtual ~VM_CTimerCbk() = default;
    // The result is ignored.
    virtual int VM_TimerCallback(VM_CTimer* timer) = 0;
};

class VM_CTimer : public VM_CObserver {
public:
    // callback is not owned and must outlive the timer's running time. A
    // callback must not delete its own timer.
    explicit VM_CTimer(VM_CTimerCbk* callback);
    VM_CTimer(const VM_CTimer&) = delete;
    VM_CTimer& operator=(const VM_CTimer&) = delete;

    // Handles WM_TIMER for this timer while it runs.
    bool VM_OnMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                      LRESULT& result) override;
    ~VM_CTimer() override;

    // Ticks every periodMs on window; with totalMs above 0 it stops itself
    // once the ticks add up to totalMs. A running timer is left as it is
    // (true): stop it first for a fresh period or duration.
    bool VM_Start(int periodMs, HWND window, int totalMs);
    // True when stopped afterwards. Once it returns no tick calls back any
    // more. It never waits for a callback already running on the main thread:
    // that callback may itself wait for the thread that stops the timer.
    bool VM_Stop();

    bool VM_IsRunning() const;
    UINT_PTR VM_GetId() const { return m_idTimer; }

protected:
    // Calls back when the tick is this timer's; counts it toward the total.
    virtual bool VM_OnTick(HWND window, UINT_PTR idTimer, LRESULT& result);

private:
    bool VM_StopLocked();
    // Under the lock: whether the tick is this running timer's.
    bool VM_IsOwnTickLocked(HWND window, UINT_PTR idTimer) const;
    // Under the lock, after a callback of run `run`: counts the tick toward
    // the total and stops the timer when the total is reached.
    void VM_CountTickLocked(std::uint32_t run);

    VM_CTimerCbk* m_pCallback;
    HWND m_hWnd = nullptr;
    UINT_PTR m_idTimer;
    std::int32_t m_nTotal = 0;
    std::int32_t m_nElapsed = 0;
    std::int32_t m_nPeriod = 0;
    bool m_bRunning = false;
    // Tells a run apart from the one after it, so a callback that restarts
    // its timer does not have the old tick counted toward the new total.
    std::uint32_t m_nRun = 0;
    // Callbacks running now (on the main thread; the count only guards the
    // destructor, which must not free the timer under a running callback).
    int m_nCallbacks = 0;
    DWORD m_idCallbackThread = 0;
    std::condition_variable m_callbackDone;
    // Never held through the callback, which may stop or restart the timer,
    // or wait for a thread that does.
    mutable std::mutex m_lock;
};
