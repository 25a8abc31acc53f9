// The recorder on the simulated line: the remote party speaks, falls silent,
// or leaves a busy or dial tone on the line. The line's audio is pulled
// sample by sample as the recorder's buffers fill, so every time below is
// measured in samples: buffer k of the recording holds samples 800k to
// 800k + 799, and the recorder posts one notice per buffer.
#include "audio/recorder.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

#include "audio/wave_enhance.h"
#include "audio/wave_file.h"
#include "diag/trace.h"
#include "platform/win32/clock.h"
#include "platform/win32/messages.h"
#include "lines/sim/sim_call_audio_device.h"
#include "platform/winmm/wave_endpoint.h"
#include "support/message_window.h"
#include "support/signals.h"
#include "support/temp_dir.h"

namespace {

using Pcm = std::vector<int16_t>;

const bool kNoCards = [] { return setenv("VOCERRA_NO_SOUND_CARDS", "1", 1) == 0; }();

constexpr LONG kBufferSamples = 800;  // 1600 bytes of 16-bit PCM

// A window of the test thread that collects the recorder's notices.
class Owner {
public:
    HWND hwnd() const { return m_window.hwnd(); }

    // Collects notices until WM_WAVE_DONE (true) or until `until` says stop
    // (false). The real-time bound only guards against a hang.
    template <class Until>
    bool Collect(std::vector<MSG>& out, Until until) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(120);
        while (std::chrono::steady_clock::now() < end) {
            MSG msg{};
            while (PeekMessageA(&msg, hwnd(), 0, 0, PM_REMOVE)) {
                out.push_back(msg);
                if (msg.message == WM_WAVE_DONE) return true;
            }
            if (until()) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        ADD_FAILURE() << "the recording neither ended nor reached the stop point";
        return false;
    }
    bool Collect(std::vector<MSG>& out) {
        return Collect(out, [] { return false; });
    }

private:
    testsupport::MessageWindow m_window;
};

// What the recorder must have made of the line's samples: the DC filter,
// the first `length` samples kept, then the enhancement.
Pcm ExpectedFile(const Pcm& line, size_t length, DWORD flags) {
    VM_DcBlocker dc;
    Pcm x(length);
    for (size_t i = 0; i < length; ++i) {
        double s = dc.Step(i < line.size() ? line[i] : 0);
        x[i] = static_cast<int16_t>(std::clamp(s, -32768.0, 32767.0));
    }
    enhance::LevelMeter level;
    level.Add(x.data(), static_cast<int>(x.size()));
    enhance::Plan plan = enhance::Choose(level, flags);
    if (plan == enhance::Plan::kLeave) return x;
    int32_t peak = level.peak;
    if (plan == enhance::Plan::kCompressAndNormalise) {
        qvdsp::Compressor compressor;
        int64_t count = 0;
        peak = -32768;
        enhance::CompressRun(compressor, x.data(), static_cast<int>(x.size()), count, peak);
    }
    const double gain = enhance::NormaliseGain(peak);
    for (size_t i = 0; gain > 0.0 && i + enhance::kSkippedSamples < x.size(); ++i)
        x[i] = enhance::Scaled(x[i + enhance::kSkippedSamples], gain);
    return x;
}

class RecorderConcurrency : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(kNoCards);
        platform::SetTimeScale(40.0);
        m_line = std::make_unique<simline::SimCallAudio>(
            simline::CallAudioConfig{0, simline::kFormatPcm16});
    }
    void TearDown() override {
        m_line.reset();
        platform::SetTimeScale(1.0);
    }

    // Starts recording what the line sends into a new file.
    void Start(SHORT seconds, SHORT level, DWORD mask, DWORD flags) {
        m_file = std::make_unique<VM_CWaveFile>(m_dir.file("Msg0000.Wav").c_str(), VM_WAVE_MODE_NEW);
        m_recorder = std::make_unique<VM_CRecorder>(m_line->WaveInDeviceId(), m_owner.hwnd());
        m_recorder->VM_SetDetection(seconds, level, mask, flags);
        ASSERT_TRUE(m_recorder->VM_Start(m_file.get()));
        m_sid = m_recorder->VM_GetSid();
    }
    // Stops, closes the file and returns its samples.
    Pcm Finish() {
        m_recorder->VM_Stop();
        m_file.reset();
        return testsupport::ReadWavePcm16(m_dir.file("Msg0000.Wav"));
    }
    Pcm SendSpeech(const std::string& text) {
        testsupport::Samples words = testsupport::Speech(text);
        Pcm pcm(words.begin(), words.end());
        if (pcm.empty()) return pcm;
        testsupport::WriteWavePcm16(m_dir.file("remote.wav"), pcm);
        EXPECT_TRUE(m_line->SendFile(m_dir.file("remote.wav")));
        return pcm;
    }
    void ExpectAllFromThisRun(const std::vector<MSG>& msgs) {
        for (const MSG& m : msgs) {
            EXPECT_EQ(m.wParam, reinterpret_cast<WPARAM>(m_recorder.get()));
            EXPECT_EQ(static_cast<DWORD>(m.lParam), m_sid);
        }
    }

    testsupport::TempDir m_dir;
    Owner m_owner;
    std::unique_ptr<simline::SimCallAudio> m_line;
    std::unique_ptr<VM_CWaveFile> m_file;
    std::unique_ptr<VM_CRecorder> m_recorder;
    DWORD m_sid = 0;
};

