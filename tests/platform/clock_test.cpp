#include <gtest/gtest.h>

#include <chrono>
#include <ctime>
#include <thread>

#include "platform/win32/win32.h"

TEST(Clock, TickCountRunsScaleTimesFasterAndStaysContinuous) {
    double saved = platform::TimeScale();
    platform::SetTimeScale(100);
    DWORD before = GetTickCount();
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    DWORD after = GetTickCount();
    // 50 ms of real time are about 5 s of scaled time.
    EXPECT_GE(after - before, 4500u);
    EXPECT_LE(after - before, 60000u);
    platform::SetTimeScale(1);
    DWORD slow = GetTickCount();
    EXPECT_GE(slow, after);
    EXPECT_LT(slow - after, 1000u) << "tick count jumped when the scale changed";
    platform::SetTimeScale(saved);
}

TEST(Clock, SleepAndWaitTimeOutsAreScaled) {
    double saved = platform::TimeScale();
    platform::SetTimeScale(1000);
    auto start = std::chrono::steady_clock::now();
    Sleep(10000);  // ten scaled seconds
    HANDLE never = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    EXPECT_EQ(WaitForSingleObject(never, 10000), WAIT_TIMEOUT);
    auto real = std::chrono::steady_clock::now() - start;
    EXPECT_LT(real, std::chrono::seconds(15));
    CloseHandle(never);
    platform::SetTimeScale(saved);
    EXPECT_EQ(platform::ScaledToReal(1000).count(), static_cast<long long>(1e9 / saved));
}

TEST(Clock, LocalTimeIsTheCalendarClock) {
    SYSTEMTIME st;
    GetLocalTime(&st);
    std::time_t now = std::time(nullptr);
    std::tm local;
    localtime_r(&now, &local);
    EXPECT_EQ(st.wYear, local.tm_year + 1900);
    EXPECT_EQ(st.wMonth, local.tm_mon + 1);
    EXPECT_GE(st.wDay, 1);
    EXPECT_LE(st.wMilliseconds, 999);
}
