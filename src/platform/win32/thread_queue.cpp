#include "platform/win32/thread_queue.h"

#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/timerfd.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <shared_mutex>
#include <unordered_map>

#include "platform/win32/clock.h"
#include "platform/win32/threads.h"

namespace platform::detail {

namespace {

const HWND kThreadMessagesOnly = reinterpret_cast<HWND>(static_cast<LONG_PTR>(-1));
// The shortest period the platform allows a timer.
constexpr UINT kMinimumElapse = 10;

struct QueueRegistry {
    std::shared_mutex lock;
    std::unordered_map<DWORD, std::shared_ptr<ThreadQueue>> queues;
};

QueueRegistry& Registry() {
    static QueueRegistry* registry = new QueueRegistry;  // outlives every thread
    return *registry;
}

std::shared_ptr<ThreadQueue> LookUp(DWORD threadId) {
    QueueRegistry& registry = Registry();
    std::shared_lock<std::shared_mutex> guard(registry.lock);
    auto it = registry.queues.find(threadId);
    return it == registry.queues.end() ? nullptr : it->second;
}

void Unregister(DWORD threadId) {
    std::shared_ptr<ThreadQueue> doomed;
    QueueRegistry& registry = Registry();
    std::unique_lock<std::shared_mutex> guard(registry.lock);
    auto it = registry.queues.find(threadId);
    if (it == registry.queues.end()) return;
    doomed = std::move(it->second);
    doomed->Close();
    registry.queues.erase(it);
}

struct QueueHolder {
    std::shared_ptr<ThreadQueue> queue;
    ~QueueHolder() {
        if (queue) Unregister(queue->threadId());
    }
};

thread_local QueueHolder t_holder;


inline void CpuRelax() {
#if defined(__x86_64__) || defined(__i386__)
    __builtin_ia32_pause();
#elif defined(__aarch64__)
    asm volatile("yield");
#endif
}

void ArmTimerFd(int fd, std::optional<ThreadQueue::Clock::time_point> due) {
    uint64_t expirations;
    while (read(fd, &expirations, sizeof expirations) > 0) {
    }
    itimerspec setting{};
    if (due) {
        auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(due->time_since_epoch()).count();
        if (ns <= 0) ns = 1;  // zero would disarm
        setting.it_value.tv_sec = static_cast<time_t>(ns / 1000000000);
        setting.it_value.tv_nsec = static_cast<long>(ns % 1000000000);
    }
    timerfd_settime(fd, TFD_TIMER_ABSTIME, &setting, nullptr);
}

}  // namespace

bool MessageFilter::Matches(HWND target, UINT message) const {
    if (hwnd == kThreadMessagesOnly) {
        if (target != nullptr) return false;
    } else if (hwnd != nullptr && target != hwnd) {
        return false;
    }
    if (min == 0 && max == 0) return true;
    return message >= min && message <= max;
}

ThreadQueue::ThreadQueue(DWORD threadId) : m_threadId(threadId) {}

ThreadQueue::~ThreadQueue() {
    if (m_epollFd >= 0) close(m_epollFd);
    if (m_eventFd >= 0) close(m_eventFd);
    if (m_timerFd >= 0) close(m_timerFd);
}

MSG ThreadQueue::Make(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    MSG msg{};
    msg.hwnd = hwnd;
    msg.message = message;
    msg.wParam = wParam;
    msg.lParam = lParam;
    msg.time = CoarseTickCount();
    return msg;
}

bool ThreadQueue::Post(const MSG& msg) {
    if (IsClosed()) return false;
    bool wake;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_messages.push_back(msg);
        UpdateReadyLocked();
        SyncFdLocked();
        wake = m_waiters > 0;
    }
    if (wake) m_changed.notify_one();
    return true;
}

void ThreadQueue::SleepLocked(std::unique_lock<std::mutex>& lock, std::optional<Clock::time_point> due) {
    ++m_waiters;
    if (due)
        m_changed.wait_until(lock, *due);
    else
        m_changed.wait(lock);
    --m_waiters;
}

void ThreadQueue::PostQuit(int exitCode) {
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_quitPending = true;
        m_quitCode = exitCode;
        UpdateReadyLocked();
        SyncFdLocked();
    }
    m_changed.notify_one();
}

bool ThreadQueue::TakeFrom(std::deque<MSG>& messages, MSG* out, const MessageFilter& filter, bool remove) {
    for (auto it = messages.begin(); it != messages.end(); ++it) {
        if (!filter.Matches(it->hwnd, it->message)) continue;
        *out = *it;
        if (!remove) return true;
        if (it == messages.begin())
            messages.pop_front();
        else
            messages.erase(it);
        return true;
    }
    return false;
}

