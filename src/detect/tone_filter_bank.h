// The eleven Goertzel filters of a tone detector, kept as arrays so that
// every filter steps with the same sample in one loop the compiler turns
// into vector instructions. Each lane computes exactly what VM_CGoertzel
// computes, in the same order of operations, so results match to the bit.
#pragma once

#include <cstdint>
#include <cstring>

#include "detect/goertzel.h"
#include "detect/tone_tables.h"

namespace detect {

class ToneFilterBank {
public:
    // One spare lane rounds the bank up to whole vectors; it runs with a zero
    // coefficient and is never read.
    static constexpr int kLanes = 12;

    void Tune(int32_t blockLength, const ToneFrequencies& frequencies, double sampleRate) {
        for (int j = 0; j < kLanes; ++j) m_coef[j] = 0.0;
        for (int j = 0; j < kToneFilters; ++j)
            m_coef[j] = VM_CGoertzel::Coefficient(blockLength, frequencies[j], sampleRate);
        Reset();
    }

    void Reset() {
        for (int j = 0; j < kLanes; ++j) m_s1[j] = m_s2[j] = 0.0;
    }

    void Step(double x) {
        for (int j = 0; j < kLanes; ++j) {
            double s0 = m_coef[j] * m_s1[j] - m_s2[j] + x;
            m_s2[j] = m_s1[j];
            m_s1[j] = s0;
        }
    }

    double Magnitude(int j) const { return GoertzelMagnitude(m_s1[j], m_s2[j], m_coef[j]); }
    double Coefficient(int j) const { return m_coef[j]; }

    // Steps every lane of one or two banks over n samples. The state is
    // worked on in local arrays so the compiler can keep it in registers and
    // need not fear that the samples alias it.
    static void StepSamples(ToneFilterBank& a, const double* x, int n);
    static void StepSamples(ToneFilterBank& a, ToneFilterBank& b, const double* x, int n);

private:
    struct Lanes;

    alignas(32) double m_coef[kLanes] = {};
    alignas(32) double m_s1[kLanes] = {};
    alignas(32) double m_s2[kLanes] = {};
};

}  // namespace detect
