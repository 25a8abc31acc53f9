// Building WAVE files byte by byte and with VM_CWaveFile, for the audio tests.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "audio/wave_file.h"
#include "platform/winmm/wave_format.h"

namespace wavetest {

inline WAVEFORMATEX Format(WORD tag, WORD bits, WORD channels = 1, DWORD rate = 8000) {
    WAVEFORMATEX f{};
    f.wFormatTag = tag;
    f.nChannels = channels;
    f.nSamplesPerSec = rate;
    f.wBitsPerSample = bits;
    f.nBlockAlign = static_cast<WORD>(channels * bits / 8);
    f.nAvgBytesPerSec = rate * f.nBlockAlign;
    return f;
}

inline void PutLe32(std::string& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

inline void PutLe16(std::string& out, std::uint16_t v) {
    out.push_back(static_cast<char>(v & 0xFF));
    out.push_back(static_cast<char>(v >> 8));
}

// One chunk with its pad byte.
inline std::string Chunk(const std::string& id, const std::string& body) {
    std::string out = id;
    PutLe32(out, static_cast<std::uint32_t>(body.size()));
    out += body;
    if (body.size() % 2) out.push_back('\0');
    return out;
}

// The format block's first fmtSize bytes (16 leaves out the extra size).
inline std::string FormatBody(const WAVEFORMATEX& f, size_t fmtSize = 18) {
    std::string out;
    PutLe16(out, f.wFormatTag);
    PutLe16(out, f.nChannels);
    PutLe32(out, f.nSamplesPerSec);
    PutLe32(out, f.nAvgBytesPerSec);
    PutLe16(out, f.nBlockAlign);
    PutLe16(out, f.wBitsPerSample);
    PutLe16(out, f.cbSize);
    out.resize(fmtSize, '\0');
    return out;
}

inline std::string RiffWave(const std::string& chunks) {
    std::string out = "RIFF";
    PutLe32(out, static_cast<std::uint32_t>(4 + chunks.size()));
    return out + "WAVE" + chunks;
}

inline std::string Pcm16Bytes(const std::vector<int16_t>& samples) {
    std::string out;
    for (int16_t s : samples) PutLe16(out, static_cast<std::uint16_t>(s));
    return out;
}

// A new file with the given format and sample bytes, closed.
inline void WriteWave(const std::string& path, const WAVEFORMATEX& format, const std::string& data) {
    VM_CWaveFile file(path.c_str(), VM_WAVE_MODE_NEW);
    file.VM_SetFormat(&format);
    file.VM_WriteData(reinterpret_cast<const BYTE*>(data.data()), static_cast<LONG>(data.size()), TRUE);
}

// Every sample byte of a file opened for reading.
inline std::string ReadAllData(VM_CWaveFile& file) {
    std::string out;
    BYTE buffer[VM_WAVE_READ_SIZE];
    LONG n = 0;
    while ((n = file.VM_ReadData(buffer)) > 0) out.append(reinterpret_cast<char*>(buffer), static_cast<size_t>(n));
    return out;
}

// Seconds of sound in a file, counted in its samples; -1 when unreadable.
inline double DataSeconds(const std::string& path) {
    VM_CWaveFile file(path.c_str(), VM_WAVE_MODE_READ);
    const std::string bytes = ReadAllData(file);
    const WAVEFORMATEX* format = file.VM_GetFormat();
    if (format == nullptr || format->nAvgBytesPerSec == 0) return -1.0;
    return static_cast<double>(bytes.size()) / format->nAvgBytesPerSec;
}

}  // namespace wavetest
