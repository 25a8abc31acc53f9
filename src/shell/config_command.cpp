#include "shell/config_command.h"

#include <algorithm>
#include <chrono>
#include <memory>
#include <optional>
#include <thread>

#include "lines/sim/sim_line_protocol.h"
#include "shell/config_settings.h"
#include "shell/instance_requests.h"
#include "shell/instance_socket.h"
#include "shell/single_instance.h"
#include "store/app_config.h"
#include "store/program_folder.h"

namespace {

// A copy that holds the lock but does not serve its socket yet is still
// starting; it is asked again for this long.
constexpr int kStartingAttempts = 50;
constexpr auto kStartingRetry = std::chrono::milliseconds(200);
// A running copy may be busy opening a line before it answers.
constexpr int kAnswerWaitMs = 40000;

constexpr const char* kUsage =
    "Usage: vocerra config                  list every setting, its value and what it takes\n"
    "       vocerra config get NAME         show one value\n"
    "       vocerra config set NAME VALUE   change one setting\n";

void Say(std::FILE* stream, const std::string& text) {
    std::fprintf(stream, "%s\n", text.c_str());
}

int List(std::FILE* out, const std::string& folder) {
    const VM_CAppCfg cfg(folder.c_str(), VM_CAppCfg::VM_EAccess::kReadOnly);
    std::size_t nameWidth = 4, valueWidth = 5;
    for (const VM_SConfigSetting& setting : VM_ConfigSettings()) {
        nameWidth = std::max(nameWidth, std::string(setting.name).size());
        valueWidth = std::max(valueWidth, setting.get(cfg).size());
    }
    Say(out, std::string("# ") + (cfg.m_szFile != nullptr ? cfg.m_szFile : folder));
    const auto row = [&](const std::string& name, const std::string& value, const std::string& range) {
        std::fprintf(out, "%-*s  %-*s  %s\n", static_cast<int>(nameWidth), name.c_str(), static_cast<int>(valueWidth),
                     value.c_str(), range.c_str());
    };
    row("NAME", "VALUE", "VALUES");
    for (const VM_SConfigSetting& setting : VM_ConfigSettings()) row(setting.name, setting.get(cfg), setting.range);
    return 0;
}

const VM_SConfigSetting* Find(const std::string& name, std::FILE* err) {
    const VM_SConfigSetting* setting = VM_FindConfigSetting(name);
    if (setting == nullptr) Say(err, "vocerra config: there is no setting \"" + name + "\"; 'vocerra config' lists them.");
    return setting;
}

// No copy runs for this folder: the file is changed here.
int SetInFile(const std::string& folder, const VM_SConfigSetting& setting, const std::string& value, std::FILE* out,
              std::FILE* err) {
    VM_CAppCfg cfg(folder.c_str());
    const std::string refused = VM_SetConfigValue(cfg, setting, value);
    if (!refused.empty()) {
        Say(err, "vocerra config: " + refused);
        return 1;
    }
    if (!cfg.VM_Save()) {
        Say(err, "vocerra config: the settings could not be saved in " + folder + "/Config.");
        return 1;
    }
    Say(out, std::string(setting.name) + " is now " + setting.get(cfg) + ".");
    return 0;
}

// 0 or 1 when the running copy answered for the folder; none when it runs
// for another folder or none runs.
std::optional<int> AskRunningCopy(const std::string& runtime, const std::string& request, bool* absent,
                                  std::FILE* out, std::FILE* err, const VM_SConfigSetting& setting) {
    const std::optional<std::string> reply = VM_AskRunningCopy(runtime, request, kAnswerWaitMs, absent);
    if (!reply) {
        if (*absent) return std::nullopt;
        Say(err, "vocerra config: the running Vocerra did not answer; nothing was changed.");
        return 1;
    }
    const VM_SConfigSetReply parsed = VM_ParseConfigSetReply(*reply);
    switch (parsed.kind) {
    case VM_SConfigSetReply::Kind::kDone:
        Say(out, std::string(setting.name) + " is now " + parsed.text + " (the running Vocerra took it).");
        return 0;
    case VM_SConfigSetReply::Kind::kRefused:
        Say(err, "vocerra config: " + parsed.text);
        return 1;
    case VM_SConfigSetReply::Kind::kOtherFolder:
        return std::nullopt;
    case VM_SConfigSetReply::Kind::kUnreadable:
        break;
    }
    Say(err, "vocerra config: the running Vocerra does not take settings from here (\"" + *reply + "\").");
    return 1;
}

int Set(const std::string& folder, const std::string& name, const std::string& value, std::FILE* out,
        std::FILE* err) {
    const VM_SConfigSetting* setting = Find(name, err);
    if (setting == nullptr) return 1;
    if (setting->set == nullptr) {
        Say(err, "vocerra config: " + std::string(setting->name) + " is " + setting->range + ", not set here.");
        return 1;
    }
    const std::string runtime = simline::RemoteSocketFolder();
    const std::string request = VM_ConfigSetRequest(folder, setting->name, value);
    for (int attempt = 0; attempt < kStartingAttempts; ++attempt) {
        if (attempt > 0) std::this_thread::sleep_for(kStartingRetry);
        bool absent = false;
        const std::optional<int> answered = AskRunningCopy(runtime, request, &absent, out, err, *setting);
        if (answered) return *answered;
        // The running copy keeps another folder: this one is nobody's.
        if (!absent) return SetInFile(folder, *setting, value, out, err);
        const VM_CSingleton guard(runtime);
        if (!guard.VM_GetError().empty()) {
            Say(err, "vocerra config: " + guard.VM_GetError());
            return 1;
        }
        if (!guard.VM_AnotherInstance()) return SetInFile(folder, *setting, value, out, err);
    }
    Say(err, "vocerra config: Vocerra is starting but does not answer yet; nothing was changed.");
    return 1;
}

}  // namespace

int VM_RunConfigCommand(const std::vector<std::string>& args, std::FILE* out, std::FILE* err) {
    const bool list = args.empty();
    const bool get = args.size() == 2 && args[0] == "get";
    const bool set = args.size() == 3 && args[0] == "set";
    if (!list && !get && !set) {
        std::fputs(kUsage, args.size() == 1 && (args[0] == "--help" || args[0] == "-h") ? out : err);
        return args.size() == 1 && (args[0] == "--help" || args[0] == "-h") ? 0 : 2;
    }
    const std::string folder = VM_FindProgramFolder();
    if (folder.empty()) {
        Say(err, "vocerra config: no program folder (set VOCERRA_HOME).");
        return 1;
    }
    if (list) return List(out, folder);
    if (set) return Set(folder, args[1], args[2], out, err);
    const VM_SConfigSetting* setting = Find(args[1], err);
    if (setting == nullptr) return 1;
    const VM_CAppCfg cfg(folder.c_str(), VM_CAppCfg::VM_EAccess::kReadOnly);
    Say(out, setting->get(cfg));
    return 0;
}
