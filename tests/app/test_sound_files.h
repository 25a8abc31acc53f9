// Sound files and WAVE-file sound devices for the app tests.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "audio/wave_test_files.h"
#include "platform/winmm/wave_endpoint.h"

namespace apptest {

// Sound cards would make the device lists depend on the machine.
inline bool NoSoundCards() {
    static const bool set = setenv("VOCERRA_NO_SOUND_CARDS", "1", 1) == 0;
    return set;
}

constexpr DWORD kAllFormats = winmm::kFormatPcm16 | winmm::kFormatPcm8 | winmm::kFormatALaw | winmm::kFormatMuLaw;

// 16-bit samples that differ from one file to the next with step.
inline std::string Ramp(size_t samples, int step = 331) {
    std::vector<int16_t> out(samples);
    for (size_t i = 0; i < samples; ++i) out[i] = static_cast<int16_t>((i * step) % 60000 - 30000);
    return wavetest::Pcm16Bytes(out);
}

}  // namespace apptest
