#include "audio/compressor.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

double Dbfs(double magnitude) { return 20.0 * std::log10(magnitude / 32767.0); }

// Runs a square wave of constant magnitude until the envelope has settled
// and returns the output magnitude of the last sample.
int SettledMagnitude(double inputDbfs) {
    qvdsp::Compressor c;
    int16_t a = static_cast<int16_t>(std::lround(32767.0 * std::pow(10.0, inputDbfs / 20.0)));
    std::vector<int16_t> s(16000);
    for (size_t i = 0; i < s.size(); ++i) s[i] = (i / 20) % 2 ? a : static_cast<int16_t>(-a);
    c.process(s.data(), static_cast<int>(s.size()));
    return std::abs(static_cast<int>(s.back()));
}

TEST(Compressor, FollowersUseTheTimeConstantsAtTheRate) {
    qvdsp::Compressor c;
    EXPECT_NEAR(c.attackCoef(), 0.9753099120283326, 1e-15);
    EXPECT_NEAR(c.releaseCoef(), 0.9987507809245809, 1e-15);
    EXPECT_EQ(c.name(), "Compressor");
    EXPECT_EQ(c.envelope(), 1e-25);
    c.setSampleRate(16000);
    EXPECT_NEAR(c.attackCoef(), std::exp(-1000.0 / (5 * 16000.0)), 1e-15);
    EXPECT_EQ(c.getSampleRate(), 16000);
    chunkware_simple::EnvelopeDetector zero(0.0, 8000.0);
    EXPECT_EQ(zero.coef(), 0.0);  // no time constant: follows at once
}

// Expansion below the threshold, compression above, plus make-up gain.
TEST(Compressor, ConstantLevelsSettleOnTheTransferCurve) {
    EXPECT_NEAR(Dbfs(SettledMagnitude(-45.0)), -25.0 + (-20.0 * 1.353846153846154) + 13.0, 0.05);
    EXPECT_NEAR(Dbfs(SettledMagnitude(-10.0)), -25.0 + 15.0 * 0.48 + 13.0, 0.05);
    EXPECT_NEAR(Dbfs(SettledMagnitude(-25.0)), -12.0, 0.05);
}

TEST(Compressor, AttackIsFastAndReleaseSlow) {
    qvdsp::Compressor c;
    for (int i = 0; i < 8000; ++i) c.processSample(300);
    double quiet = c.envelope();
    for (int i = 0; i < 80; ++i) c.processSample(20000);  // 10 ms: two attack constants
    double afterAttack = c.envelope();
    double loud = -25.0;  // settled envelope of a 20000 input is about +20.7 dB over
    EXPECT_GT(afterAttack - quiet, 0.8 * (Dbfs(20000) - loud - quiet));
    for (int i = 0; i < 8000; ++i) c.processSample(20000);
    double settled = c.envelope();
    for (int i = 0; i < 80; ++i) c.processSample(300);  // 10 ms of a tenth of release
    EXPECT_GT(c.envelope(), settled - 0.15 * (settled - quiet));
    c.reset();
    EXPECT_EQ(c.envelope(), 1e-25);
}

// The per-sample algorithm written out plainly, step by step.
int16_t PlainStep(double& envelope, int16_t v) {
    const double attack = std::exp(-1000.0 / (5.0 * 8000.0));
    const double release = std::exp(-1000.0 / (100.0 * 8000.0));
    double in = v >= 0 ? v / 32767.0 : v / 32768.0;
    double key = std::log(std::fabs(in) + 1e-25) * 8.685889638065037;
    double over = key - -25.0 + 1e-25;
    double coef = envelope < over ? attack : release;
    envelope = over + coef * (envelope - over);
    double e = envelope - 1e-25;
    double gainDb = e > 0 ? e * (0.48 - 1) : e * (1.353846153846154 - 1);
    double out = in * std::exp((gainDb + 13.0) * 0.11512925464970228);
    if (out >= 1) return 32767;
    if (out <= -1) return -32768;
    if (out > 0) return static_cast<int16_t>(out * 32767);
    if (out < 0) return static_cast<int16_t>(out * 32768);
    return 0;
}

// The compressor looks levels up in a table and runs the exponentials of a
// run of samples after their envelope steps; the samples must come out
// exactly as the plain algorithm gives them.
TEST(Compressor, FastPathEqualsThePlainAlgorithm) {
    std::vector<int16_t> s(20000);
    uint32_t x = 3;
    for (size_t i = 0; i < s.size(); ++i) {
        x = x * 1664525u + 1013904223u;
        int scale = (i / 2000) % 4 == 0 ? 30 : ((i / 2000) % 4 == 1 ? 32768 : 3000);
        s[i] = static_cast<int16_t>(static_cast<int32_t>(x >> 16) % scale - scale / 2);
    }
    s[5] = 32767;
    s[6] = -32768;
    std::vector<int16_t> expected(s);
    double envelope = 1e-25;
    for (int16_t& v : expected) v = PlainStep(envelope, v);
    qvdsp::Compressor c;
    c.process(s.data(), 700);
    c.process(s.data() + 700, static_cast<int>(s.size()) - 700);
    EXPECT_EQ(s, expected);
    EXPECT_EQ(c.envelope(), envelope);
    for (int v = -32768; v <= 32767; v += 7)
        ASSERT_EQ(qvdsp::Compressor::keyOf(static_cast<int16_t>(v)),
                  std::log(std::fabs(qvdsp::Compressor::toUnit(static_cast<int16_t>(v))) + 1e-25) *
                      8.685889638065037);
}

TEST(Compressor, OutputConvertsAsymmetricallyAndTruncates) {
    EXPECT_EQ(qvdsp::Compressor::toSample(1.0), 32767);
    EXPECT_EQ(qvdsp::Compressor::toSample(7.5), 32767);
    EXPECT_EQ(qvdsp::Compressor::toSample(-1.0), -32768);
    EXPECT_EQ(qvdsp::Compressor::toSample(0.5), 16383);
    EXPECT_EQ(qvdsp::Compressor::toSample(-0.5), -16384);
    EXPECT_EQ(qvdsp::Compressor::toSample(-1e-9), 0);
    EXPECT_EQ(qvdsp::Compressor::toSample(std::nan("")), 0);
    qvdsp::Compressor c;
    int16_t s[3] = {0, 32767, -32768};
    c.process(s, 3);
    EXPECT_EQ(s[0], 0);
    EXPECT_GT(s[1], 0);
    EXPECT_LT(s[2], 0);
}

}  // namespace
