// One-mailbox calls end to end: what the caller hears, what is recorded and
// what the call record keeps, through the real controller, devices,
// recorder and files on the simulated line.
#include <gtest/gtest.h>
#include <filesystem>

#include "callflow/status_texts.h"
#include "e2e/mailbox_flow_fixture.h"

namespace mailboxflow {
namespace {

class SingleMailboxFlowConcurrency : public FlowCallTest {
protected:
    // The caller's words, as the caller's line sends them once recording
    // starts (nothing is read from the caller before that).
    std::vector<std::int16_t> SendSpeech(simline::SimCallAudio* audio) {
        testsupport::Samples words = testsupport::Speech("Hello, this is a message for you. Please call me back.");
        if (words.empty()) return {};
        testsupport::Samples level = testsupport::ToInt16Range(words);
        std::vector<std::int16_t> speech(level.begin(), level.end());
        const std::string path = m_dir.file("caller.wav");
        testsupport::WriteWavePcm16(path, speech);
        EXPECT_TRUE(audio->SendFile(path));
        return speech;
    }
    simline::SimCallAudio* Call() { return PlaceCall<VM_CSingleMailboxCtrl>(); }
};

TEST_F(SingleMailboxFlowConcurrency, CallerHearsGreetingAndBeepLeavesSpeechAndSilenceEndsTheRecording) {
    simline::SimCallAudio* audio = Call();
    ASSERT_NE(audio, nullptr);
    const std::vector<std::int16_t> speech = SendSpeech(audio);
    if (speech.empty()) GTEST_SKIP() << "espeak-ng or sox missing";
    ASSERT_TRUE(WaitIdle());

    EXPECT_EQ(HeardSoFar(audio), "GTMain,Prp0000,Prp0005") << "greeting, beep, good-bye, each whole";
    EXPECT_TRUE(audio->CapturedBytes().starts_with(m_files["GTMain"])) << "the greeting file's own bytes";
    EXPECT_TRUE(m_driver->started);
    EXPECT_EQ(m_driver->flowEnded, 1) << "the flow ended by itself, once";
    EXPECT_EQ(m_driver->hangUps, 0);
    EXPECT_EQ(m_driver->logFlag, 1);
    EXPECT_GE(m_remote->DropRequests(), 1u) << "the call was hung up after the good-bye";

    const std::string file = RecordedFile();
    ASSERT_FALSE(file.empty()) << "the record names the message";
    std::unique_ptr<char[]> voice(m_cfg->VM_GetPath(VM_FOLDER_VOICE, "Msg0000.Wav"));
    EXPECT_EQ(file, voice.get());
    const std::vector<std::int16_t> recorded = MuLawSamples(WaveData(file));
    // The speech, then at most the silence that ended it (2 s) and a buffer.
    ASSERT_GE(recorded.size(), speech.size());
    EXPECT_LE(recorded.size(), speech.size() + 2 * 8000 + 1600);
    // The words from their start, as the enhanced recording has them (its
    // level processing leaves the shape, not the exact samples).
    const std::vector<std::int16_t> words(speech.begin() + 64, speech.end());
    EXPECT_GT(BestCorrelation(recorded, words, 400), 0.8) << "the message holds the caller's words";
    EXPECT_FALSE(m_driver->record.VM_GetAttrText(VM_CCallInfo::kAttrMailbox)) << "one mailbox: none filed";
    EXPECT_EQ(m_driver->record.VM_GetFlags(), 0u) << "the flow sets no record flags of its own";

    for (int index : {VM_STATUS_MAIN_GREETING, VM_STATUS_RECORDING_TONE, VM_STATUS_RECORDING, VM_STATUS_BYE})
        EXPECT_TRUE(m_driver->ShowedStatus(index)) << VM_GetStatusText(index);
    EXPECT_TRUE(m_driver->ShowedStatus(VM_STATUS_SOUND)) << "the caller's words were heard as sound";
    EXPECT_FALSE(m_controller->VM_IsRunning());
}

TEST_F(SingleMailboxFlowConcurrency, PersonalGreetingReplacesTheMainGreeting) {
    WriteAddressBook(0, WritePersonalGreeting(1000));
    simline::SimCallAudio* audio = Call();

    ASSERT_NE(audio, nullptr);
    ASSERT_TRUE(WaitHeard(audio, m_files["Personal"].size() + m_files["Prp0000"].size()));
    EXPECT_EQ(HeardSoFar(audio).substr(0, 17), "Personal,Prp0000");
    m_remote->HangUp();
    ASSERT_TRUE(WaitIdle());
}

TEST_F(SingleMailboxFlowConcurrency, HangUpDuringTheGreetingLeavesNoMessage) {
    WriteMainGreeting(30000);
    simline::SimCallAudio* audio = Call();
    ASSERT_NE(audio, nullptr);
    ASSERT_TRUE(WaitHeard(audio, 8000));
    m_remote->HangUp();
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(HeardSoFar(audio), "GTMain~");
    EXPECT_EQ(m_driver->hangUps, 1);
    EXPECT_EQ(m_driver->flowEnded, 0) << "a stopped flow posts nothing";
    EXPECT_EQ(RecordedFile(), "");
    std::unique_ptr<char[]> voice(m_cfg->VM_GetPath(VM_FOLDER_VOICE, "Msg0000.Wav"));
    EXPECT_FALSE(testsupport::FileExists(voice.get()));
    EXPECT_FALSE(m_controller->VM_IsRunning());
}

TEST_F(SingleMailboxFlowConcurrency, HangUpDuringTheBeepLeavesNoMessage) {
    WritePrompt(VM_PROMPT_BEEP, {1000.0}, 30000);
    simline::SimCallAudio* audio = Call();
    ASSERT_NE(audio, nullptr);
    ASSERT_TRUE(WaitHeard(audio, m_files["GTMain"].size() + 8000));
    m_remote->HangUp();
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(HeardSoFar(audio), "GTMain,Prp0000~");
    EXPECT_EQ(m_driver->flowEnded, 0);
    EXPECT_EQ(RecordedFile(), "");
}

// The good-bye is waited for on the worker; a caller who hangs up during it
// ends it there, as any other prompt, and the call with it.
TEST_F(SingleMailboxFlowConcurrency, HangUpDuringTheGoodByeCutsItShort) {
    WritePrompt(VM_PROMPT_BYE, {660.0}, 120000);
    simline::SimCallAudio* audio = Call();
    ASSERT_NE(audio, nullptr);
    // The silent caller's recording ends by silence; a second of good-bye.
    ASSERT_TRUE(WaitHeard(audio, m_files["GTMain"].size() + m_files["Prp0000"].size() + 8000));
    m_remote->HangUp();
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(HeardSoFar(audio), "GTMain,Prp0000,Prp0005~");
}

TEST_F(SingleMailboxFlowConcurrency, HangUpDuringRecordingKeepsWhatWasRecorded) {
    simline::SimCallAudio* audio = Call();
    ASSERT_NE(audio, nullptr);
    audio->SendTone(simline::ToneSpec{1300.0, 0.0, 6000.0, 0, 0});  // the caller talks on and on
    ASSERT_TRUE(m_driver->PumpUntil([this] {
        const std::string file = RecordedFile();
        std::error_code error;
        return !file.empty() && std::filesystem::file_size(file, error) >= 8100 && !error;
    }));
    m_remote->HangUp();
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(HeardSoFar(audio), "GTMain,Prp0000") << "no good-bye for a caller who has gone";
    EXPECT_EQ(m_driver->flowEnded, 0);
    const std::vector<std::int16_t> recorded = MuLawSamples(WaveData(RecordedFile()));
    ASSERT_GE(recorded.size(), 8000u) << "the message so far stays on disk";
    EXPECT_GT(testsupport::PeakOf(recorded), 3000);
}

TEST_F(SingleMailboxFlowConcurrency, BusyToneAfterTheCallerLeftEndsTheRecording) {
    simline::SimCallAudio* audio = Call();
    ASSERT_NE(audio, nullptr);
    // The caller hung up; the line did not notice, the exchange sends busy.
    audio->SendTone(simline::ToneSpec{480.0, 620.0, 5000.0, 500, 500});
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(m_driver->hangUps, 0);
    EXPECT_EQ(m_driver->flowEnded, 1);
    EXPECT_TRUE(m_driver->ShowedStatus(VM_STATUS_CALL_END_TONE));
    EXPECT_EQ(HeardSoFar(audio), "GTMain,Prp0000,Prp0005");
    EXPECT_FALSE(RecordedFile().empty());
}

TEST_F(SingleMailboxFlowConcurrency, CallerBlockedByHangingUpHearsNothing) {
    WriteAddressBook(VM_CAddrEntry::kFlagBlockHangUp | VM_CAddrEntry::kFlagBlockTone);
    simline::SimCallAudio* audio = Call();
    ASSERT_NE(audio, nullptr);
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(audio->CapturedBytes().size(), 0u) << "two block bits: hanging up wins over the tone";
    EXPECT_EQ(m_driver->flowEnded, 1);
    EXPECT_TRUE(m_driver->ShowedStatus(VM_STATUS_BLOCK_HANG_UP));
    EXPECT_FALSE(m_driver->ShowedStatus(VM_STATUS_MAIN_GREETING));
    EXPECT_EQ(RecordedFile(), "");
}

TEST_F(SingleMailboxFlowConcurrency, CallerBlockedWithTheToneHearsItExactlyTwice) {
    WriteAddressBook(VM_CAddrEntry::kFlagBlockTone);
    simline::SimCallAudio* audio = Call();
    ASSERT_NE(audio, nullptr);
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(HeardSoFar(audio), "Prp0300,Prp0300");
    EXPECT_TRUE(audio->CapturedBytes() == m_files["Prp0300"] + m_files["Prp0300"]);
    EXPECT_EQ(m_driver->flowEnded, 1);
    EXPECT_TRUE(m_driver->ShowedStatus(VM_STATUS_BLOCK_TONE));
    EXPECT_EQ(RecordedFile(), "");
}

TEST_F(SingleMailboxFlowConcurrency, CallerBlockedWithTheAnnouncementHearsItTwiceAndNoBeep) {
    WriteAddressBook(VM_CAddrEntry::kFlagBlockAnnounce, WritePersonalGreeting(800));
    simline::SimCallAudio* audio = Call();
    ASSERT_NE(audio, nullptr);
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(HeardSoFar(audio), "Personal,Personal");
    EXPECT_EQ(m_driver->flowEnded, 1);
    EXPECT_TRUE(m_driver->ShowedStatus(VM_STATUS_BLOCK_ANNOUNCEMENT));
    EXPECT_EQ(RecordedFile(), "");
}

TEST_F(SingleMailboxFlowConcurrency, BlockedWithAnnouncementButNoGreetingEndsSilently) {
    WriteAddressBook(VM_CAddrEntry::kFlagBlockAnnounce);
    simline::SimCallAudio* audio = Call();
    ASSERT_NE(audio, nullptr);
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(audio->CapturedBytes().size(), 0u);
    EXPECT_EQ(m_driver->flowEnded, 1);
}

TEST_F(SingleMailboxFlowConcurrency, PoundWithRetrievalOffIsIgnoredAndTheCallerIsRecorded) {
    WriteMainGreeting(20000);
    simline::SimCallAudio* audio = Call();
    ASSERT_NE(audio, nullptr);
    ASSERT_TRUE(WaitHeard(audio, 4000));
    EXPECT_TRUE(m_remote->PressDigit('#'));
    ASSERT_TRUE(m_driver->PumpUntil([this] { return !RecordedFile().empty(); }));
    EXPECT_EQ(HeardSoFar(audio), "GTMain,Prp0000") << "the greeting was not cut short";
    m_remote->HangUp();
    ASSERT_TRUE(WaitIdle());
}

TEST_F(SingleMailboxFlowConcurrency, MissingGreetingEndsTheCallAtOnce) {
    std::unique_ptr<char[]> path(m_cfg->VM_GetMainGreetingFileName());
    std::remove(path.get());
    simline::SimCallAudio* audio = Call();
    ASSERT_NE(audio, nullptr);
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(audio->CapturedBytes().size(), 0u);
    EXPECT_EQ(m_driver->flowEnded, 1) << "the run ended and asked to be hung up";
}

TEST_F(SingleMailboxFlowConcurrency, PoundDuringRecordingWithRetrievalOnDeletesThePartialMessage) {
    m_cfg->m_dwFlags |= VM_FLAG_REMOTE_RETRIEVAL;
    simline::SimCallAudio* audio = Call();
    ASSERT_NE(audio, nullptr);
    audio->SendTone(simline::ToneSpec{1300.0, 0.0, 6000.0, 0, 0});
    std::string file;
    ASSERT_TRUE(m_driver->PumpUntil([&] {
        file = RecordedFile();
        std::error_code error;
        return !file.empty() && std::filesystem::file_size(file, error) >= 4100 && !error;
    }));
    EXPECT_TRUE(m_remote->PressDigit('#'));
    // The worker lets go of the record's link before it deletes the file, so
    // wait for both rather than look at the file the moment the link is gone.
    ASSERT_TRUE(m_driver->PumpUntil([&] { return RecordedFile().empty() && !testsupport::FileExists(file); }))
        << "the record still names a message, or the partial message was kept";
    m_remote->HangUp();
    ASSERT_TRUE(WaitIdle());
    EXPECT_FALSE(testsupport::FileExists(file));
}

TEST_F(SingleMailboxFlowConcurrency, PreScreeningWithoutASpeakerStillRecordsTheCaller) {
    // The chosen playback device is gone: the speaker player cannot play,
    // and the call must not notice.
    m_cfg->m_dwFlags |= VM_FLAG_PRESCREEN;
    m_cfg->m_idPlayDevice = 0x7FFF;
    simline::SimCallAudio* audio = Call();
    ASSERT_NE(audio, nullptr);
    audio->SendTone(simline::ToneSpec{1300.0, 0.0, 6000.0, 0, 0});
    // Past the 1.8 s at which the speaker would start.
    ASSERT_TRUE(m_driver->PumpUntil([this] {
        const std::string file = RecordedFile();
        std::error_code error;
        return !file.empty() && std::filesystem::file_size(file, error) >= 3 * 8000 && !error;
    }));
    audio->SendSilence();
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(HeardSoFar(audio), "GTMain,Prp0000,Prp0005");
    EXPECT_EQ(m_driver->flowEnded, 1);
    EXPECT_GE(WaveData(RecordedFile()).size(), 3u * 8000);
}

}  // namespace
}  // namespace mailboxflow
