// Several mailboxes on one line, end to end: the caller picks a mailbox
// with one digit after (or during) the main greeting.
#include <gtest/gtest.h>

#include "callflow/status_texts.h"
#include "e2e/mailbox_flow_fixture.h"

namespace mailboxflow {
namespace {

class MultiMailboxFlowConcurrency : public FlowCallTest {
protected:
    void SetUp() override {
        FlowCallTest::SetUp();
        m_cfg->m_dwFlags &= ~VM_FLAG_SINGLE_MAILBOX;
        WriteMainGreeting(30000);  // long enough to press a key during it
        WriteMailboxGreeting(3, 800);
    }
    simline::SimCallAudio* Call() { return PlaceCall<VM_CMultiMailboxCtrl>(); }
};

TEST_F(MultiMailboxFlowConcurrency, DigitDuringTheGreetingChoosesMailboxThree) {
    simline::SimCallAudio* audio = Call();
    ASSERT_NE(audio, nullptr);
    ASSERT_TRUE(WaitHeard(audio, 4000));
    EXPECT_TRUE(m_remote->PressDigit('3'));
    audio->SendTone(simline::ToneSpec{1300.0, 0.0, 6000.0, 400, 300});  // the caller speaks
    ASSERT_TRUE(m_driver->PumpUntil([this] { return !RecordedFile().empty(); }));
    audio->SendSilence();  // and falls silent: the recording ends by itself
    ASSERT_TRUE(WaitIdle());

    EXPECT_EQ(HeardSoFar(audio), "GTMain~,GTMbox03,Prp0000,Prp0005")
        << "the greeting stopped at the digit; mailbox 3's greeting, the beep, the good-bye";
    EXPECT_EQ(m_driver->record.VM_GetMailbox(), 3);
    EXPECT_FALSE(RecordedFile().empty());
    EXPECT_EQ(m_driver->flowEnded, 1);
    EXPECT_TRUE(m_driver->ShowedStatus(VM_STATUS_RECORDING));
}

TEST_F(MultiMailboxFlowConcurrency, MailboxWithoutGreetingIsInvalidAndTheGreetingStartsAgain) {
    simline::SimCallAudio* audio = Call();
    ASSERT_NE(audio, nullptr);
    ASSERT_TRUE(WaitHeard(audio, 4000));
    EXPECT_TRUE(m_remote->PressDigit('7'));
    const size_t invalid = m_files["Prp0014"].size();
    ASSERT_TRUE(m_driver->PumpUntil([&] {
        const std::string heard = HeardSoFar(audio);
        return heard.starts_with("GTMain~,Prp0014,GTMain") || heard.find("?") != std::string::npos;
    }));
    EXPECT_TRUE(HeardSoFar(audio).starts_with("GTMain~,Prp0014,GTMain")) << HeardSoFar(audio);
    EXPECT_GT(audio->CapturedBytes().size(), invalid);
    m_remote->HangUp();
    ASSERT_TRUE(WaitIdle());
    EXPECT_FALSE(m_driver->record.VM_GetAttrText(VM_CCallInfo::kAttrMailbox)) << "no mailbox was chosen";
    EXPECT_EQ(RecordedFile(), "");
}

TEST_F(MultiMailboxFlowConcurrency, CallerWhoPressesNothingHearsTheGreetingTwiceThenGoodBye) {
    WriteMainGreeting(1000);
    simline::SimCallAudio* audio = Call();
    ASSERT_NE(audio, nullptr);
    ASSERT_TRUE(WaitIdle());
    // Each round: greeting, the mailbox question, 15 s of waiting.
    EXPECT_EQ(HeardSoFar(audio), "GTMain,Prp0017,GTMain,Prp0017,Prp0005");
    EXPECT_EQ(m_driver->flowEnded, 1);
    EXPECT_EQ(RecordedFile(), "");
}

TEST_F(MultiMailboxFlowConcurrency, BlockedCallerNeverReachesTheMailboxChoice) {
    WriteAddressBook(VM_CAddrEntry::kFlagBlockTone);
    simline::SimCallAudio* audio = Call();
    ASSERT_NE(audio, nullptr);
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(HeardSoFar(audio), "Prp0300,Prp0300");
    EXPECT_EQ(m_driver->flowEnded, 1);
}

TEST_F(MultiMailboxFlowConcurrency, DigitsDuringTheRecordingAreNotMonitoredWithRetrievalOff) {
    WriteMainGreeting(1000);
    simline::SimCallAudio* audio = Call();
    ASSERT_NE(audio, nullptr);
    // The mailbox question has been asked: choose 3.
    ASSERT_TRUE(WaitHeard(audio, m_files["GTMain"].size() + 800));
    EXPECT_TRUE(m_remote->PressDigit('3'));
    audio->SendTone(simline::ToneSpec{1300.0, 0.0, 6000.0, 400, 300});
    ASSERT_TRUE(m_driver->PumpUntil([this] { return !RecordedFile().empty(); }));
    EXPECT_TRUE(m_remote->PressDigit('#'));
    EXPECT_TRUE(m_remote->PressDigit('5'));
    audio->SendSilence();
    ASSERT_TRUE(WaitIdle());
    EXPECT_TRUE(HeardSoFar(audio).ends_with("GTMbox03,Prp0000,Prp0005")) << HeardSoFar(audio);
    EXPECT_EQ(m_driver->record.VM_GetMailbox(), 3);
    EXPECT_FALSE(RecordedFile().empty()) << "# did not abandon the message";
}

}  // namespace
}  // namespace mailboxflow
