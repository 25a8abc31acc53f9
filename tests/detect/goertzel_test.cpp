#include "detect/goertzel.h"

#include <gtest/gtest.h>

#include <cmath>

#include "detect/tone_filter_bank.h"
#include "detect/tone_tables.h"
#include "support/signals.h"

namespace {

using testsupport::Noise;
using testsupport::Tone;

TEST(Goertzel, TunesToTheNearestBinWithTheRoundedTwoPi) {
    VM_CGoertzel f440(640, 440.0, 8000.0);  // bin 35, 437.5 Hz
    EXPECT_EQ(VM_CGoertzel::Bin(640, 440.0, 8000.0), 35);
    EXPECT_EQ(f440.CoefficientValue(), 2.0 * std::cos(6.2831852 * 35 / 640));
    EXPECT_NE(f440.CoefficientValue(), 2.0 * std::cos(2.0 * M_PI * 35 / 640));
    EXPECT_EQ(VM_CGoertzel::Bin(320, 480.0, 8000.0), 19);
    EXPECT_EQ(VM_CGoertzel::Bin(320, 620.0, 8000.0), 25);
    EXPECT_EQ(VM_CGoertzel(320, 0.0, 8000.0).CoefficientValue(), 2.0);
}

TEST(Goertzel, ZeroFrequencyMeasuresTheAbsoluteSumOfTheBlock) {
    VM_CGoertzel dc(8, 0.0, 8000.0);
    const double x[8] = {3, -1, 4, 1, -5, 9, 2, -6};
    for (double v : x) dc.VM_Step(v);
    EXPECT_DOUBLE_EQ(dc.VM_Magnitude(), 7.0);
    dc.VM_ResetFilter();
    EXPECT_EQ(dc.VM_Magnitude(), 0.0);
}

TEST(Goertzel, SineAtTheBinGivesHalfTheBlockTimesTheAmplitude) {
    VM_CGoertzel f(640, 425.0, 8000.0);
    for (double v : Tone({{425.0, 1000.0}}, 80)) f.VM_Step(v);
    EXPECT_NEAR(f.VM_Magnitude(), 1000.0 * 640 / 2, 1000.0 * 640 / 2 * 0.01);
    VM_CGoertzel off(640, 850.0, 8000.0);
    for (double v : Tone({{425.0, 1000.0}}, 80)) off.VM_Step(v);
    EXPECT_LT(off.VM_Magnitude(), 1000.0);
}

// The detectors step their filters as arrays, several samples at a time; that
// must give exactly what the plain filter gives sample by sample.
TEST(Goertzel, FilterBankEqualsThePlainFiltersToTheBit) {
    testsupport::Samples x = Noise(40, 20000.0);
    testsupport::Samples tone = Tone({{480.0, 3000.0}, {620.0, 3000.0}}, 40);
    for (size_t i = 0; i < x.size(); ++i) x[i] += tone[i];
    const int n = static_cast<int>(x.size());
    for (const auto* table : {&detect::kDialToneFrequencies, &detect::kBusyToneFrequencies}) {
        detect::ToneFilterBank one, a, b;
        one.Tune(320, *table, 8000.0);
        a.Tune(320, *table, 8000.0);
        b.Tune(320, detect::kDialToneFrequencies, 8000.0);
        for (double v : x) one.Step(v);
        detect::ToneFilterBank::StepSamples(a, b, x.data(), 7);
        detect::ToneFilterBank::StepSamples(a, b, x.data() + 7, n - 7);
        for (int j = 0; j < detect::kToneFilters; ++j) {
            VM_CGoertzel plain(320, (*table)[j], 8000.0);
            for (double v : x) plain.VM_Step(v);
            EXPECT_EQ(one.Magnitude(j), plain.VM_Magnitude()) << "filter " << j;
            EXPECT_EQ(a.Magnitude(j), plain.VM_Magnitude()) << "filter " << j;
        }
    }
}

}  // namespace
