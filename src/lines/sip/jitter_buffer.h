// The caller's G.711 bytes between the network and the call's wave-in: each
// packet is placed by its RTP timestamp, so packets that arrive out of
// order, twice or not at all still give a steady stream (silence where one
// is missing). Playout starts a little behind the first packet, which is
// the room reordering gets; a packet too far ahead (a timestamp jump, or a
// reader that has not started) starts the timeline again from it, and so do
// packets that keep arriving too late.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace sipline {

class JitterBuffer {
public:
    // Sizes in samples (one byte each in G.711).
    explicit JitterBuffer(std::uint8_t silence, std::uint32_t delay = 480, std::uint32_t maxAhead = 2400,
                          std::uint32_t capacity = 8000);

    void Put(std::uint32_t timestamp, const std::uint8_t* data, std::size_t size);
    // The next size bytes of playout.
    void Get(std::uint8_t* out, std::size_t size);

    std::uint64_t LatePackets() const { return m_late; }
    std::uint64_t Restarts() const { return m_restarts; }

private:
    void Restart(std::uint32_t timestamp);

    std::vector<std::uint8_t> m_ring;
    const std::uint8_t m_silence;
    const std::uint32_t m_delay;
    const std::uint32_t m_maxAhead;
    bool m_anchored = false;
    std::uint32_t m_anchorTs = 0;
    std::int64_t m_anchorPos = 0;
    std::int64_t m_readPos = 0;
    std::uint64_t m_late = 0;
    std::uint64_t m_restarts = 0;
    unsigned m_lateInRow = 0;
};

}  // namespace sipline
