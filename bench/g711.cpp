// g711-encode and g711-decode: samples per second through our G.711 A-law and
// mu-law codec against SpanDSP's, both laws in turn over the same 8 kHz sound.
#include <time.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <vector>

#include <benchmark/benchmark.h>

#include "platform/winmm/g711.h"

#if __has_include(<spandsp.h>)
#include <spandsp.h>
#define HAVE_SPANDSP 1
#endif

namespace {

constexpr int kRounds = 7;
constexpr int kPasses = 40;

double CpuSeconds() {
    timespec t;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + t.tv_nsec * 1e-9;
}

// Ten seconds of speech-like sound: tones with a varying level and noise.
std::vector<int16_t> TestSound() {
    std::vector<int16_t> s(80000);
    uint32_t x = 7;
    for (size_t i = 0; i < s.size(); ++i) {
        x = x * 1664525u + 1013904223u;
        const double t = static_cast<double>(i) / 8000.0;
        const double level = 4000.0 + 12000.0 * std::fabs(std::sin(2 * M_PI * 0.7 * t));
        double v = level * (std::sin(2 * M_PI * 300 * t) + 0.5 * std::sin(2 * M_PI * 1170 * t));
        v += (static_cast<double>(x >> 16) - 32768.0) / 16.0;
        s[i] = static_cast<int16_t>(std::clamp(v, -32768.0, 32767.0));
    }
    return s;
}

template <typename Encode>
double EncodeRate(const std::vector<int16_t>& sound, Encode encode) {
    std::vector<uint8_t> a(sound.size());
    std::vector<uint8_t> u(sound.size());
    double best = 0.0;
    unsigned sum = 0;
    for (int round = 0; round < kRounds; ++round) {
        const double start = CpuSeconds();
        for (int p = 0; p < kPasses; ++p) {
            encode(sound.data(), sound.size(), a.data(), u.data());
            benchmark::ClobberMemory();
            sum += a[static_cast<size_t>(p) % a.size()] + u[static_cast<size_t>(p * 7) % u.size()];
        }
        const double secs = CpuSeconds() - start;
        best = std::max(best, 2.0 * kPasses * static_cast<double>(sound.size()) / secs);
    }
    if (sum == 1) std::fprintf(stderr, " ");
    return best;
}

template <typename Decode>
double DecodeRate(const std::vector<uint8_t>& codes, Decode decode) {
    std::vector<int16_t> a(codes.size());
    std::vector<int16_t> u(codes.size());
    double best = 0.0;
    int sum = 0;
    for (int round = 0; round < kRounds; ++round) {
        const double start = CpuSeconds();
        for (int p = 0; p < kPasses; ++p) {
            decode(codes.data(), codes.size(), a.data(), u.data());
            benchmark::ClobberMemory();
            sum += a[static_cast<size_t>(p) % a.size()] + u[static_cast<size_t>(p * 7) % u.size()];
        }
        const double secs = CpuSeconds() - start;
        best = std::max(best, 2.0 * kPasses * static_cast<double>(codes.size()) / secs);
    }
    if (sum == 1) std::fprintf(stderr, " ");
    return best;
}

void Report(const char* name, double ours, double anchor) {
    std::printf("%s: %.1f Msamples/s vs %.1f Msamples/s = %.2fx\n", name, ours / 1e6, anchor / 1e6, ours / anchor);
}

}  // namespace

int main() {
    const std::vector<int16_t> sound = TestSound();
    std::vector<uint8_t> codes(sound.size());
    for (size_t i = 0; i < sound.size(); ++i) codes[i] = g711::LinearToALaw(sound[i]);

    const double oursEncode = EncodeRate(sound, [](const int16_t* in, size_t n, uint8_t* a, uint8_t* u) {
        for (size_t i = 0; i < n; ++i) a[i] = g711::LinearToALaw(in[i]);
        for (size_t i = 0; i < n; ++i) u[i] = g711::LinearToULaw(in[i]);
    });
    const double oursDecode = DecodeRate(codes, [](const uint8_t* in, size_t n, int16_t* a, int16_t* u) {
        for (size_t i = 0; i < n; ++i) a[i] = g711::ALawToLinear(in[i]);
        for (size_t i = 0; i < n; ++i) u[i] = g711::ULawToLinear(in[i]);
    });
#ifdef HAVE_SPANDSP
    const double theirEncode = EncodeRate(sound, [](const int16_t* in, size_t n, uint8_t* a, uint8_t* u) {
        for (size_t i = 0; i < n; ++i) a[i] = linear_to_alaw(in[i]);
        for (size_t i = 0; i < n; ++i) u[i] = linear_to_ulaw(in[i]);
    });
    const double theirDecode = DecodeRate(codes, [](const uint8_t* in, size_t n, int16_t* a, int16_t* u) {
        for (size_t i = 0; i < n; ++i) a[i] = alaw_to_linear(in[i]);
        for (size_t i = 0; i < n; ++i) u[i] = ulaw_to_linear(in[i]);
    });
    Report("g711-encode", oursEncode, theirEncode);
    Report("g711-decode", oursDecode, theirDecode);
#else
    std::printf("g711-encode: %.1f Msamples/s (SpanDSP not found)\n", oursEncode / 1e6);
    std::printf("g711-decode: %.1f Msamples/s (SpanDSP not found)\n", oursDecode / 1e6);
#endif
    return 0;
}
