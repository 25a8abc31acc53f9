// The seam between the simulated line service and the wave devices: when a
// simulated call is offered, the line asks the audio layer for the call's
// audio path, whose wave device ids lineGetID then reports for the call.
#pragma once

#include <functional>
#include <memory>

#include "platform/win32/types.h"
#include "platform/winmm/wave_endpoint.h"

namespace simline {

// Formats a line's audio accepts, all 8 kHz mono.
using winmm::kFormatALaw;
using winmm::kFormatMuLaw;
using winmm::kFormatPcm16;
using winmm::kFormatPcm8;

struct CallAudioConfig {
    DWORD lineDeviceId;
    DWORD acceptedFormats;  // kFormat... bits; 0 accepts none of them
};

// One call's audio path: what the call's wave-out plays reaches the remote
// party; what the remote party sends is what the call's wave-in records.
class CallAudio {
public:
    virtual ~CallAudio() = default;
    virtual UINT WaveInDeviceId() const = 0;
    virtual UINT WaveOutDeviceId() const = 0;
};

using CallAudioFactory = std::function<std::unique_ptr<CallAudio>(const CallAudioConfig&)>;

// Installed by the audio layer; without one, simulated calls have no audio.
void SetCallAudioFactory(CallAudioFactory factory);
std::unique_ptr<CallAudio> MakeCallAudio(const CallAudioConfig& config);

}  // namespace simline
