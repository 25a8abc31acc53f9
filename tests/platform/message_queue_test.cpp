#include <gtest/gtest.h>
#include <poll.h>

#include <atomic>
#include <thread>
#include <vector>

#include "platform/win32/win32.h"

namespace {

// A thread with a queue that reports its id once the queue exists.
class QueueThread {
public:
    template <typename Body>
    explicit QueueThread(Body body) {
        m_thread = std::thread([this, body] {
            MSG msg;
            PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE);
            m_id = GetCurrentThreadId();
            body();
        });
        while (m_id.load() == 0) std::this_thread::yield();
    }
    ~QueueThread() {
        if (m_thread.joinable()) m_thread.join();
    }
    DWORD id() const { return m_id; }
    void join() { m_thread.join(); }

private:
    std::atomic<DWORD> m_id{0};
    std::thread m_thread;
};

bool Readable(int fd) {
    pollfd p{fd, POLLIN, 0};
    return poll(&p, 1, 0) == 1 && (p.revents & POLLIN);
}

bool ReadableWithin(int fd, int realMs) {
    pollfd p{fd, POLLIN, 0};
    return poll(&p, 1, realMs) == 1 && (p.revents & POLLIN);
}

void Drain() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    }
}

}  // namespace

TEST(MessageQueue, PostToThreadWithoutQueueFails) {
    std::atomic<DWORD> id{0};
    std::atomic<bool> release{false};
    std::thread noQueue([&] {
        id = GetCurrentThreadId();
        while (!release) std::this_thread::yield();
    });
    while (id == 0) std::this_thread::yield();
    SetLastError(0);
    EXPECT_FALSE(PostThreadMessageA(id, WM_USER, 0, 0));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_THREAD_ID);
    release = true;
    noQueue.join();
    EXPECT_FALSE(PostThreadMessageA(0x7FFFFFF0u, WM_USER, 0, 0));
}

TEST(MessageQueue, PostToEndedThreadFails) {
    DWORD id;
    {
        QueueThread t([] {});
        id = t.id();
    }
    EXPECT_FALSE(PostThreadMessageA(id, WM_USER, 0, 0));
}

TEST(MessageQueue, PeekHonoursRemoveAndRanges) {
    Drain();
    ASSERT_TRUE(PostThreadMessageA(GetCurrentThreadId(), WM_USER + 1, 1, 0));
    ASSERT_TRUE(PostThreadMessageA(GetCurrentThreadId(), 0x800E, 2, 0));
    ASSERT_TRUE(PostThreadMessageA(GetCurrentThreadId(), WM_USER + 2, 3, 0));
    ASSERT_TRUE(PostThreadMessageA(GetCurrentThreadId(), 0x800E, 4, 0));
    MSG msg;
    // Without removal the same message is seen again.
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE));
    EXPECT_EQ(msg.wParam, 1u);
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE));
    EXPECT_EQ(msg.wParam, 1u);
    // Flushing one message number leaves the others in order.
    int flushed = 0;
    while (PeekMessageA(&msg, nullptr, 0x800E, 0x800E, PM_REMOVE)) {
        EXPECT_EQ(msg.message, 0x800Eu);
        ++flushed;
    }
    EXPECT_EQ(flushed, 2);
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.wParam, 1u);
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.wParam, 3u);
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
}

TEST(MessageQueue, GetMessageReturnsZeroOnQuitAndMinusOneOnBadWindow) {
    Drain();
    MSG msg;
    HWND bogus = reinterpret_cast<HWND>(static_cast<uintptr_t>(0x7777770));
    EXPECT_EQ(GetMessageA(&msg, bogus, 0, 0), -1);
    PostThreadMessageA(GetCurrentThreadId(), WM_USER, 5, 0);
    PostQuitMessage(3);
    // The quit request comes after what was posted before it, whatever the filter.
    EXPECT_EQ(GetMessageA(&msg, nullptr, 0, 0), 1);
    EXPECT_EQ(msg.wParam, 5u);
    EXPECT_EQ(GetMessageA(&msg, nullptr, 0x9000, 0x9000), 0);
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_QUIT));
    EXPECT_EQ(msg.wParam, 3u);
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
}

TEST(MessageQueue, RegisteredMessagesAreStableAndDistinct) {
    UINT a = RegisterWindowMessageA("Vocerra test message A");
    UINT b = RegisterWindowMessageA("Vocerra test message B");
    EXPECT_GE(a, 0xC000u);
    EXPECT_NE(a, b);
    EXPECT_EQ(RegisterWindowMessageA("vocerra TEST message a"), a);
}

