// Threads with suspend counts, exit codes and priorities, and waits.
#pragma once

#include "platform/win32/types.h"

constexpr DWORD CREATE_SUSPENDED = 0x00000004;
constexpr DWORD STILL_ACTIVE = 259;

constexpr int THREAD_PRIORITY_IDLE = -15;
constexpr int THREAD_PRIORITY_LOWEST = -2;
constexpr int THREAD_PRIORITY_BELOW_NORMAL = -1;
constexpr int THREAD_PRIORITY_NORMAL = 0;
constexpr int THREAD_PRIORITY_ABOVE_NORMAL = 1;
constexpr int THREAD_PRIORITY_HIGHEST = 2;
constexpr int THREAD_PRIORITY_TIME_CRITICAL = 15;
constexpr int THREAD_PRIORITY_ERROR_RETURN = 0x7FFFFFFF;

constexpr DWORD WAIT_OBJECT_0 = 0x00000000;
constexpr DWORD WAIT_ABANDONED = 0x00000080;
constexpr DWORD WAIT_TIMEOUT = 0x00000102;
constexpr DWORD WAIT_FAILED = 0xFFFFFFFF;

using ThreadStartRoutine = unsigned (*)(void*);

// Returns the thread handle (0 on failure) and stores the thread id.
uintptr_t _beginthreadex(void* security, unsigned stackSize, ThreadStartRoutine start,
                         void* arg, unsigned initFlag, unsigned* threadId);
void _endthreadex(unsigned exitCode);

// Returns the previous suspend count, or (DWORD)-1 on failure.
DWORD ResumeThread(HANDLE hThread);
// Only a thread that has never run can be ended this way; it then never runs.
BOOL TerminateThread(HANDLE hThread, DWORD exitCode);
BOOL GetExitCodeThread(HANDLE hThread, LPDWORD exitCode);
// Best effort: real-time scheduling for the two highest levels when
// VOCERRA_REALTIME=1 and the process may use it, otherwise a nice value.
// The level asked for is what GetThreadPriority reports either way.
BOOL SetThreadPriority(HANDLE hThread, int priority);
int GetThreadPriority(HANDLE hThread);
DWORD GetCurrentThreadId();
HANDLE GetCurrentThread();
DWORD GetThreadId(HANDLE hThread);

// Threads, events: the time-out is in milliseconds of scaled time.
DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds);
DWORD WaitForMultipleObjects(DWORD count, const HANDLE* handles, BOOL waitAll, DWORD milliseconds);
BOOL CloseHandle(HANDLE handle);

void Sleep(DWORD milliseconds);
