// Common base of the tone and silence detectors: a threshold, a run length
// in samples and a time-out the run must exceed.
#pragma once

#include <cstdint>
#include <string>

class VM_CDetector {
public:
    VM_CDetector(double threshold, int32_t timeoutMs, double sampleRate, const char* name);
    virtual ~VM_CDetector();
    VM_CDetector(const VM_CDetector&) = delete;
    VM_CDetector& operator=(const VM_CDetector&) = delete;

    // Feeds one sample on the signed 16-bit scale.
    virtual void VM_Detect(double sample) = 0;
    virtual bool VM_IsDetected();
    virtual bool VM_IsLongerThan(int32_t count);

    const std::string& Name() const { return m_name; }
    double SampleRate() const { return m_sampleRate; }
    double Threshold() const { return m_threshold; }
    int32_t Total() const { return m_total; }
    int32_t Timeout() const { return m_nTimeout; }

    // A threshold at or below this switches a detector off.
    static constexpr double kEpsilon = 2.220446049250313e-16;

protected:
    bool IsEnabled() const { return m_nTimeout > 0 && m_threshold > kEpsilon; }

    std::string m_name;
    double m_sampleRate;
    double m_threshold;
    int32_t m_total = 0;
    int32_t m_nTimeout;
};
