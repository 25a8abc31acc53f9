#include "store/config_ranges.h"

#include <algorithm>
#include <cstring>
#include <string>

const char* const VM_PASSWORD_RULE_TEXT =
    "Please make sure that the password is not empty and only digits are entered. ";

namespace {

// The number in the first maxChars characters; false when there is none or
// anything but digits is typed (the fields take digits only).
bool ParseDigits(const char* text, int maxChars, int* value) {
    std::string field(text, strnlen(text, static_cast<std::size_t>(maxChars)));
    if (field.empty()) return false;
    int number = 0;
    for (char c : field) {
        if (c < '0' || c > '9') return false;
        number = number * 10 + (c - '0');
    }
    *value = number;
    return true;
}

bool IsEmpty(const char* text) { return text == nullptr || text[0] == '\0'; }

bool IsDigitPassword(const char* password) {
    if (IsEmpty(password)) return false;
    std::size_t length = std::strlen(password);
    if (length > static_cast<std::size_t>(VM_PASSWORD_MAX_CHARS)) return false;
    return std::all_of(password, password + length, [](char c) { return c >= '0' && c <= '9'; });
}

}  // namespace

int VM_RingsFromText(const char* text) {
    if (IsEmpty(text)) return 3;
    int rings = 0;
    if (!ParseDigits(text, VM_RINGS_MAX_CHARS, &rings) || rings <= 0) return 1;
    return rings;
}

int VM_CallMinutesFromText(const char* text) {
    int minutes = 0;
    if (IsEmpty(text) || !ParseDigits(text, VM_CALL_MINUTES_MAX_CHARS, &minutes)) return 0;
    return std::max(minutes, 0);
}

int VM_CallMinutesOnTick(int minutes) {
    return minutes > 0 ? minutes : VM_CALL_MINUTES_WHEN_TICKED;
}

bool VM_CallLimitTicked(int minutes) { return minutes > 0; }

int VM_SilenceSecondsFromText(const char* text) {
    if (IsEmpty(text)) return 10;
    int seconds = 0;
    if (!ParseDigits(text, VM_SILENCE_SECONDS_MAX_CHARS, &seconds)) return 0;
    return std::max(seconds, 0);
}

int VM_SilenceLevelFromSlider(int position) { return VM_ClampSilenceLevel(position); }

bool VM_RemotePasswordsAcceptable(bool retrievalEnabled, const char* defaultPassword,
                                  const char* currentPassword) {
    if (!retrievalEnabled) return true;
    return IsDigitPassword(defaultPassword) && IsDigitPassword(currentPassword);
}

int VM_ClampSilenceLevel(int level) { return std::clamp(level, 0, 100); }

int VM_ClampSilenceSeconds(int seconds) { return std::clamp(seconds, 0, 99); }

int VM_ClampCallMinutes(int minutes) { return std::clamp(minutes, 0, 999); }

std::int64_t VM_CallLimitMs(int minutes) {
    return static_cast<std::int64_t>(VM_ClampCallMinutes(minutes)) * 60000;
}
