#include "audio/envelope_detector.h"

#include <cmath>

namespace chunkware_simple {

EnvelopeDetector::EnvelopeDetector(double ms, double sampleRate)
    : sampleRate_(sampleRate), ms_(ms) {
    setCoef();
}

void EnvelopeDetector::setTc(double ms) {
    ms_ = ms;
    setCoef();
}

void EnvelopeDetector::setSampleRate(double sampleRate) {
    sampleRate_ = sampleRate;
    setCoef();
}

void EnvelopeDetector::setCoef() {
    // A time constant or rate of zero would divide by zero: the follower then
    // jumps to its input at once (coefficient 0).
    double denom = ms_ * sampleRate_;
    coef_ = denom > 0.0 ? std::exp(-1000.0 / denom) : 0.0;
}

AttRelEnvelope::AttRelEnvelope(double attackMs, double releaseMs, double sampleRate)
    : att_(attackMs, sampleRate), rel_(releaseMs, sampleRate) {}

void AttRelEnvelope::setSampleRate(double sampleRate) {
    att_.setSampleRate(sampleRate);
    rel_.setSampleRate(sampleRate);
}

}  // namespace chunkware_simple