int LastIndexOf(const std::vector<MSG>& msgs, UINT message) {
    for (int i = static_cast<int>(msgs.size()) - 1; i >= 0; --i)
        if (msgs[static_cast<size_t>(i)].message == message) return i;
    return -1;
}

int FirstIndexOf(const std::vector<MSG>& msgs, UINT message) {
    for (size_t i = 0; i < msgs.size(); ++i)
        if (msgs[i].message == message) return static_cast<int>(i);
    return -1;
}

TEST_F(RecorderConcurrency, CallerFallsSilentAndTheRecordingEndsTenSecondsLater) {
    const Pcm speech = SendSpeech("Hi, it is Paul. Call me back when you can. Bye.");
    if (speech.empty()) GTEST_SKIP() << "espeak-ng or sox is not installed: no spoken words to record";
    Start(10, 8, VM_DETECT_DIALTONE | VM_DETECT_BUSYTONE, 5);
    std::vector<MSG> msgs;
    ASSERT_TRUE(m_owner.Collect(msgs));
    const Pcm file = Finish();

    ExpectAllFromThisRun(msgs);
    msgs.pop_back();  // WM_WAVE_DONE
    for (const MSG& m : msgs)
        ASSERT_TRUE(m.message == WM_WAVE_SOUND || m.message == WM_WAVE_SILENCE) << std::hex << m.message;
    const int lastSound = LastIndexOf(msgs, WM_WAVE_SOUND);
    ASSERT_GE(lastSound, 0);
    EXPECT_GE(static_cast<size_t>(lastSound + 1) * kBufferSamples, speech.size() / 2);
    // Every buffer after the last sound is silent, and the one in which the
    // silence passed 10 s (80000 samples) ends the recording.
    const int last = static_cast<int>(msgs.size()) - 1;
    for (int i = lastSound + 2; i <= last; ++i) EXPECT_EQ(msgs[static_cast<size_t>(i)].message, WM_WAVE_SILENCE) << i;
    EXPECT_GE(last - lastSound, 100);
    EXPECT_LE(last - lastSound, 101);
    // The buffer that ended it is not in the file; the rest is, enhanced.
    ASSERT_EQ(file.size(), static_cast<size_t>(last) * kBufferSamples);
    EXPECT_EQ(file, ExpectedFile(speech, file.size(), 5));
    EXPECT_EQ(testsupport::PeakOf(Pcm(file.begin(), file.end() - 30)), 29490);
}

