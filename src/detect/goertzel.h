// One single-frequency Goertzel filter, tuned to the nearest bin of its block.
#pragma once

#include <cmath>
#include <cstdint>

// Magnitude of a filter state; the filter and the detectors' filter banks
// share it so that both give the same value to the last bit. For a bin with
// no energy (the DC filter over a whole number of cycles) rounding can leave
// the radicand a hair below zero; that is a magnitude of 0, not a NaN that
// would make every comparison of the block's decision fail.
inline double GoertzelMagnitude(double s1, double s2, double coefficient) {
    double power = s1 * s1 + s2 * s2 - coefficient * s1 * s2;
    return power > 0.0 ? std::sqrt(power) : 0.0;
}

class VM_CGoertzel {
public:
    VM_CGoertzel(int32_t blockLength, double frequency, double sampleRate);
    virtual ~VM_CGoertzel() = default;

    // The bin a frequency falls into, and the filter coefficient 2 cos(omega)
    // of that bin. 6.2831852 stands for 2 pi on purpose: the detectors'
    // thresholds were set with filters tuned by exactly this value.
    static int32_t Bin(int32_t blockLength, double frequency, double sampleRate);
    static double Coefficient(int32_t blockLength, double frequency, double sampleRate);

    void VM_Step(double x) {
        double s0 = m_coefficient * m_s1 - m_s2 + x;
        m_s2 = m_s1;
        m_s1 = s0;
    }
    double VM_Magnitude() const { return GoertzelMagnitude(m_s1, m_s2, m_coefficient); }
    void VM_ResetFilter() { m_s1 = m_s2 = 0.0; }

    int32_t BlockLength() const { return m_nBlock; }
    double Frequency() const { return m_frequency; }
    double Cosine() const { return m_cosine; }
    double CoefficientValue() const { return m_coefficient; }

private:
    int32_t m_nBlock;
    double m_sampleRate;
    double m_frequency;
    double m_cosine;
    double m_coefficient;
    double m_s1 = 0.0;
    double m_s2 = 0.0;
};
