// The codec against the ITU-T G.711 reference: the plain segment search,
// written out here independently of the tables the codec uses.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>

#include "platform/winmm/g711.h"

namespace {

int SearchSegment(int value, const int* ends) {
    int seg = 0;
    while (seg < 8 && value > ends[seg]) ++seg;
    return seg;
}

std::uint8_t ReferenceALaw(int pcm) {
    static const int ends[8] = {0x1F, 0x3F, 0x7F, 0xFF, 0x1FF, 0x3FF, 0x7FF, 0xFFF};
    int value = pcm >> 3;
    int mask = 0xD5;
    if (value < 0) {
        mask = 0x55;
        value = -value - 1;
    }
    const int seg = SearchSegment(value, ends);
    if (seg == 8) return static_cast<std::uint8_t>(0x7F ^ mask);
    const int shift = seg < 2 ? 1 : seg;
    return static_cast<std::uint8_t>(((seg << 4) | ((value >> shift) & 0xF)) ^ mask);
}

std::uint8_t ReferenceULaw(int pcm) {
    static const int ends[8] = {0xFF, 0x1FF, 0x3FF, 0x7FF, 0xFFF, 0x1FFF, 0x3FFF, 0x7FFF};
    const bool negative = pcm < 0;
    int magnitude = negative ? -pcm : pcm;
    if (magnitude > 32635) magnitude = 32635;
    magnitude += 0x84;
    const int seg = SearchSegment(magnitude, ends);
    const int code = seg == 8 ? 0x7F : ((seg << 4) | ((magnitude >> (seg + 3)) & 0xF));
    return static_cast<std::uint8_t>(code ^ (negative ? 0x7F : 0xFF));
}

// Decoded value: the middle of the code's quantisation interval.
int ReferenceALawDecode(std::uint8_t code) {
    const int a = code ^ 0x55;
    const int seg = (a >> 4) & 7;
    const int mantissa = a & 0xF;
    int magnitude = seg == 0 ? (mantissa << 4) + 8 : ((mantissa << 4) + 0x108) << (seg - 1);
    return (a & 0x80) ? magnitude : -magnitude;
}

int ReferenceULawDecode(std::uint8_t code) {
    const int u = ~code & 0xFF;
    const int magnitude = ((((u & 0xF) << 3) + 0x84) << ((u >> 4) & 7)) - 0x84;
    return (u & 0x80) ? -magnitude : magnitude;
}

}  // namespace

TEST(G711, EveryLinearValueEncodesToTheReferenceCode) {
    int aMismatch = 0;
    int uMismatch = 0;
    for (int v = -32768; v <= 32767; ++v) {
        const auto s = static_cast<std::int16_t>(v);
        if (g711::LinearToALaw(s) != ReferenceALaw(v)) ++aMismatch;
        if (g711::LinearToULaw(s) != ReferenceULaw(v)) ++uMismatch;
    }
    EXPECT_EQ(aMismatch, 0);
    EXPECT_EQ(uMismatch, 0);
}

TEST(G711, EveryCodeDecodesToTheReferenceValueAndRoundTrips) {
    for (int code = 0; code < 256; ++code) {
        const auto c = static_cast<std::uint8_t>(code);
        EXPECT_EQ(g711::ALawToLinear(c), ReferenceALawDecode(c)) << code;
        EXPECT_EQ(g711::ULawToLinear(c), ReferenceULawDecode(c)) << code;
        EXPECT_EQ(g711::LinearToALaw(g711::ALawToLinear(c)), c) << code;
        // Mu-law has two codes for zero (0x7F and 0xFF); both decode to 0.
        if (c != 0x7F) {
            EXPECT_EQ(g711::LinearToULaw(g711::ULawToLinear(c)), c) << code;
        }
    }
    EXPECT_EQ(g711::ULawToLinear(0x7F), 0);
    EXPECT_EQ(g711::ALawToLinear(0xD5), 8);
    EXPECT_EQ(g711::ALawToLinear(0x2A), -32256);
    EXPECT_EQ(g711::ULawToLinear(0x00), -32124);
}

TEST(G711, LawConversionTablesAreSymmetricAndClose) {
    for (int code = 0; code < 256; ++code) {
        const auto c = static_cast<std::uint8_t>(code);
        const std::uint8_t u = g711::ALawToULaw(c);
        const std::uint8_t a = g711::ULawToALaw(c);
        // Sign is kept: bit 7 means positive in both laws.
        EXPECT_EQ(u & 0x80, c & 0x80) << code;
        EXPECT_EQ(a & 0x80, c & 0x80) << code;
        // The tables mirror between the halves.
        EXPECT_EQ(g711::ALawToULaw(static_cast<std::uint8_t>(c ^ 0x80)), u ^ 0x80) << code;
        EXPECT_EQ(g711::ULawToALaw(static_cast<std::uint8_t>(c ^ 0x80)), a ^ 0x80) << code;
        // The converted code lies within one step of the value it came from.
        const int fromA = g711::ALawToLinear(c);
        const int viaU = g711::ULawToLinear(u);
        EXPECT_LE(std::abs(viaU - fromA), std::abs(fromA) / 16 + 16) << code;
        const int fromU = g711::ULawToLinear(c);
        const int viaA = g711::ALawToLinear(a);
        EXPECT_LE(std::abs(viaA - fromU), std::abs(fromU) / 16 + 16) << code;
    }
    // Entries the standard's tables fix (the corrected rows).
    EXPECT_EQ(g711::ULawToALaw(0x7F ^ 80), 0x55 ^ 79);
    EXPECT_EQ(g711::ALawToULaw(0x55 ^ 79), 0x7F ^ 80);
    EXPECT_EQ(g711::ALawToULaw(0xD5), 0xFF ^ 1);
}

TEST(G711, Pcm8IsOffsetBinaryOfTheHighByte) {
    EXPECT_EQ(g711::LinearToPcm8(0), 128);
    EXPECT_EQ(g711::LinearToPcm8(-1), 127);
    EXPECT_EQ(g711::LinearToPcm8(32767), 255);
    EXPECT_EQ(g711::LinearToPcm8(-32768), 0);
    for (int u = 0; u < 256; ++u) {
        EXPECT_EQ(g711::Pcm8ToLinear(static_cast<std::uint8_t>(u)), (u - 128) * 256);
        EXPECT_EQ(g711::LinearToPcm8(g711::Pcm8ToLinear(static_cast<std::uint8_t>(u))), u);
    }
}
