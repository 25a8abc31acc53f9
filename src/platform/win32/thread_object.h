// Internal: the object behind a thread handle and the calling thread's id.
#pragma once

#include <pthread.h>
#include <sys/types.h>

#include <memory>

#include "platform/win32/kernel_object.h"
#include "platform/win32/threads.h"

namespace platform::detail {

// Thread ids are handed out from a counter, so an id is never reused while
// the process runs and a post to an ended thread can only fail.
DWORD NewThreadId();
void SetCurrentThreadId(DWORD id);

class ThreadQueue;

class ThreadObject : public KernelObject {
public:
    // The queue is the new thread's from its creation (see CreateQueueFor).
    ThreadObject(DWORD id, ThreadStartRoutine start, void* arg, DWORD suspendCount,
                 std::shared_ptr<ThreadQueue> queue);
    bool IsWaitable() const override { return true; }
    bool IsSignalled() const override { return m_finished; }

    DWORD id() const { return m_id; }
    // The body of the new thread.
    void Run();
    DWORD Resume();
    bool Terminate(DWORD exitCode);
    DWORD ExitCode() const;
    bool SetPriority(int priority);
    int Priority() const;

private:
    bool WaitUntilReleased();
    void Finish(DWORD exitCode);

    const DWORD m_id;
    const ThreadStartRoutine m_start;
    void* const m_arg;
    // Handed to the thread as it starts.
    std::shared_ptr<ThreadQueue> m_queue;
    // Under SignalLock():
    DWORD m_suspendCount;
    bool m_started = false;
    bool m_terminated = false;
    bool m_finished = false;
    DWORD m_exitCode = STILL_ACTIVE;
    int m_priority = THREAD_PRIORITY_NORMAL;
    pid_t m_tid = 0;
};

// Applies a priority level to a kernel thread; best effort.
void ApplyPriority(pid_t tid, int priority);

}  // namespace platform::detail
