// Silence detector: counts consecutive samples whose magnitude stays below
// the silence level, plus time credited while the device delivered nothing.
#pragma once

#include <cstdint>

#include "detect/detector.h"

class VM_CSilenceDetector : public VM_CDetector {
public:
    VM_CSilenceDetector(int32_t timeoutMs, double threshold, double sampleRate);

    void VM_Detect(double sample) override {
        if (!IsEnabled()) return;
        m_total = Next(m_total, sample);
    }
    // The same as n calls of VM_Detect.
    void VM_DetectSamples(const double* samples, int n);
    // Credits a stretch without samples as silence.
    void VM_AddSilenceTime(int64_t milliseconds);

private:
    // No branch on the sample: a quiet sample extends the run (saturating),
    // a loud one clears it.
    int32_t Next(int32_t total, double x) const {
        int32_t quiet = (-m_threshold < x) & (x < m_threshold);
        return (total + (total != INT32_MAX)) * quiet;
    }
};
