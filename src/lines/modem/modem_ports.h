// Which serial ports have voice modems: the ports the user named (the
// "Ports" value of HKEY_CURRENT_USER\Software\Vocerra\Modem, or
// VOCERRA_MODEM_PORTS, separated by spaces, commas or semicolons; an empty
// setting means none), else every /dev/ttyACM* and /dev/ttyUSB* that answers
// AT+FCLASS=? with voice (class 8). The "Family" value there (or
// VOCERRA_MODEM_FAMILY) picks the
// family for every modem instead of its identification. Lock files go to
// VOCERRA_MODEM_LOCK_DIR when set.
#pragma once

#include <string>
#include <vector>

#include "lines/modem/modem_engine.h"

namespace modemline {

std::vector<ModemSettings> ConfiguredModems();
// True when the port answers as a voice modem within the time-out.
bool ProbeVoiceModem(const std::string& port, const std::string& lockDir, int timeoutMs);
std::vector<std::string> SplitPortList(const std::string& text);

}  // namespace modemline
