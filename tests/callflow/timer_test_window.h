// A main window for timer tests: it offers every message to a list of
// observers, as the application window does, and pumps the calling thread's
// queue in scaled time.
#pragma once

#include <functional>
#include <vector>

#include "callflow/observer.h"
#include "platform/win32/types.h"

namespace timertest {

class TestWindow {
public:
    // Creates the window on the calling thread; time runs kTimeScale times
    // faster from then on (each change of scale costs the clock a snapshot,
    // so it is changed once and left).
    TestWindow();
    ~TestWindow();
    TestWindow(const TestWindow&) = delete;
    TestWindow& operator=(const TestWindow&) = delete;

    HWND hwnd() const { return m_hwnd; }
    void Observe(VM_CObserver* observer) { m_observers.push_back(observer); }

    // Dispatches messages until done() holds or scaledMs of scaled time passed;
    // returns done().
    bool PumpUntil(const std::function<bool()>& done, double scaledMs);
    void PumpFor(double scaledMs) { PumpUntil([] { return false; }, scaledMs); }

private:
    static LRESULT Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

    static constexpr double kTimeScale = 20.0;

    HWND m_hwnd = nullptr;
    std::vector<VM_CObserver*> m_observers;
};

}  // namespace timertest
