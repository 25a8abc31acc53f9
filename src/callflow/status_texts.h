// The status texts of a call, shown in the caller-ID window by index.
#pragma once

constexpr int VM_STATUS_RINGING = 0;
constexpr int VM_STATUS_ANSWERING = 1;
constexpr int VM_STATUS_SILENCE_COUNTDOWN = 2;  // formatted with the seconds left
constexpr int VM_STATUS_DROPPING = 3;
constexpr int VM_STATUS_SOUND = 4;
constexpr int VM_STATUS_CALLER_HUNG_UP = 5;
constexpr int VM_STATUS_MAIN_GREETING = 7;
constexpr int VM_STATUS_RECORDING_TONE = 8;
constexpr int VM_STATUS_BYE = 9;
constexpr int VM_STATUS_RETRIEVAL = 10;
constexpr int VM_STATUS_CALLED_PARTY_HUNG_UP = 11;
constexpr int VM_STATUS_TIME_LIMIT = 12;
constexpr int VM_STATUS_RECORDING = 13;
constexpr int VM_STATUS_BLOCKING = 14;
constexpr int VM_STATUS_BLOCK_HANG_UP = 15;
constexpr int VM_STATUS_BLOCK_TONE = 16;
constexpr int VM_STATUS_CALL_END_TONE = 17;
constexpr int VM_STATUS_BLOCK_ANNOUNCEMENT = 18;
constexpr int VM_STATUS_COUNT = 19;

// The text of index 0..18 (index 6 is empty); null outside that range.
const char* VM_GetStatusText(int index);
