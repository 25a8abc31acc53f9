#include "platform/winmm/g711.h"

#include <array>

namespace g711 {
namespace {

constexpr int kALawSegmentEnd[8] = {0x1F, 0x3F, 0x7F, 0xFF, 0x1FF, 0x3FF, 0x7FF, 0xFFF};
constexpr int kULawSegmentEnd[8] = {0xFF, 0x1FF, 0x3FF, 0x7FF, 0xFFF, 0x1FFF, 0x3FFF, 0x7FFF};
constexpr int kULawBias = 0x84;
constexpr int kULawClip = 32635;

constexpr int Segment(int value, const int (&ends)[8]) {
    for (int i = 0; i < 8; ++i) {
        if (value <= ends[i]) return i;
    }
    return 8;
}

// A-law works on the value with its three low bits dropped (13 bits).
constexpr std::uint8_t EncodeALaw(int linear) {
    int v = linear >> 3;
    int mask = 0xD5;
    if (v < 0) {
        mask = 0x55;
        v = -v - 1;
    }
    const int seg = Segment(v, kALawSegmentEnd);
    if (seg >= 8) return static_cast<std::uint8_t>(0x7F ^ mask);
    int code = seg << 4;
    code |= (seg < 2) ? ((v >> 1) & 0x0F) : ((v >> seg) & 0x0F);
    return static_cast<std::uint8_t>(code ^ mask);
}

constexpr std::uint8_t EncodeULaw(int linear) {
    int v = linear;
    int mask = 0xFF;
    if (v < 0) {
        v = -v;
        mask = 0x7F;
    }
    if (v > kULawClip) v = kULawClip;
    v += kULawBias;
    const int seg = Segment(v, kULawSegmentEnd);
    if (seg >= 8) return static_cast<std::uint8_t>(0x7F ^ mask);
    const int code = (seg << 4) | ((v >> (seg + 3)) & 0x0F);
    return static_cast<std::uint8_t>(code ^ mask);
}

constexpr std::int16_t DecodeALaw(std::uint8_t code) {
    const int a = code ^ 0x55;
    int t = (a & 0x0F) << 4;
    const int seg = (a & 0x70) >> 4;
    if (seg == 0) {
        t += 8;
    } else if (seg == 1) {
        t += 0x108;
    } else {
        t += 0x108;
        t <<= seg - 1;
    }
    return static_cast<std::int16_t>((a & 0x80) ? t : -t);
}

constexpr std::int16_t DecodeULaw(std::uint8_t code) {
    const int u = ~code & 0xFF;
    int t = ((u & 0x0F) << 3) + kULawBias;
    t <<= (u & 0x70) >> 4;
    return static_cast<std::int16_t>((u & 0x80) ? (kULawBias - t) : (t - kULawBias));
}

// The conversion tables of the standard for the positive half, indexed by
// the code with its inversion pattern removed; they hold code + 1.
constexpr std::uint8_t kULawToALawHalf[128] = {
    1,   1,   2,   2,   3,   3,   4,   4,   5,   5,   6,   6,   7,   7,   8,   8,
    9,   10,  11,  12,  13,  14,  15,  16,  17,  18,  19,  20,  21,  22,  23,  24,
    25,  27,  29,  31,  33,  34,  35,  36,  37,  38,  39,  40,  41,  42,  43,  44,
    46,  48,  49,  50,  51,  52,  53,  54,  55,  56,  57,  58,  59,  60,  61,  62,
    64,  65,  66,  67,  68,  69,  70,  71,  72,  73,  74,  75,  76,  77,  78,  79,
    80,  82,  83,  84,  85,  86,  87,  88,  89,  90,  91,  92,  93,  94,  95,  96,
    97,  98,  99,  100, 101, 102, 103, 104, 105, 106, 107, 108, 109, 110, 111, 112,
    113, 114, 115, 116, 117, 118, 119, 120, 121, 122, 123, 124, 125, 126, 127, 128};

constexpr std::uint8_t kALawToULawHalf[128] = {
    1,   3,   5,   7,   9,   11,  13,  15,  16,  17,  18,  19,  20,  21,  22,  23,
    24,  25,  26,  27,  28,  29,  30,  31,  32,  32,  33,  33,  34,  34,  35,  35,
    36,  37,  38,  39,  40,  41,  42,  43,  44,  45,  46,  47,  48,  48,  49,  49,
    50,  51,  52,  53,  54,  55,  56,  57,  58,  59,  60,  61,  62,  63,  64,  64,
    65,  66,  67,  68,  69,  70,  71,  72,  73,  74,  75,  76,  77,  78,  79,  80,
    80,  81,  82,  83,  84,  85,  86,  87,  88,  89,  90,  91,  92,  93,  94,  95,
    96,  97,  98,  99,  100, 101, 102, 103, 104, 105, 106, 107, 108, 109, 110, 111,
    112, 113, 114, 115, 116, 117, 118, 119, 120, 121, 122, 123, 124, 125, 126, 127};

template <typename T, std::size_t N, typename F>
constexpr std::array<T, N> Build(F f) {
    std::array<T, N> table{};
    for (std::size_t i = 0; i < N; ++i) table[i] = f(i);
    return table;
}

}  // namespace

alignas(64) constexpr std::array<std::uint8_t, 65536> kLinearToALaw = Build<std::uint8_t, 65536>(
    [](std::size_t i) { return EncodeALaw(static_cast<std::int16_t>(static_cast<std::uint16_t>(i))); });
alignas(64) constexpr std::array<std::uint8_t, 65536> kLinearToULaw = Build<std::uint8_t, 65536>(
    [](std::size_t i) { return EncodeULaw(static_cast<std::int16_t>(static_cast<std::uint16_t>(i))); });
constexpr std::array<std::int16_t, 256> kALawToLinear =
    Build<std::int16_t, 256>([](std::size_t i) { return DecodeALaw(static_cast<std::uint8_t>(i)); });
constexpr std::array<std::int16_t, 256> kULawToLinear =
    Build<std::int16_t, 256>([](std::size_t i) { return DecodeULaw(static_cast<std::uint8_t>(i)); });
constexpr std::array<std::uint8_t, 256> kALawToULaw = Build<std::uint8_t, 256>([](std::size_t a) {
    return static_cast<std::uint8_t>((a & 0x80) ? (0xFF ^ kALawToULawHalf[a ^ 0xD5])
                                                : (0x7F ^ kALawToULawHalf[a ^ 0x55]));
});
constexpr std::array<std::uint8_t, 256> kULawToALaw = Build<std::uint8_t, 256>([](std::size_t u) {
    return static_cast<std::uint8_t>((u & 0x80) ? (0xD5 ^ (kULawToALawHalf[0xFF ^ u] - 1))
                                                : (0x55 ^ (kULawToALawHalf[0x7F ^ u] - 1)));
});

}  // namespace g711
