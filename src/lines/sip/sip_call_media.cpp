#include "lines/sip/sip_call_media.h"

#include <algorithm>
#include <cstring>
#include <thread>
#include <vector>

#include "lines/sip/g711_transcode.h"
#include "platform/winmm/wave_endpoint.h"

namespace sipline {

namespace {

// What may wait to be sent before playing blocks: enough that a device
// thread held up for a moment on a loaded machine leaves no gap in what the
// caller hears, little enough that a greeting cut short stops at once.
constexpr std::size_t kMaxQueuedCodes = 5 * kPacketSamples;

}  // namespace

CallMedia::CallMedia(Codec codec) : m_codec(codec), m_jitter(CodecSilence(codec)) {}

void CallMedia::Received(std::uint32_t timestamp, const std::uint8_t* codes, std::size_t size) {
    std::lock_guard<std::mutex> guard(m_lock);
    if (!m_closed) m_jitter.Put(timestamp, codes, size);
}

void CallMedia::NextPacket(std::uint8_t* codes) {
    std::lock_guard<std::mutex> guard(m_lock);
    const std::size_t queued = m_outgoing.size() - m_outHead;
    const std::size_t n = std::min(queued, kPacketSamples);
    std::memcpy(codes, m_outgoing.data() + m_outHead, n);
    std::memset(codes + n, CodecSilence(m_codec), kPacketSamples - n);
    m_outHead += n;
    if (m_outHead == m_outgoing.size()) {
        m_outgoing.clear();
        m_outHead = 0;
    }
    m_sent++;
    m_drained.notify_all();
}

void CallMedia::Close() {
    std::lock_guard<std::mutex> guard(m_lock);
    m_closed = true;
    m_outgoing.clear();
    m_outHead = 0;
    m_drained.notify_all();
}

void CallMedia::Play(const WAVEFORMATEX& format, const std::uint8_t* data, std::size_t size) {
    std::unique_lock<std::mutex> lock(m_lock);
    if (m_closed) return;
    EncodeFromFormat(format, data, size, m_codec, &m_outgoing);
    m_drained.wait(lock, [this] { return m_closed || m_outgoing.size() - m_outHead <= kMaxQueuedCodes; });
}

void CallMedia::Record(const WAVEFORMATEX& format, std::uint8_t* data, std::size_t size,
                       std::chrono::steady_clock::time_point due) {
    std::this_thread::sleep_until(due);
    const std::size_t samples = size / BytesPerSample(format);
    std::vector<std::uint8_t> codes(samples);
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_jitter.Get(codes.data(), samples);
    }
    DecodeForFormat(m_codec, codes.data(), samples, format, data);
}

std::uint64_t CallMedia::PacketsSent() const {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_sent;
}

namespace {

constexpr DWORD kAllTelephoneFormats = 0xF;

class CallOutStream : public winmm::WaveStream {
public:
    CallOutStream(std::shared_ptr<CallMedia> media, const WAVEFORMATEX& format)
        : m_media(std::move(media)), m_format(format) {}
    void Play(const BYTE* data, DWORD length) override { m_media->Play(m_format, data, length); }
    DWORD Record(BYTE*, DWORD) override { return 0; }
    bool PacesItself() const override { return true; }

private:
    std::shared_ptr<CallMedia> m_media;
    WAVEFORMATEX m_format;
};

// Hands out the caller's sound at the rate it is spoken, from the first
// request on.
class CallInStream : public winmm::WaveStream {
public:
    CallInStream(std::shared_ptr<CallMedia> media, const WAVEFORMATEX& format)
        : m_media(std::move(media)), m_format(format) {}
    void Play(const BYTE*, DWORD) override {}
    DWORD Record(BYTE* data, DWORD length) override {
        const std::size_t bytes = length - length % BytesPerSample(m_format);
        const std::size_t samples = bytes / BytesPerSample(m_format);
        if (m_samples == 0) m_start = std::chrono::steady_clock::now();
        m_samples += samples;
        const auto due = m_start + std::chrono::microseconds(m_samples * 1000000 / 8000);
        m_media->Record(m_format, data, bytes, due);
        return static_cast<DWORD>(bytes);
    }
    bool PacesItself() const override { return true; }

private:
    std::shared_ptr<CallMedia> m_media;
    WAVEFORMATEX m_format;
    std::chrono::steady_clock::time_point m_start;
    std::uint64_t m_samples = 0;
};

class CallEndpoint : public winmm::WaveEndpoint {
public:
    CallEndpoint(std::shared_ptr<CallMedia> media, bool out) : m_media(std::move(media)), m_out(out) {}
    std::string Name() const override { return m_out ? "SIP line out" : "SIP line in"; }
    bool CarriesALine() const override { return true; }
    bool Accepts(const WAVEFORMATEX& format) const override {
        return (winmm::TelephoneFormatBit(format) & kAllTelephoneFormats) != 0;
    }
    std::unique_ptr<winmm::WaveStream> Open(const WAVEFORMATEX& format) override {
        if (m_out) return std::make_unique<CallOutStream>(m_media, format);
        return std::make_unique<CallInStream>(m_media, format);
    }

private:
    std::shared_ptr<CallMedia> m_media;
    bool m_out;
};

}  // namespace

CallWaveDevices::CallWaveDevices(std::shared_ptr<CallMedia> media)
    : m_waveIn(winmm::AddWaveInEndpoint(std::make_shared<CallEndpoint>(media, false))),
      m_waveOut(winmm::AddWaveOutEndpoint(std::make_shared<CallEndpoint>(media, true))) {}

CallWaveDevices::~CallWaveDevices() {
    winmm::RemoveWaveInEndpoint(m_waveIn);
    winmm::RemoveWaveOutEndpoint(m_waveOut);
}

}  // namespace sipline
