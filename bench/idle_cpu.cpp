// idle-cpu: the CPU time a running headless Vocerra spends per minute with
// its line open and no call, against 0.1 s a minute. Nothing in the program
// should poll: while idle, every thread sleeps in a wait without a time-out.
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

}  // namespace

int main(int argc, char** argv) {
    if (argc > 1 && std::string("idle-cpu").find(argv[1]) == std::string::npos) return 0;
    const int seconds = std::getenv("VOCERRA_IDLE_SECONDS") ? std::atoi(std::getenv("VOCERRA_IDLE_SECONDS")) : 30;
    const std::string home = MakePrivateFolder("vocerra-idle-home-XXXXXX");
    const std::string runtime = MakePrivateFolder("vocerra-idle-run-XXXXXX");
    setenv("VOCERRA_HOME", home.c_str(), 1);
    setenv("VOCERRA_RUNTIME_DIR", runtime.c_str(), 1);
    setenv("VOCERRA_NO_SOUND_CARDS", "1", 1);
    setenv("VOCERRA_MODEM_PORTS", "", 1);  // the simulated line only
    int out[2];
    if (home.empty() || runtime.empty() || pipe(out) != 0) return 1;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    char headless[] = "--headless";
    char* args[] = {const_cast<char*>(VOCERRA_BIN), headless, nullptr};
    pid_t pid = 0;
    if (posix_spawn(&pid, VOCERRA_BIN, &actions, nullptr, args, environ) != 0) return 1;
    close(out[1]);
    if (!WaitReady(out[0])) {
        std::fprintf(stderr, "idle-cpu: vocerra did not start\n");
        return 1;
    }
    std::this_thread::sleep_for(std::chrono::seconds(2));  // past start-up
    const double before = CpuSeconds(pid);
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    const double after = CpuSeconds(pid);
    kill(pid, SIGTERM);
    int status = 0;
    waitpid(pid, &status, 0);
    close(out[0]);
    std::string cleanup = "rm -rf '" + home + "' '" + runtime + "'";
    if (std::system(cleanup.c_str()) != 0) return 1;
    // At least a microsecond, so the ratio stays finite.
    const double perMinute = std::max((after - before) * 60.0 / seconds, 1e-6);
    std::printf("idle-cpu: %.4f s vs %.1f s = %.1fx\n", perMinute, kAnchorSeconds, kAnchorSeconds / perMinute);
    return 0;
}
