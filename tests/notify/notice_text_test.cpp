// What a notice says, and when one is due.
#include <gtest/gtest.h>

#include "notify/new_call_notice.h"
#include "notify/notice_text.h"
#include "store/call_info.h"

namespace {

VM_SNoticeCall Call(const char* name, const char* number, int hour, int minute) {
    VM_SNoticeCall call;
    call.name = name;
    call.number = number;
    call.month = 3;
    call.day = 3;
    call.hour = hour;
    call.minute = minute;
    call.mailbox = 4;
    call.recorded = true;
    return call;
}

TEST(NoticeTextTest, TextsAsTabledOnATwelveHourClock) {
    const VM_SNoticeCall call = Call("Alice", "555-0100", 21, 7);
    EXPECT_EQ(VM_FormatNoticeSubject(call, false), "New Call: Alice (555-0100)");
    EXPECT_EQ(VM_FormatNoticeSubject(call, true), "New Call (Mailbox #4): Alice (555-0100)");
    EXPECT_EQ(VM_FormatNoticeBody(call, false),
              "Vocerra: Alice called from 555-0100 on 03/03 at 09:07PM, and left a message.");
    EXPECT_EQ(VM_FormatNoticeBody(call, true),
              "Vocerra (Mailbox #4): Alice called from 555-0100 on 03/03 at 09:07PM, and left a message.");
    const struct {
        int hour;
        const char* clock;
    } clocks[] = {{0, "12:05AM"}, {11, "11:05AM"}, {12, "12:05PM"}, {23, "11:05PM"}};
    for (const auto& c : clocks)
        EXPECT_NE(VM_FormatNoticeBody(Call("A", "1", c.hour, 5), false).find(std::string("at ") + c.clock + ","),
                  std::string::npos)
            << c.hour;
}

TEST(NoticeTextTest, OutcomeBlockedFirstThenRecording) {
    VM_SNoticeCall call = Call("A", "1", 9, 0);
    call.blocked = true;
    EXPECT_STREQ(VM_GetNoticeOutcome(call), "and the caller was blocked.");
    call.blocked = false;
    EXPECT_STREQ(VM_GetNoticeOutcome(call), "and left a message.");
    call.recorded = false;
    EXPECT_STREQ(VM_GetNoticeOutcome(call), "did not leave a message.");
}

TEST(NoticeTextTest, CallerTextIsAnArgumentWithoutControlsAndUnknownWhenMissing) {
    EXPECT_EQ(VM_FormatNoticeSubject(Call("", "", 9, 0), false), "New Call: Unknown (Unknown)");
    EXPECT_EQ(VM_FormatNoticeSubject(Call("\r\n", "\x01", 9, 0), false), "New Call: Unknown (Unknown)");
    EXPECT_EQ(VM_FormatNoticeSubject(Call("%s%n%d", "5%%", 9, 0), false), "New Call: %s%n%d (5%%)");
    EXPECT_EQ(VM_FormatNoticeSubject(Call("Eve\r\nBcc: x@example.com\t", "1\n2", 9, 0), false),
              "New Call: EveBcc: x@example.com (12)");
}

TEST(NoticeTextTest, LongTextIsCutToItsBufferOnACharacterBoundary) {
    std::string name;
    while (name.size() < 1200) name += "\xC3\xBC";  // two bytes each
    for (const std::string& prefix : {std::string(), std::string("x")}) {
        const std::string subject = VM_FormatNoticeSubject(Call((prefix + name).c_str(), "1", 9, 0), false);
        EXPECT_LE(subject.size(), 999u);
        EXPECT_GE(subject.size(), 998u);
        EXPECT_EQ(subject.back(), '\xBC');
        const std::string body = VM_FormatNoticeBody(Call((prefix + name).c_str(), "1", 9, 0), true);
        EXPECT_LE(body.size(), 999u);
        EXPECT_EQ(body.back(), '\xBC');
    }
}

TEST(NoticeDecisionTest, ModesAgainstTheRecordFlags) {
    const DWORD unknown = 0, asks = VM_CCallInfo::kFlagNotify, knownQuiet = VM_CCallInfo::kFlagKnownNoNotify;
    EXPECT_FALSE(VM_IsNoticeDue(0, unknown));
    EXPECT_FALSE(VM_IsNoticeDue(0, asks));
    EXPECT_TRUE(VM_IsNoticeDue(1, unknown));
    EXPECT_TRUE(VM_IsNoticeDue(1, asks));
    EXPECT_FALSE(VM_IsNoticeDue(1, knownQuiet));
    EXPECT_FALSE(VM_IsNoticeDue(2, unknown));
    EXPECT_TRUE(VM_IsNoticeDue(2, asks));
    EXPECT_FALSE(VM_IsNoticeDue(2, knownQuiet));
}

}  // namespace
