// baresip as a caller: a configuration folder of its own (no sound card:
// the caller's voice is a WAVE file, what it hears goes nowhere or into a
// file), SIP on a free port of 127.0.0.1 only, and one call dialled at start.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "sip/sip_peers.h"

namespace siptest {

struct BaresipCall {
    std::string folder;      // a fresh folder for its configuration
    std::string voiceWave;   // 8 kHz mono 16-bit WAVE file it speaks
    std::string heardWave;   // when set, what it hears is written here (sndfile)
    std::string dialUri;     // empty: wait to be called
    bool autoAnswer = false;
};

std::unique_ptr<PeerProcess> StartBaresip(const BaresipCall& call, std::uint16_t* sipPort);

}  // namespace siptest
