// Test signals at 8000 samples per second on the signed 16-bit scale: tones,
// cadenced tones, noise, synthetic music and spoken words.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace testsupport {

constexpr double kRate = 8000.0;

using Samples = std::vector<double>;

struct Partial {
    double frequency;
    double amplitude;
};

// A sum of sines, `ms` milliseconds long, starting at the given phase (rad).
Samples Tone(const std::vector<Partial>& partials, int ms, double phase = 0.0);
Samples Silence(int ms);
// Tone bursts `onMs` long with `offMs` pauses, `bursts` times (each burst
// followed by its pause), starting with the tone.
Samples Cadence(const std::vector<Partial>& partials, int onMs, int offMs, int bursts);
// Deterministic white noise, uniform in [-amplitude, amplitude].
Samples Noise(int ms, double amplitude, uint32_t seed = 12345);
// A melody of notes with harmonics (as an instrument has), changing every
// `noteMs`, sometimes two notes at once.
Samples Music(int ms, int noteMs, double amplitude);

void Append(Samples& to, const Samples& from);
void AddInto(Samples& to, const Samples& from);
Samples ToInt16Range(const Samples& s);  // rounds and clamps

// Spoken words from espeak-ng, resampled with sox to 8 kHz mono 16-bit.
// Empty when either program is missing (the caller skips then).
Samples Speech(const std::string& text);
// The first 16-bit mono samples of a WAVE file; empty if it is not one.
std::vector<int16_t> ReadWavePcm16(const std::string& path);
// Writes 8 kHz mono 16-bit PCM.
void WriteWavePcm16(const std::string& path, const std::vector<int16_t>& samples);

double RmsDbfs(const std::vector<int16_t>& s);
int PeakOf(const std::vector<int16_t>& s);

}  // namespace testsupport
