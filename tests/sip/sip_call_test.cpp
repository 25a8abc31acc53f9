// Calls from sipp to the SIP line: media both ways, touch tones, refusals,
// hang-ups from either side, caller ID.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstring>
#include <thread>

#include "platform/winmm/g711.h"
#include "sip/sip_fixture.h"
#include "support/temp_dir.h"
#include "telephony/var_structs.h"

namespace siptest {
namespace {

class SipCallConcurrency : public SipLineFixture {
protected:
    // What the application plays: one second of a 16-bit tone.
    static std::vector<std::int16_t> Greeting() {
        std::vector<std::int16_t> samples(8000);
        for (size_t i = 0; i < samples.size(); i++)
            samples[i] = static_cast<std::int16_t>(
                std::lrint(9000.0 * std::sin(2.0 * M_PI * 523.0 * static_cast<double>(i) / 8000.0)));
        return samples;
    }
    static std::string Pcm16(const std::vector<std::int16_t>& samples) {
        std::string out(samples.size() * 2, '\0');
        std::memcpy(out.data(), samples.data(), out.size());
        return out;
    }
    bool WaitForLineMedia(const RtpPeer& peer) {
        return PumpUntil([&] { return peer.HeardFromLine(); });
    }
};

std::vector<DWORD> Digits(const linetest::RecordingOwner& owner, DWORD mode) {
    std::vector<DWORD> out;
    for (auto [digit, m] : owner.digits)
        if (m == mode) out.push_back(digit);
    return out;
}

TEST_F(SipCallConcurrency, SippCallerIsRecordedAndEachTouchToneCountsOnce) {
    StartLine();
    const std::string voice = ToneULaw(440.0, 16000);  // two seconds
    testsupport::WriteFileBytes(m_dir.file("caller.ulaw"), voice);
    auto sipp = Sipp("caller_sipp_media.xml", CallerKeys(0));
    VM_CCall* call = AnswerFirstCall();
    ASSERT_NE(call, nullptr) << sipp->Log();
    call->VM_MonitorDigits(LINEDIGITMODE_DTMF | LINEDIGITMODE_DTMFEND);
    WaveCapture capture(CallDevice("wave/in", call), WAVE_FORMAT_MULAW, 8);
    ASSERT_TRUE(capture.Opened());
    ASSERT_TRUE(PumpUntilState(LINECALLSTATE_DISCONNECTED));
    capture.Stop();
    ExpectSippPassed(*sipp);

    EXPECT_EQ(Digits(m_owner, LINEDIGITMODE_DTMF), (std::vector<DWORD>{'1', '5'}));
    EXPECT_EQ(Digits(m_owner, LINEDIGITMODE_DTMFEND), (std::vector<DWORD>{'1', '5'}));
    // What the caller said, code for code, in the recording.
    EXPECT_GE(ShareFound(capture.Bytes(), voice), 0.9) << capture.Bytes().size() << " bytes recorded";
}

TEST_F(SipCallConcurrency, GreetingReachesTheCallerCodeForCodeAndPressesCountOnceEach) {
    StartLine();
    RtpPeer peer;
    auto sipp = Sipp("caller.xml", CallerKeys(peer.Port()));
    VM_CCall* call = AnswerFirstCall();
    ASSERT_NE(call, nullptr) << sipp->Log();
    call->VM_MonitorDigits(LINEDIGITMODE_DTMF);
    ASSERT_TRUE(WaitForLineMedia(peer));
    std::uint16_t seq = 1;
    SendPress(peer, 101, 7, &seq, 1000);
    SendPress(peer, 101, 7, &seq, 3000);  // the same key again: a second press
    SendPress(peer, 101, 11, &seq, 5000);
    const std::vector<std::int16_t> greeting = Greeting();
    ASSERT_TRUE(PlayToEnd(CallDevice("wave/out", call), WAVE_FORMAT_PCM, 16, Pcm16(greeting)));
    ASSERT_TRUE(PumpUntilState(LINECALLSTATE_DISCONNECTED));
    ExpectSippPassed(*sipp);

    std::string expected;
    for (std::int16_t s : greeting) expected.push_back(static_cast<char>(g711::LinearToULaw(s)));
    EXPECT_NE(peer.Payloads(0).find(expected), std::string::npos) << "the greeting did not arrive whole";
    for (const RtpSeen& p : peer.Received()) EXPECT_EQ(p.payload.size(), 160u) << "20 ms packets";
    EXPECT_EQ(Digits(m_owner, LINEDIGITMODE_DTMF), (std::vector<DWORD>{'7', '7', '#'}));
}

TEST_F(SipCallConcurrency, CallerOfferingOnlyPcmaIsAnsweredInPcma) {
    StartLine();
    RtpPeer peer;
    Keys keys = CallerKeys(peer.Port());
    keys["formats"] = "8";
    keys["pt1"] = keys["pt2"] = "8";
    keys["enc1"] = keys["enc2"] = "PCMA/8000";
    keys["answer_check"] = "m=audio [0-9]+ RTP/AVP 8[^ 0-9]";
    auto sipp = Sipp("caller.xml", keys);
    VM_CCall* call = AnswerFirstCall();
    ASSERT_NE(call, nullptr) << sipp->Log();
    WaveCapture capture(CallDevice("wave/in", call), WAVE_FORMAT_MULAW, 8);
    ASSERT_TRUE(WaitForLineMedia(peer));
    // The caller speaks A-law; we record mu-law: each code by the table.
    std::string alaw;
    for (int i = 0; i < 4000; i++) alaw.push_back(static_cast<char>(0x80 + (i * 7) % 120));
    for (int i = 0; i < 25; i++) {  // paced as a caller speaks
        peer.Send(8, i == 0, static_cast<std::uint16_t>(i), static_cast<std::uint32_t>(i * 160),
                  alaw.substr(static_cast<size_t>(i) * 160, 160));
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    const std::vector<std::int16_t> greeting = Greeting();
    ASSERT_TRUE(PlayToEnd(CallDevice("wave/out", call), WAVE_FORMAT_PCM, 16, Pcm16(greeting)));
    ASSERT_TRUE(PumpUntilState(LINECALLSTATE_DISCONNECTED));
    capture.Stop();
    ExpectSippPassed(*sipp);

    std::string expected;
    for (std::int16_t s : greeting) expected.push_back(static_cast<char>(g711::LinearToALaw(s)));
    EXPECT_NE(peer.Payloads(8).find(expected), std::string::npos);
    EXPECT_TRUE(peer.Payloads(0).empty()) << "nothing sent as PCMU";
    std::string heard;
    for (char c : alaw) heard.push_back(static_cast<char>(g711::ALawToULaw(static_cast<std::uint8_t>(c))));
    EXPECT_GE(ShareFound(capture.Bytes(), heard), 0.9);
}

TEST_F(SipCallConcurrency, TelephoneEventsOnADynamicPayloadTypeAreTheOnlyDigits) {
    StartLine();
    RtpPeer peer;
    Keys keys = CallerKeys(peer.Port());
    keys["formats"] = "0 96";
    keys["pt2"] = "96";
    keys["answer_check"] = "a=rtpmap:96 telephone-event/8000";
    auto sipp = Sipp("caller.xml", keys);
    VM_CCall* call = AnswerFirstCall();
    ASSERT_NE(call, nullptr) << sipp->Log();
    call->VM_MonitorDigits(LINEDIGITMODE_DTMF);
    ASSERT_TRUE(WaitForLineMedia(peer));
    std::uint16_t seq = 1;
    SendPress(peer, 101, 3, &seq, 1000);  // not the type this caller offered
    SendPress(peer, 96, 9, &seq, 2000);
    ASSERT_TRUE(PumpUntilState(LINECALLSTATE_DISCONNECTED));
    ExpectSippPassed(*sipp);
    EXPECT_EQ(Digits(m_owner, LINEDIGITMODE_DTMF), (std::vector<DWORD>{'9'}));
}

TEST_F(SipCallConcurrency, OfferWithoutG711IsRefusedWith488AndNoCallIsOffered) {
    StartLine();
    Keys keys = CallerKeys(FreePort());
    keys["formats"] = "9 18";
    keys["pt1"] = "9";
    keys["enc1"] = "G722/8000";
    keys["pt2"] = "18";
    keys["enc2"] = "G729/8000";
    auto sipp = Sipp("caller_refused.xml", keys);
    ExpectSippPassed(*sipp);
    linetest::PumpPending();
    EXPECT_EQ(m_owner.newCalls, 0);
}

TEST_F(SipCallConcurrency, CancelWhileRingingEndsTheCallAndTheNextCallIsAnswered) {
    StartLine();
    Keys keys = CallerKeys(FreePort());
    keys["hold"] = "1200";
    auto cancelling = Sipp("caller_cancels.xml", keys);
    ASSERT_TRUE(PumpUntilState(LINECALLSTATE_DISCONNECTED)) << cancelling->Log();
    ExpectSippPassed(*cancelling);
    ASSERT_EQ(m_owner.calls.size(), 1u);
    EXPECT_FALSE(m_owner.HasState(LINECALLSTATE_CONNECTED));
    ASSERT_GE(m_owner.ringCounts.size(), 2u) << "rings every period while offered";
    for (size_t i = 0; i < m_owner.ringCounts.size(); i++) EXPECT_EQ(m_owner.ringCounts[i], i + 1);
    EXPECT_FALSE(m_owner.calls[0]->VM_Answer() && PumpUntilState(LINECALLSTATE_CONNECTED));
    m_owner.calls[0]->VM_Drop();
    m_owner.calls.clear();
    m_owner.states.clear();

    RtpPeer peer;
    auto next = Sipp("caller.xml", CallerKeys(peer.Port()));
    VM_CCall* call = AnswerFirstCall();
    ASSERT_NE(call, nullptr) << next->Log();
    ASSERT_TRUE(PumpUntilState(LINECALLSTATE_DISCONNECTED));
    ExpectSippPassed(*next);
}

TEST_F(SipCallConcurrency, CallerIdComesFromDisplayNameAndUserPartAndAnonymousIsBlocked) {
    struct Case {
        const char* from;
        const char* privacy;
        const char* name;
        const char* number;
    };
    const Case cases[] = {
        {"\"Alice Test\" <sip:5551234@127.0.0.1>", "Privacy: none", "Alice Test", "5551234"},
        {"<sip:5559876@127.0.0.1>", "Privacy: none", "Unknown", "5559876"},
        {"\"Anonymous\" <sip:anonymous@anonymous.invalid>", "Privacy: none", "Blocked", "Blocked"},
        {"\"Bob\" <sip:5550000@127.0.0.1>", "Privacy: id", "Blocked", "Blocked"},
    };
    StartLine();
    for (const Case& c : cases) {
        m_owner.calls.clear();
        m_owner.states.clear();
        Keys keys = CallerKeys(FreePort());
        keys["caller_from"] = c.from;
        keys["privacy"] = c.privacy;
        keys["hold"] = "400";
        auto sipp = Sipp("caller_cancels.xml", keys);
        ASSERT_TRUE(PumpUntil([&] { return !m_owner.calls.empty(); })) << sipp->Log();
        VM_CCallInfor info(m_owner.calls[0]->VM_GetHandle());
        ASSERT_EQ(info.VM_Query(), 0);
        char name[1000] = "";
        char number[1000] = "";
        info.VM_GetInterpretedCallerID(name, number);
        EXPECT_STREQ(name, c.name) << c.from;
        EXPECT_STREQ(number, c.number) << c.from;
        ASSERT_TRUE(PumpUntilState(LINECALLSTATE_DISCONNECTED));
        m_owner.calls[0]->VM_Drop();
        ExpectSippPassed(*sipp);
    }
}

TEST_F(SipCallConcurrency, DroppingTheCallSendsByeToTheCaller) {
    StartLine();
    RtpPeer peer;
    auto sipp = Sipp("caller_held.xml", CallerKeys(peer.Port()));
    VM_CCall* call = AnswerFirstCall();
    ASSERT_NE(call, nullptr) << sipp->Log();
    ASSERT_TRUE(call->VM_Drop());
    ASSERT_TRUE(PumpUntilState(LINECALLSTATE_IDLE));
    ExpectSippPassed(*sipp);
    EXPECT_FALSE(m_owner.HasState(LINECALLSTATE_DISCONNECTED)) << "we ended it; the caller did not";
}

TEST_F(SipCallConcurrency, CallWhoseMediaStopsIsEndedAfterTheMediaTimeOut) {
    sipline::SipSettings settings = TestSettings();
    settings.mediaTimeoutSeconds = 20;  // one real second at the tests' time scale
    StartLine(settings);
    RtpPeer peer;  // answers nothing: the caller's network is gone
    auto sipp = Sipp("caller_held.xml", CallerKeys(peer.Port()));
    VM_CCall* call = AnswerFirstCall();
    ASSERT_NE(call, nullptr) << sipp->Log();
    ASSERT_TRUE(PumpUntilState(LINECALLSTATE_DISCONNECTED));
    ExpectSippPassed(*sipp);  // it got our BYE
    EXPECT_GT(peer.Received().size(), 0u);
}

}  // namespace
}  // namespace siptest
