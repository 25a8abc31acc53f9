// New-call notices end to end against the loopback mail server.
#include <gtest/gtest.h>

#include "notice_fixture.h"
#include "notify/new_call_notice.h"

using notifytest::NoticeTest;

namespace {

constexpr DWORD kSent = VM_CCallInfo::kFlagNotify;
constexpr DWORD kFailed = VM_CCallInfo::kFlagNotify | VM_CCallInfo::kFlagNotifyFailed;
constexpr DWORD kNoticeBits = kFailed;

TEST_F(NoticeTest, TwoAddressesGetTheirOwnMessageAndOnlyTheSecondTheRecording) {
    SetAddresses({"first@example.com", "second@example.com"});
    cfg.m_bAttach[1] = 1;
    auto record = Call("Alice", "555-0100");
    VM_NotifyNewCall(cfg, *record);
    EXPECT_EQ(record->VM_GetFlags() & kNoticeBits, kSent);
    const auto mails = server.Received();
    ASSERT_EQ(mails.size(), 2u);
    for (size_t i = 0; i < 2; ++i) {
        EXPECT_EQ(mails[i].Header("From"), "vocerra@example.com");
        EXPECT_EQ(mails[i].mailFrom, "vocerra@example.com");
        EXPECT_EQ(mails[i].Header("Subject"), "New Call: Alice (555-0100)");
        EXPECT_EQ(mails[i].body, "Vocerra: Alice called from 555-0100 on 03/03 at 09:07PM, and left a message.\n");
        EXPECT_EQ(mails[i].login, "vocerra");
    }
    EXPECT_EQ(mails[0].Header("To"), "first@example.com");
    EXPECT_EQ(mails[1].Header("To"), "second@example.com");
    EXPECT_TRUE(mails[0].attachments.empty());
    ASSERT_EQ(mails[1].attachments.size(), 1u);
    EXPECT_EQ(mails[1].attachments[0].bytes, recording);
    EXPECT_EQ(mails[1].attachments[0].type, "audio/wav");
}

TEST_F(NoticeTest, SeveralMailboxesAndBlockedCallerWithoutRecording) {
    cfg.m_dwFlags &= ~VM_FLAG_SINGLE_MAILBOX;
    SetAddresses({"owner@example.com"});
    cfg.m_bAttach[0] = 1;
    auto record = Call(nullptr, nullptr, false, VM_CCallInfo::kFlagBlocked);
    VM_NotifyNewCall(cfg, *record);
    const auto mails = server.Received();
    ASSERT_EQ(mails.size(), 1u);
    EXPECT_EQ(mails[0].Header("Subject"), "New Call (Mailbox #2): Unknown (Unknown)");
    EXPECT_EQ(mails[0].body,
              "Vocerra (Mailbox #2): Unknown called from Unknown on 03/03 at 09:07PM, and the caller was blocked.\n");
    EXPECT_TRUE(mails[0].attachments.empty());
}

TEST_F(NoticeTest, SecureConnectionsCarryTheNotice) {
    SetAddresses({"owner@example.com"});
    for (const auto& [listener, security] : {std::pair{"tls", 0x11}, std::pair{"starttls", 0x21}}) {
        UseServer(listener, static_cast<std::uint8_t>(security));
        auto record = Call("Bob", "555-0101");
        VM_NotifyNewCall(cfg, *record);
        EXPECT_EQ(record->VM_GetFlags() & kNoticeBits, kSent) << listener;
    }
    const auto mails = server.Received();
    ASSERT_EQ(mails.size(), 2u);
    EXPECT_TRUE(mails[0].tls && mails[1].tls);
}

TEST_F(NoticeTest, FailedConnectionsMarkTheRecordFailedAndSendNothing) {
    SetAddresses({"owner@example.com"});
    notifytest::FastTimeOuts fast;
    const struct {
        const char* what;
        const char* listener;
        std::uint8_t security;
        const char* password;
    } cases[] = {{"wrong password", "plain", 0x01, "wrong"},
                 {"silent server", "silent", 0x01, "secret"},
                 {"closing server", "closing", 0x00, "secret"},
                 {"certificate of another host", "wronghost", 0x11, "secret"},
                 {"STARTTLS not offered", "plain", 0x21, "secret"}};
    for (const auto& c : cases) {
        UseServer(c.listener, c.security, c.password);
        auto record = Call("Carol", "555-0102");
        VM_NotifyNewCall(cfg, *record);
        EXPECT_EQ(record->VM_GetFlags() & kNoticeBits, kFailed) << c.what;
    }
    cfg.m_nSmtpPort = notifytest::UnusedPort();
    auto record = Call("Carol", "555-0102");
    VM_NotifyNewCall(cfg, *record);
    EXPECT_EQ(record->VM_GetFlags() & kNoticeBits, kFailed) << "server down";
    EXPECT_TRUE(server.Received().empty());
}

TEST_F(NoticeTest, ARefusedOrUnsafeAddressFailsAloneAndTheOthersAreSent) {
    SetAddresses({"first@example.com", "refused@example.com", "third@example.com",
                  "evil@example.com\r\nBcc: victim@example.com", "fifth@example.com"});
    auto record = Call("Dave", "555-0103");
    VM_NotifyNewCall(cfg, *record);
    EXPECT_EQ(record->VM_GetFlags() & kNoticeBits, kFailed);
    const auto mails = server.Received();
    ASSERT_EQ(mails.size(), 3u);
    EXPECT_EQ(mails[0].rcptTos, std::vector<std::string>{"first@example.com"});
    EXPECT_EQ(mails[1].rcptTos, std::vector<std::string>{"third@example.com"});
    EXPECT_EQ(mails[2].rcptTos, std::vector<std::string>{"fifth@example.com"});
    for (const auto& mail : mails) EXPECT_EQ(mail.HeaderCount("Bcc"), 0);
}

TEST_F(NoticeTest, CallerNameCannotAddHeadersOrRecipients) {
    SetAddresses({"owner@example.com"});
    auto record = Call("Eve\r\nBcc: victim@example.com\r\n", "555\r\nX-Evil: 1");
    VM_NotifyNewCall(cfg, *record);
    const auto mails = server.Received();
    ASSERT_EQ(mails.size(), 1u);
    EXPECT_EQ(mails[0].Header("Subject"), "New Call: EveBcc: victim@example.com (555X-Evil: 1)");
    EXPECT_EQ(mails[0].HeaderCount("Bcc"), 0);
    EXPECT_EQ(mails[0].HeaderCount("X-Evil"), 0);
    EXPECT_EQ(mails[0].rcptTos, std::vector<std::string>{"owner@example.com"});
    EXPECT_EQ(mails[0].raw.find("\r\nBcc:"), std::string::npos);
}

TEST_F(NoticeTest, FiveAddressesWithOneEmptyGiveFourMessagesInOrder) {
    SetAddresses({"a@example.com", "b@example.com", "", "d@example.com", "e@example.com"});
    auto record = Call("Frank", "555-0104");
    VM_NotifyNewCall(cfg, *record);
    EXPECT_EQ(record->VM_GetFlags() & kNoticeBits, kSent);
    const auto mails = server.Received();
    ASSERT_EQ(mails.size(), 4u);
    const char* expected[] = {"a@example.com", "b@example.com", "d@example.com", "e@example.com"};
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(mails[i].Header("To"), expected[i]);
        EXPECT_EQ(mails[i].connection, mails[0].connection);  // one dialogue for the whole notice
    }
}

