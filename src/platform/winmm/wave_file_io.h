// Whole-file WAVE reading and streaming WAVE writing for the file devices
// and the simulated line's remote party (the system's own WAVE file store
// lives in the audio subsystem above).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/winmm/riff_io.h"
#include "platform/winmm/wave_format.h"

namespace winmm {

// The format and sample bytes of a WAVE file; false when it is not one.
bool ReadWaveFile(const std::string& path, WAVEFORMATEX* format, std::string* data);

class WaveFileWriter {
public:
    WaveFileWriter(const std::string& path, const WAVEFORMATEX& format);
    ~WaveFileWriter();  // finishes the lengths
    WaveFileWriter(const WaveFileWriter&) = delete;
    WaveFileWriter& operator=(const WaveFileWriter&) = delete;
    bool IsOpen() const { return m_h != nullptr; }
    void Write(const BYTE* data, DWORD length);

private:
    HMMIO m_h = nullptr;
    MMCKINFO m_riff{};
    MMCKINFO m_data{};
};

// Linear samples to and from the bytes of a telephone format.
std::vector<std::int16_t> DecodeSamples(const WAVEFORMATEX& format, const BYTE* data, DWORD length);
void EncodeSamples(const WAVEFORMATEX& format, const std::int16_t* samples, size_t count, BYTE* out);

}  // namespace winmm
