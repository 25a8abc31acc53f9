#include "lines/modem/modem_profile.h"

#include <strings.h>

#include <algorithm>
#include <cctype>

namespace modemline {

namespace {

// V.253 and the families that follow it take the same voice commands.
const ModemProfile kV253{
    ModemFamily::kV253, "V.253",
    {"AT+FCLASS=8", "AT+VIT=0"},
    "AT+VCID=1", "AT#CID=1", "AT+IFC=2,2", true, nullptr, 1,
    "AT+VLS=1", "AT+VTX", "AT+VRX", "AT+VLS=0", nullptr, false,
    {"at+fclass=8<cr>", "at+vsd=128,50<cr>"}};

const ModemProfile kV253NoFlowControl{
    ModemFamily::kV253NoFlowControl, "V.253 without flow control",
    {"AT+FCLASS=8", "AT+VIT=0"},
    "AT+VCID=1", "AT#CID=1", nullptr, true, nullptr, 1,
    "AT+VLS=1", "AT+VTX", "AT+VRX", "AT+VLS=0", nullptr, false,
    {"at+fclass=8<cr>", "at+vsd=128,50<cr>"}};

// Vendor compression numbers (128 and up), silence detection set as
// +VSD=0,n; the compression is still picked from +VSM=? by name.
const ModemProfile kConexant{
    ModemFamily::kConexant, "Conexant",
    {"AT+FCLASS=8", "AT+VIT=0"},
    "AT+VCID=1", nullptr, "AT+IFC=2,2", true, nullptr, 1,
    "AT+VLS=1", "AT+VTX", "AT+VRX", "AT+VLS=0", nullptr, false,
    {"at+fclass=8<cr>", "at+vsd=128,50<cr>"}};

// The # command set: no +VSM list, 8 bits per sample set directly, ATA
// answered with VCON, a bare "!" ends a recording, and ATH leaves voice mode.
const ModemProfile kRockwell{
    ModemFamily::kRockwell, "Rockwell",
    {"AT#CLS=8", "AT#VSR=8000", "AT#VTD=3F,3F,3F"},
    "AT#CID=1", nullptr, nullptr, false, "AT#VBS=8", 1,
    "ATA", "AT#VTX", "AT#VRX", "ATH0", "AT#CLS=8", true,
    {"at#cls=8<cr>", nullptr}};

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

}  // namespace

const ModemProfile& ProfileFor(ModemFamily family) {
    switch (family) {
        case ModemFamily::kV253NoFlowControl:
            return kV253NoFlowControl;
        case ModemFamily::kConexant:
            return kConexant;
        case ModemFamily::kRockwell:
            return kRockwell;
        case ModemFamily::kV253:
            break;
    }
    return kV253;
}

bool FamilyByName(const std::string& name, ModemFamily* family) {
    for (ModemFamily f : {ModemFamily::kV253, ModemFamily::kV253NoFlowControl, ModemFamily::kConexant,
                          ModemFamily::kRockwell}) {
        if (strcasecmp(name.c_str(), ProfileFor(f).name) == 0) {
            *family = f;
            return true;
        }
    }
    return false;
}

ModemFamily FamilyFromIdentity(const std::string& identity) {
    const std::string text = Lower(identity);
    if (text.find("rockwell") != std::string::npos) return ModemFamily::kRockwell;
    if (text.find("conexant") != std::string::npos || text.find("cx930") != std::string::npos)
        return ModemFamily::kConexant;
    return ModemFamily::kV253;
}

}  // namespace modemline
