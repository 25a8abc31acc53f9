#include "platform/win32/threads.h"

#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <cstring>

#include "platform/win32/errors.h"
#include "platform/win32/thread_object.h"
#include "platform/win32/thread_queue.h"

namespace platform::detail {

namespace {

std::atomic<DWORD> g_nextThreadId{0x1000};
thread_local DWORD t_threadId = 0;
thread_local int t_priority = THREAD_PRIORITY_NORMAL;

// Unwinds a thread that calls _endthreadex back to its body.
struct ThreadExit {
    unsigned code;
};

bool RealtimeAllowed() {
    const char* text = std::getenv("VOCERRA_REALTIME");
    return text != nullptr && std::strcmp(text, "1") == 0;
}

int NiceFor(int priority) {
    switch (priority) {
        case THREAD_PRIORITY_TIME_CRITICAL: return -15;
        case THREAD_PRIORITY_HIGHEST: return -10;
        case THREAD_PRIORITY_ABOVE_NORMAL: return -5;
        case THREAD_PRIORITY_BELOW_NORMAL: return 5;
        case THREAD_PRIORITY_LOWEST: return 10;
        case THREAD_PRIORITY_IDLE: return 19;
        default: return 0;
    }
}

bool ValidPriority(int priority) {
    return (priority >= THREAD_PRIORITY_LOWEST && priority <= THREAD_PRIORITY_HIGHEST) ||
           priority == THREAD_PRIORITY_IDLE || priority == THREAD_PRIORITY_TIME_CRITICAL;
}

}  // namespace

DWORD NewThreadId() { return g_nextThreadId.fetch_add(4); }

void SetCurrentThreadId(DWORD id) { t_threadId = id; }

void ApplyPriority(pid_t tid, int priority) {
    // Real-time scheduling only on request: a spinning real-time thread can
    // starve a small machine, so the default is a nice value.
    if (RealtimeAllowed() && priority >= THREAD_PRIORITY_HIGHEST) {
        sched_param param{};
        param.sched_priority = priority == THREAD_PRIORITY_TIME_CRITICAL ? 20 : 10;
        if (sched_setscheduler(tid, SCHED_FIFO, &param) == 0) return;
    }
    sched_param normal{};
    sched_setscheduler(tid, SCHED_OTHER, &normal);
    // Raising priority needs privilege; without it the thread stays normal.
    setpriority(PRIO_PROCESS, static_cast<id_t>(tid), NiceFor(priority));
}

ThreadObject::ThreadObject(DWORD id, ThreadStartRoutine start, void* arg, DWORD suspendCount,
                           std::shared_ptr<ThreadQueue> queue)
    : m_id(id), m_start(start), m_arg(arg), m_queue(std::move(queue)), m_suspendCount(suspendCount) {}

bool ThreadObject::WaitUntilReleased() {
    std::unique_lock<std::mutex> lock(SignalLock());
    m_tid = gettid();
    SignalChanged().wait(lock, [this] { return m_suspendCount == 0 || m_terminated; });
    if (m_terminated) return false;
    m_started = true;
    if (m_priority != THREAD_PRIORITY_NORMAL) ApplyPriority(m_tid, m_priority);
    return true;
}

void ThreadObject::Run() {
    SetCurrentThreadId(m_id);
    AdoptQueue(std::move(m_queue));
    if (!WaitUntilReleased()) {
        ReleaseCurrentQueue();
        Finish(m_exitCode);
        return;
    }
    unsigned code;
    try {
        code = m_start(m_arg);
    } catch (const ThreadExit& exit) {
        code = exit.code;
    }
    ReleaseCurrentQueue();
    Finish(code);
}

void ThreadObject::Finish(DWORD exitCode) {
    {
        std::lock_guard<std::mutex> guard(SignalLock());
        m_exitCode = exitCode;
        m_finished = true;
    }
    SignalChanged().notify_all();
}

DWORD ThreadObject::Resume() {
    DWORD previous;
    {
        std::lock_guard<std::mutex> guard(SignalLock());
        previous = m_suspendCount;
        if (m_suspendCount > 0) --m_suspendCount;
    }
    if (previous == 1) SignalChanged().notify_all();
    return previous;
}

bool ThreadObject::Terminate(DWORD exitCode) {
    {
        std::lock_guard<std::mutex> guard(SignalLock());
        if (m_finished) return true;
        // A thread that already runs its routine cannot be stopped safely here.
        if (m_started) return false;
        m_terminated = true;
        m_exitCode = exitCode;
    }
    ReleaseQueue(m_id);  // it never runs: posts to it fail from now on
    SignalChanged().notify_all();
    return true;
}

DWORD ThreadObject::ExitCode() const {
    std::lock_guard<std::mutex> guard(SignalLock());
    return m_exitCode;
}

bool ThreadObject::SetPriority(int priority) {
    std::lock_guard<std::mutex> guard(SignalLock());
    m_priority = priority;
    if (m_started && !m_finished && m_tid != 0) ApplyPriority(m_tid, priority);
    return true;
}

int ThreadObject::Priority() const {
    std::lock_guard<std::mutex> guard(SignalLock());
    return m_priority;
}

}  // namespace platform::detail