namespace {

std::vector<std::pair<UINT, WPARAM>>* g_seen = nullptr;

LRESULT RecordingProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_CREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTA*>(lParam);
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
        return 0;
    }
    if (g_seen != nullptr && msg != WM_DESTROY) g_seen->emplace_back(msg, wParam);
    return static_cast<LRESULT>(wParam) + 1;
}

HWND MakeWindow(void* param = nullptr) {
    static bool registered = [] {
        WNDCLASSA wc{};
        wc.lpfnWndProc = RecordingProc;
        wc.lpszClassName = "VocerraTestWindow";
        return RegisterClassA(&wc) != 0;
    }();
    EXPECT_TRUE(registered);
    return CreateWindowExA(0, "VocerraTestWindow", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, param);
}

}  // namespace

TEST(MessageWindow, DispatchCallsTheWindowProcedure) {
    Drain();
    int marker = 0;
    HWND hwnd = MakeWindow(&marker);
    ASSERT_NE(hwnd, nullptr);
    EXPECT_EQ(GetWindowLongPtrA(hwnd, GWLP_USERDATA), reinterpret_cast<LONG_PTR>(&marker));
    EXPECT_EQ(GetWindowThreadProcessId(hwnd, nullptr), GetCurrentThreadId());
    std::vector<std::pair<UINT, WPARAM>> seen;
    g_seen = &seen;
    ASSERT_TRUE(PostMessageA(hwnd, WM_USER + 7, 41, 0));
    MSG msg;
    ASSERT_TRUE(PeekMessageA(&msg, hwnd, 0, 0, PM_REMOVE));
    EXPECT_EQ(DispatchMessageA(&msg), 42);
    EXPECT_EQ(SendMessageA(hwnd, WM_USER + 8, 9, 0), 10);
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0], std::make_pair(static_cast<UINT>(WM_USER + 7), WPARAM{41}));
    // A destroyed window takes no more posts and its pending ones go.
    ASSERT_TRUE(PostMessageA(hwnd, WM_USER, 0, 0));
    ASSERT_TRUE(DestroyWindow(hwnd));
    EXPECT_FALSE(IsWindow(hwnd));
    EXPECT_FALSE(PostMessageA(hwnd, WM_USER, 0, 0));
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    g_seen = nullptr;
}

TEST(MessageQueue, WakeDescriptorFollowsThePendingMessages) {
    QueueThread t([] {
        int fd = GetMessageQueueFd();
        ASSERT_GE(fd, 0);
        EXPECT_EQ(GetMessageQueueFd(), fd);
        EXPECT_FALSE(Readable(fd));
        PostThreadMessageA(GetCurrentThreadId(), WM_USER, 0, 0);
        EXPECT_TRUE(Readable(fd));
        MSG msg;
        ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
        EXPECT_FALSE(Readable(fd)) << "still readable with an empty queue";
        PostQuitMessage(0);
        EXPECT_TRUE(Readable(fd));
        Drain();
        EXPECT_FALSE(Readable(fd));
    });
}

TEST(MessageQueue, MessagesAlreadyReadInABatchStayVisibleToEveryRead) {
    QueueThread t([] {
        DWORD self = GetCurrentThreadId();
        for (int i = 1; i <= 4; ++i) PostThreadMessageA(self, WM_USER + i, static_cast<WPARAM>(i), 0);
        MSG msg;
        ASSERT_EQ(GetMessageA(&msg, nullptr, 0, 0), 1);
        EXPECT_EQ(msg.wParam, 1u);
        // The rest were taken from the shared queue with the first one.
        ASSERT_TRUE(PeekMessageA(&msg, nullptr, WM_USER + 3, WM_USER + 3, PM_REMOVE));
        EXPECT_EQ(msg.wParam, 3u);
        int fd = GetMessageQueueFd();
        EXPECT_TRUE(Readable(fd)) << "two messages wait but the descriptor says none";
        ASSERT_EQ(GetMessageA(&msg, nullptr, 0, 0), 1);
        EXPECT_EQ(msg.wParam, 2u);
        ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
        EXPECT_EQ(msg.wParam, 4u);
        EXPECT_FALSE(Readable(fd));
    });
}

TEST(MessageQueue, WakeDescriptorBecomesReadableWhenATimerFallsDue) {
    QueueThread t([] {
        int fd = GetMessageQueueFd();
        UINT_PTR id = SetTimer(nullptr, 0, 30, nullptr);
        ASSERT_NE(id, 0u);
        EXPECT_FALSE(Readable(fd));
        EXPECT_TRUE(ReadableWithin(fd, 5000));
        MSG msg;
        ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
        EXPECT_EQ(msg.message, static_cast<UINT>(WM_TIMER));
        EXPECT_EQ(msg.wParam, id);
        EXPECT_FALSE(Readable(fd)) << "readable again before the next period";
        KillTimer(nullptr, id);
        EXPECT_FALSE(ReadableWithin(fd, 100));
    });
}

