// Modems listed the way the modem settings and the modem fix expect: a
// numbered subkey ("0000", "0001", ...) of the modem device class under
// HKEY_LOCAL_MACHINE per modem, with "AttachedTo" (the port),
// "Manufacturer", "FriendlyName" (the line's name) and the driver's
// "StartRecord" commands, which the engine sends before each recording, so
// that a fix written there takes effect.
#pragma once

#include <string>
#include <vector>

namespace modemline {

struct ModemListing {
    std::string port;
    std::string manufacturer;
    std::string friendlyName;
    // Written only when the key has none, so a fix in force stays.
    std::vector<std::string> startRecord;
};

// Finds the subkey attached to the port (else the first free number),
// fills it in and returns its path below HKEY_LOCAL_MACHINE.
std::string ListModem(const ModemListing& listing);
// The "StartRecord" commands of a modem key, in order.
std::vector<std::string> StartRecordCommands(const std::string& key);

}  // namespace modemline
