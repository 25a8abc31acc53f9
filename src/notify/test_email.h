// The test message of the "Setup Email" page, sent with the values typed in
// the dialog rather than the stored ones.
#pragma once

#include <string>

#include "notify/email_setup_form.h"

extern const char* const VM_TEXT_TEST_SUBJECT;     // "Test email (from Vocerra)"
extern const char* const VM_TEXT_TEST_BODY;
extern const char* const VM_TEXT_TEST_SENDING;     // "Sending email message..."
extern const char* const VM_TEXT_TEST_SENT;        // progress window, success
extern const char* const VM_TEXT_TEST_ERROR;       // progress window, failure (shown in red)
extern const char* const VM_TEXT_TEST_SENT_BOX;    // message box, success
extern const char* const VM_TEXT_TEST_FAILED_BOX;  // message box, failure

enum class VM_ETestEmailResult { kIncomplete, kSent, kFailed };

struct VM_STestEmailOutcome {
    VM_ETestEmailResult result = VM_ETestEmailResult::kIncomplete;
    const char* progressText = nullptr;  // null when nothing was sent
    const char* messageText = nullptr;   // what the message box says
};

// Checks the values as the page's OK does (VM_CheckEmailPage), then sends
// one message to every address at once. Runs to completion on the
// calling thread.
VM_STestEmailOutcome VM_SendTestEmail(const VM_SEmailPageValues& values);
