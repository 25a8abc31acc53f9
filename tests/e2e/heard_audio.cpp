#include "e2e/heard_audio.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "audio/wave_file.h"
#include "platform/winmm/wave_file_io.h"
#include "store/app_config.h"
#include "store/shipped_data.h"

namespace e2e {

namespace {

// The longest stretch below this that matches a clip's start is taken for
// chance (silence is much alike in every clip).
constexpr size_t kLeastMatch = 160;
// A clip cut short stops at the end of one of the player's wave buffers
// (800 samples of 16-bit audio); a few samples more that happen to match the
// next clip's start as well belong to that next clip.
constexpr size_t kBufferSamples = 800;

size_t CommonPrefix(const std::vector<std::int16_t>& captured, size_t from, const std::vector<std::int16_t>& clip) {
    size_t n = 0;
    while (n < clip.size() && from + n < captured.size() && captured[from + n] == clip[n]) ++n;
    return n;
}

}  // namespace

void ClipBook::Add(const std::string& name, std::vector<std::int16_t> samples) {
    m_clips.push_back({name, std::move(samples)});
}

bool ClipBook::Add(const std::string& name, const std::string& path) {
    VM_CWaveFile file(path.c_str(), VM_WAVE_MODE_READ);
    if (!file.VM_IsOpen() || file.VM_GetFormat() == nullptr) return false;
    std::vector<BYTE> bytes;
    std::vector<BYTE> buffer(64 * 1024);
    for (LONG got; (got = file.VM_ReadData(buffer.data())) > 0;) bytes.insert(bytes.end(), buffer.begin(), buffer.begin() + got);
    m_clips.push_back({name, winmm::DecodeSamples(*file.VM_GetFormat(), bytes.data(), static_cast<DWORD>(bytes.size()))});
    return true;
}

void ClipBook::HeardThrough(const WAVEFORMATEX& format) {
    for (Clip& clip : m_clips) {
        std::vector<BYTE> bytes(clip.samples.size() * format.nBlockAlign);
        winmm::EncodeSamples(format, clip.samples.data(), clip.samples.size(), bytes.data());
        clip.samples = winmm::DecodeSamples(format, bytes.data(), static_cast<DWORD>(bytes.size()));
    }
}

void ClipBook::AddShippedPrompts() {
    for (int n = 0; n < 400; ++n) {
        char name[16];
        std::snprintf(name, sizeof name, "Prp%04d", n);
        std::string path = VM_FindShippedFile(VM_FOLDER_PROMPT, (std::string(name) + ".Wav").c_str());
        if (!path.empty()) Add(name, path);
    }
    Add("GTMain", VM_FindShippedFile(VM_FOLDER_GREETING, "GTMain.wav"));
}

ClipBook::Match ClipBook::LongestMatch(const std::vector<std::int16_t>& captured, size_t at) const {
    Match best;
    for (const Clip& clip : m_clips) {
        const size_t length = CommonPrefix(captured, at, clip.samples);
        if (length > best.length) best = {&clip, length};
    }
    return best;
}

// A clip cut short in its last buffer ends where the next clip starts; when
// that last buffer is as quiet as the next clip's start, the samples match
// both, and the clip looks whole. Of the two readings, whole or cut at its
// last buffer, the one after which the next clip matches further is taken.
size_t ClipBook::MatchedLength(const std::vector<std::int16_t>& captured, size_t at, const Match& match) const {
    const size_t whole = match.clip->samples.size();
    const size_t tail = match.length % kBufferSamples;
    if (match.length < whole) return match.length >= kBufferSamples ? match.length - tail : match.length;
    if (tail == 0 || whole < kBufferSamples) return whole;
    const size_t end = at + whole;
    const size_t boundary = end - tail;
    const size_t wholeReach = end + LongestMatch(captured, end).length;
    const size_t cutReach = boundary + LongestMatch(captured, boundary).length;
    return cutReach > wholeReach ? whole - tail : whole;
}

std::vector<HeardClip> ClipBook::Split(const std::vector<std::int16_t>& captured) const {
    std::vector<HeardClip> heard;
    size_t at = 0;
    while (at < captured.size()) {
        const Match match = LongestMatch(captured, at);
        const Clip* best = match.clip;
        const size_t bestLength = best != nullptr ? MatchedLength(captured, at, match) : 0;
        if (best != nullptr && (bestLength >= kLeastMatch || bestLength == best->samples.size())) {
            heard.push_back({best->name, bestLength, bestLength == best->samples.size()});
            at += bestLength;
            continue;
        }
        if (heard.empty() || heard.back().name != "?") heard.push_back({"?", 0, false});
        heard.back().samples++;
        at++;
    }
    return heard;
}

std::vector<std::string> Names(const std::vector<HeardClip>& heard) {
    std::vector<std::string> names;
    for (const HeardClip& clip : heard) names.push_back(clip.name);
    return names;
}

size_t HeardSamples(const std::vector<HeardClip>& heard, const std::string& name) {
    size_t total = 0;
    for (const HeardClip& clip : heard)
        if (clip.name == name) total += clip.samples;
    return total;
}

bool HeardInARow(const std::vector<HeardClip>& heard, const std::vector<std::string>& names) {
    std::vector<std::string> all = Names(heard);
    return std::search(all.begin(), all.end(), names.begin(), names.end()) != all.end();
}

double BestCorrelation(const std::vector<std::int16_t>& signal, const std::vector<std::int16_t>& probe,
                       size_t maxLag) {
    double best = 0.0;
    double probeEnergy = 0.0;
    for (std::int16_t p : probe) probeEnergy += static_cast<double>(p) * p;
    for (size_t lag = 0; lag <= maxLag && lag + probe.size() <= signal.size(); ++lag) {
        double dot = 0.0, energy = 0.0;
        for (size_t i = 0; i < probe.size(); ++i) {
            const double s = signal[lag + i];
            dot += s * probe[i];
            energy += s * s;
        }
        if (energy > 0.0 && probeEnergy > 0.0) best = std::max(best, dot / std::sqrt(energy * probeEnergy));
    }
    return best;
}

}  // namespace e2e
