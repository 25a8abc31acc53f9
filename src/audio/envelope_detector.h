// One-pole envelope followers: a single time constant, and the attack and
// release pair the compressor smooths its level with.
#pragma once

namespace chunkware_simple {

class EnvelopeDetector {
public:
    explicit EnvelopeDetector(double ms = 1.0, double sampleRate = 8000.0);
    virtual ~EnvelopeDetector() = default;

    virtual void setTc(double ms);
    virtual double getTc() const { return ms_; }
    virtual void setSampleRate(double sampleRate);
    virtual double getSampleRate() const { return sampleRate_; }

    double coef() const { return coef_; }
    // One step of the follower towards `in`.
    void run(double in, double& state) const { state = in + coef_ * (state - in); }

protected:
    // exp(-1000 / (ms * rate)): the share of the old state kept per sample.
    virtual void setCoef();

    double sampleRate_;
    double ms_;
    double coef_ = 0.0;
};

class AttRelEnvelope {
public:
    AttRelEnvelope(double attackMs = 10.0, double releaseMs = 100.0, double sampleRate = 8000.0);
    virtual ~AttRelEnvelope() = default;

    virtual void setAttack(double ms) { att_.setTc(ms); }
    virtual double getAttack() const { return att_.getTc(); }
    virtual void setRelease(double ms) { rel_.setTc(ms); }
    virtual double getRelease() const { return rel_.getTc(); }
    virtual void setSampleRate(double sampleRate);
    virtual double getSampleRate() const { return att_.getSampleRate(); }

    double attackCoef() const { return att_.coef(); }
    double releaseCoef() const { return rel_.coef(); }

    // Rises with the attack and falls with the release coefficient.
    void run(double in, double& state) const {
        double coef = state < in ? att_.coef() : rel_.coef();
        state = in + coef * (state - in);
    }

private:
    EnvelopeDetector att_;
    EnvelopeDetector rel_;
};

}  // namespace chunkware_simple
