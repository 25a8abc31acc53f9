// The running copy's socket without windows: requests from several
// processes at once each get their own answer from the main thread, and a
// stop with a request still waiting hangs neither side.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <atomic>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/win32/win32.h"
#include "shell/instance_socket.h"
#include "support/temp_dir.h"

namespace {

VM_CInstanceListener* g_listener = nullptr;

LRESULT CALLBACK Answering(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != VM_MSG_INSTANCE_REQUEST) return DefWindowProcA(hwnd, message, wParam, lParam);
    g_listener->VM_Answer(wParam, [](const std::string& request) { return "re " + request; });
    return 0;
}

HWND MainWindow() {
    WNDCLASSA wc{};
    wc.lpfnWndProc = Answering;
    wc.lpszClassName = "VocerraInstanceSocketTest";
    RegisterClassA(&wc);
    return CreateWindowExA(0, wc.lpszClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
}

void PumpUntil(const std::atomic<int>& done, int count) {
    MSG msg;
    while (done.load() < count) {
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
        Sleep(1);
    }
}

TEST(InstanceSocketConcurrency, EachAskerGetsItsOwnAnswerFromTheMainThread) {
    testsupport::TempDir folder;
    chmod(folder.path().c_str(), 0700);
    HWND window = MainWindow();
    VM_CInstanceListener listener;
    g_listener = &listener;
    std::string error;
    ASSERT_TRUE(listener.VM_Start(folder.path(), window, &error)) << error;

    constexpr int kAskers = 6;
    std::vector<std::string> replies(kAskers);
    std::atomic<int> done{0};
    std::vector<std::thread> askers;
    for (int i = 0; i < kAskers; ++i)
        askers.emplace_back([&, i] {
            replies[i] = VM_AskRunningCopy(folder.path(), "set\t" + std::to_string(i), 30000).value_or("none");
            ++done;
        });
    PumpUntil(done, kAskers);
    for (std::thread& asker : askers) asker.join();
    for (int i = 0; i < kAskers; ++i) EXPECT_EQ("re set\t" + std::to_string(i), replies[i]);

    // Nobody pumps now: the asker waits until the stop answers it with nothing.
    std::atomic<bool> asked{false};
    std::optional<std::string> unanswered = "unset";
    std::thread late([&] {
        unanswered = VM_AskRunningCopy(folder.path(), "late", 30000);
        asked = true;
    });
    MSG waiting;
    while (!asked && !PeekMessageA(&waiting, nullptr, VM_MSG_INSTANCE_REQUEST, VM_MSG_INSTANCE_REQUEST, PM_NOREMOVE))
        Sleep(1);
    listener.VM_Stop();
    late.join();
    EXPECT_FALSE(unanswered.has_value());
    bool absent = false;
    EXPECT_FALSE(VM_AskRunningCopy(folder.path(), "after", 1000, &absent).has_value());
    EXPECT_TRUE(absent) << "a stopped copy leaves no socket to connect to";
    g_listener = nullptr;
    DestroyWindow(window);
}

}  // namespace
