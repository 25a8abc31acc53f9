// The session descriptions of an incoming call: what the caller offers for
// audio, which G.711 law we answer with, and the answer we send back.
// Only what a telephone line needs: one audio stream, PCMU or PCMA, and
// touch tones as telephone events on whatever payload type the caller chose.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace sipline {

enum class Codec { kNone, kPcmu, kPcma };

struct MediaOffer {
    std::string address;            // media-level c= if given, else session-level
    std::uint16_t port = 0;         // 0: the caller declined audio
    std::vector<int> payloadTypes;  // in the caller's order of preference
    std::map<int, std::string> rtpmap;  // payload type -> "encoding/rate", encoding lower case
};

// The first audio stream of an offer; false when there is none.
bool ParseOffer(std::string_view sdp, MediaOffer* offer);

struct CodecChoice {
    Codec codec = Codec::kNone;
    int payloadType = -1;
    int telephoneEventType = -1;  // -1: the caller cannot send telephone events
};

// The first of PCMU and PCMA in the caller's order, by its static payload
// type or by name on a dynamic one; telephone-event at 8000 Hz when offered.
CodecChoice ChooseCodec(const MediaOffer& offer);

// The answer to an offer we accept, with our media address and port.
std::string BuildAnswer(const std::string& localAddress, std::uint16_t localPort,
                        const CodecChoice& choice, std::uint32_t sessionId);

// The byte of the codec that decodes to silence.
std::uint8_t CodecSilence(Codec codec);

}  // namespace sipline
