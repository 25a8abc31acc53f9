#include "shell/call_hook.h"

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <deque>
#include <mutex>
#include <thread>

#include "diag/trace.h"
#include "platform/win32/clock.h"
#include "platform/win32/errors.h"
#include "platform/win32/registry.h"
#include "shell/call_mediator.h"
#include "shell/hook_process.h"
#include "store/app_config.h"
#include "store/tree.h"
#include "store/tree_node.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr const char* kSettingsKey = "Software\\Vocerra";
constexpr const char* kOnCallValue = "OnCall";
// Lines of one run's output that reach the trace; the rest is read and dropped.
constexpr int kMaxTracedLines = 200;

const std::vector<std::string>& VariableNames() {
    static const std::vector<std::string> names{
        "VOCERRA_CALLER_NAME", "VOCERRA_CALLER_NUMBER", "VOCERRA_CALL_TIME", "VOCERRA_MESSAGE_FILE",
        "VOCERRA_MESSAGE_SECONDS", "VOCERRA_MAILBOX", "VOCERRA_FOLDER", "VOCERRA_BLOCKED"};
    return names;
}

struct Job {
    std::string command;
    std::string workDir;
    std::vector<std::string> variables;
};

std::string FolderName(const VM_CAppCfg& cfg, int folderId) {
    std::unique_ptr<char[]> file(cfg.VM_GetTreeFileName(1));
    if (!file) return "";
    VM_CTree tree(new VM_CTreeItem, file.get());
    const VM_CNode* folder = tree.VM_Find(folderId);
    return folder != nullptr ? folder->m_szName : "";
}

void TraceEnd(const std::string& command, const VM_SHookResult& result) {
    using End = VM_SHookResult::End;
    switch (result.end) {
    case End::kNotStarted:
        VM_TraceF("OnCall: \"%s\" cannot be started: %s", command.c_str(), std::strerror(result.code));
        break;
    case End::kExited:
        if (result.code != 0) VM_TraceF("OnCall: \"%s\" ended with exit code %d", command.c_str(), result.code);
        break;
    case End::kSignalled:
        VM_TraceF("OnCall: \"%s\" ended by signal %d", command.c_str(), result.code);
        break;
    case End::kTimedOut:
        VM_TraceF("OnCall: \"%s\" did not end within %d seconds and was killed", command.c_str(),
                  VM_CCallHook::kLimitMs / 1000);
        break;
    case End::kStopped:
        VM_TraceF("OnCall: \"%s\" was killed: Vocerra is ending", command.c_str());
        break;
    }
}

}  // namespace

struct VM_CCallHook::Impl {
    void Run();
    void RunOne(const Job& job);
    bool StopDue() {
        std::lock_guard<std::mutex> guard(lock);
        return stopping && Clock::now() >= stopDeadline;
    }

    std::vector<std::string> inherited;  // taken on the main thread
    std::mutex lock;                      // guards queue, stopping and stopDeadline
    std::condition_variable wake;
    std::deque<Job> queue;
    bool stopping = false;
    Clock::time_point stopDeadline;
    std::thread worker;
};

void VM_CCallHook::Impl::Run() {
    for (;;) {
        Job job;
        {
            std::unique_lock<std::mutex> guard(lock);
            wake.wait(guard, [this] { return stopping || !queue.empty(); });
            if (queue.empty()) return;
            if (stopping && Clock::now() >= stopDeadline) {
                VM_TraceF("OnCall: not run for %zu calls: Vocerra is ending", queue.size());
                queue.clear();
                return;
            }
            job = std::move(queue.front());
            queue.pop_front();
        }
        RunOne(job);
    }
}

void VM_CCallHook::Impl::RunOne(const Job& job) {
    VM_SHookRun run;
    run.path = job.command;
    run.workDir = job.workDir;
    run.environment = inherited;
    run.environment.insert(run.environment.end(), job.variables.begin(), job.variables.end());
    run.limitMs = kLimitMs;
    int lines = 0;
    const VM_SHookResult result = VM_RunHookProcess(
        run,
        [&](const std::string& text) {
            if (++lines <= kMaxTracedLines) VM_TraceF("OnCall output: %s", text.c_str());
            if (lines == kMaxTracedLines + 1) VM_WriteTrace("OnCall: further output is not traced");
        },
        [this] { return StopDue(); });
    TraceEnd(job.command, result);
}

VM_CCallHook::VM_CCallHook() : m_impl(std::make_unique<Impl>()) {
    m_impl->inherited = VM_InheritedEnvironment(VariableNames());
}

VM_CCallHook::~VM_CCallHook() { VM_Stop(); }

