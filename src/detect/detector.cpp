#include "detect/detector.h"

#include <cinttypes>

#include "detect/saturating.h"
#include "diag/trace.h"

VM_CDetector::VM_CDetector(double threshold, int32_t timeoutMs, double sampleRate,
                           const char* name)
    : m_name(name != nullptr ? name : ""),
      m_sampleRate(sampleRate),
      m_threshold(threshold),
      m_nTimeout(detect::ClampToInt32(static_cast<double>(timeoutMs) * sampleRate / 1000.0)) {
    VM_TRACE(g_bTraceDetector, "%s::%s: this=0x%" PRIxPTR, m_name.c_str(), m_name.c_str(),
             reinterpret_cast<uintptr_t>(this));
}

VM_CDetector::~VM_CDetector() {
    VM_TRACE(g_bTraceDetector, "%s::~%s: this=0x%" PRIxPTR, m_name.c_str(), m_name.c_str(),
             reinterpret_cast<uintptr_t>(this));
}

bool VM_CDetector::VM_IsDetected() {
    if (!IsEnabled() || m_total <= m_nTimeout) return false;
    VM_TRACE(g_bTraceDetector, "this(0x%" PRIxPTR ")->%s::VM_IsDetected()=TRUE, total=%d, nTimeout=%d",
             reinterpret_cast<uintptr_t>(this), m_name.c_str(), m_total, m_nTimeout);
    return true;
}

bool VM_CDetector::VM_IsLongerThan(int32_t count) {
    return count > 0 && IsEnabled() && m_total > count;
}
