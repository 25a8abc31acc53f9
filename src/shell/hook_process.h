// One run of a command the owner named: started without a shell, its only
// argument its own path, in a given folder, with the environment given; its
// standard output and error read line by line; killed together with what it
// started when it outlives its limit or the caller asks it to stop.
#pragma once

#include <functional>
#include <string>
#include <vector>

struct VM_SHookRun {
    std::string path;
    std::string workDir;                   // empty: the program's own
    std::vector<std::string> environment;  // "NAME=value", the whole of it
    int limitMs = 30000;                   // scaled time
};

struct VM_SHookResult {
    enum class End { kNotStarted, kExited, kSignalled, kTimedOut, kStopped };
    End end = End::kNotStarted;
    // The exit code, the signal, or for kNotStarted the errno.
    int code = 0;
};

// Runs to the end. line gets each line of output as it comes (without its
// line end); stopAsked is polled while the command runs.
VM_SHookResult VM_RunHookProcess(const VM_SHookRun& run, const std::function<void(const std::string&)>& line,
                                 const std::function<bool()>& stopAsked);

// The program's own environment without the names given, as "NAME=value".
std::vector<std::string> VM_InheritedEnvironment(const std::vector<std::string>& leftOut);
