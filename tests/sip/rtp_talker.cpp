#include "sip/rtp_talker.h"

#include <chrono>
#include <cmath>

#include "platform/winmm/wave_file_io.h"

namespace siptest {

Talker::Talker(RtpPeer& peer, double hz, int copies) : m_codes(ToneULaw(hz, 8000)) {
    m_thread = std::thread([this, &peer, copies] {
        std::uint16_t sequence = 1;
        std::uint32_t timestamp = 8000;
        for (std::size_t at = 0; !m_stop; at = (at + 160) % m_codes.size()) {
            for (int copy = 0; copy < copies; copy++) {
                peer.Send(0, sequence == 1, sequence, timestamp, m_codes.substr(at, 160));
                std::this_thread::sleep_for(std::chrono::microseconds(20000 / copies));
            }
            sequence++;
            timestamp += 160;
        }
    });
}

Talker::~Talker() {
    m_stop = true;
    m_thread.join();
}

Presser::Presser(RtpPeer& peer, std::uint8_t payloadType, int event) {
    m_thread = std::thread([this, &peer, payloadType, event] {
        std::uint16_t sequence = 100;
        for (std::uint32_t timestamp = 1000; !m_stop; timestamp += 1600)
            SendPress(peer, payloadType, event, &sequence, timestamp);
    });
}

Presser::~Presser() {
    m_stop = true;
    m_thread.join();
}

double PowerShare(const std::vector<std::int16_t>& samples, double hz) {
    constexpr std::size_t kBlock = 160;
    const double coefficient = 2.0 * std::cos(2.0 * M_PI * hz / 8000.0);
    double atHz = 0;
    double total = 0;
    for (std::size_t start = 0; start + kBlock <= samples.size(); start += kBlock) {
        double s1 = 0;
        double s2 = 0;
        for (std::size_t i = start; i < start + kBlock; i++) {
            const double s0 = samples[i] + coefficient * s1 - s2;
            s2 = s1;
            s1 = s0;
            total += static_cast<double>(samples[i]) * samples[i];
        }
        atHz += 2.0 * (s1 * s1 + s2 * s2 - coefficient * s1 * s2) / kBlock;
    }
    return total > 0 ? atHz / total : 0.0;
}

std::vector<std::int16_t> RecordedSamples(const char* path) {
    WAVEFORMATEX format{};
    std::string data;
    if (path == nullptr || !winmm::ReadWaveFile(path, &format, &data)) return {};
    return winmm::DecodeSamples(format, reinterpret_cast<const BYTE*>(data.data()), static_cast<DWORD>(data.size()));
}

}  // namespace siptest
