// Who is calling, from the headers of an INVITE: the display name and the
// user part of the asserted identity when the network vouches for one,
// else of From. A caller who withheld the number ("anonymous", or a Privacy
// header asking to hide it) is reported as a blocked caller, as the
// telephone network reports one.
#pragma once

#include <string>
#include <string_view>

#include "lines/base/line_call.h"

namespace sipline {

struct SipParty {
    std::string displayName;  // as in the header, quotes included or not
    std::string uri;          // "sip:5551234@host;user=phone", "tel:+15551234"
};

using CallerIdentity = lines::CallerParty;

// asserted: P-Asserted-Identity (empty uri when absent); privacy: the
// Privacy header's value.
CallerIdentity IdentifyCaller(const SipParty& from, const SipParty& asserted, std::string_view privacy);

// The user part of a sip:, sips: or tel: URI, %-escapes decoded.
std::string UriUser(std::string_view uri);

}  // namespace sipline
