// The voice compressions a modem offers (its answer to AT+VSM=?), chosen by
// name and bits, never by number: vendors number them differently (V.253
// says 4 is G.711 mu-law, some vendor firmware says 131).
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/win32/types.h"

namespace modemline {

enum class VoiceEncoding { kUnsigned8, kSigned8, kMuLaw, kALaw, kLinear16 };

struct VoiceCompression {
    int id = 1;
    VoiceEncoding encoding = VoiceEncoding::kUnsigned8;
    std::string name = "UNSIGNED PCM";
};

// One line of the list, as `128,"8-BIT LINEAR",8,0,(8000),(0),(0)` or
// `133,"LINEAR,16"`; nullopt for lines that are not an entry or name a
// compression we cannot take (ADPCM, GSM...).
std::optional<VoiceCompression> ParseCompressionLine(const std::string& line);

// The best entry for telephone audio: an 8-bit G.711 law first, then 8-bit
// linear, then 16-bit linear. Without a usable entry, 8-bit unsigned PCM
// under the fallback id.
VoiceCompression ChooseCompression(const std::vector<std::string>& lines, int fallbackId);

// Bytes per sample of the encoding at 8000 samples per second.
DWORD BytesPerSample(VoiceEncoding encoding);
// The byte that encodes silence (the low byte for 16-bit).
BYTE SilenceByte(VoiceEncoding encoding);

}  // namespace modemline
