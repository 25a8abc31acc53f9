// The SMTP client library against a real server on 127.0.0.1.
#include <gtest/gtest.h>

#include <string>

#include "notify/qvsmtp/qvsmtp_connection.h"
#include "notify/qvsmtp/qvsmtp_exception.h"
#include "notify/qvsmtp/qvsmtp_message.h"
#include "smtp_test_server.h"
#include "support/scoped_env.h"
#include "support/temp_dir.h"

using namespace qvsmtp;
using notifytest::SmtpTestServer;

namespace {

constexpr const char* kHost = "127.0.0.1";

class QvSmtpTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(server.ok()) << server.error(); }

    // Connects to a listener with the test's CA; login with the given password.
    void Connect(QvSmtpConnection& conn, const char* listener, int security, const char* password = "secret") {
        conn.SetCaFile(server.caFile().c_str());
        conn.Connect(kHost, server.port(listener), QvSmtpConnection::kAuthLogin, "vocerra", password, security);
    }

    // The message built in the order the notices use.
    static void Fill(QvSmtpMessage& msg, const char* to, const char* subject, const char* body,
                     const char* attachment = nullptr) {
        msg.SetFrom("machine@example.com");
        msg.SetSender("machine@example.com");
        msg.AddRecipient(to);
        msg.SetSubject(subject);
        msg.SetOption(1);
        msg.SetBody(body, QvSmtpMessage::kBodyPlainText);
        if (attachment != nullptr) msg.Attach(attachment);
        msg.SetFinalOption(3);
    }

    // The code a call throws, or 0.
    template <typename F>
    static std::int32_t CodeOf(F&& call) {
        try {
            call();
        } catch (const QvSmtpException& e) {
            EXPECT_NE(std::string(e.GetText()), "");
            return e.GetCode();
        }
        return 0;
    }

    SmtpTestServer server;
};

TEST_F(QvSmtpTest, WrongPasswordFailsTheConnectionAndSendsNothing) {
    QvSmtpConnection conn;
    EXPECT_EQ(CodeOf([&] { Connect(conn, "plain", QvSmtpConnection::kSecurityPlainText, "wrong"); }),
              QvSmtpFailure(QVSMTP_ECODE_FAILED_AUTHENTICATION));
    QvSmtpMessage msg;
    Fill(msg, "owner@example.com", "s", "b");
    EXPECT_EQ(CodeOf([&] { conn.Send(msg); }), QvSmtpFailure(QVSMTP_ECODE_FAILED_SENDMAILMSG));
    EXPECT_TRUE(server.Received().empty());
}

TEST_F(QvSmtpTest, UnreachableSilentOrClosingServersFailTheConnection) {
    const int failed = QvSmtpFailure(QVSMTP_ECODE_FAILED_CONNECTION);
    QvSmtpConnection conn;
    EXPECT_EQ(CodeOf([&] { conn.Connect(kHost, notifytest::UnusedPort(), 0, nullptr, nullptr, 0); }), failed);
    EXPECT_EQ(CodeOf([&] { conn.Connect(kHost, server.port("closing"), 0, nullptr, nullptr, 0); }), failed);
    notifytest::FastTimeOuts fast;
    EXPECT_EQ(CodeOf([&] { conn.Connect(kHost, server.port("silent"), 0, nullptr, nullptr, 0); }), failed);
    EXPECT_EQ(CodeOf([&] { Connect(conn, "silent", QvSmtpConnection::kSecuritySslTls); }), failed);
}

