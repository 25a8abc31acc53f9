// Runs the main thread's queue and Qt's events until a condition holds, for
// tests that wait on devices posting to a window of the main thread. The
// bound only guards against a hang; it is not a timing check.
#pragma once

#include <chrono>
#include <functional>
#include <thread>

#include <QApplication>

#include "platform/win32/messages.h"

namespace apptest {

// Dispatches messages in [first, last] (0, 0: all) until done() holds;
// false when the bound passed first.
inline bool PumpUntil(const std::function<bool()>& done, UINT first = 0, UINT last = 0,
                      std::chrono::seconds bound = std::chrono::seconds(60)) {
    const auto end = std::chrono::steady_clock::now() + bound;
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) return false;
        MSG msg{};
        while (PeekMessageA(&msg, nullptr, first, last, PM_REMOVE)) DispatchMessageA(&msg);
        QApplication::processEvents();
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

}  // namespace apptest
