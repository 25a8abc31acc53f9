#include "support/signals.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "support/temp_dir.h"

namespace testsupport {

namespace {

constexpr double kPi = 3.14159265358979323846;

bool HaveProgram(const char* name) {
    std::string cmd = std::string("command -v ") + name + " >/dev/null 2>&1";
    return std::system(cmd.c_str()) == 0;
}

uint32_t Le32(const std::string& b, size_t at) {
    return static_cast<uint32_t>(static_cast<uint8_t>(b[at])) |
           static_cast<uint32_t>(static_cast<uint8_t>(b[at + 1])) << 8 |
           static_cast<uint32_t>(static_cast<uint8_t>(b[at + 2])) << 16 |
           static_cast<uint32_t>(static_cast<uint8_t>(b[at + 3])) << 24;
}

uint16_t Le16(const std::string& b, size_t at) {
    return static_cast<uint16_t>(static_cast<uint8_t>(b[at]) |
                                 static_cast<uint8_t>(b[at + 1]) << 8);
}

void Put32(std::string& b, uint32_t v) {
    for (int i = 0; i < 4; ++i) b.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

void Put16(std::string& b, uint16_t v) {
    b.push_back(static_cast<char>(v & 0xFF));
    b.push_back(static_cast<char>(v >> 8));
}

}  // namespace

Samples Tone(const std::vector<Partial>& partials, int ms, double phase) {
    Samples s(static_cast<size_t>(ms * kRate / 1000.0));
    for (size_t i = 0; i < s.size(); ++i) {
        double v = 0.0;
        for (const Partial& p : partials)
            v += p.amplitude * std::sin(2.0 * kPi * p.frequency * static_cast<double>(i) / kRate + phase);
        s[i] = v;
    }
    return s;
}

Samples Silence(int ms) { return Samples(static_cast<size_t>(ms * kRate / 1000.0), 0.0); }

Samples Cadence(const std::vector<Partial>& partials, int onMs, int offMs, int bursts) {
    Samples out;
    for (int b = 0; b < bursts; ++b) {
        Append(out, Tone(partials, onMs));
        Append(out, Silence(offMs));
    }
    return out;
}

Samples Noise(int ms, double amplitude, uint32_t seed) {
    Samples s(static_cast<size_t>(ms * kRate / 1000.0));
    uint32_t x = seed;
    for (double& v : s) {
        x = x * 1664525u + 1013904223u;
        v = amplitude * (static_cast<double>(x >> 8) / 8388608.0 - 1.0);
    }
    return s;
}

Samples Music(int ms, int noteMs, double amplitude) {
    // A minor scale around A3..A5, with a few chords; each note has the
    // harmonics and the decay of a plucked or struck string.
    static const double kNotes[] = {220.0, 246.9, 261.6, 293.7, 329.6, 349.2, 392.0, 440.0,
                                    493.9, 523.3, 587.3, 659.3, 698.5, 784.0, 880.0};
    const int count = static_cast<int>(sizeof kNotes / sizeof kNotes[0]);
    Samples out;
    uint32_t x = 7;
    for (int t = 0; t < ms; t += noteMs) {
        x = x * 1103515245u + 12345u;
        double f = kNotes[(x >> 16) % count];
        double g = kNotes[(x >> 8) % count];
        bool chord = ((x >> 4) & 3) == 0;
        Samples note(static_cast<size_t>(noteMs * kRate / 1000.0));
        for (size_t i = 0; i < note.size(); ++i) {
            double time = static_cast<double>(i) / kRate;
            double env = std::exp(-3.0 * time);
            double v = 0.0;
            for (int k = 1; k <= 6; ++k) {
                v += std::sin(2.0 * kPi * f * k * time) / k;
                if (chord) v += 0.7 * std::sin(2.0 * kPi * g * k * time) / k;
            }
            note[i] = amplitude * env * v / 2.5;
        }
        Append(out, note);
    }
    return out;
}

void Append(Samples& to, const Samples& from) { to.insert(to.end(), from.begin(), from.end()); }

void AddInto(Samples& to, const Samples& from) {
    if (to.size() < from.size()) to.resize(from.size(), 0.0);
    for (size_t i = 0; i < from.size(); ++i) to[i] += from[i];
}

Samples ToInt16Range(const Samples& s) {
    Samples out(s.size());
    for (size_t i = 0; i < s.size(); ++i)
        out[i] = std::clamp(std::round(s[i]), -32768.0, 32767.0);
    return out;
}

Samples Speech(const std::string& text) {
    if (!HaveProgram("espeak-ng") || !HaveProgram("sox")) return {};
    TempDir dir;
    std::string raw = dir.file("speech.wav");
    std::string narrow = dir.file("speech8k.wav");
    std::string quoted = text;
    quoted.erase(std::remove(quoted.begin(), quoted.end(), '\''), quoted.end());
    std::string cmd = "espeak-ng -w '" + raw + "' '" + quoted + "' >/dev/null 2>&1 && sox '" +
                      raw + "' -r 8000 -c 1 -b 16 -e signed-integer '" + narrow +
                      "' >/dev/null 2>&1";
    if (std::system(cmd.c_str()) != 0) return {};
    std::vector<int16_t> pcm = ReadWavePcm16(narrow);
    return Samples(pcm.begin(), pcm.end());
}

std::vector<int16_t> ReadWavePcm16(const std::string& path) {
    std::string b = ReadFileBytes(path);
    if (b.size() < 12 || b.compare(0, 4, "RIFF") != 0 || b.compare(8, 4, "WAVE") != 0) return {};
    size_t at = 12;
    bool pcm16 = false;
    while (at + 8 <= b.size()) {
        uint32_t size = Le32(b, at + 4);
        std::string id = b.substr(at, 4);
        size_t body = at + 8;
        if (id == "fmt " && body + 16 <= b.size())
            pcm16 = Le16(b, body) == 1 && Le16(b, body + 2) == 1 && Le16(b, body + 14) == 16;
        if (id == "data") {
            if (!pcm16) return {};
            size_t n = std::min<size_t>(size, b.size() - body) / 2;
            std::vector<int16_t> out(n);
            for (size_t i = 0; i < n; ++i) out[i] = static_cast<int16_t>(Le16(b, body + 2 * i));
            return out;
        }
        at = body + size + (size & 1);
    }
    return {};
}

void WriteWavePcm16(const std::string& path, const std::vector<int16_t>& samples) {
    std::string b = "RIFF";
    uint32_t data = static_cast<uint32_t>(samples.size() * 2);
    Put32(b, 36 + data);
    b += "WAVEfmt ";
    Put32(b, 16);
    Put16(b, 1);
    Put16(b, 1);
    Put32(b, 8000);
    Put32(b, 16000);
    Put16(b, 2);
    Put16(b, 16);
    b += "data";
    Put32(b, data);
    for (int16_t v : samples) Put16(b, static_cast<uint16_t>(v));
    WriteFileBytes(path, b);
}

double RmsDbfs(const std::vector<int16_t>& s) {
    if (s.empty()) return -INFINITY;
    double sum = 0.0;
    for (int16_t v : s) sum += (v / 32768.0) * (v / 32768.0);
    return 10.0 * std::log10(sum / static_cast<double>(s.size()));
}

int PeakOf(const std::vector<int16_t>& s) {
    int peak = 0;
    for (int16_t v : s) peak = std::max(peak, std::abs(static_cast<int>(v)));
    return peak;
}

}  // namespace testsupport
