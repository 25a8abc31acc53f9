// Calls the line cannot take: refused at once while nobody has the line open
// (answering off, or between calls), refused after the cap of rings when
// nobody answers; neither leaves a wave device behind, and the devices of
// ended calls are given back for the next ones.
#include <gtest/gtest.h>

#include "platform/winmm/wave_api.h"
#include "sip/sip_fixture.h"

namespace siptest {
namespace {

UINT Devices() { return waveInGetNumDevs() + waveOutGetNumDevs(); }

class SipRefusalConcurrency : public SipLineFixture {};

TEST_F(SipRefusalConcurrency, CallsWhileTheLineIsClosedAreRefusedAtOnceAndLeaveNoDevice) {
    StartService(TestSettings());
    ASSERT_FALSE(HasFatalFailure());
    const UINT before = Devices();
    // The scenario fails on a ringing answer: the refusal must come at once.
    auto refused = Sipp("caller_unavailable.xml", CallerKeys(FreePort()), {"-m", "20", "-r", "40"});
    ExpectSippPassed(*refused);
    EXPECT_EQ(Devices(), before);

    OpenLine();
    std::vector<UINT> afterCall;
    for (int i = 0; i < 3; i++) {
        Keys keys = CallerKeys(FreePort());
        keys["hold"] = i == 0 ? "3000" : "300";
        auto sipp = Sipp("caller.xml", keys);
        VM_CCall* call = AnswerFirstCall();
        ASSERT_NE(call, nullptr) << sipp->Log();
        CallDevice("wave/in", call);
        CallDevice("wave/out", call);
        if (i == 0) {
            // Busy: refused before anything is made for the new call.
            const UINT during = Devices();
            auto busy = Sipp("caller_unavailable.xml", CallerKeys(FreePort()), {"-m", "10", "-r", "40"});
            ExpectSippPassed(*busy);
            EXPECT_EQ(Devices(), during);
        }
        ASSERT_TRUE(PumpUntilState(LINECALLSTATE_DISCONNECTED));
        ExpectSippPassed(*sipp);
        ASSERT_TRUE(call->VM_Drop());
        ASSERT_TRUE(PumpUntilState(LINECALLSTATE_IDLE));
        m_owner.calls.clear();  // the call is let go, and its devices with it
        m_owner.states.clear();
        linetest::PumpPending();
        afterCall.push_back(Devices());
    }
    EXPECT_EQ(afterCall.back(), afterCall.front()) << "each call's devices are given back";
}

TEST_F(SipRefusalConcurrency, CallNobodyAnswersIsRefusedAfterTheCapOfRings) {
    sipline::SipSettings settings = TestSettings();
    settings.ringPeriodMs = 100;
    StartLine(settings);
    auto sipp = Sipp("caller_rings_out.xml", CallerKeys(FreePort()));
    ASSERT_TRUE(PumpUntilState(LINECALLSTATE_DISCONNECTED)) << sipp->Log();
    ExpectSippPassed(*sipp);
    ASSERT_FALSE(m_owner.ringCounts.empty());
    // The answer machine may be set to wait 99 rings, and the toll saver 2 more.
    EXPECT_GE(m_owner.ringCounts.back(), 101u);
}

}  // namespace
}  // namespace siptest
