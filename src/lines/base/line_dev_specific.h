// The device-specific part of LINEDEVCAPS that every one of our line
// services reports: what an application may want to know of a line and the
// standard fields have no room for. An application recognises the part by
// its signature; another provider's part is not ours to read, and a line
// without ours is taken to know nothing more than the standard fields say.
#pragma once

#include <cstring>
#include <string>

#include "platform/win32/types.h"

namespace lines {

struct LineDevSpecific {
    DWORD dwSignature;
    DWORD dwFlags;
};

inline constexpr DWORD kLineDevSpecificSignature = 0x4C524356;  // "VCRL" in memory

// LINECALLSTATE_DISCONNECTED on this line means the caller is gone (a SIP
// BYE or CANCEL, the remote party of the simulated line); a voice modem's
// report may also be a guess from what it heard.
inline constexpr DWORD kLineDevReliableDisconnect = 0x1;

inline std::string EncodeLineDevSpecific(DWORD flags) {
    const LineDevSpecific part{kLineDevSpecificSignature, flags};
    return std::string(reinterpret_cast<const char*>(&part), sizeof part);
}

// The flags of a device-specific part; 0 when it is not ours or too short.
inline DWORD LineDevSpecificFlags(const void* bytes, DWORD size) {
    if (bytes == nullptr || size < sizeof(LineDevSpecific)) return 0;
    LineDevSpecific part;
    std::memcpy(&part, bytes, sizeof part);
    return part.dwSignature == kLineDevSpecificSignature ? part.dwFlags : 0;
}

}  // namespace lines