TEST_F(RecorderConcurrency, BusyToneIsReportedAfterThreeSecondsAndEndsTheRecording) {
    for (const simline::ToneSpec& tone : {simline::ToneSpec{480, 620, 6000, 500, 500},
                                          simline::ToneSpec{425, 0, 6000, 500, 500}}) {
        SCOPED_TRACE(tone.frequency1);
        m_line->SendTone(tone);
        Start(10, 8, VM_DETECT_DIALTONE | VM_DETECT_BUSYTONE, 5);
        std::vector<MSG> msgs;
        ASSERT_TRUE(m_owner.Collect(msgs));
        const Pcm file = Finish();

        ExpectAllFromThisRun(msgs);
        msgs.pop_back();
        EXPECT_EQ(FirstIndexOf(msgs, WM_WAVE_DIALTONE), -1);
        const int report = FirstIndexOf(msgs, WM_WAVE_BUSYTONE);
        const int last = static_cast<int>(msgs.size()) - 1;
        // Reported at about the start of the fourth burst (3 s = 24000 samples).
        EXPECT_NEAR((report + 1) * kBufferSamples, 24000, 900);
        for (int i = report; i <= last; ++i)
            EXPECT_EQ(msgs[static_cast<size_t>(i)].message, WM_WAVE_BUSYTONE) << i;
        // Ended when the run passed 3.5 s: seven or eight credited periods,
        // at 4 to 4.5 s after the tone began.
        EXPECT_GE((last + 1) * kBufferSamples, 31000);
        EXPECT_LE((last + 1) * kBufferSamples, 36800);
        ASSERT_EQ(file.size(), static_cast<size_t>(last) * kBufferSamples);
        EXPECT_EQ(testsupport::PeakOf(Pcm(file.begin(), file.end() - 30)), 29490);
    }
}

TEST_F(RecorderConcurrency, DialToneIsReportedAfterTwoSecondsAndEndsTheRecording) {
    for (const simline::ToneSpec& tone :
         {simline::ToneSpec{350, 440, 6000, 0, 0}, simline::ToneSpec{425, 0, 6000, 0, 0}}) {
        SCOPED_TRACE(tone.frequency1);
        m_line->SendTone(tone);
        Start(10, 8, VM_DETECT_DIALTONE | VM_DETECT_BUSYTONE, 0);
        std::vector<MSG> msgs;
        ASSERT_TRUE(m_owner.Collect(msgs));
        const Pcm file = Finish();

        msgs.pop_back();
        const int report = FirstIndexOf(msgs, WM_WAVE_DIALTONE);
        const int last = static_cast<int>(msgs.size()) - 1;
        // The run passes 16000 samples after 26 blocks of 640 and 28000
        // after 44.
        EXPECT_NEAR((report + 1) * kBufferSamples, 26 * 640, 1300);
        EXPECT_NEAR((last + 1) * kBufferSamples, 44 * 640, 1300);
        EXPECT_EQ(FirstIndexOf(msgs, WM_WAVE_BUSYTONE), -1);
        EXPECT_EQ(file.size(), static_cast<size_t>(last) * kBufferSamples);
    }
}

// A greeting recording: no silence or tone detection; it runs until the
// owner stops it, posts nothing, and is enhanced before VM_Stop returns.
TEST_F(RecorderConcurrency, StopEndsTheRecordingWithoutDoneAndEnhancesWhatWasRecorded) {
    const Pcm speech = SendSpeech("This is the greeting of the Miller family. Please leave a message.");
    if (speech.empty()) GTEST_SKIP() << "espeak-ng or sox is not installed: no spoken words to record";
    Start(0, 0, 0, 0x1001);
    std::vector<MSG> msgs;
    const auto enough = static_cast<DWORD>(speech.size());  // half of it, in bytes
    EXPECT_FALSE(m_owner.Collect(msgs, [&] { return m_file->VM_GetDataSize() >= enough; }));
    EXPECT_TRUE(m_recorder->VM_Stop());
    MSG late{};
    EXPECT_FALSE(PeekMessageA(&late, m_owner.hwnd(), 0, 0, PM_REMOVE));
    EXPECT_TRUE(msgs.empty());
    const Pcm file = Finish();
    ASSERT_GE(file.size() * 2, enough);
    EXPECT_EQ(file.size() % kBufferSamples, 0u);
    EXPECT_EQ(file, ExpectedFile(speech, file.size(), 0x1001));
}

