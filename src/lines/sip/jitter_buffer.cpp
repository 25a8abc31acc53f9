#include "lines/sip/jitter_buffer.h"

#include <algorithm>
#include <cstring>

namespace sipline {

namespace {

constexpr unsigned kLateRestart = 3;

}  // namespace

JitterBuffer::JitterBuffer(std::uint8_t silence, std::uint32_t delay, std::uint32_t maxAhead,
                           std::uint32_t capacity)
    : m_ring(std::max(capacity, maxAhead + 1600), silence),
      m_silence(silence),
      m_delay(std::min(delay, maxAhead)),
      m_maxAhead(maxAhead) {}

void JitterBuffer::Restart(std::uint32_t timestamp) {
    std::fill(m_ring.begin(), m_ring.end(), m_silence);
    m_anchored = true;
    m_anchorTs = timestamp;
    m_anchorPos = m_readPos + m_delay;
}

void JitterBuffer::Put(std::uint32_t timestamp, const std::uint8_t* data, std::size_t size) {
    if (size == 0 || size > m_ring.size() - m_maxAhead) return;
    if (!m_anchored) Restart(timestamp);
    // The difference as signed 32 bits: timestamps wrap.
    std::int64_t pos = m_anchorPos + static_cast<std::int32_t>(timestamp - m_anchorTs);
    if (pos > m_readPos + m_maxAhead || pos + static_cast<std::int64_t>(size) < m_readPos - m_maxAhead) {
        m_restarts++;
        Restart(timestamp);
        pos = m_anchorPos;
    }
    m_anchorTs = timestamp;
    m_anchorPos = pos;
    if (pos + static_cast<std::int64_t>(size) <= m_readPos) {
        m_late++;
        // A caller whose packets keep coming late (its clock is slower, or
        // the path got longer) is followed rather than lost for good.
        if (++m_lateInRow < kLateRestart) return;
        m_restarts++;
        Restart(timestamp);
        pos = m_anchorPos;
    }
    m_lateInRow = 0;
    const std::int64_t n = static_cast<std::int64_t>(m_ring.size());
    for (std::size_t i = 0; i < size; i++) {
        const std::int64_t at = pos + static_cast<std::int64_t>(i);
        if (at >= m_readPos) m_ring[static_cast<std::size_t>(at % n)] = data[i];
    }
}

void JitterBuffer::Get(std::uint8_t* out, std::size_t size) {
    const std::int64_t n = static_cast<std::int64_t>(m_ring.size());
    for (std::size_t i = 0; i < size; i++) {
        std::uint8_t& slot = m_ring[static_cast<std::size_t>(m_readPos % n)];
        out[i] = slot;
        slot = m_silence;
        m_readPos++;
    }
}

}  // namespace sipline
