// The settings a user changes without the windows (`vocerra config`): each
// one's name, the values it takes, how its current value reads and how a new
// one is checked and stored, with the checks and ranges of the set-up pages.
// A setting kept elsewhere than "Vocerra.Cfg" (the registry file) is one more
// row whose functions read and write its own store.
#pragma once

#include <optional>
#include <string>
#include <vector>

class VM_CAppCfg;

// What a running copy does beyond storing the value.
enum class VM_EConfigEffect {
    kNone,       // read afresh at each call
    kLine,       // the answer machine reopens the line (mailbox mode, modem fix)
    kAnswering,  // the answer machine starts or stops
};

struct VM_SConfigSetting {
    const char* name;
    const char* range;  // the values set takes, as the listing shows them
    std::string (*get)(const VM_CAppCfg& cfg);
    // Checks and stores value: nothing when stored; an empty text when the
    // value is outside the range; else why it was refused. Nothing is
    // stored when it refuses. Null: not set from here.
    std::optional<std::string> (*set)(VM_CAppCfg& cfg, const std::string& value);
    VM_EConfigEffect effect;
};

// Every setting, in the order they are listed.
const std::vector<VM_SConfigSetting>& VM_ConfigSettings();
// By name, ignoring case; null when there is none.
const VM_SConfigSetting* VM_FindConfigSetting(const std::string& name);
// Stores value (not saved); empty when done, else the message for the user,
// naming the range when the value is outside it.
std::string VM_SetConfigValue(VM_CAppCfg& cfg, const VM_SConfigSetting& setting, const std::string& value);