TEST(MessageQueueConcurrency, PostsFromManyThreadsArriveOnceAndInOrderPerSender) {
    constexpr int kSenders = 3;
    constexpr int kEach = 5000;
    std::vector<int> next(kSenders, 0);
    int wrong = 0;
    QueueThread receiver([&] {
        MSG msg;
        int received = 0;
        while (received < kSenders * kEach && GetMessageA(&msg, nullptr, 0, 0) > 0) {
            int sender = static_cast<int>(msg.wParam);
            if (msg.message != WM_USER || sender < 0 || sender >= kSenders ||
                msg.lParam != next[sender]++)
                ++wrong;
            ++received;
        }
    });
    std::vector<std::thread> senders;
    for (int s = 0; s < kSenders; ++s)
        senders.emplace_back([&, s] {
            for (int i = 0; i < kEach; ++i)
                while (!PostThreadMessageA(receiver.id(), WM_USER, static_cast<WPARAM>(s), i)) {
                }
        });
    for (auto& s : senders) s.join();
    receiver.join();
    EXPECT_EQ(wrong, 0);
    for (int s = 0; s < kSenders; ++s) EXPECT_EQ(next[s], kEach);
}

TEST(MessageQueueConcurrency, FilteredGetMessageWaitsPastOtherMessages) {
    std::atomic<int> got{0};
    std::atomic<bool> otherStillQueued{false};
    QueueThread receiver([&] {
        PostThreadMessageA(GetCurrentThreadId(), WM_USER + 1, 0, 0);
        MSG msg;
        if (GetMessageA(&msg, nullptr, WM_USER + 2, WM_USER + 2) > 0) got = static_cast<int>(msg.wParam);
        otherStillQueued = PeekMessageA(&msg, nullptr, WM_USER + 1, WM_USER + 1, PM_REMOVE) != FALSE;
    });
    Sleep(30);
    PostThreadMessageA(receiver.id(), WM_USER + 2, 7, 0);
    receiver.join();
    EXPECT_EQ(got.load(), 7);
    EXPECT_TRUE(otherStillQueued.load());
}

TEST(MessageQueueConcurrency, BlockedGetMessageWakesForEveryPost) {
    // A lost wake-up would leave the receiver asleep with work queued.
    constexpr int kRounds = 2000;
    HANDLE ack = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    QueueThread receiver([&] {
        MSG msg;
        for (int i = 0; i < kRounds; ++i) {
            if (GetMessageA(&msg, nullptr, 0, 0) <= 0) return;
            SetEvent(ack);
        }
    });
    int acknowledged = 0;
    for (int i = 0; i < kRounds; ++i) {
        ASSERT_TRUE(PostThreadMessageA(receiver.id(), WM_USER, 0, 0));
        if (WaitForSingleObject(ack, 10000) != WAIT_OBJECT_0) break;
        ++acknowledged;
    }
    receiver.join();
    EXPECT_EQ(acknowledged, kRounds);
    CloseHandle(ack);
}

TEST(MessageWindowConcurrency, PostsFromWorkersReachTheOwningThread) {
    std::atomic<DWORD> handledOn{0};
    std::atomic<int> handled{0};
    static std::atomic<int>* s_handled;
    static std::atomic<DWORD>* s_thread;
    s_handled = &handled;
    s_thread = &handledOn;
    WNDCLASSA wc{};
    wc.lpfnWndProc = [](HWND hwnd, UINT msg, WPARAM w, LPARAM l) -> LRESULT {
        if (msg == WM_USER) {
            s_thread->store(GetCurrentThreadId());
            ++*s_handled;
            return 0;
        }
        return DefWindowProcA(hwnd, msg, w, l);
    };
    wc.lpszClassName = "VocerraOwnerTest";
    ASSERT_NE(RegisterClassA(&wc), 0);
    HWND hwnd = CreateWindowExA(0, "VocerraOwnerTest", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    ASSERT_NE(hwnd, nullptr);
    std::thread worker([hwnd] {
        for (int i = 0; i < 100; ++i) PostMessageA(hwnd, WM_USER, 0, 0);
        // Workers never call the procedure themselves.
        EXPECT_EQ(SendMessageA(hwnd, WM_USER, 0, 0), 0);
    });
    worker.join();
    EXPECT_EQ(handled.load(), 0);
    MSG msg;
    while (PeekMessageA(&msg, hwnd, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
    EXPECT_EQ(handled.load(), 100);
    EXPECT_EQ(handledOn.load(), GetCurrentThreadId());
    DestroyWindow(hwnd);
    UnregisterClassA("VocerraOwnerTest", nullptr);
}
