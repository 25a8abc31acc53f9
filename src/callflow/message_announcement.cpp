#include "callflow/message_announcement.h"

#include "store/call_info.h"

namespace {

constexpr int kPromptAnnounce = 10;
constexpr int kPromptAfternoon = 11;
constexpr int kPromptMorning = 12;
constexpr int kPromptMonthBase = 39;   // + month 1..12
constexpr int kPromptDayBase = 59;     // + day 1..20, or + the unit of 21..31
constexpr int kPromptNumberBase = 89;  // + 1..20
constexpr int kPromptTensBase = 107;   // + n / 10: "twenty" .. "fifty"

int Day(int day) {
    if (day >= 1 && day <= 20) return kPromptDayBase + day;
    if (day >= 21 && day <= 31) return kPromptTensBase + day / 10;
    return VM_ANNOUNCE_INVALID;
}

int Minute(int minute) {
    if (minute == 0) return VM_ANNOUNCE_NOTHING;
    if (minute >= 1 && minute <= 20) return kPromptNumberBase + minute;
    if (minute >= 21 && minute <= 59) return kPromptTensBase + minute / 10;
    return VM_ANNOUNCE_INVALID;
}

}  // namespace

VM_SMessageTime VM_GetMessageTime(const VM_CCallInfo& record) {
    int year = 0, hour = 0;
    VM_SMessageTime time;
    record.VM_GetTime(year, time.month, time.day, hour, time.minute);
    time.afternoon = hour >= 12;
    time.hour = hour % 12 == 0 ? 12 : hour % 12;
    return time;
}

int VM_GetAnnouncementPrompt(int state, const VM_SMessageTime& time) {
    switch (state) {
        case 62: return kPromptAnnounce;
        case 63: return time.month >= 1 && time.month <= 12 ? kPromptMonthBase + time.month : VM_ANNOUNCE_INVALID;
        case 64: return Day(time.day);
        case 65: return time.day > 20 && time.day % 10 != 0 ? kPromptDayBase + time.day % 10 : VM_ANNOUNCE_NOTHING;
        case 66: return time.hour >= 1 && time.hour <= 12 ? kPromptNumberBase + time.hour : VM_ANNOUNCE_INVALID;
        case 67: return Minute(time.minute);
        case 68:
            return time.minute > 20 && time.minute % 10 != 0 ? kPromptNumberBase + time.minute % 10
                                                              : VM_ANNOUNCE_NOTHING;
        case 69: return time.afternoon ? kPromptAfternoon : kPromptMorning;
        default: return VM_ANNOUNCE_INVALID;
    }
}
