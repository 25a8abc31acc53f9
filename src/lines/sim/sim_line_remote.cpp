#include "lines/sim/sim_line_remote.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <list>
#include <mutex>
#include <thread>

#include "lines/sim/sim_line_protocol.h"
#include "lines/sim/sim_line_session.h"
#include "lines/sim/sim_line_socket.h"

namespace simline {

namespace {

constexpr size_t kMaxConnections = 8;
constexpr int kSendTimeoutSeconds = 2;

struct Connection {
    Connection(int socket, SimLineService& service, DWORD line) : fd(socket), session(service, line) {}
    ~Connection() { close(fd); }
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    int fd;
    RemoteSession session;
    std::string input;
    bool skipping = false;  // inside a request that was too long, up to its LF
};

}  // namespace

struct RemoteLineServer::Impl {
    Impl(SimLineService& s, RemoteServerOptions o) : service(s), options(std::move(o)) {}

    SimLineService& service;
    RemoteServerOptions options;
    std::string path;
    int listenFd = -1;
    int wakeRead = -1;
    int wakeWrite = -1;
    std::thread thread;
    std::list<Connection> connections;  // the serving thread's only

    void Serve();
    void Accept();
    // False when the connection is to be closed.
    bool Read(Connection& c);
    bool Consume(Connection& c);
    void CloseFds();
};

void RemoteLineServer::Impl::Serve() {
    std::vector<pollfd> fds;
    for (;;) {
        fds.assign({{wakeRead, POLLIN, 0}, {listenFd, POLLIN, 0}});
        for (const Connection& c : connections) fds.push_back({c.fd, POLLIN, 0});
        // Nothing to do until somebody connects or talks: no time-out.
        if (poll(fds.data(), fds.size(), -1) < 0) {
            if (errno == EINTR) continue;
            break;
        }
        if (fds[0].revents != 0) break;
        size_t i = 2;
        for (auto it = connections.begin(); it != connections.end(); i++) {
            const bool keep = fds[i].revents == 0 || Read(*it);
            it = keep ? std::next(it) : connections.erase(it);
        }
        if (fds[1].revents & POLLIN) Accept();
    }
    connections.clear();
}

void RemoteLineServer::Impl::Accept() {
    const int fd = accept4(listenFd, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) return;
    const uid_t allowed = options.allowedUid == static_cast<uid_t>(-1) ? geteuid() : options.allowedUid;
    timeval timeout{kSendTimeoutSeconds, 0};
    setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout);
    const char* refusal = nullptr;
    if (!PeerIsUser(fd, allowed))
        refusal = "ERR this line belongs to another user\n";
    else if (connections.size() >= kMaxConnections)
        refusal = "ERR too many connections\n";
    if (refusal != nullptr) {
        SendAll(fd, refusal, std::strlen(refusal));
        close(fd);
        return;
    }
    connections.emplace_back(fd, service, options.defaultLine);
}

bool RemoteLineServer::Impl::Read(Connection& c) {
    char buffer[4096];
    const ssize_t n = recv(c.fd, buffer, sizeof buffer, 0);
    if (n < 0 && (errno == EINTR || errno == EAGAIN)) return true;
    if (n <= 0) return false;
    c.input.append(buffer, static_cast<size_t>(n));
    return Consume(c);
}

bool RemoteLineServer::Impl::Consume(Connection& c) {
    for (;;) {
        const size_t end = c.input.find('\n');
        if (end == std::string::npos) break;
        std::string reply;
        if (c.skipping || end > kMaxRequestLine) {
            if (!c.skipping) reply = "ERR request too long\n";
            c.skipping = false;
        } else {
            reply = c.session.Handle(std::string_view(c.input).substr(0, end));
        }
        c.input.erase(0, end + 1);
        if (!reply.empty() && !SendAll(c.fd, reply.data(), reply.size())) return false;
        if (c.session.Finished()) return false;
    }
    if (!c.skipping && c.input.size() > kMaxRequestLine) {
        // Answered now, so a client that never sends the LF is not left waiting.
        c.input.clear();
        c.skipping = true;
        static const char kTooLong[] = "ERR request too long\n";
        return SendAll(c.fd, kTooLong, sizeof kTooLong - 1);
    }
    if (c.skipping) c.input.clear();
    return true;
}

void RemoteLineServer::Impl::CloseFds() {
    for (int* fd : {&listenFd, &wakeRead, &wakeWrite}) {
        if (*fd >= 0) close(*fd);
        *fd = -1;
    }
}

RemoteLineServer::RemoteLineServer(SimLineService& service, RemoteServerOptions options)
    : m_impl(std::make_unique<Impl>(service, std::move(options))) {}

RemoteLineServer::~RemoteLineServer() { Stop(); }

bool RemoteLineServer::Start(std::string* error) {
    Impl& s = *m_impl;
    if (s.thread.joinable()) {
        if (error) *error = "the simulated line is already being served";
        return false;
    }
    s.path = s.options.socketPath.empty() ? RemoteSocketPath() : s.options.socketPath;
    std::string message;
    s.listenFd = ListenPrivate(s.path, &message);
    int pipeFds[2];
    if (s.listenFd >= 0 && pipe2(pipeFds, O_CLOEXEC) != 0) message = std::string("pipe: ") + std::strerror(errno);
    if (!message.empty()) {
        if (s.listenFd >= 0) unlink(s.path.c_str());
        s.CloseFds();
        if (error) *error = message;
        return false;
    }
    s.wakeRead = pipeFds[0];
    s.wakeWrite = pipeFds[1];
    s.thread = std::thread([&s] { s.Serve(); });
    return true;
}

void RemoteLineServer::Stop() {
    Impl& s = *m_impl;
    if (!s.thread.joinable()) return;
    const char wake = 1;
    while (write(s.wakeWrite, &wake, 1) < 0 && errno == EINTR) {
    }
    s.thread.join();
    unlink(s.path.c_str());
    s.CloseFds();
}

const std::string& RemoteLineServer::SocketPath() const { return m_impl->path; }

namespace {

std::mutex& GlobalMutex() {
    static std::mutex m;
    return m;
}

std::unique_ptr<RemoteLineServer>& GlobalServer() {
    static std::unique_ptr<RemoteLineServer> server;
    return server;
}

}  // namespace

bool StartRemoteLineServer(SimLineService& service, std::string* error, RemoteServerOptions options) {
    std::lock_guard<std::mutex> lock(GlobalMutex());
    auto& server = GlobalServer();
    if (server) {
        if (error) *error = "the simulated line is already being served";
        return false;
    }
    auto fresh = std::make_unique<RemoteLineServer>(service, std::move(options));
    if (!fresh->Start(error)) return false;
    server = std::move(fresh);
    return true;
}

void StopRemoteLineServer() {
    std::unique_ptr<RemoteLineServer> server;
    {
        std::lock_guard<std::mutex> lock(GlobalMutex());
        server = std::move(GlobalServer());
    }
    if (server) server->Stop();
}

}  // namespace simline
