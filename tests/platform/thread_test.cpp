#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "platform/win32/win32.h"

namespace {

struct Probe {
    std::atomic<int> runs{0};
    std::atomic<DWORD> idInside{0};
    HANDLE release = nullptr;
};

unsigned RecordRun(void* arg) {
    auto* probe = static_cast<Probe*>(arg);
    probe->idInside = GetCurrentThreadId();
    ++probe->runs;
    if (probe->release != nullptr) WaitForSingleObject(probe->release, INFINITE);
    return 77;
}

HANDLE Start(Probe* probe, unsigned flags, unsigned* id = nullptr) {
    return reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, RecordRun, probe, flags, id));
}

}  // namespace

TEST(Thread, SuspendedThreadRunsOnlyAfterResumeAndCountsDown) {
    Probe probe;
    unsigned id = 0;
    HANDLE h = Start(&probe, CREATE_SUSPENDED, &id);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(WaitForSingleObject(h, 100), WAIT_TIMEOUT);
    EXPECT_EQ(probe.runs.load(), 0);
    DWORD code = 0;
    ASSERT_TRUE(GetExitCodeThread(h, &code));
    EXPECT_EQ(code, STILL_ACTIVE);
    EXPECT_EQ(ResumeThread(h), 1u);
    EXPECT_EQ(WaitForSingleObject(h, 10000), WAIT_OBJECT_0);
    EXPECT_EQ(probe.runs.load(), 1);
    EXPECT_EQ(probe.idInside.load(), id);
    EXPECT_EQ(GetThreadId(h), id);
    ASSERT_TRUE(GetExitCodeThread(h, &code));
    EXPECT_EQ(code, 77u);
    EXPECT_EQ(ResumeThread(h), 0u);
    EXPECT_TRUE(CloseHandle(h));
    EXPECT_FALSE(CloseHandle(h));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
}

TEST(Thread, TerminatedThreadThatNeverRanNeverRuns) {
    Probe probe;
    HANDLE h = Start(&probe, CREATE_SUSPENDED);
    ASSERT_TRUE(TerminateThread(h, 5));
    EXPECT_EQ(WaitForSingleObject(h, 10000), WAIT_OBJECT_0);
    EXPECT_EQ(ResumeThread(h), 1u);  // too late to matter
    Sleep(50);
    EXPECT_EQ(probe.runs.load(), 0);
    DWORD code = 0;
    GetExitCodeThread(h, &code);
    EXPECT_EQ(code, 5u);
    CloseHandle(h);
}

namespace {

unsigned ReadOneMessage(void* arg) {
    MSG msg{};
    GetMessageA(&msg, nullptr, 0, 0);
    *static_cast<UINT*>(arg) = msg.message;
    return 0;
}

}  // namespace

// A stop posted to a call's worker before it first reads its queue must wait
// there for it; refused, the thread that waits for the worker would hang.
TEST(Thread, PostBeforeTheThreadFirstReadsItsQueueIsKept) {
    UINT received = 0;
    unsigned id = 0;
    HANDLE h = reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, ReadOneMessage, &received, CREATE_SUSPENDED, &id));
    ASSERT_NE(h, nullptr);
    EXPECT_TRUE(PostThreadMessageA(id, WM_USER + 5, 0, 0));
    ResumeThread(h);
    ASSERT_EQ(WaitForSingleObject(h, 20000), WAIT_OBJECT_0);
    EXPECT_EQ(received, WM_USER + 5u);
    CloseHandle(h);
    EXPECT_FALSE(PostThreadMessageA(id, WM_USER, 0, 0)) << "an ended thread keeps no queue";

    Probe probe;
    HANDLE never = Start(&probe, CREATE_SUSPENDED, &id);
    ASSERT_TRUE(TerminateThread(never, 0));
    EXPECT_FALSE(PostThreadMessageA(id, WM_USER, 0, 0)) << "a thread that never runs keeps no queue";
    WaitForSingleObject(never, 20000);
    CloseHandle(never);
}

TEST(Thread, RunningThreadCannotBeTerminated) {
    Probe probe;
    probe.release = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE h = Start(&probe, 0);
    while (probe.runs.load() == 0) Sleep(1);
    EXPECT_FALSE(TerminateThread(h, 1));
    SetEvent(probe.release);
    EXPECT_EQ(WaitForSingleObject(h, 10000), WAIT_OBJECT_0);
    DWORD code = 0;
    GetExitCodeThread(h, &code);
    EXPECT_EQ(code, 77u);
    CloseHandle(h);
    CloseHandle(probe.release);
}

