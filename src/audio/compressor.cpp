#include "audio/compressor.h"

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

void Compressor::process(int16_t* samples, int count) {
    if (samples == nullptr) return;
    for (int i = 0; i < count; ++i) samples[i] = processSample(samples[i]);
}

}  // namespace qvdsp
