#include "detect/goertzel.h"

#include <cmath>

namespace {
constexpr double kTwoPiAsTuned = 6.2831852;
}

int32_t VM_CGoertzel::Bin(int32_t blockLength, double frequency, double sampleRate) {
    // A rate or block that cannot tune anything leaves the filter at bin 0
    // rather than converting an infinity.
    if (!(sampleRate > 0.0) || blockLength <= 0) return 0;
    double bin = blockLength * frequency / sampleRate + 0.5;
    if (!(bin > -2147483648.0 && bin < 2147483647.0)) return 0;
    return static_cast<int32_t>(bin);
}

double VM_CGoertzel::Coefficient(int32_t blockLength, double frequency, double sampleRate) {
    if (blockLength <= 0) return 2.0;
    double omega = kTwoPiAsTuned * Bin(blockLength, frequency, sampleRate) / blockLength;
    return 2.0 * std::cos(omega);
}

VM_CGoertzel::VM_CGoertzel(int32_t blockLength, double frequency, double sampleRate)
    : m_nBlock(blockLength),
      m_sampleRate(sampleRate),
      m_frequency(frequency),
      m_cosine(Coefficient(blockLength, frequency, sampleRate) / 2.0),
      m_coefficient(Coefficient(blockLength, frequency, sampleRate)) {}
