#include "shell/hook_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>

#include "platform/win32/clock.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

// Longer lines are handed on in pieces of this size.
constexpr size_t kMaxLine = 1000;
// How often a running command is looked at when it says nothing (real time).
constexpr int kPollMs = 20;

std::vector<char*> Pointers(const std::vector<std::string>& texts) {
    std::vector<char*> pointers;
    for (const std::string& text : texts) pointers.push_back(const_cast<char*>(text.c_str()));
    pointers.push_back(nullptr);
    return pointers;
}

// The program's threads have SIGINT and SIGTERM blocked for its signal
// thread; a command must start with every signal as a fresh process has it,
// in a process group of its own so that what it starts goes with it, and
// with none of the program's descriptors.
int Spawn(const VM_SHookRun& run, int output, pid_t& pid) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, output, 1);
    posix_spawn_file_actions_adddup2(&actions, output, 2);
    posix_spawn_file_actions_addclosefrom_np(&actions, 3);
    if (!run.workDir.empty()) posix_spawn_file_actions_addchdir_np(&actions, run.workDir.c_str());
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    posix_spawnattr_setpgroup(&attr, 0);
    sigset_t none, all;
    sigemptyset(&none);
    sigfillset(&all);
    posix_spawnattr_setsigmask(&attr, &none);
    posix_spawnattr_setsigdefault(&attr, &all);
    const std::vector<std::string> args{run.path};
    const std::vector<char*> argv = Pointers(args);
    const std::vector<char*> envp = Pointers(run.environment);
    const int rc = posix_spawn(&pid, run.path.c_str(), &actions, &attr, argv.data(), envp.data());
    posix_spawnattr_destroy(&attr);
    posix_spawn_file_actions_destroy(&actions);
    return rc;
}

// Splits what the command writes into lines.
class LineReader {
public:
    explicit LineReader(const std::function<void(const std::string&)>& line) : m_line(line) {}
    void Add(const char* data, size_t size) {
        m_partial.append(data, size);
        for (size_t eol; (eol = m_partial.find('\n')) != std::string::npos; m_partial.erase(0, eol + 1))
            Emit(m_partial.substr(0, eol));
        while (m_partial.size() > kMaxLine) {
            Emit(m_partial.substr(0, kMaxLine));
            m_partial.erase(0, kMaxLine);
        }
    }
    void Finish() {
        if (!m_partial.empty()) Emit(m_partial);
        m_partial.clear();
    }

private:
    void Emit(std::string text) {
        if (!text.empty() && text.back() == '\r') text.pop_back();
        if (m_line) m_line(text);
    }
    const std::function<void(const std::string&)>& m_line;
    std::string m_partial;
};

// Reads once; false at the end of the output.
bool ReadOnce(int fd, LineReader& reader) {
    char buffer[4096];
    const ssize_t got = read(fd, buffer, sizeof buffer);
    if (got < 0) return errno == EINTR || errno == EAGAIN;
    if (got == 0) return false;
    reader.Add(buffer, static_cast<size_t>(got));
    return true;
}

// Waits up to waitMs for output and reads it; false at the end of the output.
bool ReadSome(int fd, LineReader& reader, int waitMs) {
    pollfd ready{fd, POLLIN, 0};
    return poll(&ready, 1, waitMs) <= 0 || ReadOnce(fd, reader);
}

// What is already written, without waiting for more.
void ReadWhatIsThere(int fd, LineReader& reader) {
    for (;;) {
        pollfd ready{fd, POLLIN, 0};
        if (poll(&ready, 1, 0) <= 0 || !ReadOnce(fd, reader)) return;
    }
}

VM_SHookResult Ended(int status) {
    if (WIFSIGNALED(status)) return {VM_SHookResult::End::kSignalled, WTERMSIG(status)};
    return {VM_SHookResult::End::kExited, WEXITSTATUS(status)};
}

}  // namespace

VM_SHookResult VM_RunHookProcess(const VM_SHookRun& run, const std::function<void(const std::string&)>& line,
                                 const std::function<bool()>& stopAsked) {
    int pipeFds[2];
    if (pipe2(pipeFds, O_CLOEXEC) != 0) return {VM_SHookResult::End::kNotStarted, errno};
    pid_t pid = -1;
    const int rc = Spawn(run, pipeFds[1], pid);
    close(pipeFds[1]);
    if (rc != 0) {
        close(pipeFds[0]);
        return {VM_SHookResult::End::kNotStarted, rc};
    }
    const Clock::time_point deadline =
        Clock::now() + std::chrono::duration_cast<Clock::duration>(platform::ScaledToReal(run.limitMs));
    LineReader reader(line);
    bool open = true;
    int status = 0;
    VM_SHookResult result;
    for (;;) {
        if (waitpid(pid, &status, WNOHANG) == pid) {
            // What it started in the background may keep the output open:
            // only what is already written is read.
            if (open) ReadWhatIsThere(pipeFds[0], reader);
            result = Ended(status);
            break;
        }
        const bool late = Clock::now() >= deadline;
        if (late || (stopAsked && stopAsked())) {
            kill(-pid, SIGKILL);
            while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {}
            result = {late ? VM_SHookResult::End::kTimedOut : VM_SHookResult::End::kStopped, 0};
            break;
        }
        if (open) {
            open = ReadSome(pipeFds[0], reader, kPollMs);
        } else {
            poll(nullptr, 0, kPollMs);
        }
    }
    reader.Finish();
    close(pipeFds[0]);
    return result;
}

std::vector<std::string> VM_InheritedEnvironment(const std::vector<std::string>& leftOut) {
    std::vector<std::string> kept;
    for (char** entry = environ; entry != nullptr && *entry != nullptr; ++entry) {
        const char* eq = std::strchr(*entry, '=');
        if (eq == nullptr) continue;
        const std::string name(*entry, static_cast<size_t>(eq - *entry));
        bool skip = false;
        for (const std::string& out : leftOut) skip = skip || out == name;
        if (!skip) kept.emplace_back(*entry);
    }
    return kept;
}
