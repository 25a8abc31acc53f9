#include "shell/instance_requests.h"

#include <sys/stat.h>

#include <vector>

#include "callflow/answer_machine.h"
#include "lines/sim/sim_line_protocol.h"
#include "store/app_config.h"

const char* const VM_REQUEST_SHOW = "show";
const char* const VM_REPLY_SHOWN = "shown";
const char* const VM_REPLY_NO_WINDOW = "no-window";

namespace {

constexpr const char* kConfigSet = "config-set";
constexpr const char* kDone = "ok";
constexpr const char* kRefused = "refused";
constexpr const char* kOtherFolder = "other-folder";

// Fields are separated by tabs; a tab, a line end or any other control
// character inside one travels percent-encoded, as on the simulated line's
// socket.
std::string Escape(const std::string& text) { return simline::PercentEncode(text); }
std::string Unescape(const std::string& text) { return simline::PercentDecode(text).value_or(text); }

std::vector<std::string> Fields(const std::string& line) {
    std::vector<std::string> fields;
    std::size_t start = 0;
    for (;;) {
        const std::size_t tab = line.find('\t', start);
        fields.push_back(Unescape(line.substr(start, tab == std::string::npos ? std::string::npos : tab - start)));
        if (tab == std::string::npos) return fields;
        start = tab + 1;
    }
}

std::string Reply(const char* kind, const std::string& text) { return std::string(kind) + "\t" + Escape(text); }

// The same folder however its path was spelt.
bool SameFolder(const std::string& a, const char* b) {
    struct stat first {}, second {};
    return b != nullptr && ::stat(a.c_str(), &first) == 0 && ::stat(b, &second) == 0 &&
           first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}

std::string AnswerConfigSet(const std::vector<std::string>& fields, const VM_SRunningCopy& copy) {
    if (fields.size() != 4 || copy.cfg == nullptr) return Reply(kRefused, "The request was not understood.");
    VM_CAppCfg& cfg = *copy.cfg;
    if (!SameFolder(fields[1], cfg.m_szHome)) return kOtherFolder;
    const VM_SConfigSetting* setting = VM_FindConfigSetting(fields[2]);
    if (setting == nullptr) return Reply(kRefused, "There is no setting " + fields[2] + ".");
    const std::string refused = VM_SetConfigValue(cfg, *setting, fields[3]);
    if (!refused.empty()) return Reply(kRefused, refused);
    const std::string failed = copy.apply ? copy.apply(setting->effect) : std::string();
    const bool saved = cfg.VM_Save();
    if (copy.log) copy.log(std::string(setting->name) + " is now " + setting->get(cfg) + " (vocerra config).");
    if (!failed.empty()) return Reply(kRefused, failed);
    if (!saved) return Reply(kRefused, "The running Vocerra took the change but could not save its settings.");
    return Reply(kDone, setting->get(cfg));
}

}  // namespace

std::string VM_ConfigSetRequest(const std::string& programFolder, const std::string& name, const std::string& value) {
    return std::string(kConfigSet) + "\t" + Escape(programFolder) + "\t" + Escape(name) + "\t" + Escape(value);
}

VM_SConfigSetReply VM_ParseConfigSetReply(const std::string& reply) {
    const std::vector<std::string> fields = Fields(reply);
    VM_SConfigSetReply parsed;
    if (fields[0] == kOtherFolder) {
        parsed.kind = VM_SConfigSetReply::Kind::kOtherFolder;
    } else if (fields.size() == 2 && (fields[0] == kDone || fields[0] == kRefused)) {
        parsed.kind = fields[0] == kDone ? VM_SConfigSetReply::Kind::kDone : VM_SConfigSetReply::Kind::kRefused;
        parsed.text = fields[1];
    }
    return parsed;
}

std::string VM_AnswerInstanceRequest(const std::string& request, const VM_SRunningCopy& copy) {
    if (request == VM_REQUEST_SHOW) {
        if (!copy.show) return VM_REPLY_NO_WINDOW;
        copy.show();
        return VM_REPLY_SHOWN;
    }
    const std::vector<std::string> fields = Fields(request);
    if (fields[0] == kConfigSet) return AnswerConfigSet(fields, copy);
    return "unknown";
}

std::string VM_ApplyConfigEffect(VM_CAppCfg& cfg, VM_CAnswerMachine* machine, VM_EConfigEffect effect) {
    if (machine == nullptr) return {};
    switch (effect) {
    case VM_EConfigEffect::kNone:
        return {};
    case VM_EConfigEffect::kLine:
        if (machine->VM_OnConfigChanged()) return {};
        break;
    case VM_EConfigEffect::kAnswering:
        if (!cfg.VM_IsFlag(VM_FLAG_ANSWERING)) {
            machine->VM_Stop();
            return {};
        }
        if (machine->VM_IsStarted() || machine->VM_Start()) return {};
        cfg.VM_SetFlag(false, VM_FLAG_ANSWERING);
        break;
    }
    return "The line " + std::to_string(cfg.m_idLine) + " cannot be opened; answering is off.";
}
