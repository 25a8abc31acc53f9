// The small interface behind the wave devices: an endpoint is one device in
// one direction (a sound card, a file, one side of a simulated call); it
// says which formats it accepts and opens a stream that only moves bytes.
// Queues, pacing, notifications and the format checks live once above it.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/win32/types.h"
#include "platform/winmm/wave_format.h"

namespace winmm {

// The telephone formats (8 kHz mono) as bits, for the lines whose audio
// accepts only some of them.
constexpr DWORD kFormatPcm16 = 0x1;
constexpr DWORD kFormatPcm8 = 0x2;
constexpr DWORD kFormatALaw = 0x4;
constexpr DWORD kFormatMuLaw = 0x8;

class WaveStream {
public:
    virtual ~WaveStream() = default;
    // Output: these bytes have been played.
    virtual void Play(const BYTE* data, DWORD length) = 0;
    // Input: fills length bytes of sound; returns the bytes produced.
    virtual DWORD Record(BYTE* data, DWORD length) = 0;
    // True when Play and Record block for the sound's real duration (a
    // sound card); otherwise the device paces under the time scale.
    virtual bool PacesItself() const { return false; }
    // Input, for a reset: a Record waiting for sound (or the next one, if
    // none has begun) returns at once with what has come. False when the
    // stream cannot cut a Record short.
    virtual bool CancelRecord() { return false; }
    // Input: up to length bytes of sound the device has received and not
    // yet handed out, without waiting.
    virtual DWORD TakeReceived(BYTE* /*data*/, DWORD /*length*/) { return 0; }
};

class WaveEndpoint {
public:
    virtual ~WaveEndpoint() = default;
    // Up to 31 characters are reported as the device name.
    virtual std::string Name() const = 0;
    virtual bool Accepts(const WAVEFORMATEX& format) const = 0;
    // Sound cards have a mixer destination line; other devices do not.
    virtual bool HasMixerLine() const { return false; }
    // A telephone line's own sound (a call's wave devices): opened only by
    // its id, never chosen by the wave mapper for the user's speakers.
    virtual bool CarriesALine() const { return false; }
    // Null when the device cannot be opened now.
    virtual std::unique_ptr<WaveStream> Open(const WAVEFORMATEX& format) = 0;
};

// The bits of kFormat... for a format, 0 when it is none of the
// four telephone formats (mono, 8000 samples per second).
DWORD TelephoneFormatBit(const WAVEFORMATEX& format);
// The byte that encodes silence in a telephone format (0 for 16-bit PCM).
BYTE SilenceByte(const WAVEFORMATEX& format);

// Device ids are handed out lowest free first. A removed device's id names
// no device until it is handed out again, which waits until every device
// opened through it is closed; the owner of a removed device's id (a line
// call's, valid while the call is) forgets it. Sound cards are listed
// first, at the first use of any wave call, and stay.
UINT AddWaveOutEndpoint(std::shared_ptr<WaveEndpoint> endpoint);
UINT AddWaveInEndpoint(std::shared_ptr<WaveEndpoint> endpoint);
// Open devices keep working; the id then names no device for new opens.
void RemoveWaveOutEndpoint(UINT id);
void RemoveWaveInEndpoint(UINT id);
std::shared_ptr<WaveEndpoint> FindWaveOutEndpoint(UINT id);
std::shared_ptr<WaveEndpoint> FindWaveInEndpoint(UINT id);
UINT WaveOutEndpointCount();
UINT WaveInEndpointCount();

// The sound-card backend installs its lister before the first wave call;
// its cards take the first ids. Without one (or with
// VOCERRA_NO_SOUND_CARDS=1) there are no sound cards.
using SoundCardLister = void (*)(std::vector<std::shared_ptr<WaveEndpoint>>& out,
                                 std::vector<std::shared_ptr<WaveEndpoint>>& in);
void SetSoundCardLister(SoundCardLister lister);

}  // namespace winmm
