// The owner's own command, run after every filed call, so a home server can
// hand each call on (a push message to a phone, home automation, a chat
// room). The string value "OnCall" of HKEY_CURRENT_USER\Software\Vocerra
// names an executable (a relative path counts from the program folder). It
// is started without a shell and without arguments: what the call brought,
// caller data included, reaches it only as environment values (see
// VM_GetCallHookVariables), never as words a shell would read. It runs in
// the program folder, at most one at a time on a thread of its own, the
// later calls waiting in order, and is killed with what it started after
// 30 seconds. Its output, and why it could not run or how it failed, go to
// the trace log whatever the trace switches say: the owner asked for it.
//
// All members are called on the main thread.
#pragma once

#include <memory>
#include <string>
#include <vector>

class VM_CAppCfg;
struct VM_SFiledCall;

class VM_CCallHook {
public:
    static constexpr int kLimitMs = 30000;
    // Calls waiting behind a command that keeps running; more are dropped.
    static constexpr size_t kMaxWaiting = 64;

    VM_CCallHook();
    ~VM_CCallHook();  // as VM_Stop
    VM_CCallHook(const VM_CCallHook&) = delete;
    VM_CCallHook& operator=(const VM_CCallHook&) = delete;

    // Reads the setting now; with a command set, queues its run for the call.
    void VM_OnFiledCall(const VM_CAppCfg& cfg, const VM_SFiledCall& call);
    // At exit: the runs still waiting get one time limit in all, then the
    // one running is killed and the rest are dropped.
    void VM_Stop();

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

// The command "OnCall" names; empty when none is set.
std::string VM_GetOnCallCommand();
// Names the command (empty: none, the value is removed); false when the
// registry file could not be written, and then nothing changed.
bool VM_SetOnCallCommand(const std::string& command);

// "NAME=value" for each of VOCERRA_CALLER_NAME, VOCERRA_CALLER_NUMBER,
// VOCERRA_CALL_TIME (ISO 8601 with the local offset), VOCERRA_MESSAGE_FILE
// (empty without a message), VOCERRA_MESSAGE_SECONDS, VOCERRA_MAILBOX,
// VOCERRA_FOLDER (the folder's name) and VOCERRA_BLOCKED (1 or 0).
std::vector<std::string> VM_GetCallHookVariables(const VM_SFiledCall& call, const std::string& folderName);

// "2024-05-01T14:03:22+02:00" for a record's "2024/05/01, 14:03:22" in
// local time; empty when the text is not such a time.
std::string VM_RecordTimeToIso8601(const std::string& recordTime);
