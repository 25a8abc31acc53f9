// The diagnostic trace log: time-stamped lines appended to "dbg_err.txt" in
// the current directory, under four area switches that are off in the
// delivered build (the "trace" build preset turns them all on).
#pragma once

extern int g_bTraceTapi;
extern int g_bTraceAudio;
extern int g_bTraceDetector;
extern int g_bTraceStateMachine;

// Size of the formatted line, prefix and line end included.
constexpr int kTraceLineSize = 1000;
// The longest message that fits the line after the 21-character prefix.
constexpr int kTraceMaxMessage = kTraceLineSize - 21 - 1 - 1;

// Appends one line; a message longer than kTraceMaxMessage is cut. Never fails
// visibly: when the file cannot be opened the line is dropped.
void VM_WriteTrace(const char* message);

// Formats with a bounded formatter, then writes. Text from the line or a
// file must be passed as an argument, never as the format.
void VM_TraceF(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Tests the switch first, so a switched-off trace point formats nothing.
#define VM_TRACE(area, ...)              \
    do {                                 \
        if (area) VM_TraceF(__VA_ARGS__); \
    } while (0)
