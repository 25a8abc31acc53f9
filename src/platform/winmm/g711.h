// ITU-T G.711 A-law and mu-law, and 8-bit unsigned PCM, for single samples:
// the codec the wave devices and the sample-format processor share.
// The encoders are table lookups built from the segment search of the
// standard, so they give exactly its codes; the decoders are its inverses.
#pragma once

#include <array>
#include <cstdint>

namespace g711 {

// Indexed by the 16-bit value as unsigned (value & 0xFFFF).
extern const std::array<std::uint8_t, 65536> kLinearToALaw;
extern const std::array<std::uint8_t, 65536> kLinearToULaw;
extern const std::array<std::int16_t, 256> kALawToLinear;
extern const std::array<std::int16_t, 256> kULawToLinear;
// The two conversion tables of the standard, for all 256 codes.
extern const std::array<std::uint8_t, 256> kALawToULaw;
extern const std::array<std::uint8_t, 256> kULawToALaw;

inline std::uint8_t LinearToALaw(std::int16_t v) { return kLinearToALaw[static_cast<std::uint16_t>(v)]; }
inline std::uint8_t LinearToULaw(std::int16_t v) { return kLinearToULaw[static_cast<std::uint16_t>(v)]; }
inline std::int16_t ALawToLinear(std::uint8_t code) { return kALawToLinear[code]; }
inline std::int16_t ULawToLinear(std::uint8_t code) { return kULawToLinear[code]; }
inline std::uint8_t ALawToULaw(std::uint8_t code) { return kALawToULaw[code]; }
inline std::uint8_t ULawToALaw(std::uint8_t code) { return kULawToALaw[code]; }

// Unsigned 8-bit PCM with an offset of 128.
inline std::uint8_t LinearToPcm8(std::int16_t v) { return static_cast<std::uint8_t>((v >> 8) + 128); }
inline std::int16_t Pcm8ToLinear(std::uint8_t u) { return static_cast<std::int16_t>((u - 128) * 256); }

}  // namespace g711
