#include "e2e/process_harness.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <fstream>

extern char** environ;

namespace e2e {

namespace {

std::vector<std::string> MergedEnvironment(const Environment& env) {
    Environment all;
    for (char** e = environ; *e != nullptr; ++e) {
        const char* eq = std::strchr(*e, '=');
        if (eq != nullptr) all[std::string(*e, static_cast<size_t>(eq - *e))] = eq + 1;
    }
    for (const auto& [key, value] : env) all[key] = value;
    std::vector<std::string> list;
    for (const auto& [key, value] : all) list.push_back(key + "=" + value);
    return list;
}

std::vector<char*> Pointers(std::vector<std::string>& texts) {
    std::vector<char*> pointers;
    for (std::string& text : texts) pointers.push_back(text.data());
    pointers.push_back(nullptr);
    return pointers;
}

// Starts path with stdout and stderr on the given descriptors.
pid_t Spawn(const std::string& path, const std::vector<std::string>& args, const Environment& env, int out,
            int err) {
    std::vector<std::string> argv{path};
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<std::string> envp = MergedEnvironment(env);
    std::vector<char*> argvp = Pointers(argv);
    std::vector<char*> envpp = Pointers(envp);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, out, 1);
    posix_spawn_file_actions_adddup2(&actions, err, 2);
    // The program's own way with a broken pipe, whatever the test runner's.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF);
    pid_t pid = -1;
    if (posix_spawn(&pid, path.c_str(), &actions, &attributes, argvp.data(), envpp.data()) != 0) pid = -1;
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

int Count(const std::string& folder) {
    DIR* dir = opendir(folder.c_str());
    if (dir == nullptr) return -1;
    int n = 0;
    while (dirent* entry = readdir(dir))
        if (entry->d_name[0] != '.') n++;
    closedir(dir);
    return n;
}

}  // namespace

Finished RunProgram(const std::string& path, const std::vector<std::string>& args, const Environment& env,
                    int guardSeconds) {
    Finished done;
    BackgroundProgram program(path, args, env);
    done.exitCode = program.Wait(guardSeconds);
    for (const std::string& line : program.OutLines()) done.output += line + "\n";
    for (const std::string& line : program.ErrLines()) done.output += line + "\n";
    return done;
}

BackgroundProgram::BackgroundProgram(const std::string& path, const std::vector<std::string>& args,
                                     const Environment& env, bool outputGone) {
    int out[2], err[2];
    if (pipe2(out, O_CLOEXEC) != 0) return;
    if (pipe2(err, O_CLOEXEC) != 0) {
        close(out[0]);
        close(out[1]);
        return;
    }
    m_pid = Spawn(path, args, env, out[1], err[1]);
    close(out[1]);
    close(err[1]);
    if (outputGone) {
        close(out[0]);
        m_out.closed = true;
    } else {
        m_out.reader = std::thread([this, fd = out[0]] { Read(fd, m_out); });
    }
    m_err.reader = std::thread([this, fd = err[0]] { Read(fd, m_err); });
}

BackgroundProgram::~BackgroundProgram() {
    if (Running()) {
        Signal(SIGKILL);
        Wait(30);
    }
    if (m_out.reader.joinable()) m_out.reader.join();
    if (m_err.reader.joinable()) m_err.reader.join();
}

void BackgroundProgram::Read(int fd, Stream& stream) {
    std::string partial;
    char buffer[4096];
    for (;;) {
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n <= 0) break;
        std::lock_guard<std::mutex> guard(m_lock);
        partial.append(buffer, static_cast<size_t>(n));
        for (size_t eol; (eol = partial.find('\n')) != std::string::npos; partial.erase(0, eol + 1))
            stream.lines.push_back(partial.substr(0, eol));
        m_changed.notify_all();
    }
    close(fd);
    std::lock_guard<std::mutex> guard(m_lock);
    if (!partial.empty()) stream.lines.push_back(partial);
    stream.closed = true;
    m_changed.notify_all();
}

bool BackgroundProgram::WaitFor(Stream& stream, const std::function<bool(const std::string&)>& pred,
                                int guardSeconds) {
    std::unique_lock<std::mutex> guard(m_lock);
    size_t checked = 0;
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(guardSeconds);
    for (;;) {
        for (; checked < stream.lines.size(); ++checked)
            if (pred(stream.lines[checked])) return true;
        if (stream.closed) return false;
        if (m_changed.wait_until(guard, end) == std::cv_status::timeout) return false;
    }
}

bool BackgroundProgram::WaitForOut(const std::function<bool(const std::string&)>& pred, int guardSeconds) {
    return WaitFor(m_out, pred, guardSeconds);
}

bool BackgroundProgram::WaitForErr(const std::function<bool(const std::string&)>& pred, int guardSeconds) {
    return WaitFor(m_err, pred, guardSeconds);
}

std::vector<std::string> BackgroundProgram::OutLines() {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_out.lines;
}

std::vector<std::string> BackgroundProgram::ErrLines() {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_err.lines;
}

void BackgroundProgram::Signal(int signo) {
    if (m_pid > 0 && !m_reaped) kill(m_pid, signo);
}

bool BackgroundProgram::Running() {
    if (m_pid <= 0 || m_reaped) return false;
    if (waitpid(m_pid, &m_status, WNOHANG) == m_pid) m_reaped = true;
    return !m_reaped;
}

int BackgroundProgram::Wait(int guardSeconds) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(guardSeconds);
    while (Running() && std::chrono::steady_clock::now() < end)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    if (!m_reaped) return -1;
    // The output is complete once the program has gone.
    if (m_out.reader.joinable()) m_out.reader.join();
    if (m_err.reader.joinable()) m_err.reader.join();
    return WIFEXITED(m_status) ? WEXITSTATUS(m_status) : -1;
}

ProcessCounts CountProcess(pid_t pid) {
    ProcessCounts counts;
    const std::string proc = "/proc/" + std::to_string(pid);
    counts.threads = Count(proc + "/task");
    counts.fds = Count(proc + "/fd");
    std::ifstream status(proc + "/status");
    std::string key;
    while (status >> key) {
        if (key == "VmRSS:") {
            status >> counts.rssKb;
            break;
        }
        status.ignore(1 << 12, '\n');
    }
    return counts;
}

}  // namespace e2e
