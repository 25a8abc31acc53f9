// Internal: one thread's message queue with its timers.
//
// Posted messages are kept in order; WM_QUIT (from PostQuitMessage) and
// WM_TIMER are not stored but made when the queue is read and nothing
// posted matches, as the platform we mirror does. The queue can expose a
// descriptor that is readable exactly while something is ready to be read.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "platform/win32/messages.h"
#include "platform/win32/timers.h"

namespace platform::detail {

struct MessageFilter {
    HWND hwnd;  // NULL: any; (HWND)-1: thread messages only; else that window
    UINT min;
    UINT max;
    bool Matches(HWND target, UINT message) const;
};

class ThreadQueue {
public:
    using Clock = std::chrono::steady_clock;

    explicit ThreadQueue(DWORD threadId);
    ~ThreadQueue();
    ThreadQueue(const ThreadQueue&) = delete;
    ThreadQueue& operator=(const ThreadQueue&) = delete;

    DWORD threadId() const { return m_threadId; }
    // A message stamped with the current tick count.
    static MSG Make(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

    // False once the owning thread has ended.
    bool Post(const MSG& msg);
    void PostQuit(int exitCode);
    void Close() { m_closed.store(true, std::memory_order_release); }
    bool IsClosed() const { return m_closed.load(std::memory_order_acquire); }
    // Takes (or copies, without remove) the first message that matches.
    bool Peek(MSG* out, const MessageFilter& filter, bool remove);
    // Blocks until a message matches; returns it removed.
    void Get(MSG* out, const MessageFilter& filter);
    // Blocks until anything is ready.
    void WaitForAny();

    void SetTimer(HWND hwnd, UINT_PTR id, UINT elapse, TIMERPROC proc);
    bool KillTimer(HWND hwnd, UINT_PTR id);
    // A destroyed window gets no more messages and no more ticks.
    void ForgetWindow(HWND hwnd);

    int Fd();

private:
    struct Timer {
        HWND hwnd;
        UINT_PTR id;
        Clock::duration period;
        Clock::time_point due;
        TIMERPROC proc;
    };

    static bool TakeFrom(std::deque<MSG>& messages, MSG* out, const MessageFilter& filter, bool remove);
    bool TakeLocked(MSG* out, const MessageFilter& filter, bool remove);
    void TakeAllPostsLocked();
    bool TakeTimerLocked(MSG* out, const MessageFilter& filter, bool remove);
    std::optional<Clock::time_point> NextDueLocked(const MessageFilter* filter) const;
    void SyncFdLocked();
    void UpdateReadyLocked();
    void SpinForPost(std::unique_lock<std::mutex>& lock, size_t seen);
    void SleepLocked(std::unique_lock<std::mutex>& lock, std::optional<Clock::time_point> due);

    const DWORD m_threadId;
    std::mutex m_lock;
    std::condition_variable m_changed;
    std::deque<MSG> m_messages;
    // Posts the owning thread has moved out in one go, all older than those
    // in m_messages. Only the owning thread touches it, without the lock, so
    // a busy reader takes the lock once per batch rather than per message.
    std::deque<MSG> m_taken;
    // Mirrors m_messages.size() + quit, readable without the lock.
    alignas(64) std::atomic<size_t> m_ready{0};
    std::vector<Timer> m_timers;
    bool m_quitPending = false;
    int m_quitCode = 0;
    int m_waiters = 0;
    std::atomic<bool> m_closed{false};
    // Wake-up descriptor: an epoll set over an eventfd (posted messages) and
    // a timerfd (the next due timer).
    int m_epollFd = -1;
    int m_eventFd = -1;
    int m_timerFd = -1;
    bool m_eventSignalled = false;
};

// The calling thread's queue, created on request. Both return references
// held by the calling thread, so the hot paths copy no shared pointer.
const std::shared_ptr<ThreadQueue>& CurrentQueue(bool create);
// Valid until the calling thread's next FindQueue; null when there is none.
const std::shared_ptr<ThreadQueue>& FindQueue(DWORD threadId);
// Called as a thread ends, so later posts to it fail at once.
void ReleaseCurrentQueue();
// A queue for a thread about to be created, registered at once so that a
// post made before the thread first reads its queue is kept. The new thread
// adopts it; one that never runs drops it with ReleaseQueue.
std::shared_ptr<ThreadQueue> CreateQueueFor(DWORD threadId);
void AdoptQueue(std::shared_ptr<ThreadQueue> queue);
void ReleaseQueue(DWORD threadId);

}  // namespace platform::detail