TEST_F(NoticeTest, TheModeDecidesAndModeOffClearsTheRequest) {
    SetAddresses({"owner@example.com"});
    cfg.m_nNotifyMode = 0;
    auto asked = Call("Gina", "555-0105", true, VM_CCallInfo::kFlagNotify);
    VM_NotifyNewCall(cfg, *asked);
    EXPECT_EQ(asked->VM_GetFlags() & kNoticeBits, 0u);
    cfg.m_nNotifyMode = 1;
    auto knownQuiet = Call("Hal", "555-0106", true, VM_CCallInfo::kFlagKnownNoNotify);
    VM_NotifyNewCall(cfg, *knownQuiet);
    EXPECT_EQ(knownQuiet->VM_GetFlags() & kNoticeBits, 0u);
    cfg.m_nNotifyMode = 2;
    auto stranger = Call("Ida", "555-0107");
    VM_NotifyNewCall(cfg, *stranger);
    EXPECT_EQ(stranger->VM_GetFlags() & kNoticeBits, 0u);
    EXPECT_TRUE(server.Received().empty());
    auto marked = Call("Jo", "555-0108", true, VM_CCallInfo::kFlagNotify);
    VM_NotifyNewCall(cfg, *marked);
    EXPECT_EQ(marked->VM_GetFlags() & kNoticeBits, kSent);
    EXPECT_EQ(server.Received().size(), 1u);
}

}  // namespace
