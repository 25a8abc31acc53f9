#include "platform/win32/clock.h"

#include <sys/time.h>

#include <atomic>
#include <cstdlib>
#include <ctime>
#include <mutex>

namespace {

using SteadyClock = std::chrono::steady_clock;

// Scaled time = base + (real now - realBase) * scale; rebased on every change
// of scale so tick counts never jump.
struct ScaleState {
    std::mutex lock;
    double scale = 1.0;
    SteadyClock::time_point realBase = SteadyClock::now();
    double scaledBaseMs = 0.0;
};

double ScaleFromEnvironment() {
    const char* text = std::getenv("VOCERRA_TIME_SCALE");
    if (text == nullptr || *text == '\0') return 1.0;
    char* end = nullptr;
    double k = std::strtod(text, &end);
    if (end == text || !(k > 0.0) || k > 1e6) return 1.0;
    return k;
}

ScaleState& State() {
    static ScaleState* state = [] {
        auto* s = new ScaleState;
        s->scale = ScaleFromEnvironment();
        return s;
    }();
    return *state;
}

std::atomic<double> g_scaleCache{0.0};

double ScaledNowMs() {
    ScaleState& s = State();
    std::lock_guard<std::mutex> guard(s.lock);
    std::chrono::duration<double, std::milli> real = SteadyClock::now() - s.realBase;
    return s.scaledBaseMs + real.count() * s.scale;
}

void FillSystemTime(const struct tm& t, long millis, LPSYSTEMTIME out) {
    out->wYear = static_cast<WORD>(t.tm_year + 1900);
    out->wMonth = static_cast<WORD>(t.tm_mon + 1);
    out->wDayOfWeek = static_cast<WORD>(t.tm_wday);
    out->wDay = static_cast<WORD>(t.tm_mday);
    out->wHour = static_cast<WORD>(t.tm_hour);
    out->wMinute = static_cast<WORD>(t.tm_min);
    out->wSecond = static_cast<WORD>(t.tm_sec);
    out->wMilliseconds = static_cast<WORD>(millis);
}

void CalendarTime(LPSYSTEMTIME out, bool local) {
    struct timespec ts;
    clock_gettime(CLOCK_REALTIME, &ts);
    struct tm t;
    if (local)
        localtime_r(&ts.tv_sec, &t);
    else
        gmtime_r(&ts.tv_sec, &t);
    FillSystemTime(t, ts.tv_nsec / 1000000, out);
}

}  // namespace

DWORD GetTickCount() { return static_cast<DWORD>(GetTickCount64()); }

ULONGLONG GetTickCount64() { return static_cast<ULONGLONG>(ScaledNowMs()); }

void GetLocalTime(LPSYSTEMTIME time) { CalendarTime(time, true); }

void GetSystemTime(LPSYSTEMTIME time) { CalendarTime(time, false); }

namespace platform {

double TimeScale() {
    double k = g_scaleCache.load(std::memory_order_relaxed);
    if (k > 0.0) return k;
    ScaleState& s = State();
    std::lock_guard<std::mutex> guard(s.lock);
    g_scaleCache.store(s.scale, std::memory_order_relaxed);
    return s.scale;
}

void SetTimeScale(double k) {
    if (!(k > 0.0)) return;
    ScaleState& s = State();
    std::lock_guard<std::mutex> guard(s.lock);
    auto now = SteadyClock::now();
    std::chrono::duration<double, std::milli> real = now - s.realBase;
    s.scaledBaseMs += real.count() * s.scale;
    s.realBase = now;
    s.scale = k;
    g_scaleCache.store(k, std::memory_order_relaxed);
}

std::chrono::nanoseconds ScaledToReal(double milliseconds) {
    double ns = milliseconds * 1e6 / TimeScale();
    return std::chrono::nanoseconds(static_cast<long long>(ns));
}

double RealToScaledMs(std::chrono::nanoseconds real) {
    return static_cast<double>(real.count()) / 1e6 * TimeScale();
}

}  // namespace platform
