// One SIP call's audio between the network and its wave devices. The loop
// thread puts the caller's packets in and takes 20 ms packets out; the wave
// device threads record and play through the call's "wave/in" and
// "wave/out" devices. The network is the clock: recording hands out the
// caller's sound in real time (silence where none came), and playing
// blocks while more than five packets wait to be sent, so a greeting takes
// its own length whatever the time scale.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "lines/sip/jitter_buffer.h"
#include "lines/sip/sdp_offer.h"
#include "platform/winmm/wave_format.h"

namespace sipline {

constexpr std::size_t kPacketSamples = 160;  // 20 ms at 8000 Hz

class CallMedia {
public:
    explicit CallMedia(Codec codec);

    Codec CallCodec() const { return m_codec; }

    // ---- the loop thread ----
    void Received(std::uint32_t timestamp, const std::uint8_t* codes, std::size_t size);
    // The next packet's kPacketSamples codes; silence when nothing is queued.
    void NextPacket(std::uint8_t* codes);
    // The call is over: playing no longer waits, recording hands out silence.
    void Close();

    // ---- the wave device threads ----
    void Play(const WAVEFORMATEX& format, const std::uint8_t* data, std::size_t size);
    // Fills size bytes once the sound they hold is due.
    void Record(const WAVEFORMATEX& format, std::uint8_t* data, std::size_t size,
                std::chrono::steady_clock::time_point due);

    std::uint64_t PacketsSent() const;

private:
    const Codec m_codec;
    mutable std::mutex m_lock;
    std::condition_variable m_drained;
    JitterBuffer m_jitter;
    std::string m_outgoing;
    std::size_t m_outHead = 0;
    bool m_closed = false;
    std::uint64_t m_sent = 0;
};

// The call's two wave devices, registered while the object lives.
class CallWaveDevices {
public:
    explicit CallWaveDevices(std::shared_ptr<CallMedia> media);
    ~CallWaveDevices();
    CallWaveDevices(const CallWaveDevices&) = delete;
    CallWaveDevices& operator=(const CallWaveDevices&) = delete;

    unsigned WaveIn() const { return m_waveIn; }
    unsigned WaveOut() const { return m_waveOut; }

private:
    unsigned m_waveIn;
    unsigned m_waveOut;
};

}  // namespace sipline
