// The dynamics compressor of the recording enhancement: downward expansion
// below the threshold, compression above it, then make-up gain, with the
// level smoothed by an attack/release follower.
#pragma once

#include <cmath>
#include <cstdint>
#include <string>

#include "audio/envelope_detector.h"

namespace qvdsp {

class IProcessor {
public:
    explicit IProcessor(const char* name) : m_name(name) {}
    virtual ~IProcessor() = default;
    virtual void reset() = 0;
    // Replaces count signed 16-bit samples in place.
    virtual void process(int16_t* samples, int count) = 0;

    const std::string& name() const { return m_name; }

protected:
    uint32_t m_reserved[2] = {0, 0};
    std::string m_name;
    uint32_t m_kind = 3;
};

// The settings of the enhancement pass, at 8000 samples per second.
struct CompressorSettings {
    double thresholdDb = -25.0;
    double makeUpGainDb = 13.0;
    double slopeBelow = 1.353846153846154;  // expansion 1 : 1.354
    double slopeAbove = 0.48;               // compression about 2.08 : 1
    double attackMs = 5.0;
    double releaseMs = 100.0;
    double sampleRate = 8000.0;
};

class Compressor : public IProcessor, public chunkware_simple::AttRelEnvelope {
public:
    Compressor(double thresholdDb, double makeUpGainDb, double slopeBelow, double slopeAbove,
               double attackMs, double releaseMs, double sampleRate);
    explicit Compressor(const CompressorSettings& s = CompressorSettings());

    void reset() override { m_envelope = kTiny; }
    void process(int16_t* samples, int count) override;

    // One sample's gain (linear) from its value on the scale of 1.0 = full
    // scale; advances the envelope.
    double gainFor(double in) {
        return std::exp(gainExponent(std::log(std::fabs(in) + kTiny) * kDbPerNeper));
    }
    // The full per-sample algorithm on one 16-bit sample.
    int16_t processSample(int16_t v) { return toSample(toUnit(v) * std::exp(gainExponent(keyOf(v)))); }

    // A 16-bit sample on the scale of 1.0 = full scale, which is 32767 above
    // zero and 32768 below.
    static double toUnit(int16_t v) { return v >= 0 ? v / 32767.0 : v / 32768.0; }
    // ln(|in| + 1e-25) in dB for a 16-bit sample: the same expression as
    // gainFor's, computed once per value and looked up.
    static double keyOf(int16_t v) { return keyTable()[v + 32768]; }

    // Full scale is 32767 above zero and 32768 below, truncated toward zero.
    static int16_t toSample(double out) {
        if (out >= 1.0) return 32767;
        if (out <= -1.0) return -32768;
        if (out > 0.0) return static_cast<int16_t>(out * 32767.0);
        if (out < 0.0) return static_cast<int16_t>(out * 32768.0);
        return 0;
    }

    double envelope() const { return m_envelope; }

    static constexpr double kTiny = 1e-25;
    static constexpr double kDbPerNeper = 8.685889638065037;      // 20 / ln 10
    static constexpr double kNepersPerDb = 0.11512925464970228;   // ln 10 / 20

private:
    // The natural exponent of the gain for a level key (dBFS): follows the
    // envelope, then applies the slope on its side of the threshold and the
    // make-up gain.
    double gainExponent(double key) {
        double over = key - m_threshold + kTiny;
        run(over, m_envelope);
        double e = m_envelope - kTiny;
        double gainDb = e > 0.0 ? e * m_slopeAboveMinusOne : e * m_slopeBelowMinusOne;
        return (gainDb + m_makeUpGain) * kNepersPerDb;
    }
    static const double* keyTable();

    double m_envelope = kTiny;
    double m_threshold;
    double m_makeUpGain;
    double m_slopeBelow;
    double m_slopeAbove;
    double m_slopeBelowMinusOne;
    double m_slopeAboveMinusOne;
};

}  // namespace qvdsp
