#include "platform/winmm/file_endpoint.h"

#include <cstring>

#include "platform/winmm/wave_endpoint.h"
#include "platform/winmm/wave_file_io.h"

namespace winmm {
namespace {

class FileOutStream : public WaveStream {
public:
    FileOutStream(const std::string& path, const WAVEFORMATEX& format) : m_writer(path, format) {}
    bool IsOpen() const { return m_writer.IsOpen(); }
    void Play(const BYTE* data, DWORD length) override { m_writer.Write(data, length); }
    DWORD Record(BYTE*, DWORD) override { return 0; }

private:
    WaveFileWriter m_writer;
};

class FileInStream : public WaveStream {
public:
    FileInStream(std::string data, BYTE silence) : m_data(std::move(data)), m_silence(silence) {}
    void Play(const BYTE*, DWORD) override {}
    DWORD Record(BYTE* data, DWORD length) override {
        const size_t left = m_data.size() - m_pos;
        const size_t n = left < length ? left : length;
        std::memcpy(data, m_data.data() + m_pos, n);
        std::memset(data + n, m_silence, length - n);
        m_pos += n;
        return length;
    }

private:
    std::string m_data;
    size_t m_pos = 0;
    BYTE m_silence;
};

class FileOutEndpoint : public WaveEndpoint {
public:
    FileOutEndpoint(std::string path, DWORD accepted) : m_path(std::move(path)), m_accepted(accepted) {}
    std::string Name() const override { return "File output"; }
    bool Accepts(const WAVEFORMATEX& format) const override { return (TelephoneFormatBit(format) & m_accepted) != 0; }
    std::unique_ptr<WaveStream> Open(const WAVEFORMATEX& format) override {
        auto stream = std::make_unique<FileOutStream>(m_path, format);
        if (!stream->IsOpen()) return nullptr;
        return stream;
    }

private:
    std::string m_path;
    DWORD m_accepted;
};

class FileInEndpoint : public WaveEndpoint {
public:
    FileInEndpoint(std::string path, DWORD accepted) : m_path(std::move(path)), m_accepted(accepted) {}
    std::string Name() const override { return "File input"; }
    bool Accepts(const WAVEFORMATEX& format) const override {
        WAVEFORMATEX own{};
        std::string data;
        const DWORD bit = TelephoneFormatBit(format);
        return (bit & m_accepted) != 0 && ReadWaveFile(m_path, &own, &data) && TelephoneFormatBit(own) == bit;
    }
    std::unique_ptr<WaveStream> Open(const WAVEFORMATEX& format) override {
        WAVEFORMATEX own{};
        std::string data;
        if (!ReadWaveFile(m_path, &own, &data)) return nullptr;
        return std::make_unique<FileInStream>(std::move(data), SilenceByte(format));
    }

private:
    std::string m_path;
    DWORD m_accepted;
};

}  // namespace

UINT AddFileWaveOut(const std::string& path, DWORD acceptedFormats) {
    return AddWaveOutEndpoint(std::make_shared<FileOutEndpoint>(path, acceptedFormats));
}

UINT AddFileWaveIn(const std::string& path, DWORD acceptedFormats) {
    return AddWaveInEndpoint(std::make_shared<FileInEndpoint>(path, acceptedFormats));
}

}  // namespace winmm
