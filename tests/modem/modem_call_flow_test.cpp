// The calls the simulated line's end-to-end tests make, made again on a
// voice modem: the real answer machine and call flows answer on the modem
// line, and the caller is the modem simulator's telephone side.
#include <gtest/gtest.h>

#include "modem/modem_call_flow_fixture.h"
#include "platform/winmm/wave_file_io.h"
#include "store/addr_entry.h"

namespace modemtest {
namespace {

// Enough of a clip to know it started playing (a tenth of a second).
constexpr size_t kStarted = 800;
// A second of a prompt: by then the call flow waits for the key the caller
// presses into it (the modem takes the audio ahead of the flow's steps).
constexpr size_t kWellUnderWay = 8000;

class ModemCallFlowConcurrency : public ModemCallFlowTest {};

TEST_F(ModemCallFlowConcurrency, CallerHearsTheWholeGreetingThenTheBeepAndTheMessageIsFiled) {
    StartMachine();
    const std::string tone = CallerTone(700.0, 6000);
    m_modem->QueueCallerAudio(tone);  // sent once the modem records
    ASSERT_TRUE(RingUntilAnswered("5550100")) << testing::PrintToString(m_modem->Commands());
    ASSERT_TRUE(HearAtLeast("Prp0000", kStarted)) << Joined(Heard());
    ASSERT_TRUE(PumpUntil([&] { return m_modem->Recording() && m_modem->CallerAudioSent(); }))
        << Joined(Heard()) << " recording " << m_modem->Recording() << " sent " << m_modem->CallerAudioSent()
        << " recordings " << m_modem->Recordings() << " status " << (m_status.empty() ? "" : m_status.back()) << " commands " << testing::PrintToString(m_modem->Commands());
    const std::vector<e2e::HeardClip> heard = Heard();
    ASSERT_GE(heard.size(), 2u) << Joined(heard);
    EXPECT_EQ(heard[0].name, "GTMain") << Joined(heard);
    EXPECT_TRUE(heard[0].whole) << "the greeting, sample for sample in mu-law: " << Joined(heard);
    EXPECT_EQ(heard[1].name, "Prp0000") << "the beep follows: " << Joined(heard);

    m_modem->Report('l');  // the caller hangs up: loop current drops
    ASSERT_TRUE(WaitForCallEnd()) << "call not ended and filed";
    ASSERT_EQ(m_records.size(), 1u);
    EXPECT_EQ(m_records[0].folder, m_cfg->m_idInbox);
    VM_CCallInfo& record = *m_records[0].record;
    EXPECT_STREQ(record.VM_GetAttr(VM_CCallInfo::kAttrNumber), "5550100");
    ASSERT_NE(record.VM_GetWaveFile(), nullptr) << "filed without its recording";
    const std::vector<std::int16_t> recorded = RecordedSamples(record.VM_GetWaveFile());
    const std::vector<std::int16_t> sent =
        winmm::DecodeSamples(WAVEFORMATEX{WAVE_FORMAT_MULAW, 1, 8000, 8000, 1, 8, 0},
                             reinterpret_cast<const BYTE*>(tone.data()), static_cast<DWORD>(tone.size()));
    // Recorded (the recording may be processed: loudness aside, the same
    // shape); the caller hanging up may cost the recorder's last buffer.
    constexpr size_t kRecorderBuffer = 800;
    ASSERT_GE(recorded.size() + kRecorderBuffer, sent.size());
    EXPECT_LE(recorded.size(), sent.size() + 8000);
    const std::vector<std::int16_t> probe(sent.begin(), sent.end() - kRecorderBuffer);
    EXPECT_GT(e2e::BestCorrelation(recorded, probe, recorded.size() - probe.size()), 0.9)
        << "the message does not hold the caller's tone";
    EXPECT_FALSE(m_modem->Playing());
}

// On a loaded machine a key may come before a prompt's last buffers were
// played and cut it short; what is heard still runs prompt after prompt.
TEST_F(ModemCallFlowConcurrency, OwnerPressesPoundAndThePasswordByTouchToneAndHearsTheMessageMenu) {
    m_cfg->VM_SetFlag(true, VM_FLAG_REMOTE_RETRIEVAL);
    StartMachine();
    ASSERT_TRUE(RingUntilAnswered("5550100")) << testing::PrintToString(m_modem->Commands());
    ASSERT_TRUE(HearAtLeast("GTMain", kWellUnderWay)) << Joined(Heard());
    Press("#");
    ASSERT_TRUE(HearAtLeast("Prp0016", kWellUnderWay))
        << Joined(Heard()) << testing::PrintToString(m_modem->Commands()) << testing::PrintToString(m_status);
    Press("1");
    ASSERT_TRUE(HearAtLeast("Prp0006", kWellUnderWay)) << Joined(Heard());
    Press("908172#");
    ASSERT_TRUE(HearAtLeast("Prp0007", kStarted)) << Joined(Heard());
    const std::vector<e2e::HeardClip> heard = Heard();
    EXPECT_EQ(heard.front().name, "GTMain") << Joined(heard);
    // (The modem takes audio as fast as it comes, so the # may reach a
    // greeting already sent whole, or even the beep: both lead to the menu.)
    EXPECT_TRUE(e2e::HeardInARow(heard, {"Prp0016", "Prp0006", "Prp0007"})) << Joined(heard);
    EXPECT_EQ(e2e::HeardSamples(heard, "Prp0002"), 0u) << "the password was taken for wrong";
    m_modem->Report('b');  // busy tone: the owner has hung up
    ASSERT_TRUE(WaitForCallEnd());
    EXPECT_TRUE(m_records.empty()) << "a retrieval call is not entered in the call log";
}

TEST_F(ModemCallFlowConcurrency, BlockedCallerIsHungUpOnUnheardAndFiledAsBlocked) {
    const int32_t folder = AddFolder(0, "Blocked");
    AddEntry(folder, {"Pest", "555-0199", nullptr, nullptr, VM_CAddrEntry::kFlagBlockHangUp});
    StartMachine();
    ASSERT_TRUE(RingUntilAnswered("5550199"));
    ASSERT_TRUE(WaitForCallEnd()) << "the blocked call was not ended by us";
    EXPECT_EQ(m_modem->Played().size(), 0u) << Joined(Heard());
    EXPECT_EQ(m_modem->Recordings(), 0);
    EXPECT_TRUE(m_modem->CommandSeen("AT+VLS=0")) << "hung up by the modem's command";
    ASSERT_EQ(m_records.size(), 1u);
    EXPECT_TRUE(m_records[0].record->VM_GetFlags() & VM_CCallInfo::kFlagBlocked);
    EXPECT_STREQ(m_records[0].record->VM_GetAttr(VM_CCallInfo::kAttrName), "Pest");
    EXPECT_EQ(m_records[0].record->VM_GetWaveFile(), nullptr);
}

TEST_F(ModemCallFlowConcurrency, BlockedCallerWithTheToneHearsItTwiceAndIsNotRecorded) {
    const int32_t folder = AddFolder(0, "Blocked");
    AddEntry(folder, {"Seller", "555-0177", nullptr, nullptr, VM_CAddrEntry::kFlagBlockTone});
    StartMachine();
    ASSERT_TRUE(RingUntilAnswered("5550177"));
    ASSERT_TRUE(WaitForCallEnd()) << "the blocked call was not ended by us";
    const std::vector<e2e::HeardClip> heard = Heard();
    ASSERT_EQ(e2e::Names(heard), (std::vector<std::string>{"Prp0300", "Prp0300"})) << Joined(heard);
    EXPECT_TRUE(heard[0].whole) << Joined(heard);
    // The hang-up follows the second's done notice, which waits for the modem.
    EXPECT_TRUE(heard[1].whole) << "the tone was cut by the hang-up: " << Joined(heard);
    EXPECT_EQ(m_modem->Recordings(), 0);
    ASSERT_EQ(m_records.size(), 1u);
    EXPECT_TRUE(m_records[0].record->VM_GetFlags() & VM_CCallInfo::kFlagBlocked);
}

// A modem that does not answer the hang-up command is reopened, which puts
// it on hook: the call ends for the machine all the same, whoever hung up,
// and the next call is answered.
TEST_F(ModemCallFlowConcurrency, ModemSilentToTheHangUpCommandStillEndsTheCallAndAnswersTheNext) {
    const int32_t folder = AddFolder(0, "Blocked");
    AddEntry(folder, {"Pest", "555-0199", nullptr, nullptr, VM_CAddrEntry::kFlagBlockHangUp});
    StartMachine();
    m_modem->IgnoreCommandsWith("+VLS=0", 1);
    ASSERT_TRUE(RingUntilAnswered("5550199"));
    ASSERT_TRUE(WaitForCallEnd()) << "our hang-up never completed";
    ASSERT_EQ(m_records.size(), 1u);

    ASSERT_TRUE(PumpUntil([&] { return m_service->InService(0); })) << "the modem was not reopened";
    m_modem->IgnoreCommandsWith("+VLS=0", 1);
    m_callsEnded = 0;
    ASSERT_TRUE(RingUntilAnswered("5550100")) << "the next call was not answered";
    ASSERT_TRUE(HearAtLeast("GTMain", kStarted)) << Joined(Heard());
    m_modem->Report('l');
    ASSERT_TRUE(WaitForCallEnd()) << "the caller's hang-up never ended the call";
    EXPECT_EQ(m_records.size(), 2u);
}

}  // namespace
}  // namespace modemtest
