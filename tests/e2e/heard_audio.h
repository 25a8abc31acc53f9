// What a caller heard, told from the audio alone: the captured samples are
// cut into the known clips (prompts, greetings, messages) they match sample
// for sample, so a test checks which prompts were played, in which order,
// and whether each was played whole or cut short.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/winmm/wave_format.h"

namespace e2e {

struct HeardClip {
    std::string name;
    size_t samples = 0;  // how much of it was heard
    bool whole = false;
};

class ClipBook {
public:
    // Loads a WAVE file's samples under a name; false when it cannot be read.
    bool Add(const std::string& name, const std::string& path);
    void Add(const std::string& name, std::vector<std::int16_t> samples);
    // Every shipped prompt ("Prp0016" ...) and "GTMain".
    void AddShippedPrompts();
    // Every clip as a line carrying the format hears it (for example its
    // samples squeezed through mu-law), so audio that went down such a line
    // still matches sample for sample.
    void HeardThrough(const WAVEFORMATEX& format);
    // The clips the samples are made of, in order; stretches that match no
    // clip are reported as "?" with their length.
    std::vector<HeardClip> Split(const std::vector<std::int16_t>& captured) const;

private:
    struct Clip {
        std::string name;
        std::vector<std::int16_t> samples;
    };
    struct Match {
        const Clip* clip = nullptr;
        size_t length = 0;
    };
    // The clip with the longest start matching the samples from at on.
    Match LongestMatch(const std::vector<std::int16_t>& captured, size_t at) const;
    // How much of the match belongs to its clip.
    size_t MatchedLength(const std::vector<std::int16_t>& captured, size_t at, const Match& match) const;

    std::vector<Clip> m_clips;
};

// The names only, for comparing with an expected order.
std::vector<std::string> Names(const std::vector<HeardClip>& heard);
// How many samples of the clip were heard in total.
size_t HeardSamples(const std::vector<HeardClip>& heard, const std::string& name);
// True when the names follow one another in heard, with nothing between.
bool HeardInARow(const std::vector<HeardClip>& heard, const std::vector<std::string>& names);

// Highest normalised correlation of probe within signal at offsets
// 0..maxLag (1.0: the same shape, whatever the loudness).
double BestCorrelation(const std::vector<std::int16_t>& signal, const std::vector<std::int16_t>& probe,
                       size_t maxLag);

}  // namespace e2e
