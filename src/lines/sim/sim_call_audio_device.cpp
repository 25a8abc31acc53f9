#include "lines/sim/sim_call_audio_device.h"

#include <algorithm>
#include <cmath>
#include <mutex>
#include <numbers>

#include "platform/winmm/wave_endpoint.h"
#include "platform/winmm/wave_file_io.h"

namespace simline {

struct SimCallAudio::Shared {
    enum class Source { kSilence, kFile, kTone };

    std::mutex lock;
    DWORD accepted = 0;
    Source source = Source::kSilence;
    std::vector<std::int16_t> fileSamples;
    size_t filePos = 0;
    ToneSpec tone;
    std::uint64_t toneSample = 0;
    std::string captured;
    WAVEFORMATEX capturedFormat{};
    std::string capturePath;
    std::unique_ptr<winmm::WaveFileWriter> captureFile;

    std::int16_t NextToneSample() {
        constexpr double kRate = 8000.0;
        const std::uint64_t t = toneSample++;
        if (tone.offMs != 0) {
            const std::uint64_t on = tone.onMs * 8;
            const std::uint64_t period = on + tone.offMs * 8ull;
            if (t % period >= on) return 0;
        }
        const double phase = 2.0 * std::numbers::pi * static_cast<double>(t) / kRate;
        double v = tone.amplitude * std::sin(phase * tone.frequency1);
        if (tone.frequency2 > 0.0) v += tone.amplitude * std::sin(phase * tone.frequency2);
        if (v > 32767.0) v = 32767.0;
        if (v < -32768.0) v = -32768.0;
        return static_cast<std::int16_t>(std::lrint(v));
    }

