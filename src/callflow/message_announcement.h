// How remote retrieval speaks a message's date and time with prompt files:
// "message received on" (10), the month (40..51), the day (60..79 for 1 to
// 20; "twenty" or "thirty" then 60..68 for the rest), the hour (90..101), the
// minute (90..109, or a tens prompt 109..112 then 90..98; none for 00) and
// "p.m." (11) or "a.m." (12). One prompt per announcement state, 62 to 69.
#pragma once

class VM_CCallInfo;

struct VM_SMessageTime {
    int month = 0;
    int day = 0;
    bool afternoon = false;
    int hour = 0;  // 1..12
    int minute = 0;
};

// The record's stored time; the hour on a 12-hour clock (0 becomes 12).
VM_SMessageTime VM_GetMessageTime(const VM_CCallInfo& record);

// State 62..69 has nothing to say for this time: go on to the next state.
constexpr int VM_ANNOUNCE_NOTHING = -1;
// The time cannot be spoken (a month, day, hour or minute out of range).
constexpr int VM_ANNOUNCE_INVALID = -2;

// The prompt that announcement state 62..69 plays for the time.
int VM_GetAnnouncementPrompt(int state, const VM_SMessageTime& time);
