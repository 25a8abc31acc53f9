// Tick counts and the calendar clock, and the time scale.
//
// VOCERRA_TIME_SCALE=k (default 1) makes tick counts, timers, sleeps, waits
// with time-outs and the pacing of simulated devices run k times faster.
// Calendar time is not scaled.
#pragma once

#include <chrono>

#include "platform/win32/types.h"

DWORD GetTickCount();
ULONGLONG GetTickCount64();
void GetLocalTime(LPSYSTEMTIME time);
void GetSystemTime(LPSYSTEMTIME time);

namespace platform {

// The scale in force (read from VOCERRA_TIME_SCALE on first use).
double TimeScale();
// For tests and tools; tick counts stay continuous across a change.
void SetTimeScale(double k);
// Converts milliseconds of scaled time into a real duration.
std::chrono::nanoseconds ScaledToReal(double milliseconds);
// Converts a real duration into milliseconds of scaled time.
double RealToScaledMs(std::chrono::nanoseconds real);
// The tick count from the kernel's coarse clock (a few real milliseconds of
// resolution, a fraction of the cost): stamps posted messages.
DWORD CoarseTickCount();

}  // namespace platform