void VM_CCallHook::VM_OnFiledCall(const VM_CAppCfg& cfg, const VM_SFiledCall& call) {
    const std::string command = VM_GetOnCallCommand();
    if (command.empty()) return;
    Job job{command, cfg.m_szHome != nullptr ? cfg.m_szHome : "",
            VM_GetCallHookVariables(call, FolderName(cfg, call.folderId))};
    {
        std::lock_guard<std::mutex> guard(m_impl->lock);
        if (m_impl->stopping) return;
        if (m_impl->queue.size() >= kMaxWaiting) {
            VM_TraceF("OnCall: not run for the call of %s: %zu calls are already waiting", call.time.c_str(),
                      m_impl->queue.size());
            return;
        }
        m_impl->queue.push_back(std::move(job));
    }
    // The thread comes with the first run, so a program without the
    // setting never has one.
    if (!m_impl->worker.joinable()) m_impl->worker = std::thread([impl = m_impl.get()] { impl->Run(); });
    m_impl->wake.notify_one();
}

void VM_CCallHook::VM_Stop() {
    {
        std::lock_guard<std::mutex> guard(m_impl->lock);
        if (!m_impl->stopping) {
            m_impl->stopping = true;
            m_impl->stopDeadline =
                Clock::now() + std::chrono::duration_cast<Clock::duration>(platform::ScaledToReal(kLimitMs));
        }
    }
    m_impl->wake.notify_one();
    if (m_impl->worker.joinable()) m_impl->worker.join();
}

std::string VM_GetOnCallCommand() {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kSettingsKey, 0, KEY_QUERY_VALUE, &key) != static_cast<LONG>(ERROR_SUCCESS))
        return "";
    DWORD type = 0;
    DWORD size = 0;
    std::string value;
    if (RegQueryValueExA(key, kOnCallValue, nullptr, &type, nullptr, &size) == static_cast<LONG>(ERROR_SUCCESS) &&
        type == REG_SZ && size > 0) {
        std::vector<char> data(size);
        if (RegQueryValueExA(key, kOnCallValue, nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &size) ==
            static_cast<LONG>(ERROR_SUCCESS))
            value.assign(data.data(), strnlen(data.data(), size));
    }
    RegCloseKey(key);
    return value;
}

bool VM_SetOnCallCommand(const std::string& command) {
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, kSettingsKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) !=
        static_cast<LONG>(ERROR_SUCCESS))
        return false;
    LONG result;
    if (command.empty()) {
        result = RegDeleteValueA(key, kOnCallValue);
        if (result == static_cast<LONG>(ERROR_FILE_NOT_FOUND)) result = ERROR_SUCCESS;
    } else {
        result = RegSetValueExA(key, kOnCallValue, 0, REG_SZ, reinterpret_cast<const BYTE*>(command.c_str()),
                                static_cast<DWORD>(command.size() + 1));
    }
    RegCloseKey(key);
    return result == static_cast<LONG>(ERROR_SUCCESS);
}

std::vector<std::string> VM_GetCallHookVariables(const VM_SFiledCall& call, const std::string& folderName) {
    const std::vector<std::string>& names = VariableNames();
    const std::string values[] = {call.name,
                                  call.number,
                                  VM_RecordTimeToIso8601(call.time),
                                  call.recording,
                                  std::to_string(call.recording.empty() ? 0 : call.messageSeconds),
                                  std::to_string(call.mailbox),
                                  folderName,
                                  (call.flags & VM_CCallInfo::kFlagBlocked) ? "1" : "0"};
    std::vector<std::string> variables;
    for (size_t i = 0; i < names.size(); ++i) variables.push_back(names[i] + "=" + values[i]);
    return variables;
}

std::string VM_RecordTimeToIso8601(const std::string& recordTime) {
    std::tm local{};
    char rest = 0;
    if (std::sscanf(recordTime.c_str(), "%d/%d/%d, %d:%d:%d%c", &local.tm_year, &local.tm_mon, &local.tm_mday,
                    &local.tm_hour, &local.tm_min, &local.tm_sec, &rest) != 6)
        return "";
    if (local.tm_mon < 1 || local.tm_mon > 12 || local.tm_mday < 1 || local.tm_mday > 31 || local.tm_hour < 0 ||
        local.tm_hour > 23 || local.tm_min < 0 || local.tm_min > 59 || local.tm_sec < 0 || local.tm_sec > 59)
        return "";
    local.tm_year -= 1900;
    local.tm_mon -= 1;
    local.tm_isdst = -1;
    const int day = local.tm_mday;
    // A day the month does not have (February 30) is not moved into the next.
    if (std::mktime(&local) == static_cast<std::time_t>(-1) || local.tm_mday != day) return "";
    // Local offsets lie within a day.
    const int offset = static_cast<int>(local.tm_gmtoff / 60) % (24 * 60);
    char text[96];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d%c%02d:%02d", local.tm_year + 1900,
                  local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec, offset < 0 ? '-' : '+',
                  std::abs(offset) / 60, std::abs(offset) % 60);
    return text;
}
