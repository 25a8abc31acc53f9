#include "notify/test_email.h"

#include <cstdlib>

#include "diag/trace.h"
#include "notify/qvsmtp/qvsmtp_connection.h"
#include "notify/qvsmtp/qvsmtp_exception.h"
#include "notify/qvsmtp/qvsmtp_message.h"
#include "notify/smtp_settings.h"

using qvsmtp::QvSmtpConnection;
using qvsmtp::QvSmtpException;
using qvsmtp::QvSmtpMessage;

const char* const VM_TEXT_EMAIL_INCOMPLETE =
    "Please make sure that SMTP configurations such as server, port and email accounts are properly entered. ";
const char* const VM_TEXT_TEST_SUBJECT = "Test email (from Vocerra)";
const char* const VM_TEXT_TEST_BODY =
    "If you can read this, then you have successfully configured email-forwarding feature in Vocerra. Thank you "
    "and enjoy.";
const char* const VM_TEXT_TEST_SENDING = "Sending email message...";
const char* const VM_TEXT_TEST_SENT = "Congratulation, message has been successfully sent.";
const char* const VM_TEXT_TEST_ERROR = "Error response received, check your connection.";
const char* const VM_TEXT_TEST_SENT_BOX =
    "Congratulation! Email has been successfully sent and email-forwarding feature is now enabled.";
const char* const VM_TEXT_TEST_FAILED_BOX =
    "Sorry, there are some problems while sending test email. Please check your Internet connection and email "
    "configuration.";

namespace {

// The port as typed; past what an int holds it is no port at all.
int TypedPort(const std::string& text) {
    const std::string digits = VM_TrimBlanks(text.c_str());
    if (digits.empty() || digits.size() > 10) return digits.empty() ? 0 : -1;
    const long long value = std::strtoll(digits.c_str(), nullptr, 10);
    return value > 0x7FFFFFFF ? -1 : static_cast<int>(value);
}

VM_SSmtpSettings SettingsOf(const VM_SEmailPageValues& values) {
    VM_SSmtpSettings smtp;
    smtp.server = VM_TrimBlanks(values.server.c_str());
    smtp.port = TypedPort(values.port);
    smtp.login = values.authentication;
    smtp.user = VM_TrimBlanks(values.user.c_str());
    smtp.password = VM_TrimBlanks(values.password.c_str());
    smtp.security = values.security;
    smtp.sender = VM_TrimBlanks(values.sender.c_str());
    for (int i = 0; i < VM_EMAIL_COUNT; ++i) smtp.emails[i] = VM_TrimBlanks(values.emails[i].c_str());
    return smtp;
}

void SendTest(const VM_SSmtpSettings& smtp) {
    QvSmtpConnection conn;
    VM_ConnectSmtp(conn, smtp);
    QvSmtpMessage msg;
    msg.SetFrom(smtp.sender.c_str());
    msg.SetSender(smtp.sender.c_str());
    for (const std::string& email : smtp.emails)
        if (!email.empty()) msg.AddRecipient(email.c_str());
    msg.SetSubject(VM_TEXT_TEST_SUBJECT);
    msg.SetOption(1);
    msg.SetBody(VM_TEXT_TEST_BODY, QvSmtpMessage::kBodyPlainText);
    msg.SetFinalOption(3);
    conn.Send(msg);
}

}  // namespace

bool VM_CheckEmailPage(const VM_SEmailPageValues& values) {
    const VM_SSmtpSettings smtp = SettingsOf(values);
    return (!smtp.login || !smtp.user.empty()) && VM_HasAnyAddress(smtp) && smtp.port != 0 && !smtp.server.empty() &&
           !smtp.sender.empty();
}

VM_STestEmailOutcome VM_SendTestEmail(const VM_SEmailPageValues& values) {
    VM_STestEmailOutcome outcome;
    if (!VM_CheckEmailPage(values)) {
        outcome.messageText = VM_TEXT_EMAIL_INCOMPLETE;
        return outcome;
    }
    try {
        SendTest(SettingsOf(values));
    } catch (const QvSmtpException& e) {
        VM_TRACE(g_bTraceTapi, "VM_SendTestEmail: %s", e.GetText());
        outcome.result = VM_ETestEmailResult::kFailed;
        outcome.progressText = VM_TEXT_TEST_ERROR;
        outcome.messageText = VM_TEXT_TEST_FAILED_BOX;
        return outcome;
    }
    outcome.result = VM_ETestEmailResult::kSent;
    outcome.progressText = VM_TEXT_TEST_SENT;
    outcome.messageText = VM_TEXT_TEST_SENT_BOX;
    return outcome;
}
