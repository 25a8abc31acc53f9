// How long to wait before registering again after the registrar refused us
// or could not be reached: the first wait, doubled at each failure in a row,
// never more than half an hour.
#pragma once

#include <cstdint>

namespace sipline {

constexpr std::uint64_t kMaxRegisterWaitMs = 30ull * 60 * 1000;

// failures: the failures in a row so far, 1 for the first.
inline std::uint64_t RegisterRetryDelayMs(std::uint64_t firstWaitMs, unsigned failures) {
    std::uint64_t wait = firstWaitMs;
    for (unsigned i = 1; i < failures && wait < kMaxRegisterWaitMs; i++) wait *= 2;
    return wait < kMaxRegisterWaitMs ? wait : kMaxRegisterWaitMs;
}

}  // namespace sipline
