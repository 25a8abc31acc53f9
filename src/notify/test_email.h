// The test message of the "Setup Email" page, sent with the values typed in
// the dialog rather than the stored ones, and the check the page's OK
// shares with it.
#pragma once

#include <string>

#include "store/app_config.h"

extern const char* const VM_TEXT_EMAIL_INCOMPLETE;
extern const char* const VM_TEXT_TEST_SUBJECT;     // "Test email (from Vocerra)"
extern const char* const VM_TEXT_TEST_BODY;
extern const char* const VM_TEXT_TEST_SENDING;     // "Sending email message..."
extern const char* const VM_TEXT_TEST_SENT;        // progress window, success
extern const char* const VM_TEXT_TEST_ERROR;       // progress window, failure (shown in red)
extern const char* const VM_TEXT_TEST_SENT_BOX;    // message box, success
extern const char* const VM_TEXT_TEST_FAILED_BOX;  // message box, failure

// The fields of the page as typed.
struct VM_SEmailPageValues {
    std::string server;
    std::string port;           // digits
    bool authentication = false;  // "This server requires authentication."
    std::string user;
    std::string password;
    std::string sender;
    int security = 0;           // list position: 0 "PLAIN TEXT", 1 "SSL/TLS", 2 "STARTTLS"
    std::string emails[VM_EMAIL_COUNT];
};

enum class VM_ETestEmailResult { kIncomplete, kSent, kFailed };

struct VM_STestEmailOutcome {
    VM_ETestEmailResult result = VM_ETestEmailResult::kIncomplete;
    const char* progressText = nullptr;  // null when nothing was sent
    const char* messageText = nullptr;   // what the message box says
};

// A user name when authentication is ticked, at least one address, a port
// other than 0, a server and a sender, all without leading and trailing
// blanks. Otherwise the page shows VM_TEXT_EMAIL_INCOMPLETE.
bool VM_CheckEmailPage(const VM_SEmailPageValues& values);

// Sends one message to every address at once. Runs to completion on the
// calling thread.
VM_STestEmailOutcome VM_SendTestEmail(const VM_SEmailPageValues& values);
