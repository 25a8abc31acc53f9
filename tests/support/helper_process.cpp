#include "support/helper_process.h"

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

namespace testsupport {

std::string ReadFirstLine(int fd, int boundMs) {
    std::string text;
    pollfd readable{fd, POLLIN, 0};
    while (text.find('\n') == std::string::npos && poll(&readable, 1, boundMs) > 0) {
        char buffer[256];
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n <= 0) break;
        text.append(buffer, static_cast<size_t>(n));
    }
    return text.substr(0, text.find('\n'));
}

void EndHelper(pid_t pid, int inputFd) {
    if (inputFd >= 0) close(inputFd);
    if (pid <= 0) return;
    for (int i = 0; i < 100; ++i) {
        if (waitpid(pid, nullptr, WNOHANG) == pid) return;
        usleep(50000);
    }
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
}

}  // namespace testsupport
