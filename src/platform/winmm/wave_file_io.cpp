#include "platform/winmm/wave_file_io.h"

#include <cstring>

#include "platform/winmm/g711.h"

namespace winmm {
namespace {

constexpr FOURCC kWave = mmioFOURCC('W', 'A', 'V', 'E');
constexpr FOURCC kFmt = mmioFOURCC('f', 'm', 't', ' ');
constexpr FOURCC kData = mmioFOURCC('d', 'a', 't', 'a');
// The most sample bytes read into memory: over four hours of telephone
// audio. A file's own size field decides nothing beyond the bytes it has.
constexpr LONG kMaxDataBytes = 256 * 1024 * 1024;

// The bytes from offset to the end of the file; the position is kept.
LONG BytesFrom(HMMIO h, DWORD offset) {
    const LONG here = mmioSeek(h, 0, SEEK_CUR);
    const LONG end = mmioSeek(h, 0, SEEK_END);
    mmioSeek(h, here, SEEK_SET);
    return end < 0 || static_cast<DWORD>(end) < offset ? 0 : end - static_cast<LONG>(offset);
}

bool ReadChunks(HMMIO h, WAVEFORMATEX* format, std::string* data) {
    MMCKINFO riff{};
    riff.fccType = kWave;
    if (mmioDescend(h, &riff, nullptr, MMIO_FINDRIFF) != MMSYSERR_NOERROR) return false;
    const LONG form = mmioSeek(h, 0, SEEK_CUR);
    MMCKINFO fmt{};
    fmt.ckid = kFmt;
    if (mmioDescend(h, &fmt, &riff, MMIO_FINDCHUNK) != MMSYSERR_NOERROR || fmt.cksize < 16) return false;
    *format = WAVEFORMATEX{};
    const LONG want = fmt.cksize < sizeof(WAVEFORMATEX) ? static_cast<LONG>(fmt.cksize) : sizeof(WAVEFORMATEX);
    if (mmioRead(h, reinterpret_cast<char*>(format), want) != want) return false;
    mmioSeek(h, form, SEEK_SET);
    MMCKINFO chunk{};
    chunk.ckid = kData;
    if (mmioDescend(h, &chunk, &riff, MMIO_FINDCHUNK) != MMSYSERR_NOERROR) return false;
    const LONG present = BytesFrom(h, chunk.dwDataOffset);
    const LONG size = chunk.cksize < static_cast<DWORD>(present) ? static_cast<LONG>(chunk.cksize) : present;
    if (size > kMaxDataBytes) return false;
    std::string bytes(static_cast<size_t>(size), '\0');
    const LONG got = mmioRead(h, bytes.data(), size);
    if (got < 0) return false;
    bytes.resize(static_cast<size_t>(got));
    *data = std::move(bytes);
    return true;
}

}  // namespace

bool ReadWaveFile(const std::string& path, WAVEFORMATEX* format, std::string* data) {
    HMMIO h = mmioOpenA(const_cast<char*>(path.c_str()), nullptr, MMIO_READ);
    if (h == nullptr) return false;
    const bool ok = ReadChunks(h, format, data);
    mmioClose(h, 0);
    return ok;
}

WaveFileWriter::WaveFileWriter(const std::string& path, const WAVEFORMATEX& format) {
    m_h = mmioOpenA(const_cast<char*>(path.c_str()), nullptr, MMIO_CREATE | MMIO_READWRITE);
    if (m_h == nullptr) return;
    m_riff.fccType = kWave;
    MMCKINFO fmt{};
    fmt.ckid = kFmt;
    fmt.cksize = sizeof(WAVEFORMATEX);
    const bool ok = mmioCreateChunk(m_h, &m_riff, MMIO_CREATERIFF) == MMSYSERR_NOERROR &&
                    mmioCreateChunk(m_h, &fmt, 0) == MMSYSERR_NOERROR &&
                    mmioWrite(m_h, reinterpret_cast<const char*>(&format), sizeof format) == sizeof format &&
                    mmioAscend(m_h, &fmt, 0) == MMSYSERR_NOERROR;
    m_data.ckid = kData;
    if (!ok || mmioCreateChunk(m_h, &m_data, 0) != MMSYSERR_NOERROR) {
        mmioClose(m_h, 0);
        m_h = nullptr;
    }
}

WaveFileWriter::~WaveFileWriter() {
    if (m_h == nullptr) return;
    mmioAscend(m_h, &m_data, 0);
    mmioAscend(m_h, &m_riff, 0);
    mmioClose(m_h, 0);
}

void WaveFileWriter::Write(const BYTE* data, DWORD length) {
    if (m_h != nullptr) mmioWrite(m_h, reinterpret_cast<const char*>(data), static_cast<LONG>(length));
}

std::vector<std::int16_t> DecodeSamples(const WAVEFORMATEX& format, const BYTE* data, DWORD length) {
    std::vector<std::int16_t> out;
    if (format.wBitsPerSample == 16) {
        out.resize(length / 2);
        for (size_t i = 0; i < out.size(); ++i) {
            out[i] = static_cast<std::int16_t>(data[2 * i] | (data[2 * i + 1] << 8));
        }
        return out;
    }
    out.resize(length);
    for (size_t i = 0; i < length; ++i) {
        if (format.wFormatTag == WAVE_FORMAT_ALAW) {
            out[i] = g711::ALawToLinear(data[i]);
        } else if (format.wFormatTag == WAVE_FORMAT_MULAW) {
            out[i] = g711::ULawToLinear(data[i]);
        } else {
            out[i] = g711::Pcm8ToLinear(data[i]);
        }
    }
    return out;
}

void EncodeSamples(const WAVEFORMATEX& format, const std::int16_t* samples, size_t count, BYTE* out) {
    for (size_t i = 0; i < count; ++i) {
        const std::int16_t v = samples[i];
        if (format.wBitsPerSample == 16) {
            out[2 * i] = static_cast<BYTE>(v & 0xFF);
            out[2 * i + 1] = static_cast<BYTE>((v >> 8) & 0xFF);
        } else if (format.wFormatTag == WAVE_FORMAT_ALAW) {
            out[i] = g711::LinearToALaw(v);
        } else if (format.wFormatTag == WAVE_FORMAT_MULAW) {
            out[i] = g711::LinearToULaw(v);
        } else {
            out[i] = g711::LinearToPcm8(v);
        }
    }
}

}  // namespace winmm
