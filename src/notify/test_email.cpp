#include "notify/test_email.h"

#include "diag/trace.h"
#include "notify/qvsmtp/qvsmtp_connection.h"
#include "notify/qvsmtp/qvsmtp_exception.h"
#include "notify/qvsmtp/qvsmtp_message.h"
#include "notify/smtp_settings.h"

using qvsmtp::QvSmtpConnection;
using qvsmtp::QvSmtpException;
using qvsmtp::QvSmtpMessage;

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

VM_STestEmailOutcome VM_SendTestEmail(const VM_SEmailPageValues& values) {
    VM_STestEmailOutcome outcome;
    if (!VM_CheckEmailPage(values)) {
        outcome.messageText = VM_EMAIL_INCOMPLETE_TEXT;
        return outcome;
    }
    try {
        SendTest(VM_GetPageSettings(values));
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
