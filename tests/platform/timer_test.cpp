#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <barrier>
#include <chrono>
#include <random>
#include <thread>
#include <vector>

#include "platform/win32/win32.h"

namespace {

// Scales time up for one test so periods of seconds pass in milliseconds.
class ScaledTime {
public:
    explicit ScaledTime(double k) : m_saved(platform::TimeScale()) { platform::SetTimeScale(k); }
    ~ScaledTime() { platform::SetTimeScale(m_saved); }

private:
    double m_saved;
};

void Drain() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    }
}

// Pumps the calling thread's queue until the scaled clock has advanced by
// span milliseconds; counts WM_TIMER messages for (hwnd, id).
int CountTicks(HWND hwnd, UINT_PTR id, DWORD span) {
    DWORD start = GetTickCount();
    int ticks = 0;
    MSG msg;
    while (GetTickCount() - start < span) {
        if (!PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            Sleep(5);
            continue;
        }
        if (msg.message == WM_TIMER && msg.hwnd == hwnd && msg.wParam == id) ++ticks;
    }
    return ticks;
}

// A short busy wait, shorter than any sleep.
void SpinFor(int iterations) {
    static std::atomic<int> sink{0};
    for (int i = 0; i < iterations; ++i) sink.fetch_add(0, std::memory_order_relaxed);
}

LRESULT PlainProc(HWND hwnd, UINT msg, WPARAM w, LPARAM l) { return DefWindowProcA(hwnd, msg, w, l); }

HWND MakeWindow() {
    static bool registered = [] {
        WNDCLASSA wc{};
        wc.lpfnWndProc = PlainProc;
        wc.lpszClassName = "VocerraTimerTest";
        return RegisterClassA(&wc) != 0;
    }();
    EXPECT_TRUE(registered);
    return CreateWindowExA(0, "VocerraTimerTest", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
}

}  // namespace

TEST(WindowTimer, TicksOncePerPeriodInScaledTime) {
    // Missed ticks are never made up, so the period must stay long enough for
    // a loaded machine to read every one.
    ScaledTime fast(10);
    Drain();
    HWND hwnd = MakeWindow();
    ASSERT_EQ(SetTimer(hwnd, 7, 1000, nullptr), 7u);
    int ticks = CountTicks(hwnd, 7, 10500);
    EXPECT_GE(ticks, 9);
    EXPECT_LE(ticks, 11);
    KillTimer(hwnd, 7);
    DestroyWindow(hwnd);
}

TEST(WindowTimer, AtMostOneTickIsPendingPerTimer) {
    ScaledTime fast(50);
    Drain();
    HWND hwnd = MakeWindow();
    SetTimer(hwnd, 1, 100, nullptr);
    Sleep(1000);  // ten periods pass unread
    MSG msg;
    int ticks = 0;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
        if (msg.message == WM_TIMER) ++ticks;
    EXPECT_EQ(ticks, 1);
    // Looking without removing leaves the tick where it is.
    Sleep(150);
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, WM_TIMER, WM_TIMER, PM_NOREMOVE));
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, WM_TIMER, WM_TIMER, PM_REMOVE));
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, WM_TIMER, WM_TIMER, PM_REMOVE));
    KillTimer(hwnd, 1);
    DestroyWindow(hwnd);
}

TEST(WindowTimer, KillTimerDiscardsAPendingTick) {
    ScaledTime fast(50);
    Drain();
    HWND hwnd = MakeWindow();
    SetTimer(hwnd, 3, 100, nullptr);
    Sleep(200);
    EXPECT_TRUE(KillTimer(hwnd, 3));
    MSG msg;
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_FALSE(KillTimer(hwnd, 3));
    DestroyWindow(hwnd);
}

TEST(WindowTimer, SetTimerOnAnExistingTimerReArmsIt) {
    ScaledTime fast(50);
    Drain();
    HWND hwnd = MakeWindow();
    SetTimer(hwnd, 5, 200, nullptr);
    SetTimer(hwnd, 5, 2000, nullptr);  // same (window, id): one timer, new period
    int ticks = CountTicks(hwnd, 5, 5000);
    EXPECT_GE(ticks, 1);
    EXPECT_LE(ticks, 3);
    KillTimer(hwnd, 5);
    DestroyWindow(hwnd);
}

TEST(WindowTimer, TimerProcedureIsCalledByDispatch) {
    ScaledTime fast(50);
    Drain();
    static int calls = 0;
    static UINT_PTR seenId = 0;
    calls = 0;
    UINT_PTR id = SetTimer(nullptr, 0, 100, [](HWND, UINT msg, UINT_PTR timerId, DWORD) {
        if (msg == WM_TIMER) ++calls;
        seenId = timerId;
    });
    ASSERT_NE(id, 0u);
    MSG msg;
    while (calls == 0) {
        if (GetMessageA(&msg, nullptr, 0, 0) <= 0) break;
        DispatchMessageA(&msg);
    }
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(seenId, id);
    KillTimer(nullptr, id);
}

