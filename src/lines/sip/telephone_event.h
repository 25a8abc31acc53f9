// Touch tones a SIP caller sends: RFC 4733 telephone events inside the RTP
// stream, and SIP INFO requests. A press is sent as several event packets
// (updates while the key is down, the end packet three times); it counts
// once.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace sipline {

struct ToneEvent {
    int event = 0;
    bool end = false;
    std::uint16_t duration = 0;
};

// One event payload; false when it is too short to be one.
bool DecodeToneEvent(const std::uint8_t* payload, std::size_t size, ToneEvent* event);

// '0'-'9', '*', '#', 'A'-'D' for events 0 to 15; 0 for any other event.
char ToneEventDigit(int event);

// Reports each press once: the packets of one press share the RTP
// timestamp of its start.
class ToneEventFilter {
public:
    // The digit to report for this packet, or 0.
    char Take(std::uint32_t ssrc, std::uint32_t timestamp, const ToneEvent& event);

private:
    bool m_seen = false;
    std::uint32_t m_ssrc = 0;
    std::uint32_t m_timestamp = 0;
    int m_event = -1;
};

// The digit of an INFO body: "application/dtmf-relay" ("Signal=5") or
// "application/dtmf" ("5"); 0 when there is none.
char InfoDigit(std::string_view contentType, std::string_view body);

}  // namespace sipline
