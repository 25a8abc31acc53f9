#include "lines/modem/serial_port.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>

namespace modemline {

namespace {

std::string DefaultLockDir() {
    struct stat st{};
    if (stat("/var/lock", &st) == 0 && S_ISDIR(st.st_mode)) return "/var/lock";
    return "/run/lock";
}

// A lock whose owner no longer runs may be taken over.
bool StaleLock(const std::string& file) {
    FILE* f = std::fopen(file.c_str(), "r");
    if (f == nullptr) return true;
    long pid = 0;
    const int read = std::fscanf(f, "%ld", &pid);
    std::fclose(f);
    if (read != 1 || pid <= 0) return true;
    return kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH;
}

bool SetRaw(int fd) {
    termios tio{};
    if (tcgetattr(fd, &tio) != 0) return false;
    cfmakeraw(&tio);
    tio.c_cflag |= CLOCAL | CREAD | CRTSCTS | HUPCL;
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
    // USB modems ignore the speed; on a UART 16-bit voice needs 230400.
    cfsetispeed(&tio, B230400);
    cfsetospeed(&tio, B230400);
    return tcsetattr(fd, TCSANOW, &tio) == 0;
}

}  // namespace

std::string LockFilePath(const std::string& port, const std::string& lockDir) {
    const size_t slash = port.rfind('/');
    const std::string name = slash == std::string::npos ? port : port.substr(slash + 1);
    return (lockDir.empty() ? DefaultLockDir() : lockDir) + "/LCK.." + name;
}

SerialPort::~SerialPort() { Close(); }

std::string SerialPort::TakeLock(const std::string& path, const std::string& lockDir) {
    const std::string file = LockFilePath(path, lockDir);
    for (int attempt = 0; attempt < 2; attempt++) {
        const int fd = open(file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd >= 0) {
            // The UUCP form: the owner's pid, ten characters wide, and a newline.
            char text[16];
            const int n = std::snprintf(text, sizeof text, "%10ld\n", static_cast<long>(getpid()));
            const bool written = write(fd, text, static_cast<size_t>(n)) == n;
            close(fd);
            if (!written) {
                unlink(file.c_str());
                return "cannot write the lock file " + file;
            }
            m_lockFile = file;
            return "";
        }
        if (errno != EEXIST) return "cannot create the lock file " + file + ": " + std::strerror(errno);
        if (!StaleLock(file)) return "in use by another program (" + file + ")";
        unlink(file.c_str());
    }
    return "cannot take the lock file " + file;
}

std::string SerialPort::Open(const std::string& path, const std::string& lockDir) {
    Close();
    std::string error = TakeLock(path, lockDir);
    if (!error.empty()) return error;
    m_fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (m_fd < 0) error = std::string("cannot open: ") + std::strerror(errno);
    else if (ioctl(m_fd, TIOCEXCL) != 0) error = std::string("no exclusive access: ") + std::strerror(errno);
    else if (!SetRaw(m_fd)) error = std::string("cannot set raw mode: ") + std::strerror(errno);
    if (!error.empty()) Close();
    return error;
}

void SerialPort::Close() {
    if (m_fd >= 0) {
        ioctl(m_fd, TIOCNXCL);
        close(m_fd);
        m_fd = -1;
    }
    if (!m_lockFile.empty()) {
        unlink(m_lockFile.c_str());
        m_lockFile.clear();
    }
}

}  // namespace modemline