TEST(WindowTimerConcurrency, TicksGoToTheWindowOwnerNotTheCaller) {
    ScaledTime fast(50);
    Drain();
    HWND hwnd = MakeWindow();
    std::atomic<int> strayTicks{0};
    std::thread other([&] {
        // Another thread arms the owner's timer; the ticks are not its own.
        SetTimer(hwnd, 9, 100, nullptr);
        DWORD start = GetTickCount();
        MSG msg;
        while (GetTickCount() - start < 1000)
            if (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE) && msg.message == WM_TIMER) ++strayTicks;
            else Sleep(5);
    });
    other.join();
    EXPECT_EQ(strayTicks.load(), 0);
    MSG msg;
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, WM_TIMER, WM_TIMER, PM_REMOVE));
    EXPECT_EQ(msg.hwnd, hwnd);
    EXPECT_EQ(msg.wParam, 9u);
    KillTimer(hwnd, 9);
    DestroyWindow(hwnd);
}

TEST(WindowTimerConcurrency, BlockedGetMessageWakesForATimer) {
    ScaledTime fast(50);
    std::atomic<bool> ticked{false};
    std::thread t([&] {
        UINT_PTR id = SetTimer(nullptr, 0, 500, nullptr);
        MSG msg;
        if (GetMessageA(&msg, nullptr, 0, 0) > 0 && msg.message == WM_TIMER && msg.wParam == id)
            ticked = true;
        KillTimer(nullptr, id);
    });
    t.join();
    EXPECT_TRUE(ticked.load());
}

// Several threads post to one window and set and kill its timers at random;
// then, in turn, one of them posts and sets a timer on the otherwise quiet
// queue, where nothing but the timer itself can wake the reader. Every such
// timer must tick, and every post must arrive once and in order.
TEST(WindowTimerConcurrency, RandomPostsAndTimersFromManyThreadsLoseNothing) {
    ScaledTime fast(10);  // the shortest period, 10 ms, passes in 1 ms
    constexpr int kWorkers = 3;
    constexpr int kRounds = 600;
    constexpr UINT_PTR kFirstId = 100;
    std::atomic<HWND> window{nullptr};
    std::array<std::atomic<int>, kWorkers> ticks{};
    std::array<int, kWorkers> received{};
    int misordered = 0;
    std::thread reader([&] {
        window = MakeWindow();
        MSG msg;
        while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
            if (msg.message == WM_TIMER && msg.wParam >= kFirstId && msg.wParam < kFirstId + kWorkers)
                ++ticks[msg.wParam - kFirstId];
            else if (msg.message == WM_USER && msg.wParam < kWorkers && msg.lParam != received[msg.wParam]++)
                ++misordered;
        }
        DestroyWindow(window);
    });
    while (window.load() == nullptr) std::this_thread::yield();
    const HWND hwnd = window;
    const unsigned seed = std::random_device{}();
    std::atomic<int> lostInRound{-1};
    std::barrier step(kWorkers);
    std::array<int, kWorkers> sent{};
    std::vector<std::thread> workers;
    for (int w = 0; w < kWorkers; ++w) {
        workers.emplace_back([&, w] {
            std::mt19937 random(seed + static_cast<unsigned>(w));
            const UINT_PTR id = kFirstId + static_cast<UINT_PTR>(w);
            auto post = [&] { PostMessageA(hwnd, WM_USER, static_cast<WPARAM>(w), sent[w]++); };
            auto pause = [&random] { SpinFor(std::uniform_int_distribution<int>(0, 20000)(random)); };
            for (int round = 0; round < kRounds && lostInRound < 0; ++round) {
                for (int op = std::uniform_int_distribution<int>(1, 8)(random); op > 0; --op) {
                    switch (random() % 3) {
                    case 0: post(); break;
                    case 1: SetTimer(hwnd, id, 10, nullptr); break;
                    default: KillTimer(hwnd, id); break;
                    }
                    pause();
                }
                KillTimer(hwnd, id);
                step.arrive_and_wait();
                if (round % kWorkers == w) {
                    // The reader wakes for the post and looks for more; the
                    // timer is set somewhere in that time.
                    post();
                    pause();
                    const int before = ticks[w];
                    SetTimer(hwnd, id, 10, nullptr);
                    // Real time only bounds a wait for a tick that never comes.
                    const auto guard = std::chrono::steady_clock::now() + std::chrono::seconds(20);
                    while (ticks[w] == before) {
                        if (std::chrono::steady_clock::now() > guard) {
                            lostInRound = round;
                            break;
                        }
                        std::this_thread::sleep_for(std::chrono::microseconds(50));
                    }
                    KillTimer(hwnd, id);
                }
                step.arrive_and_wait();
            }
        });
    }
    for (auto& worker : workers) worker.join();
    PostMessageA(hwnd, WM_QUIT, 0, 0);
    reader.join();
    EXPECT_EQ(lostInRound.load(), -1) << "a timer set on a quiet queue never ticked (seed " << seed << ")";
    EXPECT_EQ(misordered, 0);
    for (int w = 0; w < kWorkers; ++w) EXPECT_EQ(received[w], sent[w]) << "posts of worker " << w;
}
