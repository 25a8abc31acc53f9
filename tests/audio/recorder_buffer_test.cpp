#include "audio/recorder_buffer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "audio/compressor.h"
#include "audio/wave_processor.h"
#include "detect/busy_tone_detector.h"
#include "detect/dial_tone_detector.h"
#include "detect/silence_detector.h"
#include "support/signals.h"
#include "wave_test_files.h"

namespace {

struct Detectors {
    VM_CSilenceDetector silence{10000, 786, 8000};
    VM_CDialToneDetector dial{80000, 8, 8000};
    VM_CBusyToneDetector busy{20000, 5, 8000};
};

// The recorder's buffer work written out sample by sample, through the
// processor's own DC filter and each detector's one-sample entry.
void PlainProcess(VM_CWaveProcessor& processor, Detectors& d, BYTE* data, LONG count) {
    for (LONG i = 0; i < count; ++i) {
        double s = processor.VM_GetSample(data, i);
        processor.VM_RemoveDC(s);
        if (s < -32768) s = -32768;
        if (s > 32767) s = 32767;
        processor.VM_PutSample(data, i, static_cast<SHORT>(s));
        double v = s / 32768 * 32767;
        d.silence.VM_Detect(v);
        d.dial.VM_Detect(v);
        d.busy.VM_Detect(v);
    }
}

// Busy tone with an offset, a loud burst that clips the DC filter, speech-
// like noise and quiet stretches: every branch of the per-sample work.
std::vector<int16_t> Sound() {
    testsupport::Samples s = testsupport::Cadence({{480, 6000}, {620, 6000}}, 500, 500, 4);
    testsupport::Append(s, testsupport::Noise(700, 20000));
    testsupport::Append(s, testsupport::Silence(900));
    testsupport::Append(s, testsupport::Tone({{425, 3000}}, 2000));
    std::vector<int16_t> out(s.size());
    for (size_t i = 0; i < s.size(); ++i) out[i] = static_cast<int16_t>(std::lround(std::clamp(s[i] + 2500.0, -32768.0, 32767.0)));
    for (size_t i = 20000; i < 20040; ++i) out[i] = static_cast<int16_t>(i % 2 ? 32767 : -32768);
    return out;
}

// The fast path steps the filters of both tone detectors together, fed by a
// DC filter in the same loop; it must give the same bytes and the same
// detector state as the plain path, in every sample format.
TEST(RecorderBuffer, FastPathEqualsThePlainSampleBySamplePath) {
    const std::vector<int16_t> sound = Sound();
    for (WORD tag : {WAVE_FORMAT_PCM, WAVE_FORMAT_MULAW}) {
        WAVEFORMATEX format = wavetest::Format(tag, tag == WAVE_FORMAT_PCM ? 16 : 8);
        VM_CWaveProcessor encoder(&format), plainProc(&format), fastProc(&format);
        const LONG bps = format.wBitsPerSample / 8;
        std::vector<BYTE> bytes(sound.size() * bps);
        for (size_t i = 0; i < sound.size(); ++i) encoder.VM_PutSample(bytes.data(), static_cast<LONG>(i), sound[i]);
        std::vector<BYTE> plain(bytes), fast(bytes);
        Detectors dp, df;
        VM_DcBlocker dc;
        qvdsp::Compressor follower;
        const size_t buffer = 1600;
        int32_t longestBusy = 0;
        for (size_t at = 0; at < bytes.size(); at += buffer) {
            const DWORD n = static_cast<DWORD>(std::min(buffer, bytes.size() - at));
            PlainProcess(plainProc, dp, plain.data() + at, static_cast<LONG>(n / bps));
            ASSERT_TRUE(VM_ProcessRecordedBuffer(&fastProc, dc, &follower, &df.silence, &df.busy,
                                                 &df.dial, fast.data() + at, n));
            ASSERT_EQ(dp.silence.Total(), df.silence.Total()) << at;
            ASSERT_EQ(dp.dial.Total(), df.dial.Total()) << at;
            ASSERT_EQ(dp.busy.Total(), df.busy.Total()) << at;
            ASSERT_EQ(dp.busy.CadenceState(), df.busy.CadenceState()) << at;
            longestBusy = std::max(longestBusy, df.busy.Total());
        }
        EXPECT_EQ(plain, fast) << "format tag " << tag;
        EXPECT_GT(longestBusy, 0);
        EXPECT_GT(df.dial.Total(), 0);
        EXPECT_NE(follower.envelope(), 1e-25);  // the level follower ran
    }
}

TEST(RecorderBuffer, RefusesWhatItCannotProcess) {
    WAVEFORMATEX format = wavetest::Format(WAVE_FORMAT_PCM, 16);
    VM_CWaveProcessor processor(&format);
    VM_CSilenceDetector silence(10000, 786, 8000);
    VM_DcBlocker dc;
    BYTE data[1600] = {};
    EXPECT_FALSE(VM_ProcessRecordedBuffer(nullptr, dc, nullptr, &silence, nullptr, nullptr, data, 1600));
    EXPECT_FALSE(VM_ProcessRecordedBuffer(&processor, dc, nullptr, nullptr, nullptr, nullptr, data, 1600));
    EXPECT_FALSE(VM_ProcessRecordedBuffer(&processor, dc, nullptr, &silence, nullptr, nullptr, data, 0));
    EXPECT_TRUE(VM_ProcessRecordedBuffer(&processor, dc, nullptr, &silence, nullptr, nullptr, data, 1600));
    EXPECT_EQ(silence.Total(), 800);
}

}  // namespace
