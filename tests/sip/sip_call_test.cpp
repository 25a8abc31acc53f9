// Calls from sipp to the SIP line: media both ways, touch tones, refusals,
// hang-ups from either side.
#include <gtest/gtest.h>

#include <algorithm>

#include "sip/sip_fixture.h"
#include "support/temp_dir.h"

namespace siptest {
namespace {

class SipCallTest : public SipLineFixture {};

std::vector<DWORD> Digits(const linetest::RecordingOwner& owner, DWORD mode) {
    std::vector<DWORD> out;
    for (auto [digit, m] : owner.digits)
        if (m == mode) out.push_back(digit);
    return out;
}

TEST_F(SipCallTest, SippCallerIsRecordedAndEachTouchToneCountsOnce) {
    StartLine();
    const std::string voice = ToneULaw(440.0, 16000);  // two seconds
    testsupport::WriteFileBytes(m_dir.file("caller.ulaw"), voice);
    Keys keys = CallerKeys(0);
    auto sipp = Sipp("caller_sipp_media.xml", keys);
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
    // The middle of what the caller said, code for code, in the recording.
    const std::string recorded = capture.Bytes();
    EXPECT_NE(recorded.find(voice.substr(4000, 8000)), std::string::npos) << recorded.size() << " bytes recorded";
}

}  // namespace
}  // namespace siptest
