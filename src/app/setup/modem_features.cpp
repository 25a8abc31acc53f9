#include "app/setup/modem_features.h"

#include "platform/tapi/tapi_constants.h"

const char* const VM_MODEM_FEATURE_CAPTIONS[kModemFeatureCount] = {"Voice Modem:", "Play/Record Sound:",
                                                                    "Remote Retrieval:"};

namespace {

const char* const kNotVoice =
    "Your modem is a data modem which allows you to surf the internet properly, but it does not support voice. "
    "Please purchase a voice modem.";
const char* const kNoSound =
    "The audio sound devices for your voice modem have NOT been correctly installed. Please re-install the modem "
    "driver. If problem persists, please download the latest driver from your modem manufactuer's web site.";
const char* const kNoDigits =
    "Your modem does not support remote retrieval function. However, other functions such as play greetings or "
    "record voice messages are not affected.";

VM_SFeature Yes() {
    return {"Yes", VM_EFeatureMark::kPlain, nullptr};
}

VM_SFeature No(VM_EFeatureMark mark, const char* explanation) {
    return {"No", mark, explanation};
}

// The names never pass through a format: a line name may hold '%'.
std::string WithName(const char* before, const char* name, const char* after) {
    return std::string(before) + name + after;
}

}  // namespace

bool VM_IsVoiceModem(const VM_SModemEntry& entry) {
    return (entry.dwBearerModes & LINEBEARERMODE_VOICE) != 0 &&
           (entry.dwMediaModes & LINEMEDIAMODE_AUTOMATEDVOICE) != 0;
}

VM_SModemFeatures VM_GetModemFeatures(const VM_SModemEntry& entry) {
    VM_SModemFeatures features;
    if (!VM_IsVoiceModem(entry)) {
        features.items[0] = No(VM_EFeatureMark::kRedLink, kNotVoice);
        return features;
    }
    features.items[0] = Yes();
    features.items[1] =
        entry.idWaveIn == -1 || entry.idWaveOut == -1 ? No(VM_EFeatureMark::kRedLink, kNoSound) : Yes();
    features.items[2] = entry.dwMonitorDigitModes != 0 ? Yes() : No(VM_EFeatureMark::kGreenLink, kNoDigits);
    return features;
}

VM_SModemFeatures VM_NoModemFeatures() {
    VM_SModemFeatures features;
    features.items[0].text = "Not Found";
    return features;
}

VM_SModemPageTexts VM_GetModemPageTexts(const VM_SModemTable& table) {
    if (table.nCount <= 0) {
        return {"No Modem Found",
                "There are no dialup modems installed on your computer. Please purchase a voice modem and install it "
                "before starting the Vocerra. Thank you for your interests!",
                "Problems Identified:"};
    }
    if (table.nCount == 1) {
        const VM_SModemEntry& only = table.entries[0];
        if (table.nVoiceCount > 0) {
            return {"Congratulations!",
                    WithName("Vocerra has automatically detected that ", only.szName,
                             " is a supported modem. Please enjoy this feature-rich while easy-to-use software."),
                    "Modem Features:"};
        }
        return {"Modem Detected",
                WithName("Your ", only.szName,
                         " has been detected by Vocerra. However it lacks some of the voice features shown in "
                         "colored labels below. Please click on it to find out more."),
                "Modem Features:"};
    }
    if (table.nVoiceCount > 0) return {"Supported Modems", "", "Features of Selected Modem:"};
    return {"Detected Modems", "", "Problems of Selected Modem:"};
}
