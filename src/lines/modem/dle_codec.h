// DLE shielding of voice data between us and a voice modem: pure state and
// byte functions, no I/O. In voice data the modem sends, DLE (0x10) starts a
// two-byte code: DLE DLE is one 0x10 data byte, DLE SUB two, DLE ETX ends the
// data state, any other code is an event (touch tone, busy tone, ring...).
#pragma once

#include <cstddef>
#include <string>

#include "platform/win32/types.h"

namespace modemline {

constexpr BYTE kEtx = 0x03;
constexpr BYTE kDle = 0x10;
constexpr BYTE kCan = 0x18;
constexpr BYTE kSub = 0x1A;

// Appends data to out with every DLE doubled, as the modem expects it.
void ShieldDle(const BYTE* data, size_t length, std::string& out);

// Splits the modem's shielded stream into voice data and event codes. A DLE
// that ends one read is held until the next.
class DleDecoder {
public:
    // Appends the voice data to data and the event codes to events. Stops
    // right after DLE ETX (reported as the event kEtx) and returns the bytes
    // consumed, so what follows (the result code) can go elsewhere.
    size_t Feed(const BYTE* in, size_t length, std::string& data, std::string& events);
    void Reset() { m_pendingDle = false; }

private:
    bool m_pendingDle = false;
};

}  // namespace modemline
