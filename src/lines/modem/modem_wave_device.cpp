#include "lines/modem/modem_wave_device.h"

#include <cstring>
#include <vector>

#include "lines/modem/modem_engine.h"
#include "lines/modem/voice_convert.h"

namespace modemline {

namespace {

class ModemOutStream : public winmm::WaveStream {
public:
    ModemOutStream(std::shared_ptr<ModemEngine> engine, VoiceEncoding format)
        : m_engine(std::move(engine)), m_format(format) {
        m_engine->Voice().OpenOut();
    }
    ~ModemOutStream() override { m_engine->Voice().CloseOut(); }
    void Play(const BYTE* data, DWORD length) override {
        VoiceChannel& voice = m_engine->Voice();
        voice.Play(ConvertVoice(data, length, m_format, voice.Encoding()));
    }
    DWORD Record(BYTE*, DWORD) override { return 0; }
    // The modem takes the sound at its own pace.
    bool PacesItself() const override { return true; }

private:
    std::shared_ptr<ModemEngine> m_engine;
    VoiceEncoding m_format;
};

class ModemInStream : public winmm::WaveStream {
public:
    ModemInStream(std::shared_ptr<ModemEngine> engine, VoiceEncoding format)
        : m_engine(std::move(engine)), m_format(format) {
        m_engine->Voice().OpenIn();
    }
    ~ModemInStream() override { m_engine->Voice().CloseIn(); }
    void Play(const BYTE*, DWORD) override {}
    DWORD Record(BYTE* data, DWORD length) override {
        return Take(data, length, [](VoiceChannel& voice, BYTE* out, size_t n) { return voice.Record(out, n); });
    }
    bool PacesItself() const override { return true; }
    bool CancelRecord() override {
        m_engine->Voice().CancelRecord();
        return true;
    }
    DWORD TakeReceived(BYTE* data, DWORD length) override {
        return Take(data, length, [](VoiceChannel& voice, BYTE* out, size_t n) { return voice.TakeReceived(out, n); });
    }

private:
    // Sound from the channel in the device's format.
    template <typename Read>
    DWORD Take(BYTE* data, DWORD length, Read read) {
        VoiceChannel& voice = m_engine->Voice();
        const VoiceEncoding modem = voice.Encoding();
        // The usual case, the device in the modem's own encoding: no copy.
        if (modem == m_format) return static_cast<DWORD>(read(voice, data, length));
        const size_t samples = length / BytesPerSample(m_format);
        m_raw.resize(samples * BytesPerSample(modem));
        const size_t got = read(voice, m_raw.data(), m_raw.size());
        const std::string sound = ConvertVoice(m_raw.data(), got, modem, m_format);
        const size_t n = sound.size() < length ? sound.size() : length;
        std::memcpy(data, sound.data(), n);
        return static_cast<DWORD>(n);
    }

    std::shared_ptr<ModemEngine> m_engine;
    VoiceEncoding m_format;
    std::vector<BYTE> m_raw;
};

class ModemWaveEndpoint : public winmm::WaveEndpoint {
public:
    ModemWaveEndpoint(std::shared_ptr<ModemEngine> engine, std::string name, bool in)
        : m_engine(std::move(engine)), m_name(std::move(name)), m_in(in) {}
    std::string Name() const override { return m_name; }
    bool Accepts(const WAVEFORMATEX& format) const override { return EncodingOfFormat(format).has_value(); }
    bool CarriesALine() const override { return true; }
    std::unique_ptr<winmm::WaveStream> Open(const WAVEFORMATEX& format) override {
        auto encoding = EncodingOfFormat(format);
        if (!encoding) return nullptr;
        if (m_in) return std::make_unique<ModemInStream>(m_engine, *encoding);
        return std::make_unique<ModemOutStream>(m_engine, *encoding);
    }

private:
    std::shared_ptr<ModemEngine> m_engine;
    std::string m_name;
    bool m_in;
};

}  // namespace

ModemWaveIds AddModemWaveDevices(const std::shared_ptr<ModemEngine>& engine, const std::string& name) {
    ModemWaveIds ids;
    ids.out = winmm::AddWaveOutEndpoint(std::make_shared<ModemWaveEndpoint>(engine, name, false));
    ids.in = winmm::AddWaveInEndpoint(std::make_shared<ModemWaveEndpoint>(engine, name, true));
    return ids;
}

void RemoveModemWaveDevices(const ModemWaveIds& ids) {
    winmm::RemoveWaveOutEndpoint(ids.out);
    winmm::RemoveWaveInEndpoint(ids.in);
}

}  // namespace modemline
