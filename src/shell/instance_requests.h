// What another process asks the running copy over its instance socket, one
// line each way: show its window, or change one setting. The running copy
// makes the change itself and saves it, so the file has one writer and a
// change is never lost to the running copy's own next save.
#pragma once

#include <functional>
#include <string>

#include "shell/config_settings.h"

class VM_CAnswerMachine;
class VM_CAppCfg;

// Requests, without their line end.
extern const char* const VM_REQUEST_SHOW;  // "show"
std::string VM_ConfigSetRequest(const std::string& programFolder, const std::string& name, const std::string& value);

// Replies, without their line end.
extern const char* const VM_REPLY_SHOWN;      // "shown"
extern const char* const VM_REPLY_NO_WINDOW;  // "no-window": a copy without windows
struct VM_SConfigSetReply {
    enum class Kind { kDone, kRefused, kOtherFolder, kUnreadable };
    Kind kind = Kind::kUnreadable;
    std::string text;  // kDone: the value now; kRefused: why
};
VM_SConfigSetReply VM_ParseConfigSetReply(const std::string& reply);

// The running copy's side, on its main thread.
struct VM_SRunningCopy {
    VM_CAppCfg* cfg = nullptr;
    // Does what a stored change asks beyond the value; empty when done,
    // else why not.
    std::function<std::string(VM_EConfigEffect)> apply;
    // Shows the window; null for a copy without one.
    std::function<void()> show;
    // Told of each change made.
    std::function<void(const std::string&)> log;
};
std::string VM_AnswerInstanceRequest(const std::string& request, const VM_SRunningCopy& copy);

// The answer machine follows a stored change: started or stopped with the
// answering switch, the line reopened for the mailbox mode or the modem
// fix. Empty when done, else why not (answering is then off).
std::string VM_ApplyConfigEffect(VM_CAppCfg& cfg, VM_CAnswerMachine* machine, VM_EConfigEffect effect);
