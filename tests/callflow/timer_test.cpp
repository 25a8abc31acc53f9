#include "callflow/timer.h"

#include <atomic>
#include <functional>
#include <thread>

#include <gtest/gtest.h>

#include "platform/win32/win32.h"
#include "timer_test_window.h"

using timertest::TestWindow;

namespace {

// Counts its calls and runs an optional action inside the callback.
class CountingCallback : public VM_CTimerCbk {
public:
    int VM_TimerCallback(VM_CTimer* timer) override {
        ++calls;
        if (action) action(timer);
        return 1;
    }
    std::atomic<int> calls{0};
    std::function<void(VM_CTimer*)> action;
};

// A timer on a test main window that passes it every message.
class Timer : public ::testing::Test {
protected:
    Timer() { window.Observe(&timer); }
    bool PumpUntilStopped(double scaledMs) {
        return window.PumpUntil([&] { return !timer.VM_IsRunning(); }, scaledMs);
    }

    TestWindow window;
    CountingCallback callback;
    VM_CTimer timer{&callback};
};

}  // namespace

TEST_F(Timer, OneShotCallsBackOnceAndStops) {
    ASSERT_TRUE(timer.VM_Start(1000, window.hwnd(), 1000));
    EXPECT_TRUE(PumpUntilStopped(20000));
    window.PumpFor(3000);
    EXPECT_EQ(callback.calls, 1);
}

TEST_F(Timer, SilenceCountDownOfTenSecondsTicksElevenTimesThenStops) {
    ASSERT_TRUE(timer.VM_Start(1000, window.hwnd(), (10 + 1) * 1000));
    EXPECT_TRUE(PumpUntilStopped(120000));
    window.PumpFor(3000);
    EXPECT_EQ(callback.calls, 11);
}

TEST_F(Timer, StartingARunningTimerKeepsItsPeriodAndTotal) {
    ASSERT_TRUE(timer.VM_Start(1000, window.hwnd(), 0));
    EXPECT_TRUE(timer.VM_Start(20, window.hwnd(), 40));
    // At the first period a 3-second pump sees at most 3 ticks; a load can
    // only delay ticks, never add any. Re-timed to 20 ms it would see 2 and
    // stop, or ~150 without the total.
    window.PumpFor(3000);
    EXPECT_LE(callback.calls, 4);
    EXPECT_TRUE(timer.VM_IsRunning()) << "the total of 40 ms must not have been taken";
    EXPECT_TRUE(timer.VM_Stop());
    EXPECT_FALSE(timer.VM_IsRunning());
}

TEST_F(Timer, CallbackThatStopsItsTimerLeavesItStopped) {
    callback.action = [](VM_CTimer* t) { EXPECT_TRUE(t->VM_Stop()); };
    ASSERT_TRUE(timer.VM_Start(100, window.hwnd(), 1000));
    EXPECT_TRUE(window.PumpUntil([&] { return callback.calls > 0; }, 20000));
    window.PumpFor(1500);
    EXPECT_EQ(callback.calls, 1);
    EXPECT_FALSE(timer.VM_IsRunning());
}

TEST_F(Timer, CallbackThatRestartsItsOneShotGetsAFreshRun) {
    callback.action = [&](VM_CTimer* t) {
        if (callback.calls == 1) {
            t->VM_Stop();
            t->VM_Start(100, window.hwnd(), 100);
        }
    };
    ASSERT_TRUE(timer.VM_Start(100, window.hwnd(), 100));
    EXPECT_TRUE(window.PumpUntil([&] { return callback.calls >= 2; }, 20000))
        << "the old tick was counted toward the restarted run";
    window.PumpFor(1000);
    EXPECT_EQ(callback.calls, 2);
    EXPECT_FALSE(timer.VM_IsRunning());
}

TEST_F(Timer, OtherMessagesAndOtherTimersAreLeftAlone) {
    LRESULT result = 7;
    EXPECT_FALSE(timer.VM_OnMessage(window.hwnd(), WM_TIMER, timer.VM_GetId(), 0, result))
        << "a stopped timer handles nothing";
    ASSERT_TRUE(timer.VM_Start(100000, window.hwnd(), 0));
    EXPECT_FALSE(timer.VM_OnMessage(window.hwnd(), WM_TIMER, timer.VM_GetId() + 1, 0, result));
    EXPECT_FALSE(timer.VM_OnMessage(nullptr, WM_TIMER, timer.VM_GetId(), 0, result));
    EXPECT_FALSE(timer.VM_OnMessage(window.hwnd(), WM_USER, timer.VM_GetId(), 0, result));
    EXPECT_EQ(callback.calls, 0);
    EXPECT_TRUE(timer.VM_OnMessage(window.hwnd(), WM_TIMER, timer.VM_GetId(), 0, result));
    EXPECT_EQ(result, 0);
    EXPECT_EQ(callback.calls, 1);
}

