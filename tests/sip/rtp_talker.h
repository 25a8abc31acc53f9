// A party that keeps sending into a call's media, as a phone does, until it
// is destroyed: a tone, or one key pressed over and over; and how much of a
// recording is one tone.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include "sip/sip_peers.h"

namespace siptest {

// Sends a tone from the peer, 20 ms a packet; each packet sent copies
// times over its 20 ms, so that where two parties send the same timestamps,
// the one sending copies is the last heard for most of them.
class Talker {
public:
    Talker(RtpPeer& peer, double hz, int copies = 1);
    ~Talker();
    Talker(const Talker&) = delete;
    Talker& operator=(const Talker&) = delete;

private:
    std::string m_codes;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

// Presses one key from the peer as RFC 4733 events, again and again.
class Presser {
public:
    Presser(RtpPeer& peer, std::uint8_t payloadType, int event);
    ~Presser();
    Presser(const Presser&) = delete;
    Presser& operator=(const Presser&) = delete;

private:
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

// The share of the samples' power at hz, a multiple of 50 Hz: Goertzel over
// each 20 ms, so a gap in the sound does not cancel what follows it.
double PowerShare(const std::vector<std::int16_t>& samples, double hz);

// The samples of a recorded WAVE file; empty when it cannot be read.
std::vector<std::int16_t> RecordedSamples(const char* path);

}  // namespace siptest
