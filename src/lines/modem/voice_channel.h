// The voice data between a modem line's wave devices and its engine. The
// modem is half duplex: while the wave-out device is open the engine plays
// (AT+VTX), else while the wave-in device is open it records (AT+VRX). Both
// sides block only as long as the modem takes to move the sound; without a
// call, sound is paced by the clock and dropped (out) or silence (in).
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>

#include "lines/modem/voice_compression.h"

namespace modemline {

class VoiceChannel {
public:
    // Called whenever the engine has something new to act on.
    void SetWake(std::function<void()> wake);

    // Wave side (device threads). Data is in the modem's encoding.
    void OpenOut();
    void CloseOut();
    // Returns once the modem has about played the data (by the audio clock
    // of what the engine sent), or it was dropped: no call, or the play was
    // ended. Returning a little ahead keeps the modem fed while the next
    // buffer comes.
    void Play(const std::string& data);
    void OpenIn();
    void CloseIn();
    // Up to length bytes of the caller's sound into out; silence fills what
    // the modem does not send while no recording runs. Returns the bytes.
    size_t Record(BYTE* out, size_t length);
    // The wave-in device is reset: a Record waiting for sound, or the next
    // one, returns at once with what has come, unfilled.
    void CancelRecord();
    // Up to length bytes of the caller's sound received and not yet
    // recorded, without waiting.
    size_t TakeReceived(BYTE* out, size_t length);

    // Engine side.
    struct Wanted {
        bool out = false;
        bool in = false;
    };
    Wanted WantedNow();
    void SetEncoding(VoiceEncoding encoding);
    VoiceEncoding Encoding();
    // A call is up: played sound is queued, not dropped.
    void SetConnected(bool connected);
    void SetRecording(bool recording);
    // Takes up to max queued bytes to send; Sent once they are written, or
    // DropOut for what will never be played.
    std::string TakeOut(size_t max);
    void Sent(size_t bytes);
    void DropOut();
    bool OutQueued();
    // How long the modem still plays what it was sent; zero when idle.
    std::chrono::nanoseconds StillPlaying();
    void PutIn(const std::string& data);

private:
    void Wake();
    size_t InQueued() const { return m_in.size() - m_inHead; }
    size_t TakeQueued(BYTE* out, size_t length);
    void WaitForSound(std::unique_lock<std::mutex>& lock, size_t length);
    // Under the lock: waits until the modem about played the queue up to end.
    void WaitPlayedThrough(std::unique_lock<std::mutex>& lock, std::uint64_t end);

    std::mutex m_lock;
    std::condition_variable m_changed;
    std::function<void()> m_wake;
    VoiceEncoding m_encoding = VoiceEncoding::kUnsigned8;
    int m_outOpen = 0;
    int m_inOpen = 0;
    bool m_connected = false;
    bool m_recording = false;
    std::string m_out;
    // Counts of bytes in the modem's encoding since the channel was made:
    // queued by Play, and sent or dropped by the engine.
    std::uint64_t m_queuedTotal = 0;
    std::uint64_t m_doneTotal = 0;
    // When the modem will have played everything sent so far.
    std::chrono::steady_clock::time_point m_playedOutAt;
    std::string m_in;
    size_t m_inHead = 0;  // read so far from the front of m_in
    bool m_cancelRecord = false;
};

}  // namespace modemline
