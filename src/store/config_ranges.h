// The ranges the setup dialogs enforce before they store a setting, and the
// clamps applied where a stored value is used (the file is not range-checked
// when it is read, so a hand-edited one may hold anything).
#pragma once

#include <cstdint>

// Longest text each setting's edit field accepts.
constexpr int VM_RINGS_MAX_CHARS = 2;
constexpr int VM_CALL_MINUTES_MAX_CHARS = 3;
constexpr int VM_SILENCE_SECONDS_MAX_CHARS = 2;
constexpr int VM_PASSWORD_MAX_CHARS = 6;
constexpr int VM_SILENCE_LEVEL_PAGE_STEP = 10;
// Shown when "Hang up a call if more than" is ticked with no value.
constexpr int VM_CALL_MINUTES_WHEN_TICKED = 15;

extern const char* const VM_PASSWORD_RULE_TEXT;

// The typed text (only its first VM_RINGS_MAX_CHARS count): empty gives 3,
// 0 or less or not a number gives 1.
int VM_RingsFromText(const char* text);
// 0 or less, empty or not a number gives 0 (no limit).
int VM_CallMinutesFromText(const char* text);
// The value shown when the limit box is ticked: 15 when none was set.
int VM_CallMinutesOnTick(int minutes);
// Clearing the value to 0 unticks the limit box.
bool VM_CallLimitTicked(int minutes);
// Empty gives 10; 0 or less or not a number gives 0.
int VM_SilenceSecondsFromText(const char* text);
int VM_SilenceLevelFromSlider(int position);

// With retrieval enabled both passwords must be non-empty digit strings of at
// most VM_PASSWORD_MAX_CHARS; with it off anything passes (and is not stored).
bool VM_RemotePasswordsAcceptable(bool retrievalEnabled, const char* defaultPassword,
                                  const char* currentPassword);

// Where stored values are used.
int VM_ClampSilenceLevel(int level);      // 0..100
int VM_ClampSilenceSeconds(int seconds);  // 0..99
int VM_ClampCallMinutes(int minutes);     // 0..999
// The call time limit in milliseconds, 0 for none.
std::int64_t VM_CallLimitMs(int minutes);
