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

    // The same, with each sample taken from next() as the loop goes, so that
    // whoever produces the samples (a filter with its own chain of
    // dependencies) works in the same loop and the two chains overlap.
    template <class Next>
    static void StepFrom(ToneFilterBank& a, int n, Next&& next) {
        Lanes la(a);
        for (int i = 0; i < n; ++i) la.Step(next());
        la.StoreTo(a);
    }
    template <class Next>
    static void StepFrom(ToneFilterBank& a, ToneFilterBank& b, int n, Next&& next) {
        Lanes la(a);
        Lanes lb(b);
        for (int i = 0; i < n; ++i) {
            double x = next();
            la.Step(x);
            lb.Step(x);
        }
        la.StoreTo(a);
        lb.StoreTo(b);
    }

private:
    // Local copy of a bank's state for the length of one run of samples.
    struct Lanes {
        alignas(32) double c[kLanes];
        alignas(32) double s1[kLanes];
        alignas(32) double s2[kLanes];

        explicit Lanes(const ToneFilterBank& bank) {
            std::memcpy(c, bank.m_coef, sizeof c);
            std::memcpy(s1, bank.m_s1, sizeof s1);
            std::memcpy(s2, bank.m_s2, sizeof s2);
        }
        void StoreTo(ToneFilterBank& bank) const {
            std::memcpy(bank.m_s1, s1, sizeof s1);
            std::memcpy(bank.m_s2, s2, sizeof s2);
        }
        void Step(double x) {
            for (int j = 0; j < kLanes; ++j) {
                double s0 = c[j] * s1[j] - s2[j] + x;
                s2[j] = s1[j];
                s1[j] = s0;
            }
        }
    };

    alignas(32) double m_coef[kLanes] = {};
    alignas(32) double m_s1[kLanes] = {};
    alignas(32) double m_s2[kLanes] = {};
};

}  // namespace detect
