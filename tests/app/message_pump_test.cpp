// The Qt event loop must deliver the platform queue's messages and timers in
// order on the main thread, and end with WM_QUIT's code.
#include <atomic>
#include <thread>
#include <vector>

#include <QApplication>
#include <QTimer>
#include <gtest/gtest.h>

#include "app/frame/message_pump.h"
#include "app/qt_test_app.h"
#include "platform/win32/win32.h"

namespace {

constexpr UINT kProbe = 0x8400;
std::vector<WPARAM> g_seen;
int g_ticks = 0;

LRESULT CALLBACK ProbeProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == kProbe) {
        g_seen.push_back(wParam);
        if (wParam == 99) PostQuitMessage(7);
        return 0;
    }
    if (message == WM_TIMER) {
        if (++g_ticks == 3) {
            KillTimer(hwnd, wParam);
            PostQuitMessage(3);
        }
        return 0;
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

HWND MakeProbeWindow() {
    WNDCLASSA wc{};
    wc.lpfnWndProc = ProbeProc;
    wc.lpszClassName = "PumpProbe";
    RegisterClassA(&wc);
    return CreateWindowExA(0, "PumpProbe", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
}

TEST(MessagePump, PostsFromAnotherThreadArriveInOrderAndQuitEndsTheLoop) {
    VM_TestQtApp();
    g_seen.clear();
    HWND window = MakeProbeWindow();
    ASSERT_NE(window, nullptr);
    VM_CMessagePump pump;
    std::thread poster([window] {
        for (WPARAM i = 1; i <= 50; ++i) PostMessageA(window, kProbe, i, 0);
        PostMessageA(window, kProbe, 99, 0);
    });
    const int code = QApplication::exec();
    poster.join();
    EXPECT_EQ(code, 7);
    EXPECT_TRUE(pump.VM_QuitSeen());
    ASSERT_EQ(g_seen.size(), 51u);
    for (WPARAM i = 0; i < 50; ++i) EXPECT_EQ(g_seen[i], i + 1);
    DestroyWindow(window);
}

TEST(MessagePump, WindowTimersTickInsideTheQtLoop) {
    VM_TestQtApp();
    g_ticks = 0;
    HWND window = MakeProbeWindow();
    ASSERT_NE(window, nullptr);
    VM_CMessagePump pump;
    // Only the pump's descriptor can wake the loop for these ticks.
    ASSERT_NE(SetTimer(window, 5, 20, nullptr), 0u);
    EXPECT_EQ(QApplication::exec(), 3);
    EXPECT_EQ(g_ticks, 3);
    DestroyWindow(window);
}

TEST(MessagePump, QtEventsAndQueuedMessagesInterleaveOnOneThread) {
    VM_TestQtApp();
    g_seen.clear();
    HWND window = MakeProbeWindow();
    VM_CMessagePump pump;
    // A Qt timer posts to the queue; the message arrives through the pump.
    QTimer::singleShot(0, [window] { PostMessageA(window, kProbe, 99, 0); });
    EXPECT_EQ(QApplication::exec(), 7);
    EXPECT_EQ(g_seen, std::vector<WPARAM>{99});
    DestroyWindow(window);
}

}  // namespace
