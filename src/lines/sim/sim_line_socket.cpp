#include "lines/sim/sim_line_socket.h"

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace simline {

namespace {

std::string SystemError(const std::string& what) { return what + ": " + std::strerror(errno); }

std::string FolderOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

bool MakeAddress(const std::string& path, sockaddr_un* address, std::string* error) {
    std::memset(address, 0, sizeof *address);
    address->sun_family = AF_UNIX;
    if (path.empty() || path.size() >= sizeof address->sun_path) {
        *error = "socket path too long (at most " + std::to_string(sizeof address->sun_path - 1) +
                 " bytes): " + path;
        return false;
    }
    std::memcpy(address->sun_path, path.c_str(), path.size() + 1);
    return true;
}

int NewSocket() { return socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0); }

// A connection attempt to path: 1 someone answers, 0 nobody does, -1 error.
int Probe(const sockaddr_un& address) {
    const int fd = NewSocket();
    if (fd < 0) return -1;
    const int rc = connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address);
    const int savedErrno = errno;
    close(fd);
    if (rc == 0) return 1;
    return savedErrno == ECONNREFUSED || savedErrno == ENOENT ? 0 : -1;
}

// Removes a socket file nobody serves any more; refuses anything else.
bool ClearStale(const std::string& path, const sockaddr_un& address, std::string* error) {
    struct stat st {};
    if (lstat(path.c_str(), &st) != 0) return errno == ENOENT || (*error = SystemError(path), false);
    if (!S_ISSOCK(st.st_mode)) {
        *error = path + " exists and is not a socket";
        return false;
    }
    const int probe = Probe(address);
    if (probe == 1) {
        *error = "another Vocerra already serves the simulated line at " + path;
        return false;
    }
    if (probe < 0 || unlink(path.c_str()) != 0) {
        *error = SystemError(path);
        return false;
    }
    return true;
}

}  // namespace

int ListenPrivate(const std::string& path, std::string* error) {
    sockaddr_un address;
    if (!MakeAddress(path, &address, error) || !PreparePrivateFolder(FolderOf(path), error) ||
        !ClearStale(path, address, error))
        return -1;
    const int fd = NewSocket();
    if (fd < 0) {
        *error = SystemError("socket");
        return -1;
    }
    // The folder already keeps others out; the mode says so on the socket too.
    if (bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        chmod(path.c_str(), 0600) != 0 || listen(fd, 8) != 0) {
        *error = SystemError(path);
        close(fd);
        return -1;
    }
    return fd;
}

int ConnectPrivate(const std::string& path, std::string* error, bool* absent) {
    *absent = false;
    sockaddr_un address;
    if (!MakeAddress(path, &address, error)) return -1;
    const int fd = NewSocket();
    if (fd < 0) {
        *error = SystemError("socket");
        return -1;
    }
    if (connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        *absent = errno == ENOENT || errno == ECONNREFUSED;
        *error = SystemError(path);
        close(fd);
        return -1;
    }
    if (!PeerIsUser(fd, geteuid())) {
        *error = path + " is served by another user's process";
        close(fd);
        return -1;
    }
    return fd;
}

bool PeerIsUser(int fd, uid_t uid) {
    ucred credentials{};
    socklen_t length = sizeof credentials;
    if (getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &credentials, &length) != 0) return false;
    return length == sizeof credentials && credentials.uid == uid;
}

bool SendAll(int fd, const char* data, size_t length) {
    while (length > 0) {
        const ssize_t n = send(fd, data, length, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        data += n;
        length -= static_cast<size_t>(n);
    }
    return true;
}

}  // namespace simline
