// An answered call on the simulated line, with the audio found the way the
// call flow finds it: the call's wave devices come from lineGetID, the
// greeting is played into the call and the caller's voice recorded from it.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "audio/player.h"
#include "audio/recorder.h"
#include "audio/wave_file.h"
#include "audio/wave_test_files.h"
#include "platform/winmm/g711.h"
#include "lines/sim/sim_call_audio_device.h"
#include "support/message_window.h"
#include "support/temp_dir.h"
#include "telephony/line_harness.h"
#include "telephony/var_structs.h"

namespace {

using linetest::PumpUntil;

const bool kNoCards = [] { return setenv("VOCERRA_NO_SOUND_CARDS", "1", 1) == 0; }();

// Strength of one frequency in the samples (a single DFT bin, normalised).
double Strength(const std::vector<int16_t>& samples, double hz) {
    double re = 0.0, im = 0.0;
    for (size_t i = 0; i < samples.size(); ++i) {
        double phase = 2.0 * M_PI * hz * static_cast<double>(i) / 8000.0;
        re += samples[i] * std::cos(phase);
        im += samples[i] * std::sin(phase);
    }
    return std::sqrt(re * re + im * im) / static_cast<double>(samples.size());
}

UINT CallDevice(const char* deviceClass, HCALL hCall) {
    VM_CDeviceID id;
    EXPECT_EQ(id.VM_GetCallDeviceID(deviceClass, hCall), 0) << deviceClass;
    return id.VM_GetID();
}

// Waits for the owner window's WM_WAVE_DONE; the real-time bound only
// keeps a broken run from hanging.
bool WaitDone(HWND owner) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    MSG msg;
    while (std::chrono::steady_clock::now() < end) {
        while (PeekMessageA(&msg, owner, 0, 0, PM_REMOVE))
            if (msg.message == WM_WAVE_DONE) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return false;
}

class CallAudioConcurrency : public linetest::SimLineTest {
protected:
    void SetUp() override {
        ASSERT_TRUE(kNoCards);
        platform::SetTimeScale(40.0);
        simline::InstallSimCallAudio();
    }
    void TearDown() override {
        linetest::SimLineTest::TearDown();
        simline::SetCallAudioFactory(nullptr);
        platform::SetTimeScale(1.0);
    }

    // A call offered on a line whose audio takes only mu-law, answered.
    VM_CCall* AnsweredCall(linetest::RecordingOwner& owner) {
        simline::LineConfig line;
        line.acceptedFormats = simline::kFormatMuLaw;
        m_remote = StartCall(&owner, {line});
        if (owner.calls.empty() || !owner.calls[0]->VM_Answer()) return nullptr;
        if (!PumpUntil([&] { return owner.HasState(LINECALLSTATE_CONNECTED); })) return nullptr;
        return owner.calls[0].get();
    }
    simline::SimCallAudio* RemoteAudio() { return dynamic_cast<simline::SimCallAudio*>(m_remote->Audio()); }

    testsupport::TempDir m_dir;
    testsupport::MessageWindow m_window;
    const HWND m_owner = m_window.hwnd();
    std::shared_ptr<simline::SimCall> m_remote;
};

}  // namespace

TEST_F(CallAudioConcurrency, GreetingPlayedOnTheCallsWaveOutReachesTheCallerSampleForSample) {
    linetest::RecordingOwner owner;
    VM_CCall* call = AnsweredCall(owner);
    ASSERT_NE(call, nullptr);
    simline::SimCallAudio* remote = RemoteAudio();
    ASSERT_NE(remote, nullptr) << "the call got no audio path";
    const UINT waveOut = CallDevice("wave/out", call->VM_GetHandle());
    EXPECT_EQ(waveOut, remote->WaveOutDeviceId());

    std::vector<int16_t> greeting(12000);
    for (size_t i = 0; i < greeting.size(); ++i)
        greeting[i] = static_cast<int16_t>(9000.0 * std::sin(2.0 * M_PI * 440.0 * static_cast<double>(i) / 8000.0));
    const std::string path = m_dir.file("GTMain.wav");
    wavetest::WriteWave(path, wavetest::Format(WAVE_FORMAT_PCM, 16), wavetest::Pcm16Bytes(greeting));

    VM_CPlayer player(waveOut, m_owner);
    VM_CWaveFile file(path.c_str(), VM_WAVE_MODE_READ);
    ASSERT_TRUE(player.VM_Start(&file));
    ASSERT_TRUE(WaitDone(m_owner));
    player.VM_Stop();

    std::string expected;
    for (int16_t s : greeting) expected.push_back(static_cast<char>(g711::LinearToULaw(s)));
    EXPECT_EQ(remote->CapturedFormat().wFormatTag, WAVE_FORMAT_MULAW);
    EXPECT_EQ(remote->CapturedBytes(), expected);
}

TEST_F(CallAudioConcurrency, CallersVoiceIsRecordedFromTheCallsWaveIn) {
    linetest::RecordingOwner owner;
    VM_CCall* call = AnsweredCall(owner);
    ASSERT_NE(call, nullptr);
    simline::SimCallAudio* remote = RemoteAudio();
    ASSERT_NE(remote, nullptr);
    const UINT waveIn = CallDevice("wave/in", call->VM_GetHandle());
    EXPECT_EQ(waveIn, remote->WaveInDeviceId());

    remote->SendTone(simline::ToneSpec{1000.0, 0.0, 8000.0, 0, 0});
    const std::string path = m_dir.file("Msg0000.Wav");
    {
        VM_CWaveFile file(path.c_str(), VM_WAVE_MODE_NEW);
        VM_CRecorder recorder(waveIn, m_owner);
        recorder.VM_SetDetection(0, 0, 0, 0);  // record until stopped
        ASSERT_TRUE(recorder.VM_Start(&file));
        // Counted in recorded bytes, not in time: one second of the caller.
        const auto guard = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (file.VM_GetDataSize() < 8000 && std::chrono::steady_clock::now() < guard)
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        recorder.VM_Stop();
        ASSERT_GE(file.VM_GetDataSize(), 8000u);
        ASSERT_NE(file.VM_GetFormat(), nullptr);
        EXPECT_EQ(file.VM_GetFormat()->wFormatTag, WAVE_FORMAT_MULAW) << "recorded in the line's own format";
    }
    VM_CWaveFile reread(path.c_str(), VM_WAVE_MODE_READ);
    std::string codes = wavetest::ReadAllData(reread);
    ASSERT_GE(codes.size(), 8000u);
    std::vector<int16_t> samples;
    for (size_t i = 800; i < codes.size(); ++i)  // past the DC filter's settling
        samples.push_back(g711::ULawToLinear(static_cast<uint8_t>(codes[i])));
    // The caller's 1 kHz tone, raised to full level by the enhancement
    // after recording, and next to nothing elsewhere.
    const double tone = Strength(samples, 1000.0);
    EXPECT_GT(tone, 4000.0);
    EXPECT_GT(tone, 50.0 * Strength(samples, 700.0));
    EXPECT_GT(tone, 50.0 * Strength(samples, 1300.0));
}
