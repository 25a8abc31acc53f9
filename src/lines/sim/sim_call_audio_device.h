// The audio of one simulated call: a wave-out device whose sound is captured
// for the remote party, and a wave-in device that records what the remote
// party sends (a WAVE file, a tone or dual tone with a cadence, or silence).
// Both accept the formats the line is configured with.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "lines/sim/sim_call_audio.h"
#include "platform/winmm/wave_format.h"

namespace simline {

struct ToneSpec {
    double frequency1 = 0.0;  // Hz
    double frequency2 = 0.0;  // Hz; 0 for a single tone
    double amplitude = 8000.0;  // peak of each tone, 16-bit linear scale
    DWORD onMs = 0;
    DWORD offMs = 0;  // 0: continuous
};

class SimCallAudio : public CallAudio {
public:
    explicit SimCallAudio(const CallAudioConfig& config);
    ~SimCallAudio() override;
    SimCallAudio(const SimCallAudio&) = delete;
    SimCallAudio& operator=(const SimCallAudio&) = delete;

    UINT WaveInDeviceId() const override { return m_waveIn; }
    UINT WaveOutDeviceId() const override { return m_waveOut; }

    // What the remote party sends from now on.
    void SendSilence();
    // The file's samples (any of the four telephone formats), then silence.
    bool SendFile(const std::string& path);
    void SendTone(const ToneSpec& tone);
    // Samples of the last file the line has taken so far, and still to take.
    size_t FileSamplesSent() const;
    size_t FileSamplesLeft() const;

    // What the call's wave-out has played so far, in the format it was
    // opened with (the last open's format).
    std::string CapturedBytes() const;
    WAVEFORMATEX CapturedFormat() const;
    std::vector<std::int16_t> CapturedSamples() const;
    // The same, decoded only from sample `from` on, at most `max` samples.
    std::vector<std::int16_t> CapturedSamples(size_t from, size_t max) const;
    size_t CapturedSampleCount() const;
    void ClearCapture();
    // From now on also writes what is played into a WAVE file; an empty
    // path ends that and finishes the file.
    bool CaptureToFile(const std::string& path);

    struct Shared;

private:
    std::shared_ptr<Shared> m_shared;
    UINT m_waveIn = 0;
    UINT m_waveOut = 0;
};

// Makes every simulated call get a SimCallAudio.
void InstallSimCallAudio();

}  // namespace simline
