// Media only from the caller. A third party on another host that reaches a
// call's RTP port speaks and presses keys into it: none of it reaches the
// message or the call flow, and it does not keep a call alive whose caller
// is gone. A caller behind NAT, whose description names a private address,
// is heard from the first source and answered there; nobody else after it.
#include <gtest/gtest.h>

#include <memory>

#include "sip/rtp_talker.h"
#include "sip/sip_machine_fixture.h"
#include "support/signals.h"

namespace siptest {
namespace {

// Another host of the loopback network.
constexpr char kElsewhere[] = "127.0.0.2";

class SipIntruderConcurrency : public SipMachineFixture {};

TEST_F(SipIntruderConcurrency, InjectedSoundAndTouchTonesNeverReachTheMessage) {
    m_book.AnswerPlainly(1);
    m_book.m_cfg->VM_SetFlag(true, VM_FLAG_REMOTE_RETRIEVAL);  // '#' in the greeting: the owner's menu
    {
        // A short greeting, so that most of the call is the message.
        std::unique_ptr<char[]> greeting(m_book.m_cfg->VM_GetMainGreetingFileName());
        ASSERT_NE(greeting, nullptr);
        testsupport::WriteWavePcm16(greeting.get(), std::vector<std::int16_t>(2400, 0));
    }
    Keys keys = CallerKeys(m_peer.Port());
    keys["hold"] = "5000";  // then the caller hangs up
    StartCall("caller.xml", keys);
    ASSERT_FALSE(HasFatalFailure());
    ASSERT_TRUE(Pump([this] { return m_peer.HeardFromLine(); })) << m_sipp->Log();
    RtpPeer intruder(kElsewhere);
    intruder.Target(m_peer.LinePort());
    auto pressing = std::make_unique<Presser>(intruder, 101, 11);
    auto intruding = std::make_unique<Talker>(intruder, 1800.0, 4);
    auto talking = std::make_unique<Talker>(m_peer, 700.0);
    VM_CCallInfo* record = FiledRecord();
    pressing.reset();
    intruding.reset();
    talking.reset();
    ASSERT_NE(record, nullptr);

    // A '#' taken from the intruder starts remote retrieval: no message.
    const char* wave = record->VM_GetWaveFile();
    ASSERT_NE(wave, nullptr) << "no message: " << Trail();
    const std::vector<std::int16_t> message = RecordedSamples(wave);
    ASSERT_GE(message.size(), 8000u) << "a second of the caller at least";
    EXPECT_GT(PowerShare(message, 700.0), 0.5) << "the caller is heard";
    EXPECT_LT(PowerShare(message, 1800.0), 0.01) << "the intruder is not";
}

class SipCallerSourceConcurrency : public SipLineFixture {};

TEST_F(SipCallerSourceConcurrency, CallerBehindNatIsHeardFromItsFirstSourceAndAnsweredThere) {
    // One even port to choose from: the caller knows where to send.
    sipline::SipSettings settings = TestSettings();
    const std::uint16_t port = FreePort();
    settings.rtpPortMin = port;
    settings.rtpPortMax = port + 1u;
    StartLine(settings);
    RtpPeer caller;
    Keys keys = CallerKeys(caller.Port());
    keys["media_address"] = "192.168.7.20";  // the phone's own address behind its router
    auto sipp = Sipp("caller_held.xml", keys);
    VM_CCall* call = AnswerFirstCall();
    ASSERT_NE(call, nullptr) << sipp->Log();
    WaveCapture capture(CallDevice("wave/in", call), WAVE_FORMAT_MULAW, 8);
    ASSERT_TRUE(capture.Opened());
    caller.Target(port);
    auto talking = std::make_unique<Talker>(caller, 700.0);
    ASSERT_TRUE(PumpUntil([&] { return caller.HeardFromLine(); })) << "answered where the caller's packets come from";
    RtpPeer intruder(kElsewhere);
    intruder.Target(port);
    auto intruding = std::make_unique<Talker>(intruder, 1800.0, 4);
    PumpUntil([&] { return capture.Bytes().size() >= 16000; });
    capture.Stop();
    intruding.reset();
    talking.reset();
    ASSERT_TRUE(call->VM_Drop());
    ASSERT_TRUE(PumpUntilState(LINECALLSTATE_IDLE));
    ExpectSippPassed(*sipp);

    EXPECT_GE(ShareFound(capture.Bytes(), ToneULaw(700.0, 8000)), 0.5) << "the caller is heard";
    EXPECT_EQ(ShareFound(capture.Bytes(), ToneULaw(1800.0, 8000)), 0.0) << "the intruder is not";
}

TEST_F(SipCallerSourceConcurrency, MediaFromElsewhereDoesNotKeepACallAliveWhoseCallerIsGone) {
    sipline::SipSettings settings = TestSettings();
    settings.mediaTimeoutSeconds = 20;  // one real second at the tests' time scale
    StartLine(settings);
    RtpPeer caller;  // silent: the caller's network is gone
    auto sipp = Sipp("caller_held.xml", CallerKeys(caller.Port()));
    VM_CCall* call = AnswerFirstCall();
    ASSERT_NE(call, nullptr) << sipp->Log();
    ASSERT_TRUE(PumpUntil([&] { return caller.HeardFromLine(); }));
    RtpPeer intruder(kElsewhere);
    intruder.Target(caller.LinePort());
    Talker intruding(intruder, 1800.0);
    ASSERT_TRUE(PumpUntilState(LINECALLSTATE_DISCONNECTED));
    ExpectSippPassed(*sipp);  // it got our BYE
}

}  // namespace
}  // namespace siptest