TEST_F(Timer, FailuresKeepThePreviousState) {
    EXPECT_TRUE(timer.VM_Stop()) << "stopping a stopped timer succeeds";
    EXPECT_FALSE(timer.VM_Start(100, nullptr, 0));
    HWND gone = CreateWindowExA(0, "VocerraTimerTestWindow", "", 0, 0, 0, 0, 0, nullptr, nullptr,
                                nullptr, nullptr);
    ASSERT_NE(gone, nullptr);
    DestroyWindow(gone);
    EXPECT_FALSE(timer.VM_Start(100, gone, 0));
    EXPECT_FALSE(timer.VM_IsRunning());
    EXPECT_NE(timer.VM_GetId(), 0u);
}

TEST_F(Timer, DestroyedTimerTicksNoMore) {
    auto* other = new VM_CTimer(&callback);
    ASSERT_TRUE(other->VM_Start(50, window.hwnd(), 0));
    delete other;
    // Nothing observes the window now: a tick left behind would reach only
    // the default procedure, but none must come at all.
    MSG msg;
    window.PumpFor(500);
    EXPECT_FALSE(PeekMessageA(&msg, window.hwnd(), WM_TIMER, WM_TIMER, PM_NOREMOVE));
    EXPECT_EQ(callback.calls, 0);
}

// The call flow's worker thread starts and stops the call timer while the
// main thread handles its ticks. Once a stop returns, a callback already under
// way may finish but no later tick of the stopped run calls back, and a
// restarted timer runs normally.
TEST(TimerConcurrency, WorkerStartsAndStopsWhileTheMainThreadTicks) {
    TestWindow window;
    CountingCallback callback;
    VM_CTimer timer(&callback);
    window.Observe(&timer);
    std::atomic<bool> workerDone{false};
    std::atomic<int> lateCalls{0};
    callback.action = [&](VM_CTimer*) {
        // A slow callback widens the window in which a stop meets it.
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    };
    std::thread worker([&] {
        int callsAtStop = 0;
        for (int i = 0; i < 200; ++i) {
            // Since the last stop at most the callback then under way began.
            if (callback.calls > callsAtStop + 1) ++lateCalls;
            const int before = callback.calls;
            EXPECT_TRUE(timer.VM_Start(10, window.hwnd(), 30));
            // Every other run waits for a tick, so stops meet ticks in flight.
            for (int wait = 0; i % 2 == 1 && callback.calls == before && wait < 20000; ++wait) {
                std::this_thread::sleep_for(std::chrono::microseconds(100));
            }
            EXPECT_TRUE(timer.VM_Stop());
            callsAtStop = callback.calls;
        }
        workerDone = true;
    });
    window.PumpUntil([&] { return workerDone.load(); }, 1e9);
    worker.join();
    window.PumpFor(200);
    EXPECT_EQ(lateCalls, 0);
    EXPECT_FALSE(timer.VM_IsRunning());
    EXPECT_GE(callback.calls, 100) << "runs that waited for a tick saw none";
}

// The call timer's callback ends the call and waits for its worker, which
// stops that same timer on its way out: neither may wait for the other.
TEST(TimerConcurrency, CallbackWaitingForAThreadThatStopsItsTimerDoesNotDeadlock) {
    TestWindow window;
    CountingCallback callback;
    VM_CTimer timer(&callback);
    window.Observe(&timer);
    DWORD waited = WAIT_FAILED;
    std::atomic<bool> stopped{false};
    HANDLE done = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    std::thread stopper;
    callback.action = [&](VM_CTimer* t) {
        if (stopper.joinable()) return;
        stopper = std::thread([&, t] {
            stopped = t->VM_Stop();
            SetEvent(done);
        });
        // Bounded, so that the old fault fails the test instead of hanging it.
        waited = WaitForSingleObject(done, 20000);
    };
    ASSERT_TRUE(timer.VM_Start(10, window.hwnd(), 0));
    EXPECT_TRUE(window.PumpUntil([&] { return callback.calls > 0 && !timer.VM_IsRunning(); }, 40000));
    if (stopper.joinable()) stopper.join();
    CloseHandle(done);
    EXPECT_EQ(waited, static_cast<DWORD>(WAIT_OBJECT_0)) << "the stop waited for the callback";
    EXPECT_TRUE(stopped);
    window.PumpFor(500);
    EXPECT_EQ(callback.calls, 1) << "a tick came after the stop";
}
