// What every line service keeps of a call. Guarded by the service lock.
#pragma once

#include <optional>
#include <string>

#include "platform/tapi/tapi.h"

namespace lines {

// The caller as the line reported them; a part that never arrived is empty
// and reported with size 0.
struct CallerParty {
    std::optional<std::string> number;
    std::optional<std::string> name;
    DWORD flags = 0;  // LINECALLPARTYID_..., reported as given
};

// A service keeps its own kind of call, derived from this one.
struct LineCall {
    virtual ~LineCall() = default;

    bool Ringing() const { return state == LINECALLSTATE_OFFERING || state == LINECALLSTATE_ACCEPTED; }

    DWORD id = 0;
    DWORD device = 0;
    DWORD state = 0;
    DWORD stateMode = 0;
    DWORD origin = LINECALLORIGIN_INBOUND;
    bool callerKnown = false;  // until then the call reports no caller at all
    bool heard = false;        // an open of the line was told of the call
    CallerParty caller;
    // Requests the service completes later; 0 for none.
    DWORD answerRequest = 0;
    DWORD dropRequest = 0;
};

}  // namespace lines
