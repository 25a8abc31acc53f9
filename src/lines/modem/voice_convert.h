// Sound between the wave devices' formats and the modem's encoding; the
// same encoding passes unchanged, byte for byte.
#pragma once

#include <optional>
#include <string>

#include "lines/modem/voice_compression.h"
#include "platform/winmm/wave_format.h"

namespace modemline {

// The encoding of a telephone wave format; nullopt for other formats.
std::optional<VoiceEncoding> EncodingOfFormat(const WAVEFORMATEX& format);
std::string ConvertVoice(const BYTE* data, size_t length, VoiceEncoding from, VoiceEncoding to);

}  // namespace modemline
