// A modem line service on the pseudo-terminal modem, the line opened by an
// owner that records what it hears (telephony/line_harness.h), and the wave
// device calls a player and a recorder make on the line's devices.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "support/modem_simulator.h"
#include "lines/modem/modem_line_service.h"
#include "platform/winmm/wave_api.h"
#include "support/registry_file.h"
#include "support/temp_dir.h"
#include "telephony/line_harness.h"

namespace modemtest {

WAVEFORMATEX Telephone(WORD tag, WORD bits);
extern const WAVEFORMATEX kMuLaw;
extern const WAVEFORMATEX kPcm8;

// Plays bytes on a wave-out device and returns when the device is done.
bool PlayOn(UINT deviceId, const WAVEFORMATEX& format, const std::string& bytes);

// A wave-in device recording into buffers of a given size until stopped.
class Recording {
public:
    Recording(UINT deviceId, const WAVEFORMATEX& format, DWORD bufferSize = 400);
    ~Recording();
    bool Opened() const { return m_handle != nullptr; }
    // Everything recorded so far.
    std::string Bytes() const;
    void Stop();

    struct State;

private:
    HWAVEIN m_handle = nullptr;
    std::shared_ptr<State> m_state;
};

// Audio whose bytes include DLE, DLE SUB and DLE ETX sequences.
std::string AwkwardAudio(size_t length);

class ModemLineTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // The simulator of the given family, the service on it, the session and
    // line 0 opened by the owner; waits for the line to be in service.
    void Start(modemsim::Family family, const std::string& userFamily = "");
    // Rings (with caller ID after the first ring) until the owner has the
    // call, then answers it.
    VM_CCall* RingAndAnswer(const modemsim::CallerIdSpec& caller = {});
    VM_CCall* Call() const { return m_owner.calls.empty() ? nullptr : m_owner.calls.back().get(); }
    bool CallReached(DWORD state) const;
    UINT WaveOut() const;
    UINT WaveIn() const;
    bool Pump(const std::function<bool()>& pred) { return linetest::PumpUntil(pred, 30000); }
    int DevStates(DWORD state) const;

    testsupport::ScopedRegistryFile m_registry;
    testsupport::TempDir m_dir;
    std::unique_ptr<modemsim::ModemSimulator> m_modem;
    std::unique_ptr<modemline::ModemLineService> m_service;
    linetest::RecordingOwner m_owner;
    modemline::ModemSettings m_settings;
};

}  // namespace modemtest
