// A call from baresip: it speaks a WAVE file and hangs up when the file
// ends.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "audio/wave_test_files.h"
#include "platform/winmm/g711.h"
#include "sip/baresip_peer.h"
#include "sip/sip_fixture.h"

namespace siptest {
namespace {

class SipBaresipConcurrency : public SipLineFixture {};

TEST_F(SipBaresipConcurrency, CallerPlayingAWaveFileIsRecordedAndItsByeEndsTheCall) {
    StartLine();
    std::vector<std::int16_t> voice(12000);  // a second and a half of 1 kHz
    for (size_t i = 0; i < voice.size(); i++)
        voice[i] = static_cast<std::int16_t>(std::lrint(8000.0 * std::sin(2.0 * M_PI * 1000.0 * static_cast<double>(i) / 8000.0)));
    const std::string wave = m_dir.file("voice.wav");
    wavetest::WriteWave(wave, wavetest::Format(WAVE_FORMAT_PCM, 16), wavetest::Pcm16Bytes(voice));
    BaresipCall setup;
    setup.folder = m_dir.file("baresip");
    setup.voiceWave = wave;
    setup.dialUri = "sip:vocerra@127.0.0.1:" + std::to_string(m_sipPort);
    std::uint16_t port = 0;
    auto baresip = StartBaresip(setup, &port);
    VM_CCall* call = AnswerFirstCall();
    ASSERT_NE(call, nullptr) << baresip->Log();
    WaveCapture capture(CallDevice("wave/in", call), WAVE_FORMAT_PCM, 16);
    ASSERT_TRUE(PumpUntilState(LINECALLSTATE_DISCONNECTED)) << baresip->Log();
    capture.Stop();
    for (const linetest::CallEvent& e : m_owner.states) {
        if (e.state == LINECALLSTATE_DISCONNECTED) {
            EXPECT_EQ(e.detail, static_cast<DWORD>(LINEDISCONNECTMODE_NORMAL));
        }
    }

    const std::string bytes = capture.Bytes();
    std::vector<std::int16_t> heard(bytes.size() / 2);
    std::memcpy(heard.data(), bytes.data(), heard.size() * 2);
    // Most of the file arrived as the same tone: loud samples, and about two
    // zero crossings per millisecond among them.
    size_t loud = 0;
    size_t crossings = 0;
    for (size_t i = 1; i < heard.size(); i++) {
        if (std::abs(heard[i]) < 1500 && std::abs(heard[i - 1]) < 1500) continue;
        loud++;
        if ((heard[i] < 0) != (heard[i - 1] < 0)) crossings++;
    }
    EXPECT_GE(loud, voice.size() * 6 / 10) << heard.size() << " samples recorded";
    ASSERT_GT(loud, 0u);
    EXPECT_NEAR(static_cast<double>(crossings) / static_cast<double>(loud), 0.25, 0.03);
}

}  // namespace
}  // namespace siptest
