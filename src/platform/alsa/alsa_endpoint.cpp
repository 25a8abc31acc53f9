// Sound cards through ALSA. Each card with a playback or capture PCM becomes
// one device in that direction; the "plughw" layer converts, so every card
// accepts all four telephone formats.
#include <alsa/asoundlib.h>

#include <cstdio>

#include "platform/alsa/alsa_sound_cards.h"
#include "platform/winmm/wave_endpoint.h"

namespace alsa {
namespace {

using winmm::TelephoneFormatBit;
using winmm::WaveEndpoint;
using winmm::WaveStream;

// Blocking writes and reads of about 100 ms keep the card fed.
constexpr unsigned kLatencyUs = 100000;

snd_pcm_format_t AlsaFormat(const WAVEFORMATEX& format) {
    if (format.wFormatTag == WAVE_FORMAT_ALAW) return SND_PCM_FORMAT_A_LAW;
    if (format.wFormatTag == WAVE_FORMAT_MULAW) return SND_PCM_FORMAT_MU_LAW;
    return format.wBitsPerSample == 8 ? SND_PCM_FORMAT_U8 : SND_PCM_FORMAT_S16_LE;
}

class AlsaStream : public WaveStream {
public:
    AlsaStream(snd_pcm_t* pcm, DWORD blockAlign) : m_pcm(pcm), m_blockAlign(blockAlign) {}
    ~AlsaStream() override {
        snd_pcm_drop(m_pcm);
        snd_pcm_close(m_pcm);
    }
    void Play(const BYTE* data, DWORD length) override {
        snd_pcm_uframes_t left = length / m_blockAlign;
        while (left > 0) {
            const snd_pcm_sframes_t n = snd_pcm_writei(m_pcm, data, left);
            if (n < 0) {
                if (snd_pcm_recover(m_pcm, static_cast<int>(n), 1) < 0) return;
                continue;
            }
            left -= static_cast<snd_pcm_uframes_t>(n);
            data += static_cast<size_t>(n) * m_blockAlign;
        }
    }
    DWORD Record(BYTE* data, DWORD length) override {
        const snd_pcm_uframes_t frames = length / m_blockAlign;
        for (;;) {
            const snd_pcm_sframes_t n = snd_pcm_readi(m_pcm, data, frames);
            if (n >= 0) return static_cast<DWORD>(n) * m_blockAlign;
            if (snd_pcm_recover(m_pcm, static_cast<int>(n), 1) < 0) return 0;
        }
    }
    bool PacesItself() const override { return true; }

private:
    snd_pcm_t* m_pcm;
    DWORD m_blockAlign;
};

class AlsaEndpoint : public WaveEndpoint {
public:
    AlsaEndpoint(std::string device, std::string name, snd_pcm_stream_t direction)
        : m_device(std::move(device)), m_name(std::move(name)), m_direction(direction) {}
    std::string Name() const override { return m_name; }
    bool Accepts(const WAVEFORMATEX& format) const override { return TelephoneFormatBit(format) != 0; }
    bool HasMixerLine() const override { return true; }
    std::unique_ptr<WaveStream> Open(const WAVEFORMATEX& format) override {
        snd_pcm_t* pcm = nullptr;
        if (snd_pcm_open(&pcm, m_device.c_str(), m_direction, 0) < 0) return nullptr;
        if (snd_pcm_set_params(pcm, AlsaFormat(format), SND_PCM_ACCESS_RW_INTERLEAVED, format.nChannels,
                               format.nSamplesPerSec, 1, kLatencyUs) < 0) {
            snd_pcm_close(pcm);
            return nullptr;
        }
        return std::make_unique<AlsaStream>(pcm, format.nBlockAlign ? format.nBlockAlign : 1);
    }

private:
    std::string m_device;
    std::string m_name;
    snd_pcm_stream_t m_direction;
};

bool HasPcm(const std::string& device, snd_pcm_stream_t direction) {
    snd_pcm_t* pcm = nullptr;
    if (snd_pcm_open(&pcm, device.c_str(), direction, SND_PCM_NONBLOCK) < 0) return false;
    snd_pcm_close(pcm);
    return true;
}

void ListSoundCards(std::vector<std::shared_ptr<WaveEndpoint>>& out,
                    std::vector<std::shared_ptr<WaveEndpoint>>& in) {
    int card = -1;
    while (snd_card_next(&card) == 0 && card >= 0) {
        char* cardName = nullptr;
        std::string name = "Sound card " + std::to_string(card);
        if (snd_card_get_name(card, &cardName) == 0 && cardName != nullptr) {
            name = cardName;
            free(cardName);
        }
        const std::string device = "plughw:" + std::to_string(card);
        if (HasPcm(device, SND_PCM_STREAM_PLAYBACK)) {
            out.push_back(std::make_shared<AlsaEndpoint>(device, name, SND_PCM_STREAM_PLAYBACK));
        }
        if (HasPcm(device, SND_PCM_STREAM_CAPTURE)) {
            in.push_back(std::make_shared<AlsaEndpoint>(device, name, SND_PCM_STREAM_CAPTURE));
        }
    }
}

}  // namespace

void InstallSoundCards() { winmm::SetSoundCardLister(ListSoundCards); }

}  // namespace alsa
