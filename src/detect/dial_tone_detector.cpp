#include "detect/dial_tone_detector.h"

#include "detect/saturating.h"
#include "diag/trace.h"

int32_t VM_CDialToneDetector::BlockFor(double sampleRate, double samplesAt8k) {
    // A block must hold at least one sample, or no decision is ever taken.
    int32_t n = detect::ClampToInt32(sampleRate * samplesAt8k / 8000.0 + 0.5);
    return n < 1 ? 1 : n;
}

VM_CDialToneDetector::VM_CDialToneDetector(double threshold, double harmonicRatio,
                                           double sampleRate)
    : VM_CDialToneDetector(threshold, harmonicRatio, sampleRate,
                           BlockFor(sampleRate, detect::kDialBlockAt8k), "VM_CDialToneDetector",
                           detect::kDialToneFrequencies) {}

VM_CDialToneDetector::VM_CDialToneDetector(double threshold, double harmonicRatio,
                                           double sampleRate, int32_t blockLength,
                                           const char* name,
                                           const detect::ToneFrequencies& frequencies)
    : VM_CDetector(threshold, detect::kToneTimeoutMs, sampleRate, name),
      m_nBlock(blockLength < 1 ? 1 : blockLength),
      m_harmonicRatio(harmonicRatio) {
    m_filters.Tune(m_nBlock, frequencies, sampleRate);
}

bool VM_CDialToneDetector::VM_DetectTone(int32_t& tone) {
    using namespace detect;
    // Loud DC content raises the bar for the tones.
    const double dcBar = 25.0 * m_filters.Magnitude(kFilterDc);
    double thr = m_threshold > dcBar ? m_threshold : dcBar;
    bool found = false;
    int32_t index = 0;
    double m0 = 0.0;
    double m1 = 0.0;

    if (m_dwMode & kModePair) {
        double a = m_filters.Magnitude(kFilterPairLow);
        if (a > thr) {
            m0 = a;
            double b = m_filters.Magnitude(kFilterPairHigh);
            if (b > thr) {
                m1 = b;
                thr = a > b ? a : b;
                found = true;
                index = kTonePair;
            }
        }
    }
    if (m_dwMode & kModeSingle) {
        // A louder single tone replaces the pair or an earlier single tone.
        for (int j = 0; j < 3; ++j) {
            double c = m_filters.Magnitude(kFilterSingleFirst + 2 * j);
            if (c > thr) {
                m0 = c;
                thr = c;
                found = true;
                index = j + 2;
            }
        }
    }
    if (found) {
        // A strong second harmonic means speech or music, not a line tone.
        // A harmonic of exactly 0 gives an infinite ratio, which passes.
        found = false;
        if (index == kTonePair) {
            if (m0 / m_filters.Magnitude(kFilterPairLowHarmonic) > m_harmonicRatio &&
                m1 / m_filters.Magnitude(kFilterPairHighHarmonic) > m_harmonicRatio) {
                tone = kTonePair;
                found = true;
            }
        } else if (m0 / m_filters.Magnitude(2 * index + 2) > m_harmonicRatio) {
            tone = index;
            found = true;
        }
    }
    VM_TRACE(g_bTraceDetector, "%s::VM_DetectTone: bTone=%s, thr=%4.2f, m0(%d)=%4.2f, m1(%d)=%4.2f",
             m_name.c_str(), found ? "TRUE" : "FALSE", dcBar, index, m0, index, m1);
    return found;
}

void VM_CDialToneDetector::VM_EndBlock() {
    int32_t tone = detect::kToneNone;
    bool found = VM_DetectTone(tone);
    if (found && (m_nLastTone == detect::kToneNone || m_nLastTone == tone))
        m_total = detect::SaturatingAdd(m_total, m_nCounter);
    else
        m_total = 0;
    m_nLastTone = tone;
    StartBlock();
}

void VM_CDialToneDetector::VM_DetectSamples(const double* samples, int n) {
    VM_DetectSamples(this, nullptr, samples, n);
}

void VM_CDialToneDetector::VM_DetectSamples(VM_CDialToneDetector* a, VM_CDialToneDetector* b,
                                            const double* samples, int n) {
    if (samples == nullptr) return;
    VM_DetectFrom(a, b, n, [&samples] { return *samples++; });
}