// The disk fills during a message: the recording ends, the owner learns it
// from the recorder, and what was written is kept.
TEST_F(RecorderConcurrency, WriteFailureEndsTheRecordingAndIsReportedToTheOwner) {
    m_line->SendSilence();
    Start(0, 8, 0, 0);
    std::vector<MSG> msgs;
    EXPECT_FALSE(m_owner.Collect(msgs, [&] { return m_file->VM_GetDataSize() >= 2 * 16000; }));
    EXPECT_FALSE(m_recorder->VM_WriteFailed());
    winmm::SetRiffWritesFailing(true);
    int polls = 0;
    const bool ended = m_owner.Collect(msgs, [&] { return ++polls > 3000; });
    winmm::SetRiffWritesFailing(false);
    EXPECT_TRUE(ended) << "the recording went on writing into a full disk";
    EXPECT_TRUE(m_recorder->VM_WriteFailed());
    EXPECT_GE(Finish().size(), 16000u);
}

TEST_F(RecorderConcurrency, SilenceTimeZeroPostsNothingAndNeverEndsOnSilence) {
    m_line->SendSilence();
    Start(0, 8, 0, 0);
    std::vector<MSG> msgs;
    // 15 s of silence on the line.
    EXPECT_FALSE(m_owner.Collect(msgs, [&] { return m_file->VM_GetDataSize() >= 15 * 16000; }));
    EXPECT_TRUE(msgs.empty());
    EXPECT_EQ(m_recorder->VM_GetSilenceTime(), 0);
    EXPECT_EQ(m_recorder->VM_GetSilenceLevel(), 786);
    Finish();
}

TEST_F(RecorderConcurrency, RecordsInTheFormatTheDeviceOffers) {
    m_line = std::make_unique<simline::SimCallAudio>(simline::CallAudioConfig{0, simline::kFormatMuLaw});
    m_line->SendSilence();
    Start(1, 8, 0, 0);
    std::vector<MSG> msgs;
    ASSERT_TRUE(m_owner.Collect(msgs));
    ASSERT_NE(m_file->VM_GetFormat(), nullptr);
    EXPECT_EQ(m_file->VM_GetFormat()->wFormatTag, WAVE_FORMAT_MULAW);
    // 8-bit buffers hold 1600 samples: one second of silence (8000 samples)
    // is passed in the sixth buffer, which ends the recording.
    ASSERT_EQ(msgs.size(), 7u);
    EXPECT_EQ(msgs[0].message, WM_WAVE_SOUND);
    for (size_t i = 1; i < 6; ++i) EXPECT_EQ(msgs[i].message, WM_WAVE_SILENCE) << i;
    EXPECT_EQ(msgs[6].message, WM_WAVE_DONE);
    Finish();
}

// A driver that delivers sound for a few buffers, then only empty buffers.
class FadingEndpoint : public winmm::WaveEndpoint {
public:
    explicit FadingEndpoint(int dataBuffers) : m_dataBuffers(dataBuffers) {}
    std::string Name() const override { return "Fading test input"; }
    bool Accepts(const WAVEFORMATEX& f) const override {
        return f.wFormatTag == WAVE_FORMAT_PCM && f.wBitsPerSample == 16 && f.nChannels == 1;
    }
    std::unique_ptr<winmm::WaveStream> Open(const WAVEFORMATEX&) override {
        return std::make_unique<Stream>(m_dataBuffers);
    }

private:
    struct Stream : winmm::WaveStream {
        explicit Stream(int buffers) : left(buffers) {}
        void Play(const BYTE*, DWORD) override {}
        DWORD Record(BYTE* data, DWORD length) override {
            if (left-- <= 0) return 0;
            for (DWORD i = 0; i + 1 < length; i += 2) {
                data[i] = 0;
                data[i + 1] = static_cast<BYTE>(i % 4 ? 0x40 : 0xC0);  // +-16384
            }
            return length;
        }
        int left;
    };
    int m_dataBuffers;
};

