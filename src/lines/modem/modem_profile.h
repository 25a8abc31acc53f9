// The differences between voice-modem families, as data for one engine:
// the commands each family takes, what it answers, and its quirks. Chosen by
// the modem's identification, or by the user.
#pragma once

#include <string>
#include <vector>

namespace modemline {

enum class ModemFamily { kV253, kV253NoFlowControl, kConexant, kRockwell };

struct ModemProfile {
    ModemFamily family;
    const char* name;             // as the user names it in the settings
    std::vector<const char*> init;  // after ATZ and ATE0 V1 S0=0 &D2
    const char* callerIdOn;       // formatted caller ID
    const char* callerIdFallback;  // tried when the first is refused; may be null
    const char* flowControl;      // null: the family takes none
    bool queriesCompression;      // AT+VSM=? then AT+VSM=<id>,8000
    const char* fixedCompression;  // for families that do not list them
    int fallbackCompressionId;
    const char* answer;           // OK or VCON follows
    const char* startPlay;        // CONNECT follows
    const char* startRecord;
    const char* hangUp;           // OK follows
    const char* afterHangUp;      // resent after hanging up; may be null
    bool bareStopRecord;          // "!" instead of DLE ! stops a recording
    const char* startRecordDefaults[2];  // the driver's record commands
};

const ModemProfile& ProfileFor(ModemFamily family);
// The family by name (as ProfileFor(f).name, without regard to case); false
// for an unknown name.
bool FamilyByName(const std::string& name, ModemFamily* family);
// The family a modem's identification texts (manufacturer, model, ATI3)
// point to; V.253 when none does.
ModemFamily FamilyFromIdentity(const std::string& identity);

}  // namespace modemline
