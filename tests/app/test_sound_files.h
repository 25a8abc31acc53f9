// Sound files and WAVE-file sound devices for the app tests.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include <memory>

#include <QString>
#include <gtest/gtest.h>

#include "app/dialogs/message_box.h"
#include "app/qt_test_app.h"
#include "audio/wave_test_files.h"
#include "platform/win32/clock.h"
#include "platform/winmm/wave_endpoint.h"

namespace apptest {

// Sound cards would make the device lists depend on the machine.
inline bool NoSoundCards() {
    static const bool set = setenv("VOCERRA_NO_SOUND_CARDS", "1", 1) == 0;
    return set;
}

constexpr DWORD kAllFormats = winmm::kFormatPcm16 | winmm::kFormatPcm8 | winmm::kFormatALaw | winmm::kFormatMuLaw;

// 16-bit samples that differ from one file to the next with step.
inline std::string Ramp(size_t samples, int step = 331) {
    std::vector<int16_t> out(samples);
    for (size_t i = 0; i < samples; ++i) out[i] = static_cast<int16_t>((i * step) % 60000 - 30000);
    return wavetest::Pcm16Bytes(out);
}

// Tests that play and record on WAVE-file devices at a raised time scale,
// every message box collected in m_messages. The main thread's queue is
// pumped only by the tests themselves (PumpUntil), so a test can hold a
// device's end notice back while it watches the progress ticks.
class SoundDeviceTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(NoSoundCards());
        VM_TestQtApp();
        platform::SetTimeScale(20.0);
        VM_SetMessageHook([this](const QString& text) { m_messages.push_back(text.toStdString()); });
    }
    void TearDown() override {
        VM_SetMessageHook(nullptr);
        platform::SetTimeScale(1.0);
    }

    std::vector<std::string> m_messages;
};

}  // namespace apptest
