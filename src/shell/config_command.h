// `vocerra config`: the settings without the windows, for a machine without
// a display and for scripts. Lists every setting with its value and range,
// shows one, or changes one. A change goes to the running copy when there is
// one (it stores, applies and saves it); otherwise the file is changed under
// the single-instance lock, so no copy starts halfway through.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

// args: what follows "config". The process's exit code: 0 done, 1 refused
// or failed, 2 a malformed command line.
int VM_RunConfigCommand(const std::vector<std::string>& args, std::FILE* out, std::FILE* err);
