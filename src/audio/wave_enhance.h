// The end-of-recording enhancement, sample by sample: measure the level of
// the whole recording, compress a quiet one, normalise the peak to 90 % of
// full scale. VM_CWaveFile::VM_Enhance runs these over the file in 1600-byte
// steps; they are kept apart from the file so each can be checked alone.
#pragma once

#include <cstdint>

#include "audio/compressor.h"
#include "platform/win32/types.h"

namespace enhance {

// 0.9 of 32767: the peak a normalised recording gets.
constexpr double kNormalPeak = 29490.3;
// Samples at the start left out of the compressed peak and dropped by the
// normalisation (3.75 ms, where the DC filter and the envelope settle).
constexpr int kSkippedSamples = 30;
// Below this average level (dBFS) a recording counts as quiet.
constexpr double kQuietDb = -26.0;
// A recording this quiet with a peak this low is left alone on request.
constexpr double kVeryQuietDb = -38.0;
constexpr int32_t kVeryQuietPeak = 786;

struct LevelMeter {
    int32_t peak = -32768;
    double sum = 0.0;  // of squares on the scale of 1.0 = 32768
    int64_t count = 0;

    void Add(const int16_t* samples, int n);
    // 0 for no samples at all.
    double Rms() const;
    double LevelDb() const;
};

enum class Plan { kLeave, kNormalise, kCompressAndNormalise };
Plan Choose(const LevelMeter& level, DWORD flags);

// Compresses samples in place; from the 31st sample of the recording on
// (count counts every sample so far) raises peak to the largest magnitude.
void CompressRun(qvdsp::Compressor& compressor, int16_t* samples, int n, int64_t& count,
                 int32_t& peak);

// The gain that puts peak at kNormalPeak, or 0 when there is nothing to
// scale (a peak of 0 or less, or a gain that is not finite).
double NormaliseGain(int32_t peak);
// s * gain, clamped to the 16-bit range and truncated toward zero.
inline int16_t Scaled(int16_t s, double gain) {
    double v = s * gain;
    if (v >= 32767.0) return 32767;
    if (v <= -32768.0) return -32768;
    return static_cast<int16_t>(v);
}
void NormaliseRun(int16_t* samples, int n, double gain);

}  // namespace enhance
