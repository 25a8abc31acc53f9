#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "audio/wave_device.h"
#include "platform/winmm/file_endpoint.h"
#include "lines/sim/sim_call_audio_device.h"
#include "platform/winmm/wave_endpoint.h"

namespace {

const bool kNoCards = [] { return setenv("VOCERRA_NO_SOUND_CARDS", "1", 1) == 0; }();

class FakeCard : public winmm::WaveEndpoint {
public:
    explicit FakeCard(std::string name) : m_name(std::move(name)) {}
    std::string Name() const override { return m_name; }
    bool Accepts(const WAVEFORMATEX&) const override { return true; }
    bool HasMixerLine() const override { return true; }
    std::unique_ptr<winmm::WaveStream> Open(const WAVEFORMATEX&) override { return nullptr; }

private:
    std::string m_name;
};

bool Listed(const VM_SoundDevice* list, int count, UINT id) {
    for (int i = 0; i < count; ++i) {
        if (list[i].dwDeviceId == id) return true;
    }
    return false;
}

}  // namespace

TEST(SoundDevices, WithoutMixerEveryDeviceButTheModemsIsOffered) {
    ASSERT_TRUE(kNoCards);
    simline::SimCallAudio modem({1, simline::kFormatMuLaw});
    simline::SimCallAudio other({2, simline::kFormatMuLaw});
    const VM_ModemWaveIds modems[] = {{modem.WaveInDeviceId(), modem.WaveOutDeviceId()}};
    EXPECT_TRUE(VM_EnumSoundDevices(modems, 1));
    EXPECT_FALSE(Listed(g_waveInDevices, g_nWaveInDevices, modem.WaveInDeviceId()));
    EXPECT_FALSE(Listed(g_waveOutDevices, g_nWaveOutDevices, modem.WaveOutDeviceId()));
    EXPECT_TRUE(Listed(g_waveInDevices, g_nWaveInDevices, other.WaveInDeviceId()));
    EXPECT_TRUE(Listed(g_waveOutDevices, g_nWaveOutDevices, other.WaveOutDeviceId()));
    // Names come from the device capabilities.
    for (int i = 0; i < g_nWaveOutDevices; ++i) {
        if (g_waveOutDevices[i].dwDeviceId == other.WaveOutDeviceId()) {
            EXPECT_STREQ(g_waveOutDevices[i].szName, "Simulated line out");
        }
    }
}

TEST(SoundDevices, SoundCardsComeAloneAndTheListsHoldAtMostTwenty) {
    ASSERT_TRUE(kNoCards);
    simline::SimCallAudio line({3, simline::kFormatMuLaw});
    const UINT cardOut = winmm::AddWaveOutEndpoint(std::make_shared<FakeCard>("A card with a name longer than 31"));
    const UINT cardIn = winmm::AddWaveInEndpoint(std::make_shared<FakeCard>("Card in"));
    EXPECT_TRUE(VM_EnumSoundDevices(nullptr, 0));
    ASSERT_EQ(g_nWaveOutDevices, 1);
    EXPECT_EQ(g_waveOutDevices[0].dwDeviceId, cardOut);
    EXPECT_EQ(std::strlen(g_waveOutDevices[0].szName), 31u);
    ASSERT_EQ(g_nWaveInDevices, 1);
    EXPECT_EQ(g_waveInDevices[0].dwDeviceId, cardIn);
    winmm::RemoveWaveOutEndpoint(cardOut);
    winmm::RemoveWaveInEndpoint(cardIn);

    std::vector<std::unique_ptr<simline::SimCallAudio>> many;
    for (DWORD i = 0; i < 25; ++i) many.push_back(std::make_unique<simline::SimCallAudio>(simline::CallAudioConfig{i, 0}));
    EXPECT_TRUE(VM_EnumSoundDevices(nullptr, 0));
    EXPECT_EQ(g_nWaveOutDevices, VM_MAX_SOUND_DEVICES);
    EXPECT_EQ(g_nWaveInDevices, VM_MAX_SOUND_DEVICES);
}
