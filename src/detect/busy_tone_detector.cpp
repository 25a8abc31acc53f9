#include "detect/busy_tone_detector.h"

#include "detect/saturating.h"
#include "diag/trace.h"

VM_CBusyToneDetector::VM_CBusyToneDetector(double threshold, double harmonicRatio,
                                           double sampleRate)
    : VM_CDialToneDetector(threshold, harmonicRatio, sampleRate, BlockFor(sampleRate, detect::kBusyBlockAt8k),
                           "VM_CBusyToneDetector", detect::kBusyToneFrequencies),
      m_nTolerance(detect::ClampToInt32(m_nBlock * detect::kBusyToleranceBlocks)),
      m_nMinPeriod(detect::ClampToInt32(sampleRate * detect::kBusyMinPeriodMs / 1000.0)),
      m_nMaxPeriod(detect::ClampToInt32(sampleRate * detect::kBusyMaxPeriodMs / 1000.0)) {}

// The period that just ended and the one before it must both be plausible
// cadence periods of about equal length. The difference is taken in 64 bits
// because saturated periods may be far apart.
bool VM_CBusyToneDetector::FitsCadence(int32_t period) const {
    int64_t diff = static_cast<int64_t>(m_nOn) - m_nOff;
    return m_nMinPeriod <= period && period <= m_nMaxPeriod && -m_nTolerance <= diff &&
           diff <= m_nTolerance;
}

void VM_CBusyToneDetector::VM_EndBlock() {
    int32_t tone = detect::kToneNone;
    bool found = VM_DetectTone(tone);
    switch (m_nState) {
    case kStart:
        if (found) {
            m_nLastTone = tone;
            m_nOn = m_nBlock;
            m_nState = kToneOn;
        } else {
            m_nOff = m_nBlock;
            m_nState = kToneOff;
        }
        break;
    case kToneOn:
        if (found) {
            m_nOn = tone == m_nLastTone ? detect::SaturatingAdd(m_nOn, m_nBlock) : m_nBlock;
            m_nLastTone = tone;
        } else {
            VM_TRACE(g_bTraceDetector,
                     "%s::VM_DetectTone: state=%d, off=%d, on=%d, min=%d, tor=%d, total=%d",
                     m_name.c_str(), m_nState, m_nOff, m_nOn, m_nMinPeriod, m_nTolerance,
                     m_total);
            m_total = FitsCadence(m_nOff) ? detect::SaturatingAdd(m_total, m_nOff) : 0;
            m_nOff = m_nBlock;
            m_nState = kToneOff;
        }
        break;
    default:
        if (!found) {
            m_nOff = detect::SaturatingAdd(m_nOff, m_nBlock);
        } else {
            VM_TRACE(g_bTraceDetector,
                     "%s::VM_DetectTone: state=%d, m_tone=%d, tone=%d, off=%d, on=%d, min=%d, "
                     "tor=%d, total=%d",
                     m_name.c_str(), m_nState, m_nLastTone, tone, m_nOff, m_nOn, m_nMinPeriod,
                     m_nTolerance, m_total);
            m_total = tone == m_nLastTone && FitsCadence(m_nOn)
                          ? detect::SaturatingAdd(m_total, m_nOn)
                          : 0;
            m_nLastTone = tone;
            m_nOn = m_nBlock;
            m_nState = kToneOn;
        }
        break;
    }
    StartBlock();
}
