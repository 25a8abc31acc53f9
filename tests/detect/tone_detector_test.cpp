#include <gtest/gtest.h>

#include <functional>

#include "detect/busy_tone_detector.h"
#include "detect/dial_tone_detector.h"
#include "detect/saturating.h"
#include "support/signals.h"

namespace {

using testsupport::Cadence;
using testsupport::Partial;
using testsupport::Samples;
using testsupport::Silence;
using testsupport::Tone;

constexpr double kDialThreshold = 80000;
constexpr double kBusyThreshold = 20000;

// Samples fed (1-based) when the condition first held, or -1.
long FirstWhen(VM_CDetector& d, const Samples& s, const std::function<bool()>& cond) {
    for (size_t i = 0; i < s.size(); ++i) {
        d.VM_Detect(s[i]);
        if (cond()) return static_cast<long>(i) + 1;
    }
    return -1;
}

TEST(DialToneDetector, SingleToneRunReachesTheTimeOutAfterThe44thBlock) {
    VM_CDialToneDetector d(kDialThreshold, 8, 8000);
    EXPECT_EQ(d.BlockLength(), 640);
    EXPECT_EQ(d.Timeout(), 28000);
    Samples tone = Tone({{425, 1000}}, 5000);
    long longer = -1, detected = -1;
    for (size_t i = 0; i < tone.size(); ++i) {
        d.VM_Detect(tone[i]);
        if ((i + 1) % 640 == 0) {
            ASSERT_EQ(d.LastTone(), detect::kTone425) << "block " << (i + 1) / 640;
        }
        if (longer < 0 && d.VM_IsLongerThan(16000)) longer = static_cast<long>(i) + 1;
        if (detected < 0 && d.VM_IsDetected()) detected = static_cast<long>(i) + 1;
    }
    EXPECT_EQ(longer, 26 * 640);
    EXPECT_EQ(detected, 44 * 640);
}

TEST(DialToneDetector, PairIsFoundAndAStrongHarmonicRejectsIt) {
    VM_CDialToneDetector d(kDialThreshold, 8, 8000);
    FirstWhen(d, Tone({{350, 1000}, {440, 1000}}, 800), [] { return false; });
    EXPECT_EQ(d.LastTone(), detect::kTonePair);
    EXPECT_EQ(d.Total(), 6400);
    FirstWhen(d, Tone({{350, 1000}, {440, 1000}, {700, 1000}}, 160), [] { return false; });
    EXPECT_EQ(d.LastTone(), detect::kToneNone);
    EXPECT_EQ(d.Total(), 0);
}

TEST(DialToneDetector, ChangingToneRestartsTheRun) {
    VM_CDialToneDetector d(kDialThreshold, 8, 8000);
    Samples s;
    for (int b = 0; b < 60; ++b) testsupport::Append(s, Tone({{b % 2 ? 450.0 : 425.0, 1000}}, 80));
    long over = FirstWhen(d, s, [&] { return d.Total() > 640; });
    EXPECT_EQ(over, -1);
}

// Line tones are rarely exactly on a filter's bin: the 80 ms blocks have
// 12.5 Hz bins and the 40 ms blocks 25 Hz bins, so 440 Hz is measured at
// 437.5 and 480 Hz at 475. Tones a few hertz off their nominal frequency (up
// to 9 Hz off the bin) must still be found. The pairs tolerate less than the
// single tones: the block's partial cycle raises the DC bar.
TEST(ToneDetectors, FindTonesAFewHertzOffTheirBins) {
    struct Case {
        std::vector<double> freqs;
        double maxOffset;
        bool dial;
        bool busy;
    };
    const std::vector<Case> cases = {{{350, 440}, 2, true, false}, {{480, 620}, 4, false, true},
                                     {{400}, 6, true, true},       {{425}, 6, true, true},
                                     {{450}, 6, true, true}};
    for (const Case& c : cases) {
        for (double offset = -c.maxOffset; offset <= c.maxOffset; offset += c.maxOffset / 2) {
            std::vector<Partial> partials;
            for (double f : c.freqs) partials.push_back({f + offset, 700});
            SCOPED_TRACE(testing::Message() << c.freqs[0] << " Hz " << offset << " Hz off");
            if (c.dial) {
                VM_CDialToneDetector dial(kDialThreshold, 8, 8000);
                Samples s = Tone(partials, 4000, 0.3);
                EXPECT_GT(FirstWhen(dial, s, [&] { return dial.VM_IsDetected(); }), 0);
            }
            if (c.busy) {
                VM_CBusyToneDetector busy(kBusyThreshold, 5, 8000);
                Samples s = Silence(300);
                testsupport::Append(s, Cadence(partials, 500, 500, 6));
                EXPECT_GT(FirstWhen(busy, s, [&] { return busy.VM_IsDetected(); }), 0);
            }
        }
    }
}

TEST(ToneDetectors, ToneInNoiseIsStillFound) {
    VM_CDialToneDetector dial(kDialThreshold, 8, 8000);
    Samples s = Tone({{425, 1000}}, 4000);
    testsupport::AddInto(s, testsupport::Noise(4000, 200));
    EXPECT_GT(FirstWhen(dial, s, [&] { return dial.VM_IsDetected(); }), 0);
}

TEST(ToneDetectors, SilenceFindsNothingAndZeroThresholdsNeverReport) {
    VM_CDialToneDetector quiet(kDialThreshold, 8, 8000);
    FirstWhen(quiet, Silence(4000), [] { return false; });
    EXPECT_EQ(quiet.Total(), 0);
    int32_t tone = 99;
    EXPECT_FALSE(quiet.VM_DetectTone(tone));
    EXPECT_EQ(tone, 99);

    VM_CDialToneDetector dial(0, 8, 8000);
    VM_CBusyToneDetector busy(0, 5, 8000);
    Samples dialTone = Tone({{425, 1000}}, 5000);
    Samples busyTone = Cadence({{425, 1000}}, 500, 500, 8);
    EXPECT_EQ(FirstWhen(dial, dialTone, [&] { return dial.VM_IsDetected() || dial.VM_IsLongerThan(100); }), -1);
    EXPECT_EQ(FirstWhen(busy, busyTone, [&] { return busy.VM_IsDetected() || busy.VM_IsLongerThan(100); }), -1);
    EXPECT_GT(dial.Total(), 28000);  // the run is counted, only never reported
}

// 480 + 620 Hz, 0.5 s on and off: reported (run above two seconds) at about
// the start of the fourth burst, ended (above 3.5 s) at about the end of the
// fifth, whatever the tone variant.
TEST(BusyToneDetector, RegularCadenceReachesTheFiguresOfTheRecorder) {
    const std::vector<std::vector<Partial>> variants = {
        {{480, 1000}, {620, 1000}}, {{400, 1000}}, {{425, 1000}}, {{450, 1000}}};
    for (const auto& partials : variants) {
        SCOPED_TRACE(partials[0].frequency);
        VM_CBusyToneDetector busy(kBusyThreshold, 5, 8000);
        EXPECT_EQ(busy.BlockLength(), 320);
        EXPECT_EQ(busy.Tolerance(), 704);
        EXPECT_EQ(busy.MinPeriod(), 800);
        EXPECT_EQ(busy.MaxPeriod(), 12000);
        Samples s = Cadence(partials, 500, 500, 8);
        long report = -1, end = -1;
        for (size_t i = 0; i < s.size(); ++i) {
            busy.VM_Detect(s[i]);
            if (report < 0 && busy.VM_IsLongerThan(16000)) report = static_cast<long>(i);
            if (end < 0 && busy.VM_IsDetected()) end = static_cast<long>(i);
        }
        EXPECT_NEAR(report, 24000, 800);
        // Seven or eight credited periods, as the 12.5-block periods round.
        EXPECT_GE(end, 31000);
        EXPECT_LE(end, 36800);
    }
}

// Periods that break the cadence must never be credited: unequal on and off,
// too short, too long, or a different tone in the next burst.
TEST(BusyToneDetector, CreditsNoPeriodOutsideTheCadence) {
    struct Case {
        const char* what;
        Samples signal;
    };
    Samples changing;
    for (int b = 0; b < 10; ++b)
        testsupport::Append(changing, Cadence({{b % 2 ? 450.0 : 425.0, 1000}}, 500, 500, 1));
    const std::vector<Case> cases = {
        {"0.25 on, 0.75 off", Cadence({{480, 1000}, {620, 1000}}, 250, 750, 10)},
        {"80 ms periods", Cadence({{425, 1000}}, 80, 80, 60)},
        {"1.6 s periods", Cadence({{425, 1000}}, 1600, 1600, 4)},
        {"steady tone", Tone({{425, 1000}}, 10000)},
    };
    for (const Case& c : cases) {
        VM_CBusyToneDetector busy(kBusyThreshold, 5, 8000);
        EXPECT_EQ(FirstWhen(busy, c.signal, [&] { return busy.Total() > 0; }), -1) << c.what;
    }
    // A burst of another tone clears the run; the pause before it may still
    // be credited, but the run never gets past one period.
    VM_CBusyToneDetector busy(kBusyThreshold, 5, 8000);
    EXPECT_EQ(FirstWhen(busy, changing, [&] { return busy.Total() > 4200; }), -1);
    // Slow but regular periods inside the limits do count.
    VM_CBusyToneDetector slow(kBusyThreshold, 5, 8000);
    EXPECT_GT(FirstWhen(slow, Cadence({{425, 1000}}, 1400, 1400, 5), [&] { return slow.VM_IsDetected(); }), 0);
}

TEST(ToneDetectors, FeedingRunsOfSamplesEqualsFeedingOneByOne) {
    Samples s = Silence(130);
    testsupport::Append(s, Cadence({{425, 1500}}, 500, 500, 3));
    testsupport::AddInto(s, testsupport::Noise(static_cast<int>(s.size() / 8), 40));
    VM_CDialToneDetector dial1(kDialThreshold, 8, 8000), dial2(kDialThreshold, 8, 8000);
    VM_CBusyToneDetector busy1(kBusyThreshold, 5, 8000), busy2(kBusyThreshold, 5, 8000);
    size_t at = 0;
    for (int chunk = 1; at < s.size(); chunk = chunk * 7 % 1013 + 1) {
        int n = static_cast<int>(std::min<size_t>(chunk, s.size() - at));
        for (int i = 0; i < n; ++i) {
            dial1.VM_Detect(s[at + i]);
            busy1.VM_Detect(s[at + i]);
        }
        VM_CDialToneDetector::VM_DetectSamples(&dial2, &busy2, s.data() + at, n);
        at += n;
        ASSERT_EQ(dial1.Total(), dial2.Total());
        ASSERT_EQ(busy1.Total(), busy2.Total());
        ASSERT_EQ(busy1.CadenceState(), busy2.CadenceState());
        ASSERT_EQ(busy1.Magnitude(2), busy2.Magnitude(2));
    }
    EXPECT_GT(busy1.Total(), 0);
}

TEST(ToneDetectors, RunCounterSaturatesInsteadOfWrapping) {
    EXPECT_EQ(detect::SaturatingAdd(detect::kRunMax - 10, 640), detect::kRunMax);
    EXPECT_EQ(detect::ClampToInt32(1e300), detect::kRunMax);
    EXPECT_EQ(detect::ClampToInt32(-1e300), INT32_MIN);
    EXPECT_EQ(detect::ClampToInt32(std::nan("")), 0);
}

}  // namespace
