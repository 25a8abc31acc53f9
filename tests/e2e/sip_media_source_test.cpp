// `vocerra --headless` on a SIP account made by vocerra-sip-setup: a third
// party on another host that reaches the call's RTP port speaks and presses
// '#' all through the call. Its sound never reaches the message, and its
// touch tones never reach the owner's menu (a '#' in the greeting would take
// the call there, and no message would be left).
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <thread>

#include "e2e/headless_fixture.h"
#include "sip/rtp_talker.h"
#include "support/signals.h"

namespace e2e {
namespace {

class SipIntruder : public HeadlessVocerra {};

TEST_F(SipIntruder, InjectedSoundAndTouchTonesNeverReachTheMessage) {
    m_cfg->VM_SetFlag(true, VM_FLAG_REMOTE_RETRIEVAL);
    {
        // Two seconds of greeting, long enough for the presses to fall in it.
        std::unique_ptr<char[]> greeting(m_cfg->VM_GetMainGreetingFileName());
        ASSERT_NE(greeting, nullptr);
        testsupport::WriteWavePcm16(greeting.get(), std::vector<std::int16_t>(16000, 0));
    }
    const std::string sipPort = std::to_string(siptest::FreePort());
    const Finished setup = RunProgram(VOCERRA_SIP_SETUP_BIN,
                                      {"--account", "vocerra", "--server", "", "--listen", "127.0.0.1", "--port",
                                       sipPort, "--no-password"},
                                      Env());
    ASSERT_EQ(0, setup.exitCode) << setup.output;
    StartVocerra();
    ASSERT_FALSE(HasFatalFailure());

    siptest::RtpPeer caller;
    const std::vector<std::string> sipp = {
        "sipp", "127.0.0.1:" + sipPort, "-sf", std::string(VOCERRA_SIP_DATA) + "/caller.xml", "-i", "127.0.0.1",
        "-p", std::to_string(siptest::FreePort()), "-mi", "127.0.0.1", "-mp", std::to_string(siptest::FreePort()),
        "-m", "1", "-nostdin", "-timeout", "120s", "-timeout_error", "-d", "7000",  // then it hangs up
        "-key", "rtpport", std::to_string(caller.Port()), "-key", "caller_from",
        "\"Alice Test\" <sip:5551234@127.0.0.1>", "-key", "privacy", "Privacy: none", "-key", "formats", "0 101",
        "-key", "pt1", "0", "-key", "enc1", "PCMU/8000", "-key", "pt2", "101", "-key", "enc2",
        "telephone-event/8000", "-key", "answer_check", "m=audio [0-9]+ RTP/AVP 0", "-key", "media_address",
        "127.0.0.1"};
    siptest::PeerProcess call(sipp, m_runtime.path(), m_runtime.file("caller.log"));
    ASSERT_TRUE(call.Started());
    std::string filed;
    {
        // The bound only ends a broken run.
        for (int i = 0; i < 6000 && !caller.HeardFromLine(); i++)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        ASSERT_TRUE(caller.HeardFromLine()) << call.Log() << Err();
        siptest::RtpPeer intruder("127.0.0.2");
        intruder.Target(caller.LinePort());
        siptest::Presser pressing(intruder, 101, 11);
        siptest::Talker intruding(intruder, 1800.0, 4);
        siptest::Talker talking(caller, 700.0);
        // The one line the program prints for the call, after its start's.
        const std::size_t started = m_vocerra->OutLines().size();
        std::size_t seen = 0;
        m_vocerra->WaitForOut([&](const std::string& line) {
            filed = line;
            return ++seen > started;
        });
    }
    EXPECT_EQ(0, call.Wait(60000)) << call.Log();
    EXPECT_EQ(Err().find("Start remote retrieval"), std::string::npos) << "'#' reached the owner's menu";
    ASSERT_NE(filed.find("message left"), std::string::npos) << filed << Err();

    const auto records = Records();
    ASSERT_EQ(records.size(), 1u);
    const std::vector<std::int16_t> message = siptest::RecordedSamples(records[0]->VM_GetWaveFile());
    ASSERT_GE(message.size(), 8000u) << "a second of the caller at least";
    EXPECT_GT(siptest::PowerShare(message, 700.0), 0.5) << "the caller is heard";
    EXPECT_LT(siptest::PowerShare(message, 1800.0), 0.01) << "the intruder is not";
}

}  // namespace
}  // namespace e2e