void ThreadQueue::TakeAllPostsLocked() {
    if (m_taken.empty())
        m_taken.swap(m_messages);
    else
        m_taken.insert(m_taken.end(), m_messages.begin(), m_messages.end());
    m_messages.clear();
    UpdateReadyLocked();
}

bool ThreadQueue::TakeLocked(MSG* out, const MessageFilter& filter, bool remove) {
    if (TakeFrom(m_messages, out, filter, remove)) {
        if (remove) UpdateReadyLocked();
        return true;
    }
    // The quit request passes every filter.
    if (m_quitPending) {
        *out = Make(nullptr, WM_QUIT, static_cast<WPARAM>(m_quitCode), 0);
        if (remove) m_quitPending = false;
        UpdateReadyLocked();
        return true;
    }
    return !m_timers.empty() && TakeTimerLocked(out, filter, remove);
}

bool ThreadQueue::TakeTimerLocked(MSG* out, const MessageFilter& filter, bool remove) {
    auto now = Clock::now();
    Timer* chosen = nullptr;
    for (Timer& timer : m_timers) {
        if (timer.due > now || !filter.Matches(timer.hwnd, WM_TIMER)) continue;
        if (chosen == nullptr || timer.due < chosen->due) chosen = &timer;
    }
    if (chosen == nullptr) return false;
    *out = Make(chosen->hwnd, WM_TIMER, chosen->id, reinterpret_cast<LPARAM>(chosen->proc));
    if (remove) {
        // Keep the timer's phase, but never make up for ticks that were missed.
        chosen->due += chosen->period;
        if (chosen->due <= now) chosen->due = now + chosen->period;
    }
    return true;
}

std::optional<ThreadQueue::Clock::time_point> ThreadQueue::NextDueLocked(const MessageFilter* filter) const {
    std::optional<Clock::time_point> next;
    for (const Timer& timer : m_timers) {
        if (filter != nullptr && !filter->Matches(timer.hwnd, WM_TIMER)) continue;
        if (!next || timer.due < *next) next = timer.due;
    }
    return next;
}

bool ThreadQueue::Peek(MSG* out, const MessageFilter& filter, bool remove) {
    if (TakeFrom(m_taken, out, filter, remove)) return true;
    std::lock_guard<std::mutex> guard(m_lock);
    bool found = TakeLocked(out, filter, remove);
    SyncFdLocked();
    return found;
}

void ThreadQueue::Get(MSG* out, const MessageFilter& filter) {
    if (TakeFrom(m_taken, out, filter, true)) return;
    std::unique_lock<std::mutex> lock(m_lock);
    for (;;) {
        // Without a wake-up descriptor to keep in step, take every post at
        // once and serve the rest of the batch without the lock.
        if (m_epollFd < 0 && !m_messages.empty()) {
            TakeAllPostsLocked();
            lock.unlock();
            if (TakeFrom(m_taken, out, filter, true)) return;
            lock.lock();
            continue;
        }
        if (TakeLocked(out, filter, true)) {
            SyncFdLocked();
            return;
        }
        auto due = NextDueLocked(&filter);
        if (!due) {
            // Only a new post or timer can change the answer: messages the
            // filter passes over stay, and only this thread takes messages
            // away.
            size_t seen = m_ready.load(std::memory_order_relaxed);
            SpinForPost(lock, seen);
            if (m_ready.load(std::memory_order_relaxed) != seen) continue;
            // A timer set while the lock was free signalled nobody: sleep
            // until it is due, not until the next post.
            due = NextDueLocked(&filter);
        }
        SleepLocked(lock, due);
    }
}

void ThreadQueue::UpdateReadyLocked() {
    m_ready.store(m_messages.size() + (m_quitPending ? 1 : 0), std::memory_order_relaxed);
}

// A sender that is busy posting usually posts again within a microsecond;
// looking for a while before sleeping saves a sleep and a wake-up per message.
void ThreadQueue::SpinForPost(std::unique_lock<std::mutex>& lock, size_t seen) {
    lock.unlock();
    // Reading the count now and then, not in a tight loop, keeps its cache
    // line with the sender, who writes it on every post.
    for (int i = 0; i < 500 && m_ready.load(std::memory_order_relaxed) == seen; ++i)
        for (int j = 0; j < 8; ++j) CpuRelax();
    lock.lock();
}

void ThreadQueue::WaitForAny() {
    if (!m_taken.empty()) return;
    std::unique_lock<std::mutex> lock(m_lock);
    for (;;) {
        if (!m_messages.empty() || m_quitPending) return;
        auto due = NextDueLocked(nullptr);
        if (due && *due <= Clock::now()) return;
        SleepLocked(lock, due);
    }
}