TEST_F(QvSmtpTest, CertificatesAreVerified) {
    const int failed = QvSmtpFailure(QVSMTP_ECODE_FAILED_CONNECTION);
    testsupport::ScopedEnv noCa("VOCERRA_SMTP_CA_FILE", nullptr);
    {
        QvSmtpConnection untrusted;  // the system store alone does not know the test CA
        EXPECT_EQ(CodeOf([&] {
                      untrusted.Connect(kHost, server.port("tls"), 3, "vocerra", "secret",
                                        QvSmtpConnection::kSecuritySslTls);
                  }),
                  failed);
        EXPECT_EQ(CodeOf([&] {
                      untrusted.Connect(kHost, server.port("starttls"), 3, "vocerra", "secret",
                                        QvSmtpConnection::kSecurityStartTls);
                  }),
                  failed);
    }
    QvSmtpConnection otherHost;
    EXPECT_EQ(CodeOf([&] { Connect(otherHost, "wronghost", QvSmtpConnection::kSecuritySslTls); }), failed);
    // The environment names the extra CA when no setting does.
    testsupport::ScopedEnv ca("VOCERRA_SMTP_CA_FILE", server.caFile().c_str());
    QvSmtpConnection trusted;
    EXPECT_EQ(CodeOf([&] {
                  trusted.Connect(kHost, server.port("tls"), 3, "vocerra", "secret", QvSmtpConnection::kSecuritySslTls);
              }),
              0);
    EXPECT_TRUE(server.Received().empty());
}

TEST_F(QvSmtpTest, StartTlsAndLoginAreRequiredWhenAsked) {
    // A server that offers no STARTTLS must not get the password in clear.
    QvSmtpConnection conn;
    EXPECT_EQ(CodeOf([&] { Connect(conn, "plain", QvSmtpConnection::kSecurityStartTls); }),
              QvSmtpFailure(QVSMTP_ECODE_FAILED_CONNECTION));
    // Nor may mail go out without the login the user asked for.
    EXPECT_EQ(CodeOf([&] { Connect(conn, "nologin", QvSmtpConnection::kSecurityPlainText); }),
              QvSmtpFailure(QVSMTP_ECODE_FAILED_AUTHENTICATION));
    EXPECT_EQ(CodeOf([&] { conn.Connect(kHost, server.port("nologin"), 0, nullptr, nullptr, 0); }), 0);
}

TEST_F(QvSmtpTest, EverySecurityDeliversOnOneLoggedInConnection) {
    const struct {
        const char* listener;
        int security;
        bool tls;
    } cases[] = {{"plain", QvSmtpConnection::kSecurityPlainText, false},
                 {"tls", QvSmtpConnection::kSecuritySslTls, true},
                 {"starttls", QvSmtpConnection::kSecurityStartTls, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.listener);
        const size_t before = server.Received().size();
        QvSmtpConnection conn;
        Connect(conn, c.listener, c.security);
        for (const char* to : {"first@example.com", "second@example.com"}) {
            QvSmtpMessage msg;
            Fill(msg, to, "Subject line", "Body text");
            conn.Send(msg);
        }
        conn.Close();
        const auto mails = server.Received();
        ASSERT_EQ(mails.size(), before + 2);
        for (size_t i = before; i < mails.size(); ++i) {
            EXPECT_EQ(mails[i].login, "vocerra");
            EXPECT_EQ(mails[i].tls, c.tls);
            EXPECT_EQ(mails[i].connection, mails[before].connection);
            EXPECT_EQ(mails[i].Header("From"), "machine@example.com");
            EXPECT_EQ(mails[i].Header("Subject"), "Subject line");
            EXPECT_EQ(mails[i].body, "Body text\n");
            EXPECT_EQ(mails[i].mailFrom, "machine@example.com");
            EXPECT_EQ(mails[i].HeaderCount("Date"), 1);
            EXPECT_EQ(mails[i].HeaderCount("Message-ID"), 1);
        }
        EXPECT_EQ(mails[before].Header("To"), "first@example.com");
        EXPECT_EQ(mails[before + 1].Header("To"), "second@example.com");
        EXPECT_NE(mails[before].Header("Message-ID"), mails[before + 1].Header("Message-ID"));
    }
}

