#include "audio/compressor.h"

#include <vector>

namespace qvdsp {

Compressor::Compressor(double thresholdDb, double makeUpGainDb, double slopeBelow,
                       double slopeAbove, double attackMs, double releaseMs, double sampleRate)
    : IProcessor("Compressor"),
      AttRelEnvelope(attackMs, releaseMs, sampleRate),
      m_threshold(thresholdDb),
      m_makeUpGain(makeUpGainDb),
      m_slopeBelow(slopeBelow),
      m_slopeAbove(slopeAbove),
      m_slopeBelowMinusOne(slopeBelow - 1.0),
      m_slopeAboveMinusOne(slopeAbove - 1.0) {}

Compressor::Compressor(const CompressorSettings& s)
    : Compressor(s.thresholdDb, s.makeUpGainDb, s.slopeBelow, s.slopeAbove, s.attackMs,
                 s.releaseMs, s.sampleRate) {}

const double* Compressor::keyTable() {
    static const std::vector<double> table = [] {
        std::vector<double> t(65536);
        for (int v = -32768; v <= 32767; ++v)
            t[static_cast<size_t>(v + 32768)] =
                std::log(std::fabs(toUnit(static_cast<int16_t>(v))) + kTiny) * kDbPerNeper;
        return t;
    }();
    return table.data();
}

// The envelope is a chain from sample to sample, the exponential is not:
// computing the exponents of a run first lets the exponentials of several
// samples overlap.
void Compressor::process(int16_t* samples, int count) {
    if (samples == nullptr) return;
    constexpr int kRun = 256;
    double exponent[kRun];
    for (int first = 0; first < count; first += kRun) {
        const int n = count - first < kRun ? count - first : kRun;
        int16_t* s = samples + first;
        for (int i = 0; i < n; ++i) exponent[i] = gainExponent(keyOf(s[i]));
        for (int i = 0; i < n; ++i) s[i] = toSample(toUnit(s[i]) * std::exp(exponent[i]));
    }
}

}  // namespace qvdsp
