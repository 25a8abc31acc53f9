// The voice data between a modem line's wave devices and its engine. The
// modem is half duplex: while the wave-out device is open the engine plays
// (AT+VTX), else while the wave-in device is open it records (AT+VRX). Both
// sides block only as long as the modem takes to move the sound; without a
// call, sound is paced by the clock and dropped (out) or silence (in).
#pragma once

#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>

#include "platform/lines/modem/voice_compression.h"

namespace modemline {

class VoiceChannel {
public:
    // Called whenever the engine has something new to act on.
    void SetWake(std::function<void()> wake);

    // Wave side (device threads). Data is in the modem's encoding.
    void OpenOut();
    void CloseOut();
    // Returns once the data is queued for the modem (or dropped: no call).
    void Play(const std::string& data);
    void OpenIn();
    void CloseIn();
    // Up to length bytes of the caller's sound into out; silence fills what
    // the modem does not send while no recording runs. Returns the bytes.
    size_t Record(BYTE* out, size_t length);

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
    // Takes up to max queued bytes to send.
    std::string TakeOut(size_t max);
    bool OutQueued();
    void PutIn(const std::string& data);

private:
    void Wake();
    size_t InQueued() const { return m_in.size() - m_inHead; }
    void WaitForSound(std::unique_lock<std::mutex>& lock, size_t length);

    std::mutex m_lock;
    std::condition_variable m_changed;
    std::function<void()> m_wake;
    VoiceEncoding m_encoding = VoiceEncoding::kUnsigned8;
    int m_outOpen = 0;
    int m_inOpen = 0;
    bool m_connected = false;
    bool m_recording = false;
    std::string m_out;
    std::string m_in;
    size_t m_inHead = 0;  // read so far from the front of m_in
};

}  // namespace modemline
