// Dial-tone detector: per 80 ms block, is one known tone present (the
// dual-tone pair or a single 400, 425 or 450 Hz tone, each confirmed by a
// weak second harmonic)? The run counts consecutive blocks of the same tone.
#pragma once

#include <cstdint>

#include "detect/detector.h"
#include "detect/tone_filter_bank.h"
#include "detect/tone_tables.h"

class VM_CDialToneDetector : public VM_CDetector {
public:
    VM_CDialToneDetector(double threshold, double harmonicRatio, double sampleRate);

    void VM_Detect(double sample) override {
        m_filters.Step(sample);
        if (++m_nCounter == m_nBlock) VM_EndBlock();
    }

    // The block decision; writes tone only when it returns true.
    virtual bool VM_DetectTone(int32_t& tone);

    // Feeds n samples; the same as n calls of VM_Detect, with every filter
    // stepped in one vectorised loop between block ends.
    void VM_DetectSamples(const double* samples, int n);
    // Feeds the same samples to two tone detectors (either may be null),
    // stepping the 22 filters of both in one loop.
    static void VM_DetectSamples(VM_CDialToneDetector* a, VM_CDialToneDetector* b,
                                 const double* samples, int n);

    // Feeds n samples taken one by one from next() to two tone detectors
    // (either may be null); next() is called exactly n times, in order.
    template <class Next>
    static void VM_DetectFrom(VM_CDialToneDetector* a, VM_CDialToneDetector* b, int n, Next&& next);

    int32_t BlockLength() const { return m_nBlock; }
    int32_t LastTone() const { return m_nLastTone; }
    double Magnitude(int filter) const { return m_filters.Magnitude(filter); }

    // Bits of the mode: which kinds of tone a block is tested for.
    static constexpr uint32_t kModeSingle = 1;
    static constexpr uint32_t kModePair = 2;

protected:
    VM_CDialToneDetector(double threshold, double harmonicRatio, double sampleRate,
                         int32_t blockLength, const char* name,
                         const detect::ToneFrequencies& frequencies);

    // Block length at a sample rate, scaled from its length at 8 kHz.
    static int32_t BlockFor(double sampleRate, double samplesAt8k);
    // Called when a block is complete: judges it, updates the run, and
    // starts the next block.
    virtual void VM_EndBlock();
    void StartBlock() {
        m_nCounter = 0;
        m_filters.Reset();
    }
    int32_t SamplesToBlockEnd() const { return m_nBlock - m_nCounter; }

    int32_t m_nBlock;
    int32_t m_nLastTone = 0;
    uint32_t m_dwMode = kModePair | kModeSingle;
    double m_harmonicRatio;
    int32_t m_nCounter = 0;
    detect::ToneFilterBank m_filters;

private:
    void DetectRun(const double* samples, int n);
};

template <class Next>
void VM_CDialToneDetector::VM_DetectFrom(VM_CDialToneDetector* a, VM_CDialToneDetector* b, int n,
                                         Next&& next) {
    if (a == nullptr) {
        a = b;
        b = nullptr;
    }
    if (a == nullptr) {
        for (int i = 0; i < n; ++i) next();
        return;
    }
    while (n > 0) {
        int len = n < a->SamplesToBlockEnd() ? n : a->SamplesToBlockEnd();
        if (b != nullptr && b->SamplesToBlockEnd() < len) len = b->SamplesToBlockEnd();
        if (b != nullptr)
            detect::ToneFilterBank::StepFrom(a->m_filters, b->m_filters, len, next);
        else
            detect::ToneFilterBank::StepFrom(a->m_filters, len, next);
        // Blocks ending at the same sample are judged in feeding order, a
        // first, as they would be sample by sample.
        if ((a->m_nCounter += len) == a->m_nBlock) a->VM_EndBlock();
        if (b != nullptr && (b->m_nCounter += len) == b->m_nBlock) b->VM_EndBlock();
        n -= len;
    }
}
