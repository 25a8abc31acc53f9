// Calls on the modem line service against the pseudo-terminal modem: the
// whole life of a call in every family, the caller hanging up by each
// report a modem gives, and the faults: a modem that stops answering and
// one that is unplugged in the middle of a recording.
#include "modem/modem_line_fixture.h"
#include "telephony/modem_fix.h"
#include "telephony/var_structs.h"

using modemsim::DtmfStyle;
using modemsim::Family;

namespace modemtest {
namespace {

struct FamilyCase {
    Family family;
    const char* name;
    WAVEFORMATEX format;  // the modem's own encoding, so bytes pass unchanged
    const char* playCommand;
};

class ModemCallConcurrency : public ModemLineTest, public ::testing::WithParamInterface<FamilyCase> {};

std::string CallerNumber(VM_CCall* call) {
    std::vector<BYTE> buffer(1024);
    auto* info = reinterpret_cast<LINECALLINFO*>(buffer.data());
    info->dwTotalSize = static_cast<DWORD>(buffer.size());
    if (lineGetCallInfo(call->VM_GetHandle(), info) != 0 || info->dwCallerIDSize == 0) return "";
    return std::string(reinterpret_cast<const char*>(buffer.data()) + info->dwCallerIDOffset);
}

// Where two byte strings part, for a message short enough to read.
std::string FirstDifference(const std::string& got, const std::string& want) {
    size_t i = 0;
    while (i < got.size() && i < want.size() && got[i] == want[i]) i++;
    if (i == got.size() && i == want.size()) return "same";
    return "differ at byte " + std::to_string(i) + " of " + std::to_string(got.size()) + " (want " +
           std::to_string(want.size()) + ")";
}

DWORD CallerFlags(VM_CCall* call) {
    LINECALLINFO info{};
    info.dwTotalSize = sizeof info;
    lineGetCallInfo(call->VM_GetHandle(), &info);
    return info.dwCallerIDFlags;
}

TEST_P(ModemCallConcurrency, RingsCallerIdGreetingMessageDigitsAndHangUp) {
    const FamilyCase& c = GetParam();
    Start(c.family);
    VM_CCall* call = RingAndAnswer();
    ASSERT_NE(call, nullptr);
    EXPECT_EQ(m_owner.ringCounts, (std::vector<DWORD>{1, 2}));
    EXPECT_EQ(CallerNumber(call), "5551234");
    EXPECT_TRUE(m_modem->OffHook());

    // The greeting arrives byte for byte, DLE bytes and all.
    const std::string greeting = AwkwardAudio(3000);
    ASSERT_TRUE(PlayOn(WaveOut(), c.format, greeting));
    ASSERT_TRUE(m_modem->WaitFor([&] { return m_modem->Played().size() >= greeting.size(); }));
    EXPECT_TRUE(m_modem->WaitFor([&] { return !m_modem->Playing(); })) << "the play was not ended";
    EXPECT_EQ(FirstDifference(m_modem->Played(), greeting), "same");
    EXPECT_TRUE(m_modem->CommandSeen(c.playCommand));

    // The caller's message, with DLE bytes the modem shields.
    const std::string message = AwkwardAudio(2400);
    m_modem->QueueCallerAudio(message);
    {
        Recording recording(WaveIn(), c.format);
        ASSERT_TRUE(recording.Opened());
        ASSERT_TRUE(m_modem->WaitFor([&] { return recording.Bytes().size() >= message.size(); }));
        // Touch tones while recording, one of each style: each counted once.
        ASSERT_TRUE(call->VM_MonitorDigits(LINEDIGITMODE_DTMF));
        m_modem->Dtmf('1', DtmfStyle::kBracketed);
        m_modem->Dtmf('2', DtmfStyle::kRepeated);
        m_modem->Dtmf('#', DtmfStyle::kSingle);
        EXPECT_TRUE(Pump([&] { return m_owner.digits.size() >= 3; }));
        recording.Stop();
        EXPECT_EQ(FirstDifference(recording.Bytes().substr(0, message.size()), message), "same");
    }
    ASSERT_TRUE(m_modem->WaitFor([&] { return !m_modem->Recording(); })) << "the recording was not stopped";
    linetest::PumpPending();
    std::string digits;
    for (const auto& d : m_owner.digits) digits.push_back(static_cast<char>(d.first));
    EXPECT_EQ(digits, "12#");

    m_modem->Report('l');
    ASSERT_TRUE(Pump([&] { return CallReached(LINECALLSTATE_DISCONNECTED); }));
    EXPECT_TRUE(m_modem->WaitFor([&] { return !m_modem->OffHook(); }));
    ASSERT_TRUE(call->VM_Drop());
    EXPECT_TRUE(Pump([&] { return CallReached(LINECALLSTATE_IDLE); }));
}

INSTANTIATE_TEST_SUITE_P(
    Families, ModemCallConcurrency,
    ::testing::Values(FamilyCase{Family::kV253, "V253", kMuLaw, "AT+VTX"},
                      FamilyCase{Family::kV253NoFlowControl, "V253NoFlowControl", kPcm8, "AT+VTX"},
                      FamilyCase{Family::kConexant, "Conexant", kMuLaw, "AT+VTX"},
                      FamilyCase{Family::kRockwell, "Rockwell", kPcm8, "AT#VTX"}),
    [](const ::testing::TestParamInfo<FamilyCase>& p) { return std::string(p.param.name); });

TEST_F(ModemLineTest, FamiliesAreToldApartByTheirAnswers) {
    Start(Family::kV253NoFlowControl);
    EXPECT_TRUE(m_modem->CommandSeen("AT+IFC=2,2")) << "tried once";
    EXPECT_TRUE(m_modem->CommandSeen("AT+VSM=1,8000")) << "only unsigned PCM is usable in its list";
}

TEST_F(ModemLineTest, TheUsersFamilyWinsOverTheIdentification) {
    Start(Family::kV253, "V.253 without flow control");
    EXPECT_FALSE(m_modem->CommandSeen("+IFC"));
    EXPECT_TRUE(m_modem->CommandSeen("AT+VSM=4,8000"));
}

TEST_F(ModemLineTest, VendorFirmwareGetsTheFourArgumentCompressionCommand) {
    Start(Family::kConexant);
    EXPECT_TRUE(m_modem->CommandSeen("AT+VSM=131,8000,0,0"));
}

class RemoteHangUp : public ModemLineTest, public ::testing::WithParamInterface<char> {};

TEST_P(RemoteHangUp, EachReportEndsTheCallWhileRecording) {
    Start(Family::kV253);
    VM_CCall* call = RingAndAnswer();
    ASSERT_NE(call, nullptr);
    Recording recording(WaveIn(), kMuLaw);
    ASSERT_TRUE(m_modem->WaitFor([&] { return m_modem->Recording(); }));
    m_modem->Report(GetParam());
    ASSERT_TRUE(Pump([&] { return CallReached(LINECALLSTATE_DISCONNECTED); }));
    EXPECT_TRUE(m_modem->WaitFor([&] { return !m_modem->OffHook() && !m_modem->Recording(); }));
    recording.Stop();
    ASSERT_TRUE(call->VM_Drop());
    EXPECT_TRUE(Pump([&] { return CallReached(LINECALLSTATE_IDLE); }));
}

INSTANTIATE_TEST_SUITE_P(Reports, RemoteHangUp, ::testing::Values('l', 'b', 'd', 's', 'q'),
                         [](const ::testing::TestParamInfo<char>& p) { return std::string(1, p.param); });

TEST_F(ModemLineTest, NoCarrierInVoiceCommandStateEndsTheCall) {
    Start(Family::kV253);
    ASSERT_NE(RingAndAnswer(), nullptr);
    m_modem->Report('b');
    ASSERT_TRUE(Pump([&] { return CallReached(LINECALLSTATE_DISCONNECTED); }));
}

TEST_F(ModemLineTest, DropWhilePlayingAbortsThePlayBeforeHangingUp) {
    Start(Family::kV253);
    VM_CCall* call = RingAndAnswer();
    ASSERT_NE(call, nullptr);
    m_modem->PacePlaying(200);
    std::thread player([&] { PlayOn(WaveOut(), kMuLaw, std::string(40000, 'x')); });
    ASSERT_TRUE(m_modem->WaitFor([&] { return m_modem->Played().size() > 1000; }));
    ASSERT_TRUE(call->VM_Drop());
    EXPECT_TRUE(Pump([&] { return CallReached(LINECALLSTATE_IDLE); }));
    player.join();
    EXPECT_EQ(m_modem->AbortedPlays(), 1);
    EXPECT_FALSE(m_modem->OffHook());
}

// A modem that takes the sound in real time: the play is done only once the
// modem has it all, so the owner hanging up at the done notice cuts none of it.
TEST_F(ModemLineTest, DropAtThePlaysDoneNoticeLosesNoneOfTheSound) {
    Start(Family::kV253);
    VM_CCall* call = RingAndAnswer();
    ASSERT_NE(call, nullptr);
    m_modem->PacePlaying(40);
    // More than the port holds, so the modem is still taking it at the end.
    const std::string goodBye = AwkwardAudio(20000);
    ASSERT_TRUE(PlayOn(WaveOut(), kMuLaw, goodBye));
    ASSERT_TRUE(call->VM_Drop());
    // The slow modem first reads what waits in the port, then the abort.
    ASSERT_TRUE(linetest::PumpUntil([&] { return CallReached(LINECALLSTATE_IDLE); }, 400000));
    EXPECT_EQ(FirstDifference(m_modem->Played(), goodBye), "same");
    EXPECT_FALSE(m_modem->OffHook());
}

TEST_F(ModemLineTest, CallerIdBeforeTheFirstRingWithheldNumber) {
    Start(Family::kV253);
    modemsim::CallerIdSpec withheld;
    withheld.number = "P";
    withheld.withName = false;
    withheld.spaced = false;
    m_modem->SendCallerId(withheld);
    ASSERT_TRUE(Pump([&] { return m_owner.calls.size() == 1; }));
    m_modem->Ring();
    ASSERT_TRUE(Pump([&] { return m_owner.ringCounts.size() == 1 && !m_owner.infoStates.empty(); }));
    EXPECT_EQ(m_owner.ringCounts[0], 1u);
    EXPECT_EQ(CallerNumber(Call()), "");
    EXPECT_EQ(CallerFlags(Call()) & LINECALLPARTYID_BLOCKED, LINECALLPARTYID_BLOCKED);
}

TEST_F(ModemLineTest, UnformattedCallerIdGivesNumberAndName) {
    Start(Family::kV253);
    modemsim::CallerIdSpec raw;
    raw.unformatted = true;
    raw.number = "0123456789";
    m_modem->Ring();
    m_modem->SendCallerId(raw);
    ASSERT_TRUE(Pump([&] { return !m_owner.infoStates.empty(); }));
    EXPECT_EQ(CallerNumber(Call()), "0123456789");
    EXPECT_EQ(CallerFlags(Call()), static_cast<DWORD>(LINECALLPARTYID_ADDRESS | LINECALLPARTYID_NAME));
}

TEST_F(ModemLineTest, OutOfAreaCallerIsMarkedSo) {
    Start(Family::kV253);
    modemsim::CallerIdSpec unknown;
    unknown.number = "O";
    unknown.name = "O";
    m_modem->Ring();
    m_modem->SendCallerId(unknown);
    ASSERT_TRUE(Pump([&] { return !m_owner.infoStates.empty(); }));
    EXPECT_EQ(CallerFlags(Call()) & LINECALLPARTYID_OUTOFAREA, LINECALLPARTYID_OUTOFAREA);
}

TEST_F(ModemLineTest, CallerWhoStopsRingingIsGone) {
    Start(Family::kV253);
    m_modem->Ring();
    ASSERT_TRUE(Pump([&] { return m_owner.calls.size() == 1; }));
    // No ring for ten seconds of scaled time.
    ASSERT_TRUE(Pump([&] { return CallReached(LINECALLSTATE_DISCONNECTED); }));
    EXPECT_FALSE(m_modem->OffHook());
    ASSERT_TRUE(Call()->VM_Drop());
    EXPECT_TRUE(Pump([&] { return CallReached(LINECALLSTATE_IDLE); }));
}

TEST_F(ModemLineTest, DlePairsSplitAcrossReadsAreRecordedWhole) {
    Start(Family::kV253);
    ASSERT_NE(RingAndAnswer(), nullptr);
    std::string message;
    for (int i = 0; i < 40; i++) message += std::string{0x10, static_cast<char>(i), 0x10, 0x1A, 'a', 'b'};
    m_modem->SplitDlePairs(true);
    m_modem->QueueCallerAudio(message);
    Recording recording(WaveIn(), kMuLaw, 100);
    ASSERT_TRUE(m_modem->WaitFor([&] { return recording.Bytes().size() >= message.size(); }, 30000));
    recording.Stop();
    EXPECT_EQ(FirstDifference(recording.Bytes().substr(0, message.size()), message), "same");
}

TEST_F(ModemLineTest, CommandNeverAnsweredPutsTheLineOutOfServiceUntilTheModemAnswersAgain) {
    Start(Family::kV253);
    m_modem->IgnoreCommandsWith("+VLS=1");
    m_modem->Ring();
    ASSERT_TRUE(Pump([&] { return m_owner.calls.size() == 1; }));
    ASSERT_TRUE(Call()->VM_Answer());
    ASSERT_TRUE(Pump([&] { return DevStates(LINEDEVSTATE_OUTOFSERVICE) == 1; }));
    EXPECT_TRUE(CallReached(LINECALLSTATE_DISCONNECTED));
    ASSERT_FALSE(m_owner.replies.empty());
    EXPECT_NE(m_owner.replies[0].result, 0) << "the answer failed";
    // Reopened and initialised again (only answering is broken).
    EXPECT_TRUE(Pump([&] { return DevStates(LINEDEVSTATE_INSERVICE) == 1; }));
}

TEST_F(ModemLineTest, UnpluggedDuringRecordingGoesOutOfServiceAndComesBack) {
    Start(Family::kV253);
    ASSERT_NE(RingAndAnswer(), nullptr);
    m_modem->QueueCallerAudio(std::string(800, 'v'));
    Recording recording(WaveIn(), kMuLaw);
    ASSERT_TRUE(m_modem->WaitFor([&] { return recording.Bytes().size() >= 800; }));
    m_modem->Unplug();
    ASSERT_TRUE(Pump([&] { return DevStates(LINEDEVSTATE_OUTOFSERVICE) == 1; }));
    EXPECT_TRUE(CallReached(LINECALLSTATE_DISCONNECTED));
    // The recorder goes on getting (silent) buffers rather than hanging.
    const size_t before = recording.Bytes().size();
    EXPECT_TRUE(m_modem->WaitFor([&] { return recording.Bytes().size() > before + 800; }));
    recording.Stop();
    ASSERT_TRUE(Call()->VM_Drop());
    ASSERT_TRUE(Pump([&] { return CallReached(LINECALLSTATE_IDLE); }));

    m_modem->Replug();
    ASSERT_TRUE(Pump([&] { return DevStates(LINEDEVSTATE_INSERVICE) == 1; }));
    m_modem->Ring();
    EXPECT_TRUE(Pump([&] { return m_owner.calls.size() == 2; })) << "a new call rings on the modem again";
}

TEST_F(ModemLineTest, ModemIsListedForTheModemFixAndItsRecordCommandsAreSent) {
    Start(Family::kV253);
    const std::string key = m_service->RegistryKey(0);
    ASSERT_FALSE(key.empty());
    EXPECT_EQ(RegModem::ReadValue(key + "\\AttachedTo"), m_modem->Path());
    EXPECT_EQ(RegModem::ReadValue(key + "\\Manufacturer"), "Vocerra Test Modems");

    // The fix finds the modem by its line name, as the answer machine does.
    RegLSI fix;
    fix.SetName(RegModem::ReadValue(key + "\\FriendlyName"));
    ASSERT_TRUE(fix.Locate());
    EXPECT_EQ(fix.Key(), key);
    EXPECT_TRUE(fix.ApplyFix());

    ASSERT_NE(RingAndAnswer(), nullptr);
    Recording recording(WaveIn(), kMuLaw);
    ASSERT_TRUE(m_modem->WaitFor([&] { return m_modem->Recording(); }));
    EXPECT_TRUE(m_modem->CommandSeen("AT+FCLASS=8;+VIT=0"));
    EXPECT_TRUE(m_modem->CommandSeen("AT+VSD=128,0"));
}

}  // namespace
}  // namespace modemtest

namespace modemtest {
namespace {

TEST_F(ModemLineTest, CallDroppedWhileRingingIsNotOfferedAgainByItsLaterRings) {
    Start(Family::kV253);
    m_modem->Ring();
    ASSERT_TRUE(Pump([&] { return m_owner.calls.size() == 1; }));
    ASSERT_TRUE(Call()->VM_Drop());
    ASSERT_TRUE(Pump([&] { return CallReached(LINECALLSTATE_IDLE); }));
    EXPECT_FALSE(m_modem->OffHook());
    // The same caller still ringing.
    m_modem->Ring();
    m_modem->Ring();
    // Then quiet for longer than a caller rings, and a new call.
    Sleep(15000);
    m_modem->Ring();
    ASSERT_TRUE(Pump([&] { return m_owner.calls.size() >= 2; }));
    linetest::PumpPending();
    EXPECT_EQ(m_owner.calls.size(), 2u);
    EXPECT_EQ(m_owner.ringCounts.back(), 1u);
}

}  // namespace
}  // namespace modemtest
