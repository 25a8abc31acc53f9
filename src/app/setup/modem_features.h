// What the modem page says about the modem table and about one modem: the
// heading, description and group caption for the number of modems found,
// and the three feature labels with the explanation behind each "No".
#pragma once

#include <string>

#include "callflow/modem_table.h"

enum class VM_EFeatureMark { kPlain, kRedLink, kGreenLink };

struct VM_SFeature {
    const char* text = "N/A";  // "Yes", "No", "N/A" or "Not Found"
    VM_EFeatureMark mark = VM_EFeatureMark::kPlain;
    const char* explanation = nullptr;  // shown when a link is clicked
};

// "Voice Modem:", "Play/Record Sound:", "Remote Retrieval:".
constexpr int kModemFeatureCount = 3;
extern const char* const VM_MODEM_FEATURE_CAPTIONS[kModemFeatureCount];

struct VM_SModemFeatures {
    VM_SFeature items[kModemFeatureCount];
};

struct VM_SModemPageTexts {
    std::string heading;
    std::string description;  // empty with several modems
    std::string group;
};

bool VM_IsVoiceModem(const VM_SModemEntry& entry);
VM_SModemFeatures VM_GetModemFeatures(const VM_SModemEntry& entry);
// "Not Found", "N/A", "N/A".
VM_SModemFeatures VM_NoModemFeatures();
VM_SModemPageTexts VM_GetModemPageTexts(const VM_SModemTable& table);
