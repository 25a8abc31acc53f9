#include "shell/instance_socket.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdint>

#include "lines/sim/sim_line_socket.h"
#include "platform/win32/messages.h"

namespace {

// A request or reply longer than this is no request of ours.
constexpr std::size_t kMaxLine = 16384;
// How long a connected peer may take to say what it wants.
constexpr int kRequestWaitMs = 2000;
// How long a request may wait for the main thread, which may be busy
// opening a line or ending a call.
constexpr auto kAnswerWait = std::chrono::seconds(30);

void SetTimeouts(int fd, int waitMs) {
    timeval wait{waitMs / 1000, (waitMs % 1000) * 1000};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
    setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &wait, sizeof wait);
}

// One line without its end; none when the peer stops, waits too long or
// sends too much first.
std::optional<std::string> ReadLine(int fd) {
    std::string line;
    char c = 0;
    while (line.size() < kMaxLine) {
        const ssize_t n = recv(fd, &c, 1, 0);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return std::nullopt;
        if (c == '\n') return line;
        line += c;
    }
    return std::nullopt;
}

}  // namespace

std::string VM_InstanceSocketPath(const std::string& folder) {
    return folder + "/instance.sock";
}

std::optional<std::string> VM_AskRunningCopy(const std::string& folder, const std::string& request, int waitMs,
                                             bool* absent) {
    std::string error;
    bool nobody = false;
    const int fd = simline::ConnectPrivate(VM_InstanceSocketPath(folder), &error, &nobody);
    if (absent != nullptr) *absent = nobody;
    if (fd < 0) return std::nullopt;
    SetTimeouts(fd, waitMs);
    const std::string line = request + "\n";
    std::optional<std::string> reply;
    if (simline::SendAll(fd, line.data(), line.size())) reply = ReadLine(fd);
    close(fd);
    return reply;
}

bool VM_CInstanceListener::VM_Start(const std::string& folder, HWND window, std::string* error) {
    m_path = VM_InstanceSocketPath(folder);
    m_listenFd = simline::ListenPrivate(m_path, error);
    if (m_listenFd < 0) return false;
    m_wakeFd = eventfd(0, EFD_CLOEXEC);
    if (m_wakeFd < 0) {
        *error = "eventfd failed";
        close(m_listenFd);
        m_listenFd = -1;
        return false;
    }
    m_hWnd = window;
    m_bStopping = false;
    m_thread = std::thread([this] { VM_Serve(); });
    return true;
}

void VM_CInstanceListener::VM_Stop() {
    if (!m_thread.joinable()) return;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_bStopping = true;
    }
    m_answered.notify_all();
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t n = write(m_wakeFd, &one, sizeof one);
    m_thread.join();
    close(m_wakeFd);
    close(m_listenFd);
    m_wakeFd = m_listenFd = -1;
    // Ours while the single-instance lock is: nobody else serves it.
    unlink(m_path.c_str());
}

void VM_CInstanceListener::VM_Serve() {
    for (;;) {
        pollfd fds[2] = {{m_listenFd, POLLIN, 0}, {m_wakeFd, POLLIN, 0}};
        if (poll(fds, 2, -1) < 0) {
            if (errno == EINTR) continue;
            return;
        }
        if (fds[1].revents != 0) return;
        if ((fds[0].revents & POLLIN) == 0) continue;
        const int fd = accept4(m_listenFd, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) continue;
        // The folder keeps other users out; the peer's credentials say so too.
        if (simline::PeerIsUser(fd, geteuid())) VM_ServeOne(fd);
        close(fd);
    }
}

void VM_CInstanceListener::VM_ServeOne(int fd) {
    SetTimeouts(fd, kRequestWaitMs);
    const std::optional<std::string> request = ReadLine(fd);
    if (!request) return;
    const std::optional<std::string> reply = VM_HandToMainThread(*request);
    if (!reply) return;
    const std::string line = *reply + "\n";
    simline::SendAll(fd, line.data(), line.size());
}

std::optional<std::string> VM_CInstanceListener::VM_HandToMainThread(const std::string& request) {
    std::unique_lock<std::mutex> lock(m_lock);
    const WPARAM id = m_nextId++;
    m_pending[id].request = request;
    lock.unlock();
    const bool posted = PostMessageA(m_hWnd, VM_MSG_INSTANCE_REQUEST, id, 0) != FALSE;
    lock.lock();
    if (posted)
        m_answered.wait_for(lock, kAnswerWait, [&] { return m_bStopping || m_pending[id].reply.has_value(); });
    std::optional<std::string> reply = std::move(m_pending[id].reply);
    m_pending.erase(id);
    return reply;
}

void VM_CInstanceListener::VM_Answer(WPARAM id, const std::function<std::string(const std::string&)>& answer) {
    std::string request;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        const auto pending = m_pending.find(id);
        if (pending == m_pending.end()) return;
        request = pending->second.request;
    }
    std::string reply = answer(request);
    {
        std::lock_guard<std::mutex> guard(m_lock);
        const auto pending = m_pending.find(id);
        if (pending == m_pending.end()) return;
        pending->second.reply = std::move(reply);
    }
    m_answered.notify_all();
}
