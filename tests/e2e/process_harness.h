// Runs the real programs: `vocerra --headless` in the background with its
// output collected line by line, and `vocerra-call` to completion.
#pragma once

#include <sys/types.h>

#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace e2e {

using Environment = std::map<std::string, std::string>;

struct Finished {
    int exitCode = -1;  // -1: killed by a signal or not started
    std::string output;  // stdout and stderr, interleaved
};

// Runs a program to its end; the real-time guard only stops a hung run.
Finished RunProgram(const std::string& path, const std::vector<std::string>& args, const Environment& env,
                    int guardSeconds = 300);

class BackgroundProgram {
public:
    // outputGone: stdout is a pipe whose reader has already left (as after
    // `| head -c 20`); its lines are not collected.
    BackgroundProgram(const std::string& path, const std::vector<std::string>& args, const Environment& env,
                      bool outputGone = false);
    ~BackgroundProgram();  // kills a program still running
    BackgroundProgram(const BackgroundProgram&) = delete;
    BackgroundProgram& operator=(const BackgroundProgram&) = delete;

    pid_t Pid() const { return m_pid; }
    // Waits until a line of stdout (or stderr) satisfies pred; false when
    // the program ended first or the real-time guard ran out.
    bool WaitForOut(const std::function<bool(const std::string&)>& pred, int guardSeconds = 120);
    bool WaitForErr(const std::function<bool(const std::string&)>& pred, int guardSeconds = 120);
    std::vector<std::string> OutLines();
    std::vector<std::string> ErrLines();
    void Signal(int signo);
    // Waits for the end; the exit code, or -1 after a signal or the guard.
    int Wait(int guardSeconds = 120);
    bool Running();

private:
    struct Stream {
        std::vector<std::string> lines;
        bool closed = false;
        std::thread reader;
    };
    void Read(int fd, Stream& stream);
    bool WaitFor(Stream& stream, const std::function<bool(const std::string&)>& pred, int guardSeconds);

    pid_t m_pid = -1;
    int m_status = -1;
    bool m_reaped = false;
    std::mutex m_lock;
    std::condition_variable m_changed;
    Stream m_out;
    Stream m_err;
};

// What /proc says about a running process.
struct ProcessCounts {
    int threads = 0;
    int fds = 0;
    long rssKb = 0;
};
ProcessCounts CountProcess(pid_t pid);

}  // namespace e2e
