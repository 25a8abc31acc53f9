// The running copy's local socket, "instance.sock" in the private folder of
// the single-instance lock: one request line in, one reply line out. The
// program without windows serves it from a thread of its own that hands
// each request to the main thread; the windowed program serves it from Qt's
// event loop (app/frame/instance_channel.h).
#pragma once

#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "platform/win32/types.h"

// To the main window: a request waits for its answer (wParam its number).
constexpr UINT VM_MSG_INSTANCE_REQUEST = 0x8074;

std::string VM_InstanceSocketPath(const std::string& folder);

// Sends one request and returns the reply line (without its end). None when
// no copy serves the socket (*absent then set) or none answered within waitMs.
std::optional<std::string> VM_AskRunningCopy(const std::string& folder, const std::string& request, int waitMs,
                                             bool* absent = nullptr);

class VM_CInstanceListener {
public:
    VM_CInstanceListener() = default;
    ~VM_CInstanceListener() { VM_Stop(); }
    VM_CInstanceListener(const VM_CInstanceListener&) = delete;
    VM_CInstanceListener& operator=(const VM_CInstanceListener&) = delete;

    // Listens in folder (the caller holds the single-instance lock there)
    // and posts each request to window. False, with the reason, when the
    // socket cannot be made.
    bool VM_Start(const std::string& folder, HWND window, std::string* error);
    // Requests still waiting are answered with nothing.
    void VM_Stop();
    // On the main thread, for VM_MSG_INSTANCE_REQUEST: answer gets the
    // request and gives the reply. A request whose asker has gone is skipped.
    void VM_Answer(WPARAM id, const std::function<std::string(const std::string&)>& answer);

private:
    struct Pending {
        std::string request;
        std::optional<std::string> reply;
    };
    void VM_Serve();
    void VM_ServeOne(int fd);
    std::optional<std::string> VM_HandToMainThread(const std::string& request);

    std::string m_path;
    int m_listenFd = -1;
    int m_wakeFd = -1;
    HWND m_hWnd = nullptr;
    std::thread m_thread;
    std::mutex m_lock;
    std::condition_variable m_answered;
    std::map<WPARAM, Pending> m_pending;
    WPARAM m_nextId = 1;
    bool m_bStopping = false;
};
