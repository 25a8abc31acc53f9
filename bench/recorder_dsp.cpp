// recorder-dsp: samples per second through the recorder's work on a returned
// buffer (DC filter, silence detector, dial- and busy-tone detectors with
// their 22 Goertzel filters and block decisions), against SpanDSP's Goertzel
// filters at the same 22 frequencies, every filter stepped per sample, with
// their results taken at the same block ends.
#include <time.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "audio/recorder_buffer.h"
#include "audio/wave_processor.h"
#include "detect/busy_tone_detector.h"
#include "detect/dial_tone_detector.h"
#include "detect/silence_detector.h"
#include "detect/tone_tables.h"

#if __has_include(<spandsp.h>)
#include <spandsp.h>
#define HAVE_SPANDSP 1
#endif

namespace {

constexpr int kBufferSamples = 800;  // one 1600-byte 16-bit buffer, 100 ms
constexpr int kBuffers = 2000;       // 200 s of sound per round
constexpr int kRounds = 5;

double CpuSeconds() {
    timespec t;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + t.tv_nsec * 1e-9;
}

// Speech-like test sound: a busy tone with some noise and an offset, so the
// detectors take every branch of their block decisions now and then.
std::vector<int16_t> TestSound() {
    std::vector<int16_t> s(kBufferSamples * 50);
    uint32_t x = 1;
    for (size_t i = 0; i < s.size(); ++i) {
        x = x * 1664525u + 1013904223u;
        double t = static_cast<double>(i) / 8000.0;
        bool on = static_cast<int>(t * 2) % 2 == 0;
        double v = 300.0 + (static_cast<double>(x >> 16) - 32768.0) / 64.0;
        if (on) v += 2000.0 * (std::sin(2 * M_PI * 480 * t) + std::sin(2 * M_PI * 620 * t));
        s[i] = static_cast<int16_t>(v);
    }
    return s;
}

double OursPerSecond(const std::vector<int16_t>& sound) {
    WAVEFORMATEX pcm16{1, 1, 8000, 16000, 2, 16, 0};
    double best = 0.0;
    for (int round = 0; round < kRounds; ++round) {
        VM_CWaveProcessor processor(&pcm16);
        VM_CSilenceDetector silence(10000, 786, 8000);
        VM_CDialToneDetector dial(80000, 8, 8000);
        VM_CBusyToneDetector busy(20000, 5, 8000);
        VM_DcBlocker dc;
        BYTE data[kBufferSamples * 2];
        const size_t chunks = sound.size() / kBufferSamples;
        double start = CpuSeconds();
        for (int b = 0; b < kBuffers; ++b) {
            std::memcpy(data, sound.data() + (b % chunks) * kBufferSamples, sizeof data);
            VM_ProcessRecordedBuffer(&processor, dc, nullptr, &silence, &busy, &dial, data, sizeof data);
        }
        double secs = CpuSeconds() - start;
        if (busy.Total() < 0 || dial.Total() < 0) std::fprintf(stderr, "impossible run\n");
        best = std::max(best, kBuffers * kBufferSamples / secs);
    }
    return best;
}

#ifdef HAVE_SPANDSP
double AnchorPerSecond(const std::vector<int16_t>& sound) {
    double best = 0.0;
    for (int round = 0; round < kRounds; ++round) {
        goertzel_descriptor_t desc[2 * detect::kToneFilters];
        goertzel_state_t state[2 * detect::kToneFilters];
        for (int j = 0; j < detect::kToneFilters; ++j) {
            make_goertzel_descriptor(&desc[j], static_cast<float>(detect::kDialToneFrequencies[j]), 640);
            make_goertzel_descriptor(&desc[detect::kToneFilters + j],
                                     static_cast<float>(detect::kBusyToneFrequencies[j]), 320);
        }
        for (int j = 0; j < 2 * detect::kToneFilters; ++j) goertzel_init(&state[j], &desc[j]);
        const size_t chunks = sound.size() / kBufferSamples;
        float sum = 0.0f;
        long long counter = 0;
        double start = CpuSeconds();
        for (int b = 0; b < kBuffers; ++b) {
            const int16_t* data = sound.data() + (b % chunks) * kBufferSamples;
            for (int i = 0; i < kBufferSamples; ++i) {
                float amp = data[i];
                for (int j = 0; j < 2 * detect::kToneFilters; ++j) goertzel_samplex(&state[j], amp);
                ++counter;
                if (counter % 320 == 0)
                    for (int j = detect::kToneFilters; j < 2 * detect::kToneFilters; ++j)
                        sum += goertzel_result(&state[j]);
                if (counter % 640 == 0)
                    for (int j = 0; j < detect::kToneFilters; ++j) sum += goertzel_result(&state[j]);
            }
        }
        double secs = CpuSeconds() - start;
        if (std::isnan(sum)) std::fprintf(stderr, "nan\n");
        best = std::max(best, kBuffers * kBufferSamples / secs);
    }
    return best;
}
#endif

}  // namespace

int main(int argc, char** argv) {
    const char* name = "recorder-dsp";
    if (argc > 1 && argv[1][0] != '\0' && std::string(name).find(argv[1]) == std::string::npos) return 0;
    std::vector<int16_t> sound = TestSound();
    double ours = OursPerSecond(sound);
#ifdef HAVE_SPANDSP
    double anchor = AnchorPerSecond(sound);
    std::printf("%s: %.1f Msamples/s vs %.1f Msamples/s = %.2fx\n", name, ours / 1e6, anchor / 1e6,
                ours / anchor);
#else
    std::printf("%s: %.1f Msamples/s vs (SpanDSP not installed)\n", name, ours / 1e6);
#endif
    return 0;
}
