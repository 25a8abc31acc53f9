#include "platform/win32/clock.h"

#include <sys/time.h>

#include <atomic>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <mutex>
#include <vector>

namespace {

using SteadyClock = std::chrono::steady_clock;

struct Snapshot {
    double scale;
    SteadyClock::rep realBase;
    double scaledBaseMs;
};

// Scaled time = scaledBase + (real now - realBase) * scale. Tick counts are
// read on every posted message, so readers take an immutable snapshot through
// one atomic pointer. A change of scale (rare: tests and tools) publishes a
// new snapshot; old ones are kept, since a reader may still hold one.
std::atomic<const Snapshot*> g_snapshot{nullptr};
std::mutex g_writer;
// Replaced snapshots, kept reachable; under g_writer.
std::vector<std::unique_ptr<const Snapshot>>* g_retired = new std::vector<std::unique_ptr<const Snapshot>>;

double ScaleFromEnvironment() {
    const char* text = std::getenv("VOCERRA_TIME_SCALE");
    if (text == nullptr || *text == '\0') return 1.0;
    char* end = nullptr;
    double k = std::strtod(text, &end);
    if (end == text || !(k > 0.0) || k > 1e6) return 1.0;
    return k;
}

const Snapshot* Read() {
    const Snapshot* snap = g_snapshot.load(std::memory_order_acquire);
    if (snap != nullptr) return snap;
    std::lock_guard<std::mutex> guard(g_writer);
    snap = g_snapshot.load(std::memory_order_acquire);
    if (snap == nullptr) {
        snap = new Snapshot{ScaleFromEnvironment(), SteadyClock::now().time_since_epoch().count(), 0.0};
        g_snapshot.store(snap, std::memory_order_release);
    }
    return snap;
}

double ScaledMsAt(const Snapshot* snap, SteadyClock::time_point now) {
    std::chrono::duration<double, std::milli> real = now - SteadyClock::time_point(SteadyClock::duration(snap->realBase));
    return snap->scaledBaseMs + real.count() * snap->scale;
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

double TimeScale() { return Read()->scale; }

void SetTimeScale(double k) {
    if (!(k > 0.0)) return;
    const Snapshot* current = Read();
    std::lock_guard<std::mutex> guard(g_writer);
    current = g_snapshot.load(std::memory_order_acquire);
    auto now = SteadyClock::now();
    auto* next = new Snapshot{k, now.time_since_epoch().count(), ScaledMsAt(current, now)};
    g_snapshot.store(next, std::memory_order_release);
    g_retired->emplace_back(current);
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