TEST_F(QvSmtpTest, RefusedRecipientOrHangUpFailsOneMessageAndTheNextIsSent) {
    QvSmtpConnection conn;
    Connect(conn, "plain", QvSmtpConnection::kSecurityPlainText);
    for (const char* bad : {"refused@example.com", "hangup@example.com"}) {
        SCOPED_TRACE(bad);
        QvSmtpMessage refused;
        Fill(refused, bad, "s", "b");
        EXPECT_EQ(CodeOf([&] { conn.Send(refused); }), QvSmtpFailure(QVSMTP_ECODE_FAILED_SENDMAILMSG));
        QvSmtpMessage next;
        Fill(next, "next@example.com", "s", "b");
        EXPECT_EQ(CodeOf([&] { conn.Send(next); }), 0);
    }
    const auto mails = server.Received();
    ASSERT_EQ(mails.size(), 2u);
    EXPECT_EQ(mails[1].rcptTos, std::vector<std::string>{"next@example.com"});
    EXPECT_EQ(mails[1].login, "vocerra");
}

TEST_F(QvSmtpTest, AServerThatStopsAnsweringMidMessageTimesOut) {
    notifytest::FastTimeOuts fast;
    QvSmtpConnection conn;
    Connect(conn, "plain", QvSmtpConnection::kSecurityPlainText);
    QvSmtpMessage stalled;
    Fill(stalled, "stall@example.com", "s", "b");
    EXPECT_EQ(CodeOf([&] { conn.Send(stalled); }), QvSmtpFailure(QVSMTP_ECODE_FAILED_SENDMAILMSG));
    EXPECT_TRUE(server.Received().empty());
}

TEST_F(QvSmtpTest, AttachmentArrivesByteForByte) {
    testsupport::TempDir dir;
    std::string wave = "RIFF";
    for (int i = 0; i < 70000; ++i) wave += static_cast<char>((i * 7919) & 0xFF);  // every byte value, CRLF and dots too
    wave += "\r\n.\r\n";
    const std::string path = dir.file("Msg002a.Wav");
    testsupport::WriteFileBytes(path, wave);
    QvSmtpConnection conn;
    Connect(conn, "starttls", QvSmtpConnection::kSecurityStartTls);
    QvSmtpMessage msg;
    Fill(msg, "owner@example.com", "With recording", "Line one\n.\nLine three", path.c_str());
    conn.Send(msg);
    const auto mails = server.Received();
    ASSERT_EQ(mails.size(), 1u);
    EXPECT_EQ(mails[0].body, "Line one\n.\nLine three\n");
    ASSERT_EQ(mails[0].attachments.size(), 1u);
    EXPECT_EQ(mails[0].attachments[0].name, "Msg002a.Wav");
    EXPECT_EQ(mails[0].attachments[0].type, "audio/wav");
    EXPECT_EQ(mails[0].attachments[0].bytes, wave);
}

TEST_F(QvSmtpTest, UnicodeAndLongHeadersSurviveAndNeverSplitIntoNewHeaders) {
    const std::string name = "J\xC3\xBCrgen \xE6\x9D\xB1\xE4\xBA\xAC";
    const std::string longWord(300, 'x');
    const std::string subjects[] = {
        "New Call: " + name + " (555-0100)",
        "New Call: Eve\r\nBcc: victim@example.com (555)",
        "Long: " + longWord + " end",
        "Bad byte \xFF here",
    };
    const std::string expected[] = {subjects[0], "New Call: EveBcc: victim@example.com (555)", subjects[2],
                                    "Bad byte \xEF\xBF\xBD here"};
    QvSmtpConnection conn;
    Connect(conn, "plain", QvSmtpConnection::kSecurityPlainText);
    for (const auto& subject : subjects) {
        QvSmtpMessage msg;
        Fill(msg, "owner@example.com", subject.c_str(), (name + "\r\nBcc: x@example.com").c_str());
        conn.Send(msg);
    }
    const auto mails = server.Received();
    ASSERT_EQ(mails.size(), 4u);
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(mails[i].Header("Subject"), expected[i]);
        EXPECT_EQ(mails[i].HeaderCount("Bcc"), 0);
        EXPECT_EQ(mails[i].rcptTos, std::vector<std::string>{"owner@example.com"});
        EXPECT_EQ(mails[i].body, name + "\nBcc: x@example.com\n");
    }
}

