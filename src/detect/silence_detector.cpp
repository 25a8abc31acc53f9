#include "detect/silence_detector.h"

#include "detect/saturating.h"

VM_CSilenceDetector::VM_CSilenceDetector(int32_t timeoutMs, double threshold, double sampleRate)
    : VM_CDetector(threshold, timeoutMs, sampleRate, "VM_CSilenceDetector") {}

// Only the last loud sample matters: the run restarts after it. Looking for
// it from the end costs one comparison per sample and no chain from sample
// to sample.
void VM_CSilenceDetector::VM_DetectSamples(const double* samples, int n) {
    if (!IsEnabled() || samples == nullptr || n <= 0) return;
    int last = n - 1;
    while (last >= 0 && -m_threshold < samples[last] && samples[last] < m_threshold) --last;
    m_total = last < 0 ? detect::SaturatingAdd(m_total, n) : n - 1 - last;
}

void VM_CSilenceDetector::VM_AddSilenceTime(int64_t milliseconds) {
    if (milliseconds <= 0) return;
    double samples = static_cast<double>(milliseconds) * m_sampleRate / 1000.0;
    m_total = detect::SaturatingAdd(m_total, detect::ClampToInt32(samples));
}
