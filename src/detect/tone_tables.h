// Frequencies (Hz) measured by the two tone detectors, by filter index:
// 0 DC reference; 1, 2 the dual-tone pair; 3, 4 their second harmonics;
// 5, 7, 9 the single tones 400, 425 and 450 Hz; 6, 8, 10 their harmonics.
#pragma once

namespace detect {

constexpr int kToneFilters = 11;

enum ToneFilter : int {
    kFilterDc = 0,
    kFilterPairLow = 1,
    kFilterPairHigh = 2,
    kFilterPairLowHarmonic = 3,
    kFilterPairHighHarmonic = 4,
    kFilterSingleFirst = 5,
};

// Tone codes of a block decision.
enum ToneCode : int {
    kToneNone = 0,
    kTonePair = 1,
    kTone400 = 2,
    kTone425 = 3,
    kTone450 = 4,
};

using ToneFrequencies = double[kToneFilters];

constexpr ToneFrequencies kDialToneFrequencies = {0, 350, 440, 700, 880, 400,
                                                  800, 425, 850, 450, 900};
constexpr ToneFrequencies kBusyToneFrequencies = {0, 480, 620, 960, 1240, 400,
                                                  800, 425, 850, 450, 900};

// Block lengths at 8000 samples per second: 80 ms for dial tone, 40 ms for
// the busy cadence.
constexpr double kDialBlockAt8k = 640;
constexpr double kBusyBlockAt8k = 320;

// Dial and busy tones are judged over 3.5 s of run.
constexpr int kToneTimeoutMs = 3500;

// Busy cadence limits: periods of 100 ms to 1.5 s whose on and off lengths
// differ by at most 2.2 blocks.
constexpr double kBusyToleranceBlocks = 2.2;
constexpr int kBusyMinPeriodMs = 100;
constexpr int kBusyMaxPeriodMs = 1500;

}  // namespace detect
