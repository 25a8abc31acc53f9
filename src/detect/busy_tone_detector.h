// Busy-tone detector: the dial-tone detector's block decision on 40 ms
// blocks, with a run that grows only while tone and pause alternate in a
// regular cadence.
#pragma once

#include <cstdint>

#include "detect/dial_tone_detector.h"

class VM_CBusyToneDetector : public VM_CDialToneDetector {
public:
    VM_CBusyToneDetector(double threshold, double harmonicRatio, double sampleRate);

    enum State : int32_t { kStart = 0, kToneOn = 1, kToneOff = 2 };

    int32_t CadenceState() const { return m_nState; }
    int32_t OnLength() const { return m_nOn; }
    int32_t OffLength() const { return m_nOff; }
    int32_t Tolerance() const { return m_nTolerance; }
    int32_t MinPeriod() const { return m_nMinPeriod; }
    int32_t MaxPeriod() const { return m_nMaxPeriod; }

protected:
    void VM_EndBlock() override;

private:
    bool FitsCadence(int32_t period) const;

    int32_t m_nState = kStart;
    int32_t m_nOff = 0;
    int32_t m_nOn = 0;
    int32_t m_nTolerance;
    int32_t m_nMinPeriod;
    int32_t m_nMaxPeriod;
};