    std::int16_t NextSample() {
        if (source == Source::kTone) return NextToneSample();
        if (source == Source::kFile && filePos < fileSamples.size()) return fileSamples[filePos++];
        return 0;
    }
};

namespace {

using Shared = SimCallAudio::Shared;

class RemoteOutStream : public winmm::WaveStream {
public:
    RemoteOutStream(std::shared_ptr<Shared> shared, const WAVEFORMATEX& format) : m_shared(std::move(shared)) {
        std::lock_guard<std::mutex> guard(m_shared->lock);
        m_shared->capturedFormat = format;
    }
    void Play(const BYTE* data, DWORD length) override {
        std::lock_guard<std::mutex> guard(m_shared->lock);
        m_shared->captured.append(reinterpret_cast<const char*>(data), length);
        if (!m_shared->captureFile && !m_shared->capturePath.empty()) {
            m_shared->captureFile =
                std::make_unique<winmm::WaveFileWriter>(m_shared->capturePath, m_shared->capturedFormat);
        }
        if (m_shared->captureFile) m_shared->captureFile->Write(data, length);
    }
    DWORD Record(BYTE*, DWORD) override { return 0; }

private:
    std::shared_ptr<Shared> m_shared;
};

class RemoteInStream : public winmm::WaveStream {
public:
    RemoteInStream(std::shared_ptr<Shared> shared, const WAVEFORMATEX& format)
        : m_shared(std::move(shared)), m_format(format) {}
    void Play(const BYTE*, DWORD) override {}
    DWORD Record(BYTE* data, DWORD length) override {
        const DWORD bytesPerSample = m_format.wBitsPerSample == 16 ? 2 : 1;
        std::vector<std::int16_t> samples(length / bytesPerSample);
        {
            std::lock_guard<std::mutex> guard(m_shared->lock);
            for (auto& s : samples) s = m_shared->NextSample();
        }
        winmm::EncodeSamples(m_format, samples.data(), samples.size(), data);
        return static_cast<DWORD>(samples.size() * bytesPerSample);
    }

private:
    std::shared_ptr<Shared> m_shared;
    WAVEFORMATEX m_format;
};

class RemoteEndpoint : public winmm::WaveEndpoint {
public:
    RemoteEndpoint(std::shared_ptr<Shared> shared, bool out) : m_shared(std::move(shared)), m_out(out) {}
    std::string Name() const override { return m_out ? "Simulated line out" : "Simulated line in"; }
    bool Accepts(const WAVEFORMATEX& format) const override {
        return (winmm::TelephoneFormatBit(format) & m_shared->accepted) != 0;
    }
    bool CarriesALine() const override { return true; }
    std::unique_ptr<winmm::WaveStream> Open(const WAVEFORMATEX& format) override {
        if (m_out) return std::make_unique<RemoteOutStream>(m_shared, format);
        return std::make_unique<RemoteInStream>(m_shared, format);
    }

private:
    std::shared_ptr<Shared> m_shared;
    bool m_out;
};

}  // namespace

SimCallAudio::SimCallAudio(const CallAudioConfig& config) : m_shared(std::make_shared<Shared>()) {
    m_shared->accepted = config.acceptedFormats;
    m_waveIn = winmm::AddWaveInEndpoint(std::make_shared<RemoteEndpoint>(m_shared, false));
    m_waveOut = winmm::AddWaveOutEndpoint(std::make_shared<RemoteEndpoint>(m_shared, true));
}

SimCallAudio::~SimCallAudio() {
    winmm::RemoveWaveInEndpoint(m_waveIn);
    winmm::RemoveWaveOutEndpoint(m_waveOut);
    CaptureToFile("");
}

void SimCallAudio::SendSilence() {
    std::lock_guard<std::mutex> guard(m_shared->lock);
    m_shared->source = Shared::Source::kSilence;
}

bool SimCallAudio::SendFile(const std::string& path) {
    WAVEFORMATEX format{};
    std::string data;
    if (!winmm::ReadWaveFile(path, &format, &data) || winmm::TelephoneFormatBit(format) == 0) return false;
    auto samples = winmm::DecodeSamples(format, reinterpret_cast<const BYTE*>(data.data()),
                                        static_cast<DWORD>(data.size()));
    std::lock_guard<std::mutex> guard(m_shared->lock);
    m_shared->fileSamples = std::move(samples);
    m_shared->filePos = 0;
    m_shared->source = Shared::Source::kFile;
    return true;
}

void SimCallAudio::SendTone(const ToneSpec& tone) {
    std::lock_guard<std::mutex> guard(m_shared->lock);
    m_shared->tone = tone;
    m_shared->toneSample = 0;
    m_shared->source = Shared::Source::kTone;
}

size_t SimCallAudio::FileSamplesSent() const {
    std::lock_guard<std::mutex> guard(m_shared->lock);
    return m_shared->filePos;
}

size_t SimCallAudio::FileSamplesLeft() const {
    std::lock_guard<std::mutex> guard(m_shared->lock);
    return m_shared->fileSamples.size() - m_shared->filePos;
}

std::string SimCallAudio::CapturedBytes() const {
    std::lock_guard<std::mutex> guard(m_shared->lock);
    return m_shared->captured;
}

WAVEFORMATEX SimCallAudio::CapturedFormat() const {
    std::lock_guard<std::mutex> guard(m_shared->lock);
    return m_shared->capturedFormat;
}

std::vector<std::int16_t> SimCallAudio::CapturedSamples() const {
    std::lock_guard<std::mutex> guard(m_shared->lock);
    return winmm::DecodeSamples(m_shared->capturedFormat, reinterpret_cast<const BYTE*>(m_shared->captured.data()),
                                static_cast<DWORD>(m_shared->captured.size()));
}

std::vector<std::int16_t> SimCallAudio::CapturedSamples(size_t from, size_t max) const {
    std::lock_guard<std::mutex> guard(m_shared->lock);
    const size_t width = m_shared->capturedFormat.wBitsPerSample == 16 ? 2 : 1;
    const size_t count = m_shared->captured.size() / width;
    if (from >= count) return {};
    const size_t n = std::min(max, count - from);
    return winmm::DecodeSamples(m_shared->capturedFormat,
                                reinterpret_cast<const BYTE*>(m_shared->captured.data()) + from * width,
                                static_cast<DWORD>(n * width));
}

size_t SimCallAudio::CapturedSampleCount() const {
    std::lock_guard<std::mutex> guard(m_shared->lock);
    return m_shared->captured.size() / (m_shared->capturedFormat.wBitsPerSample == 16 ? 2 : 1);
}

void SimCallAudio::ClearCapture() {
    std::lock_guard<std::mutex> guard(m_shared->lock);
    m_shared->captured.clear();
}

bool SimCallAudio::CaptureToFile(const std::string& path) {
    std::lock_guard<std::mutex> guard(m_shared->lock);
    m_shared->captureFile.reset();
    m_shared->capturePath = path;
    return true;
}

void InstallSimCallAudio() {
    SetCallAudioFactory([](const CallAudioConfig& config) -> std::unique_ptr<CallAudio> {
        return std::make_unique<SimCallAudio>(config);
    });
}

}  // namespace simline
