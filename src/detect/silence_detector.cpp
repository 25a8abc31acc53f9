#include "detect/silence_detector.h"

#include "detect/saturating.h"

VM_CSilenceDetector::VM_CSilenceDetector(int32_t timeoutMs, double threshold, double sampleRate)
    : VM_CDetector(threshold, timeoutMs, sampleRate, "VM_CSilenceDetector") {}

void VM_CSilenceDetector::VM_DetectSamples(const double* samples, int n) {
    if (!IsEnabled() || samples == nullptr) return;
    int32_t total = m_total;
    for (int i = 0; i < n; ++i) total = Next(total, samples[i]);
    m_total = total;
}

void VM_CSilenceDetector::VM_AddSilenceTime(int64_t milliseconds) {
    if (milliseconds <= 0) return;
    double samples = static_cast<double>(milliseconds) * m_sampleRate / 1000.0;
    m_total = detect::SaturatingAdd(m_total, detect::ClampToInt32(samples));
}