void ThreadQueue::SetTimer(HWND hwnd, UINT_PTR id, UINT elapse, TIMERPROC proc) {
    auto period = std::chrono::duration_cast<Clock::duration>(
        ScaledToReal(static_cast<double>(std::max(elapse, kMinimumElapse))));
    {
        std::lock_guard<std::mutex> guard(m_lock);
        auto now = Clock::now();
        auto it = std::find_if(m_timers.begin(), m_timers.end(),
                               [&](const Timer& t) { return t.hwnd == hwnd && t.id == id; });
        if (it == m_timers.end())
            m_timers.push_back(Timer{hwnd, id, period, now + period, proc});
        else
            *it = Timer{hwnd, id, period, now + period, proc};
        SyncFdLocked();
    }
    m_changed.notify_one();
}

bool ThreadQueue::KillTimer(HWND hwnd, UINT_PTR id) {
    std::lock_guard<std::mutex> guard(m_lock);
    auto it = std::find_if(m_timers.begin(), m_timers.end(),
                           [&](const Timer& t) { return t.hwnd == hwnd && t.id == id; });
    if (it == m_timers.end()) return false;
    m_timers.erase(it);
    SyncFdLocked();
    return true;
}

void ThreadQueue::ForgetWindow(HWND hwnd) {
    std::erase_if(m_taken, [hwnd](const MSG& m) { return m.hwnd == hwnd; });
    std::lock_guard<std::mutex> guard(m_lock);
    std::erase_if(m_messages, [hwnd](const MSG& m) { return m.hwnd == hwnd; });
    UpdateReadyLocked();
    std::erase_if(m_timers, [hwnd](const Timer& t) { return t.hwnd == hwnd; });
    SyncFdLocked();
}

int ThreadQueue::Fd() {
    std::lock_guard<std::mutex> guard(m_lock);
    if (m_epollFd >= 0) return m_epollFd;
    // From now on every waiting message is in m_messages, where the
    // descriptor can see it.
    m_messages.insert(m_messages.begin(), m_taken.begin(), m_taken.end());
    m_taken.clear();
    UpdateReadyLocked();
    m_eventFd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    m_timerFd = timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
    m_epollFd = epoll_create1(EPOLL_CLOEXEC);
    for (int fd : {m_eventFd, m_timerFd}) {
        epoll_event event{};
        event.events = EPOLLIN;
        event.data.fd = fd;
        epoll_ctl(m_epollFd, EPOLL_CTL_ADD, fd, &event);
    }
    SyncFdLocked();
    return m_epollFd;
}

void ThreadQueue::SyncFdLocked() {
    if (m_epollFd < 0) return;
    bool ready = !m_messages.empty() || m_quitPending;
    if (ready && !m_eventSignalled) {
        uint64_t one = 1;
        if (write(m_eventFd, &one, sizeof one) == sizeof one) m_eventSignalled = true;
    } else if (!ready && m_eventSignalled) {
        uint64_t count;
        while (read(m_eventFd, &count, sizeof count) > 0) {
        }
        m_eventSignalled = false;
    }
    ArmTimerFd(m_timerFd, NextDueLocked(nullptr));
}

std::shared_ptr<ThreadQueue> CreateQueueFor(DWORD threadId) {
    auto queue = std::make_shared<ThreadQueue>(threadId);
    QueueRegistry& registry = Registry();
    std::unique_lock<std::shared_mutex> guard(registry.lock);
    registry.queues[threadId] = queue;
    return queue;
}

void AdoptQueue(std::shared_ptr<ThreadQueue> queue) { t_holder.queue = std::move(queue); }

void ReleaseQueue(DWORD threadId) { Unregister(threadId); }

const std::shared_ptr<ThreadQueue>& CurrentQueue(bool create) {
    if (t_holder.queue || !create) return t_holder.queue;
    t_holder.queue = CreateQueueFor(GetCurrentThreadId());
    return t_holder.queue;
}

const std::shared_ptr<ThreadQueue>& FindQueue(DWORD threadId) {
    // Senders usually post to the same thread again and again.
    thread_local std::shared_ptr<ThreadQueue> t_last;
    if (t_last && t_last->threadId() == threadId && !t_last->IsClosed()) return t_last;
    t_last = LookUp(threadId);
    return t_last;
}


void ReleaseCurrentQueue() {
    if (!t_holder.queue) return;
    Unregister(t_holder.queue->threadId());
    t_holder.queue.reset();
}

}  // namespace platform::detail
