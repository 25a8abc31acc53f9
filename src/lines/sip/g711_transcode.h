// Between the wave formats a call's devices are opened with and the G.711
// law agreed for the call. A law met in its own law is copied and A-law and
// mu-law are converted by the standard's tables, so every code arrives as
// sent; only 8- and 16-bit PCM go through the encoder.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "lines/sip/sdp_offer.h"
#include "platform/winmm/wave_format.h"

namespace sipline {

// The call's codes as the given format: size codes give size samples.
void DecodeForFormat(Codec codec, const std::uint8_t* codes, std::size_t size, const WAVEFORMATEX& format,
                     std::uint8_t* out);
// The format's bytes as the call's codes, appended to out.
void EncodeFromFormat(const WAVEFORMATEX& format, const std::uint8_t* data, std::size_t size, Codec codec,
                      std::string* out);
std::size_t BytesPerSample(const WAVEFORMATEX& format);

}  // namespace sipline
