// Run counters of the detectors: a run that lasts longer than the counter
// can hold stays at the largest value instead of wrapping to a negative
// length, which would make a long tone or silence look like a fresh one.
#pragma once

#include <cstdint>
#include <limits>

namespace detect {

constexpr int32_t kRunMax = std::numeric_limits<int32_t>::max();

constexpr int32_t SaturatingAdd(int32_t total, int64_t add) {
    int64_t sum = static_cast<int64_t>(total) + add;
    if (sum > kRunMax) return kRunMax;
    if (sum < std::numeric_limits<int32_t>::min()) return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(sum);
}

// Truncates toward zero like a C conversion, but clamps instead of leaving
// an out-of-range or non-finite value undefined.
constexpr int32_t ClampToInt32(double v) {
    if (!(v == v)) return 0;
    if (v >= 2147483647.0) return kRunMax;
    if (v <= -2147483648.0) return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(v);
}

}  // namespace detect
