#include "notify/notice_text.h"

#include <cstdio>

#include "notify/qvsmtp/mime_text.h"

const char* const VM_TEXT_UNKNOWN_CALLER = "Unknown";
const char* const VM_TEXT_OUTCOME_BLOCKED = "and the caller was blocked.";
const char* const VM_TEXT_OUTCOME_MESSAGE = "and left a message.";
const char* const VM_TEXT_OUTCOME_NO_MESSAGE = "did not leave a message.";
const char* const VM_TEXT_SENDING_HEADING = "Sending email:";
const char* const VM_TEXT_SENDING_NOTICES = "Sending email messages. Please be patient...";

namespace {

// Caller-ID text as it may appear in a notice: no control characters,
// "Unknown" when nothing is left.
std::string CallerText(const std::string& text) {
    std::string clean = qvsmtp::mime::WithoutControls(text);
    return clean.empty() ? VM_TEXT_UNKNOWN_CALLER : clean;
}

// The formatted buffer as text, without a character cut in half at its end.
std::string WholeCharacters(const char* buffer) {
    std::string text(buffer);
    size_t end = text.size();
    size_t start = end;
    while (start > 0 && (static_cast<unsigned char>(text[start - 1]) & 0xC0) == 0x80) --start;
    if (start > 0) {
        const auto lead = static_cast<unsigned char>(text[start - 1]);
        const size_t need = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
        if (need > 1 && end - (start - 1) < need) text.resize(start - 1);
    }
    return text;
}

}  // namespace

const char* VM_GetNoticeOutcome(const VM_SNoticeCall& call) {
    if (call.blocked) return VM_TEXT_OUTCOME_BLOCKED;
    return call.recorded ? VM_TEXT_OUTCOME_MESSAGE : VM_TEXT_OUTCOME_NO_MESSAGE;
}

std::string VM_FormatNoticeSubject(const VM_SNoticeCall& call, bool severalMailboxes) {
    const std::string name = CallerText(call.name);
    const std::string number = CallerText(call.number);
    char buffer[kNoticeTextSize];
    if (severalMailboxes)
        std::snprintf(buffer, sizeof buffer, "New Call (Mailbox #%d): %s (%s)", call.mailbox, name.c_str(),
                      number.c_str());
    else
        std::snprintf(buffer, sizeof buffer, "New Call: %s (%s)", name.c_str(), number.c_str());
    return WholeCharacters(buffer);
}

std::string VM_FormatNoticeBody(const VM_SNoticeCall& call, bool severalMailboxes) {
    const std::string name = CallerText(call.name);
    const std::string number = CallerText(call.number);
    const int hour = (call.hour % 24 + 24) % 24;  // a damaged time text stays on the clock
    const int hour12 = hour % 12 == 0 ? 12 : hour % 12;
    const char* half = hour < 12 ? "AM" : "PM";
    char buffer[kNoticeTextSize];
    if (severalMailboxes)
        std::snprintf(buffer, sizeof buffer, "Vocerra (Mailbox #%d): %s called from %s on %02d/%02d at %02d:%02d%s, %s",
                      call.mailbox, name.c_str(), number.c_str(), call.month, call.day, hour12, call.minute, half,
                      VM_GetNoticeOutcome(call));
    else
        std::snprintf(buffer, sizeof buffer, "Vocerra: %s called from %s on %02d/%02d at %02d:%02d%s, %s",
                      name.c_str(), number.c_str(), call.month, call.day, hour12, call.minute, half,
                      VM_GetNoticeOutcome(call));
    return WholeCharacters(buffer);
}
