// Finds the beep in what the line played: the first short pure tone, found
// block by block with a bank of Goertzel filters over the telephone band.
// A block is tonal when one bin and its two neighbours hold most of the
// block's energy; a run of tonal blocks on the same frequency, long enough
// and not too long, is the beep. Positions are in samples at 8000 per second.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <vector>

class VM_CGoertzel;

namespace callclient {

struct FoundTone {
    size_t start = 0;     // first sample of the tone
    size_t length = 0;    // samples
    double frequency = 0;  // Hz, to the filter bank's resolution
};

class ToneFinder {
public:
    static constexpr int kBlock = 200;         // 25 ms; bins 40 Hz apart
    static constexpr int kMinBlocks = 3;       // 75 ms
    static constexpr int kMaxBlocks = 100;     // 2.5 s: longer is no beep

    ToneFinder();
    ~ToneFinder();

    void Feed(std::span<const std::int16_t> samples);
    // The line went quiet: a tone in progress ends here.
    void Flush();
    const std::optional<FoundTone>& Beep() const { return m_beep; }
    size_t Consumed() const { return m_consumed; }

private:
    void Block();
    // The strongest bin of the block, or -1 when the block is not a pure tone.
    int TonalBin();
    void EndRun();

    std::vector<std::unique_ptr<VM_CGoertzel>> m_bank;
    std::vector<double> m_block;
    size_t m_consumed = 0;  // samples in finished blocks
    int m_runBin = -1;
    size_t m_runStart = 0;
    int m_runBlocks = 0;
    std::optional<FoundTone> m_beep;
};

}  // namespace callclient