using platform::detail::LookupAs;
using platform::detail::ThreadObject;

namespace {

const HANDLE kCurrentThreadPseudo = reinterpret_cast<HANDLE>(static_cast<LONG_PTR>(-2));

void* ThreadTrampoline(void* param) {
    auto* holder = static_cast<std::shared_ptr<ThreadObject>*>(param);
    std::shared_ptr<ThreadObject> self = std::move(*holder);
    delete holder;
    self->Run();
    return nullptr;
}

std::shared_ptr<ThreadObject> ThreadOf(HANDLE handle) {
    auto thread = LookupAs<ThreadObject>(handle);
    if (!thread) SetLastError(ERROR_INVALID_HANDLE);
    return thread;
}

}  // namespace

uintptr_t _beginthreadex(void*, unsigned stackSize, ThreadStartRoutine start, void* arg,
                         unsigned initFlag, unsigned* threadId) {
    if (start == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    DWORD id = platform::detail::NewThreadId();
    // The queue exists before the thread does, so a stop posted to a worker
    // that has not read its queue yet is kept rather than refused.
    auto object = std::make_shared<ThreadObject>(id, start, arg, (initFlag & CREATE_SUSPENDED) ? 1u : 0u,
                                                 platform::detail::CreateQueueFor(id));
    pthread_attr_t attr;
    pthread_attr_init(&attr);
    pthread_attr_setdetachstate(&attr, PTHREAD_CREATE_DETACHED);
    if (stackSize != 0) pthread_attr_setstacksize(&attr, stackSize < 65536 ? 65536 : stackSize);
    auto* holder = new std::shared_ptr<ThreadObject>(object);
    pthread_t native;
    int rc = pthread_create(&native, &attr, ThreadTrampoline, holder);
    pthread_attr_destroy(&attr);
    if (rc != 0) {
        delete holder;
        platform::detail::ReleaseQueue(id);
        SetLastError(Win32ErrorFromErrno(rc));
        return 0;
    }
    if (threadId != nullptr) *threadId = id;
    return reinterpret_cast<uintptr_t>(platform::detail::InsertHandle(object));
}

void _endthreadex(unsigned exitCode) { throw platform::detail::ThreadExit{exitCode}; }

DWORD ResumeThread(HANDLE hThread) {
    auto thread = ThreadOf(hThread);
    return thread ? thread->Resume() : static_cast<DWORD>(-1);
}

BOOL TerminateThread(HANDLE hThread, DWORD exitCode) {
    auto thread = ThreadOf(hThread);
    if (!thread) return FALSE;
    if (!thread->Terminate(exitCode)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    return TRUE;
}

BOOL GetExitCodeThread(HANDLE hThread, LPDWORD exitCode) {
    auto thread = ThreadOf(hThread);
    if (!thread || exitCode == nullptr) return FALSE;
    *exitCode = thread->ExitCode();
    return TRUE;
}

BOOL SetThreadPriority(HANDLE hThread, int priority) {
    if (!platform::detail::ValidPriority(priority)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (hThread == kCurrentThreadPseudo) {
        platform::detail::t_priority = priority;
        platform::detail::ApplyPriority(gettid(), priority);
        return TRUE;
    }
    auto thread = ThreadOf(hThread);
    return thread && thread->SetPriority(priority) ? TRUE : FALSE;
}

int GetThreadPriority(HANDLE hThread) {
    if (hThread == kCurrentThreadPseudo) return platform::detail::t_priority;
    auto thread = ThreadOf(hThread);
    return thread ? thread->Priority() : THREAD_PRIORITY_ERROR_RETURN;
}

DWORD GetCurrentThreadId() {
    if (platform::detail::t_threadId == 0) platform::detail::t_threadId = platform::detail::NewThreadId();
    return platform::detail::t_threadId;
}

HANDLE GetCurrentThread() { return kCurrentThreadPseudo; }

DWORD GetThreadId(HANDLE hThread) {
    if (hThread == kCurrentThreadPseudo) return GetCurrentThreadId();
    auto thread = ThreadOf(hThread);
    return thread ? thread->id() : 0;
}