TEST(Thread, PriorityIsRecordedAndRefusedWhenInvalid) {
    Probe probe;
    HANDLE h = Start(&probe, CREATE_SUSPENDED);
    EXPECT_TRUE(SetThreadPriority(h, THREAD_PRIORITY_TIME_CRITICAL));
    EXPECT_EQ(GetThreadPriority(h), THREAD_PRIORITY_TIME_CRITICAL);
    EXPECT_FALSE(SetThreadPriority(h, 7));
    ResumeThread(h);
    WaitForSingleObject(h, 10000);
    CloseHandle(h);
    EXPECT_TRUE(SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_NORMAL));
}

TEST(Thread, EndThreadExSetsTheExitCode) {
    HANDLE h = reinterpret_cast<HANDLE>(_beginthreadex(
        nullptr, 0, [](void*) -> unsigned {
            _endthreadex(12);
            return 1;
        },
        nullptr, 0, nullptr));
    ASSERT_EQ(WaitForSingleObject(h, 10000), WAIT_OBJECT_0);
    DWORD code = 0;
    GetExitCodeThread(h, &code);
    EXPECT_EQ(code, 12u);
    CloseHandle(h);
}

TEST(Event, AutoResetReleasesOneWaitManualResetStays) {
    HANDLE automatic = CreateEventA(nullptr, FALSE, TRUE, nullptr);
    EXPECT_EQ(WaitForSingleObject(automatic, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(automatic, 0), WAIT_TIMEOUT);
    HANDLE manual = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    EXPECT_EQ(WaitForSingleObject(manual, 0), WAIT_TIMEOUT);
    SetEvent(manual);
    EXPECT_EQ(WaitForSingleObject(manual, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(manual, 0), WAIT_OBJECT_0);
    ResetEvent(manual);
    EXPECT_EQ(WaitForSingleObject(manual, 10), WAIT_TIMEOUT);
    HANDLE both[2] = {automatic, manual};
    SetEvent(manual);
    EXPECT_EQ(WaitForMultipleObjects(2, both, FALSE, 0), WAIT_OBJECT_0 + 1);
    EXPECT_EQ(WaitForMultipleObjects(2, both, TRUE, 0), WAIT_TIMEOUT);
    SetEvent(automatic);
    EXPECT_EQ(WaitForMultipleObjects(2, both, TRUE, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(automatic, 0), WAIT_TIMEOUT) << "wait-all must consume the auto event";
    EXPECT_EQ(WaitForSingleObject(reinterpret_cast<HANDLE>(0x12345678), 0), WAIT_FAILED);
    CloseHandle(automatic);
    CloseHandle(manual);
}

TEST(EventConcurrency, SetFromAnotherThreadWakesTheWaiter) {
    HANDLE event = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    std::thread setter([event] {
        Sleep(20);
        SetEvent(event);
    });
    EXPECT_EQ(WaitForSingleObject(event, 10000), WAIT_OBJECT_0);
    setter.join();
    CloseHandle(event);
}

TEST(CriticalSectionConcurrency, IsRecursiveAndExcludesOtherThreads) {
    CRITICAL_SECTION cs;
    InitializeCriticalSection(&cs);
    EnterCriticalSection(&cs);
    EnterCriticalSection(&cs);  // the owner may enter again
    std::atomic<bool> otherEntered{false};
    std::thread other([&] {
        EXPECT_FALSE(TryEnterCriticalSection(&cs));
        EnterCriticalSection(&cs);
        otherEntered = true;
        LeaveCriticalSection(&cs);
    });
    LeaveCriticalSection(&cs);
    Sleep(20);
    EXPECT_FALSE(otherEntered.load()) << "entered while still held once";
    LeaveCriticalSection(&cs);
    other.join();
    EXPECT_TRUE(otherEntered.load());
    long counter = 0;
    std::thread a([&] {
        for (int i = 0; i < 20000; ++i) {
            EnterCriticalSection(&cs);
            ++counter;
            LeaveCriticalSection(&cs);
        }
    });
    for (int i = 0; i < 20000; ++i) {
        EnterCriticalSection(&cs);
        ++counter;
        LeaveCriticalSection(&cs);
    }
    a.join();
    EXPECT_EQ(counter, 40000);
    DeleteCriticalSection(&cs);
}
