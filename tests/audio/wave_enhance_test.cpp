#include "audio/wave_enhance.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "audio/wave_file.h"
#include "audio/wave_processor.h"
#include "support/signals.h"
#include "support/temp_dir.h"
#include "wave_test_files.h"

namespace {

using Pcm = std::vector<int16_t>;

// A sine-ish recording with a louder phrase in the middle, at an average
// level around `dbfs`.
Pcm Recording(double dbfs, int ms = 3000) {
    double a = 32768.0 * std::sqrt(2.0) * std::pow(10.0, dbfs / 20.0);
    Pcm out(static_cast<size_t>(ms * 8));
    for (size_t i = 0; i < out.size(); ++i) {
        double swell = (i > out.size() / 3 && i < out.size() / 2) ? 1.6 : 0.8;
        out[i] = static_cast<int16_t>(std::lround(a * swell * std::sin(2 * M_PI * 300 * i / 8000.0)));
    }
    return out;
}

// Records `pcm` into a new file through VM_CWaveFile, enhances it with
// `flags`, closes it and returns what the file then holds.
struct Enhanced {
    BOOL result;
    Pcm samples;
};

Enhanced EnhanceFile(const Pcm& pcm, DWORD flags) {
    testsupport::TempDir dir;
    std::string path = dir.file("Msg0000.Wav");
    Enhanced out{};
    {
        VM_CWaveFile file(path.c_str(), VM_WAVE_MODE_NEW);
        WAVEFORMATEX f = wavetest::Format(WAVE_FORMAT_PCM, 16);
        EXPECT_TRUE(file.VM_SetFormat(&f));
        const BYTE* bytes = reinterpret_cast<const BYTE*>(pcm.data());
        for (size_t at = 0; at < pcm.size() * 2; at += 1600) {
            LONG n = static_cast<LONG>(std::min<size_t>(1600, pcm.size() * 2 - at));
            file.VM_WriteData(bytes + at, n, TRUE);
        }
        file.VM_SetReadPos(10);
        out.result = file.VM_Enhance(flags);
        EXPECT_EQ(file.VM_GetReadPos(), 10);
        EXPECT_EQ(file.VM_GetWritePos(), static_cast<LONG>(pcm.size() * 2));
        EXPECT_EQ(file.VM_GetDataSize(), pcm.size() * 2);
    }
    out.samples = testsupport::ReadWavePcm16(path);
    return out;
}

int PeakFrom(const Pcm& s, size_t begin, size_t end) {
    int peak = 0;
    for (size_t i = begin; i < end; ++i) peak = std::max(peak, std::abs(static_cast<int>(s[i])));
    return peak;
}

// What normalisation alone makes of a recording: the first 30 samples
// dropped, the rest scaled to a peak of 29490, the last 30 left as they were.
Pcm NormalisedOnly(const Pcm& in) {
    double gain = 29490.3 / testsupport::PeakOf(in);
    Pcm out(in);
    for (size_t i = 0; i + 30 < in.size(); ++i) out[i] = static_cast<int16_t>(in[i + 30] * gain);
    return out;
}

TEST(WaveEnhance, EmptyAndAllZeroRecordingsAreLeftAlone) {
    Pcm zeros(4000, 0);
    Enhanced e = EnhanceFile(zeros, 5);
    EXPECT_TRUE(e.result);
    EXPECT_EQ(e.samples, zeros);
    enhance::LevelMeter none;
    EXPECT_EQ(none.Rms(), 0.0);
    EXPECT_EQ(enhance::Choose(none, 5), enhance::Plan::kLeave);
}

TEST(WaveEnhance, LoudEnoughRecordingIsOnlyNormalised) {
    Pcm in = Recording(-20.0);
    ASSERT_NEAR(testsupport::RmsDbfs(in), -20.0, 1.0);
    Enhanced e = EnhanceFile(in, 5);
    EXPECT_TRUE(e.result);
    EXPECT_EQ(e.samples, NormalisedOnly(in));
    EXPECT_EQ(PeakFrom(e.samples, 0, e.samples.size() - 30), 29490);
}

double SegmentDb(const Pcm& s, double from, double to) {
    auto b = s.begin() + static_cast<long>(from * static_cast<double>(s.size()));
    auto e = s.begin() + static_cast<long>(to * static_cast<double>(s.size()));
    return testsupport::RmsDbfs(Pcm(b, e));
}

TEST(WaveEnhance, QuietRecordingIsCompressedThenNormalised) {
    // Quiet phrase around -38 dBFS, louder phrase 6 dB above it: both below
    // the -25 dB threshold, where the compressor expands 1 : 1.354.
    Pcm in = Recording(-35.0);
    ASSERT_LT(testsupport::RmsDbfs(in), -26.0);
    Enhanced only = EnhanceFile(in, 0);
    EXPECT_EQ(only.samples, NormalisedOnly(in));

    Enhanced e = EnhanceFile(in, 5);
    EXPECT_TRUE(e.result);
    ASSERT_EQ(e.samples.size(), in.size());
    const size_t body = in.size() - 30;
    EXPECT_EQ(PeakFrom(e.samples, 0, body), 29490);
    const double inGap = SegmentDb(in, 0.42, 0.49) - SegmentDb(in, 0.6, 0.9);
    const double outGap = SegmentDb(e.samples, 0.42, 0.49) - SegmentDb(e.samples, 0.6, 0.9);
    EXPECT_NEAR(inGap, 6.02, 0.1);
    EXPECT_NEAR(outGap, inGap * 1.353846153846154, 0.3);
    EXPECT_NEAR(SegmentDb(only.samples, 0.42, 0.49) - SegmentDb(only.samples, 0.6, 0.9), inGap, 0.1);
    // The same result sample by sample: compressor, peak from the 31st
    // sample, then normalisation.
    Pcm c(in);
    qvdsp::Compressor comp;
    int64_t count = 0;
    int32_t peak = -32768;
    enhance::CompressRun(comp, c.data(), static_cast<int>(c.size()), count, peak);
    double gain = enhance::NormaliseGain(peak);
    for (size_t i = 0; i < body; ++i) ASSERT_EQ(e.samples[i], enhance::Scaled(c[i + 30], gain)) << i;
    for (size_t i = body; i < in.size(); ++i) ASSERT_EQ(e.samples[i], c[i]) << i;
}

TEST(WaveEnhance, VeryQuietRecordingIsKeptOnRequestUnlessItHasAClick) {
    Pcm in(16000);
    for (size_t i = 0; i < in.size(); ++i)
        in[i] = static_cast<int16_t>(std::lround(500 * std::sin(2 * M_PI * 200 * i / 8000.0)));
    in[100] = 700;
    ASSERT_LT(testsupport::RmsDbfs(in), -38.0);
    EXPECT_EQ(EnhanceFile(in, 0x1000).samples, in);
    in[9000] = 800;
    EXPECT_EQ(EnhanceFile(in, 0x1000).samples, NormalisedOnly(in));
}

// A click in the first 30 samples and nothing after: the compressed peak
// from the 31st sample on is 0, and normalising would multiply by infinity.
// It is skipped; the file keeps the compressed samples.
TEST(WaveEnhance, CompressionToSilenceSkipsNormalisation) {
    Pcm in(8000, 0);
    for (int i = 0; i < 30; ++i) in[i] = static_cast<int16_t>(i % 2 ? 1000 : -1000);
    Enhanced e = EnhanceFile(in, 1);
    EXPECT_TRUE(e.result);
    Pcm expected(in);
    qvdsp::Compressor comp;
    comp.process(expected.data(), static_cast<int>(expected.size()));
    EXPECT_NE(expected[0], 0);
    EXPECT_EQ(e.samples, expected);
    EXPECT_EQ(enhance::NormaliseGain(0), 0.0);
    EXPECT_EQ(enhance::NormaliseGain(-32768), 0.0);
    EXPECT_NEAR(enhance::NormaliseGain(1000), 29.4903, 1e-9);
}

TEST(WaveEnhance, WorksThroughTheFilesOwnCodec) {
    testsupport::TempDir dir;
    std::string path = dir.file("Msg0001.Wav");
    WAVEFORMATEX ulaw = wavetest::Format(WAVE_FORMAT_MULAW, 8);
    VM_CWaveProcessor codec(&ulaw);
    Pcm in = Recording(-20.0, 1000);
    std::vector<BYTE> bytes(in.size());
    for (size_t i = 0; i < in.size(); ++i) codec.VM_PutSample(bytes.data(), static_cast<LONG>(i), in[i]);
    VM_CWaveFile file(path.c_str(), VM_WAVE_MODE_NEW);
    ASSERT_TRUE(file.VM_SetFormat(&ulaw));
    file.VM_WriteData(bytes.data(), static_cast<LONG>(bytes.size()), TRUE);
    ASSERT_TRUE(file.VM_Enhance(0));
    file.VM_SetReadPos(0);
    BYTE buf[1600];
    int peak = 0;
    for (LONG got; (got = file.VM_ReadData(buf)) > 0;)
        for (LONG i = 0; i < got; ++i) peak = std::max(peak, std::abs(static_cast<int>(codec.VM_GetSample(buf, i))));
    EXPECT_NEAR(peak, 29490, 29490 * 0.07);  // within one mu-law step
}

TEST(WaveEnhance, OnlyANewFileWithAFormatIsEnhanced) {
    testsupport::TempDir dir;
    VM_CWaveFile noFormat(dir.file("a.wav").c_str(), VM_WAVE_MODE_NEW);
    EXPECT_FALSE(noFormat.VM_Enhance(5));
    VM_CWaveFile closed(nullptr, VM_WAVE_MODE_NEW);
    EXPECT_FALSE(closed.VM_Enhance(5));
    testsupport::WriteWavePcm16(dir.file("b.wav"), Recording(-20.0, 200));
    VM_CWaveFile readOnly(dir.file("b.wav").c_str(), VM_WAVE_MODE_READ);
    EXPECT_FALSE(readOnly.VM_Enhance(5));
    readOnly.VM_Close();
    EXPECT_EQ(testsupport::ReadWavePcm16(dir.file("b.wav")), Recording(-20.0, 200));
}

}  // namespace