TEST_F(QvSmtpTest, BadAddressesAttachmentsAndParametersAreRefused) {
    QvSmtpMessage msg;
    for (const char* bad : {"", "no-at-sign", "a@b\r\nBcc: c@d", "a b@c.d", "<a@b.c>", "a@", "@b.c"})
        EXPECT_EQ(CodeOf([&] { msg.AddRecipient(bad); }), QvSmtpFailure(QVSMTP_ECODE_BAD_EMAIL_ADDR)) << bad;
    EXPECT_EQ(CodeOf([&] { msg.SetFrom(nullptr); }), QvSmtpFailure(QVSMTP_ECODE_BAD_EMAIL_ADDR));
    EXPECT_EQ(CodeOf([&] { msg.Attach("/nonexistent/Msg0001.Wav"); }), QvSmtpFailure(QVSMTP_ECODE_BAD_ATTACHMENT));
    EXPECT_EQ(CodeOf([&] { msg.Compose(); }), QvSmtpFailure(QVSMTP_ECODE_BAD_MAILMSG));
    QvSmtpConnection conn;
    EXPECT_EQ(CodeOf([&] { conn.Connect("", 25, 0, nullptr, nullptr, 0); }), QvSmtpFailure(QVSMTP_ECODE_BAD_PARAMS));
    EXPECT_EQ(CodeOf([&] { conn.Connect("host/x", 25, 0, nullptr, nullptr, 0); }),
              QvSmtpFailure(QVSMTP_ECODE_BAD_PARAMS));
    EXPECT_EQ(CodeOf([&] { conn.Connect(kHost, 0, 0, nullptr, nullptr, 0); }), QvSmtpFailure(QVSMTP_ECODE_BAD_PARAMS));
    EXPECT_EQ(CodeOf([&] { conn.Connect(kHost, 25, 3, "", "p", 0); }), QvSmtpFailure(QVSMTP_ECODE_BAD_PARAMS));
    EXPECT_EQ(CodeOf([&] { conn.Connect(kHost, 25, 0, nullptr, nullptr, 3); }),
              QvSmtpFailure(QVSMTP_ECODE_BAD_PARAMS));
}

TEST(QvSmtpExceptionTest, TextIsGivenOrTheCodeName) {
    EXPECT_STREQ(QvSmtpException(QvSmtpFailure(QVSMTP_ECODE_FAILED_AUTHENTICATION), 1).GetText(),
                 "QVSMTP_ECODE_FAILED_AUTHENTICATION");
    EXPECT_STREQ(QvSmtpException(static_cast<std::int32_t>(0x8004010A), 1).GetText(),
                 "QVSMTP_ECODE_FAILED_DISCONNECTION");
    EXPECT_STREQ(QvSmtpException(static_cast<std::int32_t>(0x8004010B), 1).GetText(), "QVSMTP_E_FAIL");
    EXPECT_STREQ(QvSmtpException(static_cast<std::int32_t>(0x80050101), 1).GetText(), "QVSMTP_E_FAIL");
    EXPECT_STREQ(QvSmtpException(QVSMTP_E_CONSTRUCTOR, 1).GetText(), "QVSMTP_E_FAIL");
    const QvSmtpException given(QvSmtpFailure(QVSMTP_ECODE_BAD_PARAMS), 42, "given");
    EXPECT_STREQ(given.GetText(), "given");
    EXPECT_EQ(given.GetLine(), 42);
    EXPECT_STREQ(given.GetFile(), "..\\..\\CommonLibs\\Library\\QvSmtp\\Include\\QvSmtp");
}

}  // namespace
