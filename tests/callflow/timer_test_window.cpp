#include "timer_test_window.h"

#include <chrono>
#include <thread>

#include "platform/win32/clock.h"
#include "platform/win32/messages.h"

namespace timertest {

namespace {

constexpr const char* kClassName = "VocerraTimerTestWindow";

void RegisterOnce(WNDPROC proc) {
    static const bool registered = [proc] {
        WNDCLASSA wc{};
        wc.lpfnWndProc = proc;
        wc.lpszClassName = kClassName;
        return RegisterClassA(&wc) != 0;
    }();
    (void)registered;
}

}  // namespace

TestWindow::TestWindow() {
    if (platform::TimeScale() != kTimeScale) platform::SetTimeScale(kTimeScale);
    RegisterOnce(&TestWindow::Proc);
    m_hwnd = CreateWindowExA(0, kClassName, "", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
    SetWindowLongPtrA(m_hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

TestWindow::~TestWindow() {
    // The observers may be gone already; the window's last messages go nowhere.
    SetWindowLongPtrA(m_hwnd, GWLP_USERDATA, 0);
    DestroyWindow(m_hwnd);
}

LRESULT TestWindow::Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<TestWindow*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    if (self != nullptr) {
        for (VM_CObserver* observer : self->m_observers) {
            LRESULT result = 0;
            if (observer->VM_OnMessage(hwnd, message, wParam, lParam, result)) return result;
        }
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

bool TestWindow::PumpUntil(const std::function<bool()>& done, double scaledMs) {
    const ULONGLONG start = GetTickCount64();
    while (!done() && static_cast<double>(GetTickCount64() - start) < scaledMs) {
        MSG msg;
        if (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            DispatchMessageA(&msg);
        } else {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }
    return done();
}

}  // namespace timertest
