#include "platform/win32/clock.h"

#include <sys/time.h>

#include <atomic>
#include <cstdlib>
#include <ctime>
#include <mutex>

namespace {

using SteadyClock = std::chrono::steady_clock;

// Scaled time = scaledBase + (real now - realBase) * scale. The three values
// change together only when the scale changes (rarely, from tests), so
// readers take them under a sequence counter instead of a lock: tick counts
// are read on every posted message.
struct ScaleState {
    std::atomic<unsigned> sequence{0};
    std::atomic<double> scale{1.0};
    std::atomic<SteadyClock::rep> realBase{0};
    std::atomic<double> scaledBaseMs{0.0};
    std::mutex writer;
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
        s->realBase = SteadyClock::now().time_since_epoch().count();
        return s;
    }();
    return *state;
}

struct Snapshot {
    double scale;
    SteadyClock::rep realBase;
    double scaledBaseMs;
};

Snapshot Read() {
    ScaleState& s = State();
    for (;;) {
        unsigned before = s.sequence.load(std::memory_order_acquire);
        Snapshot snap{s.scale.load(std::memory_order_relaxed), s.realBase.load(std::memory_order_relaxed),
                      s.scaledBaseMs.load(std::memory_order_relaxed)};
        std::atomic_thread_fence(std::memory_order_acquire);
        if ((before & 1) == 0 && s.sequence.load(std::memory_order_relaxed) == before) return snap;
    }
}

double ScaledMsAt(const Snapshot& snap, SteadyClock::time_point now) {
    std::chrono::duration<double, std::milli> real = now - SteadyClock::time_point(SteadyClock::duration(snap.realBase));
    return snap.scaledBaseMs + real.count() * snap.scale;
}

double ScaledNowMs() { return ScaledMsAt(Read(), SteadyClock::now()); }

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

double TimeScale() { return Read().scale; }

void SetTimeScale(double k) {
    if (!(k > 0.0)) return;
    ScaleState& s = State();
    std::lock_guard<std::mutex> guard(s.writer);
    auto now = SteadyClock::now();
    double scaledNow = ScaledMsAt(Read(), now);
    s.sequence.fetch_add(1, std::memory_order_acq_rel);
    std::atomic_thread_fence(std::memory_order_release);
    s.scaledBaseMs.store(scaledNow, std::memory_order_relaxed);
    s.realBase.store(now.time_since_epoch().count(), std::memory_order_relaxed);
    s.scale.store(k, std::memory_order_relaxed);
    s.sequence.fetch_add(1, std::memory_order_release);
}

std::chrono::nanoseconds ScaledToReal(double milliseconds) {
    double ns = milliseconds * 1e6 / TimeScale();
    return std::chrono::nanoseconds(static_cast<long long>(ns));
}

DWORD CoarseTickCount() {
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC_COARSE, &ts);
    auto now = SteadyClock::time_point(std::chrono::seconds(ts.tv_sec) + std::chrono::nanoseconds(ts.tv_nsec));
    return static_cast<DWORD>(static_cast<ULONGLONG>(ScaledMsAt(Read(), now)));
}

double RealToScaledMs(std::chrono::nanoseconds real) {
    return static_cast<double>(real.count()) / 1e6 * TimeScale();
}

}  // namespace platform
