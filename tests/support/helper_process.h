// A helper program a test starts beside it (a mail server, a session bus
// with a service on it), which says "READY ..." on its first line and ends
// when its input closes.
#pragma once

#include <sys/types.h>

#include <string>

namespace testsupport {

// The first line fd gives, without its line end, waiting at most boundMs
// (real time) for it; what came when the bound passed or the output ended.
std::string ReadFirstLine(int fd, int boundMs);

// Closes the helper's input, which ends it, and reaps it; a helper that has
// not gone after five seconds is killed.
void EndHelper(pid_t pid, int inputFd);

}  // namespace testsupport
