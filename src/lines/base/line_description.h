// What a line device is, as its capabilities report it: one description per
// device, from which a service's device and address capabilities, its limits
// and its version range all follow, so no two places can tell them apart.
#pragma once

#include <string>

#include "platform/tapi/tapi.h"

namespace lines {

// A voice line answers like a voice modem: the line choice looks for these
// modes, so every line that carries voice reports all of them.
inline constexpr DWORD kVoiceLineMediaModes = LINEMEDIAMODE_UNKNOWN | LINEMEDIAMODE_INTERACTIVEVOICE |
                                              LINEMEDIAMODE_AUTOMATEDVOICE | LINEMEDIAMODE_DATAMODEM;
inline constexpr DWORD kAllLineStates = LINEDEVSTATE_RINGING | LINEDEVSTATE_CONNECTED | LINEDEVSTATE_DISCONNECTED |
                                        LINEDEVSTATE_INSERVICE | LINEDEVSTATE_OUTOFSERVICE | LINEDEVSTATE_OPEN |
                                        LINEDEVSTATE_CLOSE | LINEDEVSTATE_REINIT | LINEDEVSTATE_REMOVED;
inline constexpr DWORD kAllPartyIdFlags = 0x7F;  // BLOCKED ... UNAVAIL

struct LineDescription {
    std::string name;
    DWORD permanentLineId = 0;
    DWORD mediaModes = kVoiceLineMediaModes;
    DWORD bearerModes = LINEBEARERMODE_VOICE | LINEBEARERMODE_DATA;
    DWORD maxRate = 33600;
    DWORD generateDigitModes = LINEDIGITMODE_DTMF;
    // Which reports a touch tone makes: DTMF when it starts, DTMFEND when
    // it ends, each only where the line can tell.
    DWORD monitorDigitModes = LINEDIGITMODE_DTMF | LINEDIGITMODE_DTMFEND;
    DWORD lineStates = kAllLineStates;
    DWORD callerIdFlags = kAllPartyIdFlags;
    DWORD disconnectModes = LINEDISCONNECTMODE_NORMAL | LINEDISCONNECTMODE_UNKNOWN;
    DWORD addrCapFlags = 0;  // LINEADDRCAPFLAGS_ACCEPTTOALERT: rings only after lineAccept
    // The line reports a disconnect only when the caller has really gone, so
    // the call can end at once (line_dev_specific.h). A voice modem cannot
    // promise that.
    bool reliableDisconnect = false;
    DWORD apiLowVersion = 0x00010003;
    DWORD apiHighVersion = 0x00020002;
};

}  // namespace lines
