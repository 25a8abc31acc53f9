// wave-convert: a one-hour 16-bit WAVE file rewritten as mu-law by
// VM_ConvertFormat, against `sox -D` converting the same file (sox would
// otherwise dither, which is other work). Wall-clock time, best of three,
// each run on a fresh copy of the 16-bit file in the same folder.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "audio/wave_file.h"

namespace {

constexpr int kRuns = 3;
constexpr LONG kSamples = 8000 * 3600;

double Seconds() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

WAVEFORMATEX Telephone(WORD tag, WORD bits) {
    const WORD align = static_cast<WORD>(bits / 8);
    return WAVEFORMATEX{tag, 1, 8000, 8000u * align, align, bits, 0};
}

void MakeHourFile(const std::string& path) {
    const WAVEFORMATEX pcm16 = Telephone(WAVE_FORMAT_PCM, 16);
    VM_CWaveFile file(path.c_str(), VM_WAVE_MODE_NEW);
    file.VM_SetFormat(&pcm16);
    std::vector<BYTE> block(16000);
    uint32_t x = 11;
    for (LONG second = 0; second < kSamples / 8000; ++second) {
        for (int i = 0; i < 8000; ++i) {
            x = x * 1664525u + 1013904223u;
            const double t = (second * 8000 + i) / 8000.0;
            const double v = 9000.0 * std::sin(2 * M_PI * 440 * t) + (static_cast<double>(x >> 16) - 32768.0) / 8.0;
            const auto s = static_cast<uint16_t>(static_cast<int16_t>(v));
            block[2 * i] = static_cast<BYTE>(s & 0xFF);
            block[2 * i + 1] = static_cast<BYTE>(s >> 8);
        }
        file.VM_WriteData(block.data(), static_cast<LONG>(block.size()), TRUE);
    }
}

double Ours(const std::string& source, const std::string& work) {
    const WAVEFORMATEX ulaw = Telephone(WAVE_FORMAT_MULAW, 8);
    double best = 1e9;
    for (int run = 0; run < kRuns; ++run) {
        std::filesystem::copy_file(source, work, std::filesystem::copy_options::overwrite_existing);
        const double start = Seconds();
        bool ok = false;
        {
            VM_CWaveFile file(work.c_str(), VM_WAVE_MODE_READ);
            ok = file.VM_ConvertFormat(&ulaw);
        }
        const double secs = Seconds() - start;
        if (!ok || std::filesystem::file_size(work) != 46u + static_cast<uintmax_t>(kSamples)) {
            std::fprintf(stderr, "wave-convert: conversion failed\n");
            return 0.0;
        }
        best = std::min(best, secs);
    }
    return best;
}

double Sox(const std::string& source, const std::string& work, const std::string& out) {
    double best = 1e9;
    for (int run = 0; run < kRuns; ++run) {
        std::filesystem::copy_file(source, work, std::filesystem::copy_options::overwrite_existing);
        const std::string command = "sox -D '" + work + "' -e mu-law '" + out + "'";
        const double start = Seconds();
        const int rc = std::system(command.c_str());
        const double secs = Seconds() - start;
        if (rc != 0) return 0.0;
        best = std::min(best, secs);
    }
    return best;
}

}  // namespace

int main() {
    const std::filesystem::path dir = std::filesystem::temp_directory_path() / "vocerra-bench-wave-convert";
    std::filesystem::create_directories(dir);
    const std::string source = (dir / "hour.wav").string();
    const std::string work = (dir / "work.wav").string();
    const std::string soxOut = (dir / "sox.wav").string();
    MakeHourFile(source);
    const double ours = Ours(source, work);
    const double sox = Sox(source, work, soxOut);
    std::filesystem::remove_all(dir);
    const double samples = static_cast<double>(kSamples);
    if (ours <= 0.0 || sox <= 0.0) {
        std::printf("wave-convert: failed (ours %.3f s, sox %.3f s)\n", ours, sox);
        return 1;
    }
    std::printf("wave-convert: %.1f Msamples/s vs %.1f Msamples/s = %.2fx\n", samples / ours / 1e6,
                samples / sox / 1e6, sox / ours);
    return 0;
}
