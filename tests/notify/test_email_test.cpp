// The test message of the "Setup Email" page.
#include <gtest/gtest.h>

#include "notify/test_email.h"
#include "smtp_test_server.h"
#include "support/scoped_env.h"

namespace {

class TestEmailTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(server.ok()) << server.error();
        values.server = "  127.0.0.1 ";
        values.port = std::to_string(server.port("starttls"));
        values.authentication = true;
        values.user = " vocerra";
        values.password = "secret ";
        values.sender = " vocerra@example.com\t";
        values.security = 2;
        values.emails[0] = "one@example.com ";
        values.emails[2] = " three@example.com";
        values.emails[4] = "five@example.com";
    }

    notifytest::SmtpTestServer server;
    testsupport::ScopedEnv ca{"VOCERRA_SMTP_CA_FILE", server.caFile().c_str()};
    VM_SEmailPageValues values;
};

TEST_F(TestEmailTest, IncompleteValuesSendNothing) {
    const auto check = [&](auto change) {
        VM_SEmailPageValues v = values;
        change(v);
        EXPECT_FALSE(VM_CheckEmailPage(v));
        const VM_STestEmailOutcome outcome = VM_SendTestEmail(v);
        EXPECT_EQ(outcome.result, VM_ETestEmailResult::kIncomplete);
        EXPECT_EQ(outcome.progressText, nullptr);
        EXPECT_STREQ(outcome.messageText,
                     "Please make sure that SMTP configurations such as server, port and email accounts are "
                     "properly entered. ");
    };
    check([](VM_SEmailPageValues& v) { v.user = "  "; });
    check([](VM_SEmailPageValues& v) { v.emails[0] = v.emails[2] = v.emails[4] = " "; });
    check([](VM_SEmailPageValues& v) { v.port = "0"; });
    check([](VM_SEmailPageValues& v) { v.port = ""; });
    // Beyond what a port can be, or beyond an int: never stored as a port.
    check([](VM_SEmailPageValues& v) { v.port = "65536"; });
    check([](VM_SEmailPageValues& v) { v.port = "9999999999"; });
    check([](VM_SEmailPageValues& v) { v.port = "25a"; });
    check([](VM_SEmailPageValues& v) { v.server = "\t"; });
    check([](VM_SEmailPageValues& v) { v.sender = ""; });
    EXPECT_TRUE(server.Received().empty());
    VM_SEmailPageValues noLogin = values;
    noLogin.authentication = false;
    noLogin.user.clear();
    EXPECT_TRUE(VM_CheckEmailPage(noLogin));
}

TEST_F(TestEmailTest, OneMessageToEveryAddress) {
    const VM_STestEmailOutcome outcome = VM_SendTestEmail(values);
    EXPECT_EQ(outcome.result, VM_ETestEmailResult::kSent);
    EXPECT_STREQ(outcome.progressText, "Congratulation, message has been successfully sent.");
    EXPECT_STREQ(outcome.messageText,
                 "Congratulation! Email has been successfully sent and email-forwarding feature is now enabled.");
    const auto mails = server.Received();
    ASSERT_EQ(mails.size(), 1u);
    EXPECT_EQ(mails[0].rcptTos,
              (std::vector<std::string>{"one@example.com", "three@example.com", "five@example.com"}));
    EXPECT_EQ(mails[0].Header("To"), "one@example.com, three@example.com, five@example.com");
    EXPECT_EQ(mails[0].Header("From"), "vocerra@example.com");
    EXPECT_EQ(mails[0].Header("Subject"), "Test email (from Vocerra)");
    EXPECT_EQ(mails[0].body,
              "If you can read this, then you have successfully configured email-forwarding feature in Vocerra. "
              "Thank you and enjoy.\n");
    EXPECT_TRUE(mails[0].attachments.empty());
    EXPECT_TRUE(mails[0].tls);
    EXPECT_EQ(mails[0].login, "vocerra");
}

TEST_F(TestEmailTest, AnyFailureGivesTheErrorTexts) {
    VM_SEmailPageValues wrong = values;
    wrong.password = "wrong";
    VM_SEmailPageValues refused = values;
    refused.emails[2] = "refused@example.com";
    for (const auto* v : {&wrong, &refused}) {
        const VM_STestEmailOutcome outcome = VM_SendTestEmail(*v);
        EXPECT_EQ(outcome.result, VM_ETestEmailResult::kFailed);
        EXPECT_STREQ(outcome.progressText, "Error response received, check your connection.");
        EXPECT_STREQ(outcome.messageText,
                     "Sorry, there are some problems while sending test email. Please check your Internet "
                     "connection and email configuration.");
    }
    EXPECT_TRUE(server.Received().empty());
}

}  // namespace
