// message-path: messages per second from one thread to another through
// PostThreadMessageA/GetMessageA, against a plain mutex + condition variable
// queue carrying the same message record.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/win32/win32.h"

namespace {

constexpr int kMessages = 1000000;
constexpr int kRounds = 5;

class PlainQueue {
public:
    void Post(const MSG& msg) {
        {
            std::lock_guard<std::mutex> guard(m_lock);
            m_messages.push_back(msg);
        }
        m_ready.notify_one();
    }
    MSG Get() {
        std::unique_lock<std::mutex> lock(m_lock);
        m_ready.wait(lock, [this] { return !m_messages.empty(); });
        MSG msg = m_messages.front();
        m_messages.pop_front();
        return msg;
    }

private:
    std::mutex m_lock;
    std::condition_variable m_ready;
    std::deque<MSG> m_messages;
};

double Seconds(std::chrono::steady_clock::duration d) { return std::chrono::duration<double>(d).count(); }

double OursPerSecond() {
    std::atomic<DWORD> id{0};
    std::thread consumer([&] {
        MSG msg;
        PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE);
        id = GetCurrentThreadId();
        long long sum = 0;
        for (int i = 0; i < kMessages; ++i) {
            GetMessageA(&msg, nullptr, 0, 0);
            sum += msg.lParam;
        }
        if (sum != static_cast<long long>(kMessages) * (kMessages - 1) / 2) std::fprintf(stderr, "lost messages\n");
    });
    while (id == 0) std::this_thread::yield();
    auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < kMessages; ++i) PostThreadMessageA(id, WM_USER, 0, i);
    consumer.join();
    return kMessages / Seconds(std::chrono::steady_clock::now() - start);
}

double PlainPerSecond() {
    PlainQueue queue;
    std::thread consumer([&] {
        long long sum = 0;
        for (int i = 0; i < kMessages; ++i) sum += queue.Get().lParam;
        if (sum != static_cast<long long>(kMessages) * (kMessages - 1) / 2) std::fprintf(stderr, "lost messages\n");
    });
    auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < kMessages; ++i) {
        MSG msg{};
        msg.message = WM_USER;
        msg.lParam = i;
        msg.time = 0;
        queue.Post(msg);
    }
    consumer.join();
    return kMessages / Seconds(std::chrono::steady_clock::now() - start);
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 1 && argv[1][0] != '\0' && std::strstr("message-path", argv[1]) == nullptr) return 0;
    std::vector<double> ours, plain;
    for (int r = 0; r < kRounds; ++r) {
        ours.push_back(OursPerSecond());
        plain.push_back(PlainPerSecond());
    }
    double a = Median(ours), b = Median(plain);
    std::printf("message-path: %.2f Mmsg/s vs %.2f Mmsg/s = %.2fx\n", a / 1e6, b / 1e6, a / b);
    return 0;
}
