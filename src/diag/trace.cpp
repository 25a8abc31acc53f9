#include "diag/trace.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <mutex>

#include "platform/win32/clock.h"

#ifdef VOCERRA_TRACE_ON
#define TRACE_INITIAL 1
#else
#define TRACE_INITIAL 0
#endif

int g_bTraceTapi = TRACE_INITIAL;
int g_bTraceAudio = TRACE_INITIAL;
int g_bTraceDetector = TRACE_INITIAL;
int g_bTraceStateMachine = TRACE_INITIAL;

namespace {

// Lines from several threads must not interleave in the file.
std::mutex& TraceMutex() {
    static std::mutex m;
    return m;
}

// Prefix, message and CR LF fill at most kTraceLineSize bytes; no NUL is kept.
int FormatLine(char* line, const char* message) {
    SYSTEMTIME st;
    GetLocalTime(&st);
    int prefix = std::snprintf(line, kTraceLineSize, "%02d/%02d %02d:%02d:%02d.%03d - ", st.wDay,
                               st.wMonth, st.wHour, st.wMinute, st.wSecond, st.wMilliseconds);
    size_t len = std::strlen(message);
    if (len > static_cast<size_t>(kTraceMaxMessage)) len = kTraceMaxMessage;
    std::memcpy(line + prefix, message, len);
    // The file is a text file of the platform the log is read on: CR LF.
    std::memcpy(line + prefix + len, "\r\n", 2);
    return prefix + static_cast<int>(len) + 2;
}

}  // namespace

void VM_WriteTrace(const char* message) {
    if (message == nullptr) return;
    char line[kTraceLineSize];
    int n = FormatLine(line, message);
    std::lock_guard<std::mutex> lock(TraceMutex());
    // Never through a symbolic link someone placed in the current directory,
    // and readable by the owner only: lines may carry callers' numbers.
    const int fd = ::open("dbg_err.txt", O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) return;
    (void)!::write(fd, line, static_cast<size_t>(n));
    ::close(fd);
}

void VM_TraceF(const char* format, ...) {
    char message[kTraceLineSize];
    va_list args;
    va_start(args, format);
    std::vsnprintf(message, sizeof message, format, args);
    va_end(args);
    VM_WriteTrace(message);
}
