// Speech, music and noise on the line must never look like a dial or busy
// tone: a false report would cut a caller off in mid-message.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "detect/busy_tone_detector.h"
#include "detect/dial_tone_detector.h"
#include "support/signals.h"

namespace {

using testsupport::Samples;

// The recorder reports a tone when a run passes two seconds.
constexpr int32_t kReportRun = 16000;

Samples ScaledToPeak(const Samples& s, double peak) {
    double max = 0.0;
    for (double v : s) max = std::max(max, std::fabs(v));
    Samples out(s);
    if (max > 0.0)
        for (double& v : out) v = std::round(v * peak / max);
    return out;
}

// Longest run either detector reached over the signal, in samples.
int32_t LongestToneRun(const Samples& s) {
    VM_CDialToneDetector dial(80000, 8, 8000);
    VM_CBusyToneDetector busy(20000, 5, 8000);
    int32_t longest = 0;
    for (double v : s) {
        dial.VM_Detect(v);
        busy.VM_Detect(v);
        longest = std::max({longest, dial.Total(), busy.Total()});
    }
    return longest;
}

const Samples& SpokenWords() {
    static const Samples words = testsupport::Speech(
        "Hello, this is Anna calling about the meeting on Thursday. Could you please call me "
        "back at four two five, seven three eight, nine nine one zero? Oooh, and bring the "
        "blue folder. Thank you so much, talk to you soon. Bye bye.");
    return words;
}

TEST(ToneTalkOff, SpokenWordsAreNeverTakenForATone) {
    const Samples& words = SpokenWords();
    if (words.empty()) GTEST_SKIP() << "espeak-ng or sox is not installed: no spoken words to test with";
    ASSERT_GT(words.size(), 8000u * 5);
    for (double peak : {4000.0, 16000.0, 32000.0}) {
        Samples s = ScaledToPeak(words, peak);
        // Twice in a row, so a run cannot hide at the end of the text.
        testsupport::Append(s, s);
        EXPECT_LT(LongestToneRun(s), kReportRun) << "peak " << peak;
    }
}

TEST(ToneTalkOff, SungVowelsAreNeverTakenForATone) {
    const Samples vowels = testsupport::Speech("aaaaaaaaaaaaaah, ooooooooooooooooh, eeeeeeeeeeeeeeeh");
    if (vowels.empty()) GTEST_SKIP() << "espeak-ng or sox is not installed: no spoken words to test with";
    EXPECT_LT(LongestToneRun(ScaledToPeak(vowels, 20000)), kReportRun);
}

TEST(ToneTalkOff, MusicIsNeverTakenForATone) {
    for (int noteMs : {150, 400, 1200}) {
        Samples music = testsupport::Music(20000, noteMs, 12000);
        EXPECT_LT(LongestToneRun(music), kReportRun) << "notes of " << noteMs << " ms";
    }
}

// The real danger: an instrument holding a note right at a line tone's
// frequency. Its overtones give it away; without the harmonic test a held
// organ note at 425 Hz would end the recording.
TEST(ToneTalkOff, HeldInstrumentNotesAtLineToneFrequenciesAreRejectedByTheirHarmonics) {
    for (double f : {400.0, 425.0, 450.0}) {
        std::vector<testsupport::Partial> organ;
        for (int k = 1; k <= 6; ++k) organ.push_back({f * k, 6000.0 / k});
        EXPECT_LT(LongestToneRun(testsupport::Tone(organ, 6000)), 1000) << f << " Hz held";
        EXPECT_LT(LongestToneRun(testsupport::Cadence(organ, 500, 500, 8)), 1000)
            << f << " Hz repeated";
    }
    std::vector<testsupport::Partial> chord;
    for (double f : {350.0, 440.0, 480.0, 620.0})
        for (int k = 1; k <= 4; ++k) chord.push_back({f * k, 4000.0 / k});
    EXPECT_LT(LongestToneRun(testsupport::Tone(chord, 6000)), 1000) << "held chord";
}

TEST(ToneTalkOff, NoiseIsNeverTakenForATone) {
    for (double amplitude : {100.0, 2000.0, 20000.0}) {
        EXPECT_LT(LongestToneRun(testsupport::Noise(20000, amplitude, 99)), kReportRun)
            << "noise amplitude " << amplitude;
    }
}

}  // namespace
