// The process frame without windows: one copy per user, the configuration,
// the answer machine on the configured line, the filing of new calls, the
// plain message loop, and a clean stop on SIGINT and SIGTERM that lets a
// call in progress end and be filed. Prints one line per call.
#pragma once

#include <cstdio>
#include <memory>
#include <string>

#include "callflow/observer.h"
#include "shell/signal_thread.h"


struct VM_SHeadlessOutput {
    std::FILE* calls = stdout;   // one line per call, nothing else
    std::FILE* log = stderr;     // the ready line, caller-ID updates and notices
};

// Runs until stopped; the process's exit code.
int VM_RunHeadless(const VM_SHeadlessOutput& output = {});
