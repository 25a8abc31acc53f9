// idle-cpu: the CPU time a running Vocerra spends per minute with its line
// open and no call, against 0.1 s a minute: headless, and windowed on Qt's
// offscreen platform. Nothing in the program should poll: while idle, every
// thread sleeps in a wait without a time-out (the windowed one in Qt's event
// loop, woken only by the main thread's queue).
#include <dirent.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "store/app_config.h"

extern char** environ;

namespace {

constexpr double kAnchorSeconds = 0.1;

// CPU time of every live thread of the process, from the scheduler's
// nanosecond counters.
double CpuSeconds(pid_t pid) {
    const std::string tasks = "/proc/" + std::to_string(pid) + "/task";
    DIR* dir = opendir(tasks.c_str());
    if (dir == nullptr) return -1;
    double total = 0;
    while (dirent* entry = readdir(dir)) {
        if (entry->d_name[0] == '.') continue;
        std::ifstream stat(tasks + "/" + entry->d_name + "/schedstat");
        unsigned long long ns = 0;
        if (stat >> ns) total += static_cast<double>(ns) / 1e9;
    }
    closedir(dir);
    return total;
}

std::string MakePrivateFolder(const char* pattern) {
    std::string path = std::string("/tmp/") + pattern;
    if (mkdtemp(path.data()) == nullptr) return {};
    chmod(path.c_str(), 0700);
    return path;
}

// Reads the child's output until its ready line.
bool WaitReady(int fd) {
    std::string seen;
    char buffer[512];
    for (;;) {
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n <= 0) return false;
        seen.append(buffer, static_cast<size_t>(n));
        if (seen.find("Vocerra answering on line") != std::string::npos) return true;
    }
}

// The windowed program says nothing; it is ready once it listens for a
// second start, which it does after start-up.
bool WaitForSocket(const std::string& path, pid_t pid) {
    struct stat st {};
    for (int i = 0; i < 600; ++i) {
        if (stat(path.c_str(), &st) == 0 && S_ISSOCK(st.st_mode)) return true;
        if (waitpid(pid, nullptr, WNOHANG) == pid) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return false;
}

// The line the windowed program answers on, chosen beforehand as the
// set-up wizard would; answering is on from the first run.
void ChooseSimulatedLine(const std::string& home) {
    VM_CAppCfg cfg(home.c_str());
    cfg.m_idLine = 0;
    cfg.VM_SetFlag(false, VM_FLAG_TIPS);
    cfg.VM_Save();
}

// CPU seconds per minute of one idle run; negative when it did not start.
double MeasureIdle(bool windowed, int seconds) {
    const std::string home = MakePrivateFolder("vocerra-idle-home-XXXXXX");
    const std::string runtime = MakePrivateFolder("vocerra-idle-run-XXXXXX");
    setenv("VOCERRA_HOME", home.c_str(), 1);
    setenv("VOCERRA_RUNTIME_DIR", runtime.c_str(), 1);
    setenv("VOCERRA_NO_SOUND_CARDS", "1", 1);
    setenv("VOCERRA_MODEM_PORTS", "", 1);  // the simulated line only
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    int out[2];
    if (home.empty() || runtime.empty() || pipe(out) != 0) return -1;
    if (windowed) ChooseSimulatedLine(home);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 2);  // the ready line
    posix_spawn_file_actions_addclose(&actions, out[0]);
    char headless[] = "--headless";
    std::vector<char*> args = {const_cast<char*>(VOCERRA_BIN)};
    if (!windowed) args.push_back(headless);
    args.push_back(nullptr);
    pid_t pid = 0;
    if (posix_spawn(&pid, VOCERRA_BIN, &actions, nullptr, args.data(), environ) != 0) return -1;
    close(out[1]);
    const bool ready = windowed ? WaitForSocket(runtime + "/instance.sock", pid) : WaitReady(out[0]);
    double perMinute = -1;
    if (ready) {
        std::this_thread::sleep_for(std::chrono::seconds(2));  // past start-up
        const double before = CpuSeconds(pid);
        std::this_thread::sleep_for(std::chrono::seconds(seconds));
        const double after = CpuSeconds(pid);
        // At least a microsecond, so the ratio stays finite.
        perMinute = std::max((after - before) * 60.0 / seconds, 1e-6);
    }
    kill(pid, SIGTERM);
    int status = 0;
    waitpid(pid, &status, 0);
    close(out[0]);
    std::string cleanup = "rm -rf '" + home + "' '" + runtime + "'";
    if (std::system(cleanup.c_str()) != 0) return -1;
    return perMinute;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 1 && std::string("idle-cpu-windowed").find(argv[1]) == std::string::npos) return 0;
    const int seconds = std::getenv("VOCERRA_IDLE_SECONDS") ? std::atoi(std::getenv("VOCERRA_IDLE_SECONDS")) : 30;
    int failed = 0;
    for (const bool windowed : {false, true}) {
        const char* name = windowed ? "idle-cpu-windowed" : "idle-cpu";
        const double perMinute = MeasureIdle(windowed, seconds);
        if (perMinute < 0) {
            std::fprintf(stderr, "%s: vocerra did not start\n", name);
            failed = 1;
            continue;
        }
        std::printf("%s: %.4f s vs %.1f s = %.1fx\n", name, perMinute, kAnchorSeconds, kAnchorSeconds / perMinute);
        std::fflush(stdout);
    }
    return failed;
}
