// Notices on their own thread: the main thread keeps serving its messages
// while a server is slow, records come back in order with their flags, and
// stopping cuts a notice short.
#include <gtest/gtest.h>

#include <thread>

#include "notice_fixture.h"
#include "notify/notice_sender.h"
#include "platform/win32/messages.h"
#include "support/message_window.h"

using notifytest::NoticeTest;

namespace {

constexpr UINT kOtherMessage = 0x8001;
constexpr DWORD kNoticeBits = VM_CCallInfo::kFlagNotify | VM_CCallInfo::kFlagNotifyFailed;

class NoticeSenderConcurrency : public NoticeTest {
protected:
    // The next message for the window, whatever it is.
    MSG Next() {
        MSG msg{};
        EXPECT_EQ(GetMessageA(&msg, window.hwnd(), 0, 0), 1);
        return msg;
    }

    // The next completion, handed back to the sender.
    VM_SNoticeDone NextDone(VM_CNoticeSender& sender) {
        for (;;) {
            const MSG msg = Next();
            if (msg.message == VM_MSG_NOTICE_DONE) return sender.VM_Finish(msg.lParam);
            if (msg.message == 0) return {};
        }
    }

    testsupport::MessageWindow window;
};

TEST_F(NoticeSenderConcurrency, TheMainThreadKeepsServingWhileAServerSaysNothing) {
    SetAddresses({"owner@example.com"});
    UseServer("silent");
    VM_CNoticeSender sender(window.hwnd());
    auto record = Call("Kim", "555-0109");
    VM_CCallInfo* held = record.get();
    ASSERT_TRUE(sender.VM_Begin(cfg, 7, record.release()));
    // Another thread's posts arrive while the notice waits for the server.
    std::thread poster([hwnd = window.hwnd()] {
        for (int i = 0; i < 3; ++i) PostMessageA(hwnd, kOtherMessage, static_cast<WPARAM>(i), 0);
    });
    poster.join();
    for (int i = 0; i < 3; ++i) {
        const MSG msg = Next();
        EXPECT_EQ(msg.message, kOtherMessage);
        EXPECT_EQ(msg.wParam, static_cast<WPARAM>(i));
    }
    EXPECT_EQ(sender.VM_GetPendingCount(), 1);
    // Stopping cuts the notice short; the record comes back marked failed.
    sender.VM_Stop();
    const VM_SNoticeDone done = NextDone(sender);
    ASSERT_EQ(done.record, held);
    std::unique_ptr<VM_CCallInfo> back(done.record);
    EXPECT_EQ(done.folderId, 7);
    EXPECT_EQ(back->VM_GetFlags() & kNoticeBits, kNoticeBits);
    EXPECT_EQ(sender.VM_GetPendingCount(), 0);
    // Once stopped, a due notice is not sent and the record is filed at once.
    auto late = Call("Lee", "555-0110");
    EXPECT_FALSE(sender.VM_Begin(cfg, 7, late.get()));
    EXPECT_EQ(late->VM_GetFlags() & kNoticeBits, kNoticeBits);
}

TEST_F(NoticeSenderConcurrency, RecordsComeBackInArrivalOrderWithTheirFlags) {
    SetAddresses({"owner@example.com", "refused@example.com"});
    VM_CNoticeSender sender(window.hwnd());
    auto quiet = Call("Quiet", "555-0111", true, VM_CCallInfo::kFlagKnownNoNotify);
    EXPECT_FALSE(sender.VM_Begin(cfg, 1, quiet.get()));  // nothing due, nothing waiting: file now
    auto first = Call("First", "555-0112");
    auto second = Call("Second", "555-0113", true, VM_CCallInfo::kFlagKnownNoNotify);
    auto third = Call("Third", "555-0114");
    ASSERT_TRUE(sender.VM_Begin(cfg, 1, first.get()));
    ASSERT_TRUE(sender.VM_Begin(cfg, 2, second.get()));  // waits behind the first
    ASSERT_TRUE(sender.VM_Begin(cfg, 3, third.get()));
    EXPECT_EQ(sender.VM_GetPendingCount(), 3);
    const VM_CCallInfo* expected[] = {first.release(), second.release(), third.release()};
    for (int i = 0; i < 3; ++i) {
        const VM_SNoticeDone done = NextDone(sender);
        ASSERT_EQ(done.record, expected[i]) << i;
        EXPECT_EQ(done.folderId, i + 1);
        std::unique_ptr<VM_CCallInfo> back(done.record);
        EXPECT_EQ(back->VM_GetFlags() & kNoticeBits, i == 1 ? 0u : kNoticeBits) << i;
    }
    EXPECT_EQ(sender.VM_GetPendingCount(), 0);
    const auto mails = server.Received();
    ASSERT_EQ(mails.size(), 2u);
    EXPECT_EQ(mails[0].Header("Subject"), "New Call: First (555-0112)");
    EXPECT_EQ(mails[1].Header("Subject"), "New Call: Third (555-0114)");
}

}  // namespace
