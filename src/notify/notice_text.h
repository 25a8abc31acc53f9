// The subject and body of a new-call notice.
//
// Names and numbers come from the telephone network: they are always
// arguments, never formats, control characters are taken out (so a name
// cannot start a header line of its own in the subject), and each text is cut
// to its 1000-character buffer without splitting a UTF-8 character.
#pragma once

#include <string>

constexpr int kNoticeTextSize = 1000;

extern const char* const VM_TEXT_UNKNOWN_CALLER;          // "Unknown"
extern const char* const VM_TEXT_OUTCOME_BLOCKED;         // "and the caller was blocked."
extern const char* const VM_TEXT_OUTCOME_MESSAGE;         // "and left a message."
extern const char* const VM_TEXT_OUTCOME_NO_MESSAGE;      // "did not leave a message."
extern const char* const VM_TEXT_SENDING_HEADING;         // "Sending email:"
extern const char* const VM_TEXT_SENDING_NOTICES;         // "Sending email messages. Please be patient..."

// What a notice tells of one call.
struct VM_SNoticeCall {
    std::string name;    // empty: unknown
    std::string number;  // empty: unknown
    int month = 0;
    int day = 0;
    int hour = 0;        // 0..23
    int minute = 0;
    int mailbox = 0;
    bool blocked = false;
    bool recorded = false;
};

// Blocked first, then recorded, then not recorded.
const char* VM_GetNoticeOutcome(const VM_SNoticeCall& call);
// "New Call: %s (%s)", or with several mailboxes "New Call (Mailbox #%d): %s (%s)".
std::string VM_FormatNoticeSubject(const VM_SNoticeCall& call, bool severalMailboxes);
// "Vocerra: %s called from %s on %02d/%02d at %02d:%02d%s, %s" on a 12-hour
// clock, or "Vocerra (Mailbox #%d): ..." with several mailboxes.
std::string VM_FormatNoticeBody(const VM_SNoticeCall& call, bool severalMailboxes);
