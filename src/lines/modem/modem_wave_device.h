// A modem line's "wave/out" and "wave/in" devices: backends of the wave
// devices that carry sound to and from the engine's voice channel, in any
// telephone format (converted to and from the modem's encoding).
#pragma once

#include <memory>
#include <string>

#include "platform/winmm/wave_endpoint.h"

namespace modemline {

class ModemEngine;

// The device ids of a modem's two wave devices, added to the wave device
// table; the engine stays alive while a device is open.
struct ModemWaveIds {
    UINT out = 0;
    UINT in = 0;
};
ModemWaveIds AddModemWaveDevices(const std::shared_ptr<ModemEngine>& engine, const std::string& name);
void RemoveModemWaveDevices(const ModemWaveIds& ids);

}  // namespace modemline