// Each empty buffer credits all the time since the last data as silence, so
// the silent run grows faster than the clock: with a buffer every 100 ms the
// 10 s are passed after about 14 empty buffers (0.1 + 0.2 + ... + 1.4 s).
TEST_F(RecorderConcurrency, EmptyBuffersCreditTheTimeSinceTheLastData) {
    const UINT device = winmm::AddWaveInEndpoint(std::make_shared<FadingEndpoint>(5));
    m_file = std::make_unique<VM_CWaveFile>(m_dir.file("Msg0000.Wav").c_str(), VM_WAVE_MODE_NEW);
    m_recorder = std::make_unique<VM_CRecorder>(device, m_owner.hwnd());
    m_recorder->VM_SetDetection(10, 8, 3, 0);
    ASSERT_TRUE(m_recorder->VM_Start(m_file.get()));
    std::vector<MSG> msgs;
    ASSERT_TRUE(m_owner.Collect(msgs));
    const Pcm file = Finish();
    winmm::RemoveWaveInEndpoint(device);
    ASSERT_GE(msgs.size(), 7u);
    for (size_t i = 0; i < 5; ++i) EXPECT_EQ(msgs[i].message, WM_WAVE_SOUND) << i;
    // Far fewer than the 100 buffers of 10 s. (A recorder thread that takes
    // buffers late shifts the credits a little either way.)
    const size_t empties = msgs.size() - 6;
    EXPECT_LE(empties, 25u);
    EXPECT_GE(empties, 4u);
    EXPECT_EQ(msgs.back().message, WM_WAVE_DONE);
    EXPECT_EQ(file.size(), 5u * kBufferSamples);
}

TEST_F(RecorderConcurrency, TracedRunWritesTheDeviceAndBufferLines) {
    testsupport::TempDir cwd(true);
    g_bTraceAudio = 1;
    m_line->SendSilence();
    Start(1, 8, VM_DETECT_BUSYTONE, 0);
    std::vector<MSG> msgs;
    const bool done = m_owner.Collect(msgs);
    char self[64];
    std::snprintf(self, sizeof self, "this=0x%" PRIxPTR, reinterpret_cast<uintptr_t>(m_recorder.get()));
    Finish();
    m_recorder.reset();
    g_bTraceAudio = 0;
    ASSERT_TRUE(done);
    const std::string log = testsupport::ReadFileBytes(cwd.file("dbg_err.txt"));
    for (const std::string& line : std::vector<std::string>{
             std::string("VM_CRecorder::VM_CRecorder(dev_id=0x"),
             "Entering VM_CRecorder::VM_InitDeviceFormat: m_file=0x",
             ", wFormatTag=0x1\r\n",
             "waveInOpen: hWaveIn=0x",
             "waveInStart: hWaveIn=0x",
             "Entering VM_CRecorder::VM_ThreadProc(id=0x",
             "waveInPrepare: m_lpWaveHdr[4]->dwBuffLen=1600\r\n",
             "lpWaveHdr[0]->[dwRecorded=0x640, dwFlags=0x",
             "VM_CRecorder::VM_DetectorAction(nSamples=800), bSilence=TRUE, bBusyTone=FALSE, bDialTone=FALSE\r\n",
             "VM_WriteDataToFile: lLen=1600\r\n",
             "Exit VM_CRecorder::VM_ThreadProc(id=0x",
             std::string("VM_CRecorder::~VM_CRecorder: ") + self + "\r\n",
         }) {
        EXPECT_NE(log.find(line), std::string::npos) << line;
    }
}

TEST(RecorderSettings, DetectionSettingsAreScaledAndClamped) {
    VM_CRecorder r(0, nullptr);
    r.VM_SetDetection(10, 8, 3, 5);
    EXPECT_EQ(r.VM_GetSilenceTime(), 10000);
    EXPECT_EQ(r.VM_GetSilenceLevel(), 786);
    r.VM_SetDetection(10, 10, 3, 5);
    EXPECT_EQ(r.VM_GetSilenceLevel(), 983);
    // Out-of-range values from a damaged configuration file.
    r.VM_SetDetection(30000, 30000, 3, 5);
    EXPECT_EQ(r.VM_GetSilenceTime(), 99000);
    EXPECT_EQ(r.VM_GetSilenceLevel(), 9830);
    r.VM_SetDetection(-5, -5, 0, 0);
    EXPECT_EQ(r.VM_GetSilenceTime(), 0);
    EXPECT_EQ(r.VM_GetSilenceLevel(), 0);
}

}  // namespace
