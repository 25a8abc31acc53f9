#include "tone_finder.h"

#include <cstdlib>

#include "detect/goertzel.h"

namespace callclient {

namespace {

constexpr double kRate = 8000.0;
constexpr int kFirstBin = 8;   // 320 Hz
constexpr int kLastBin = 85;   // 3400 Hz
constexpr double kMinPurity = 0.7;
// Mean square of a block below this (about -40 dBFS) is quiet, not a tone.
constexpr double kMinMeanSquare = 100.0 * 100.0;

double BinFrequency(int bin) { return bin * kRate / ToneFinder::kBlock; }

}  // namespace

ToneFinder::ToneFinder() {
    for (int bin = kFirstBin; bin <= kLastBin; bin++)
        m_bank.push_back(std::make_unique<VM_CGoertzel>(kBlock, BinFrequency(bin), kRate));
}

ToneFinder::~ToneFinder() = default;

void ToneFinder::Feed(std::span<const std::int16_t> samples) {
    for (std::int16_t s : samples) {
        m_block.push_back(s);
        if (static_cast<int>(m_block.size()) == kBlock) Block();
    }
}

void ToneFinder::Flush() { EndRun(); }

void ToneFinder::Block() {
    const int bin = TonalBin();
    m_block.clear();
    const size_t start = m_consumed;
    m_consumed += kBlock;
    if (bin >= 0 && m_runBin >= 0 && std::abs(bin - m_runBin) <= 1) {
        m_runBlocks++;
        return;
    }
    EndRun();
    if (bin < 0) return;
    m_runBin = bin;
    m_runStart = start;
    m_runBlocks = 1;
}

int ToneFinder::TonalBin() {
    double energy = 0;
    for (double x : m_block) energy += x * x;
    if (energy / kBlock < kMinMeanSquare) return -1;
    std::vector<double> power(m_bank.size());
    for (size_t i = 0; i < m_bank.size(); i++) {
        VM_CGoertzel& filter = *m_bank[i];
        filter.VM_ResetFilter();
        for (double x : m_block) filter.VM_Step(x);
        const double magnitude = filter.VM_Magnitude();
        power[i] = magnitude * magnitude;
    }
    size_t best = 0;
    for (size_t i = 1; i < power.size(); i++)
        if (power[i] > power[best]) best = i;
    double near = power[best];
    if (best > 0) near += power[best - 1];
    if (best + 1 < power.size()) near += power[best + 1];
    // A pure tone on a bin has |X|^2 = N * energy / 2 (Parseval over both halves).
    const double purity = near / (kBlock * energy / 2.0);
    return purity >= kMinPurity ? static_cast<int>(best) + kFirstBin : -1;
}

void ToneFinder::EndRun() {
    if (!m_beep && m_runBlocks >= kMinBlocks && m_runBlocks <= kMaxBlocks)
        m_beep = FoundTone{m_runStart, static_cast<size_t>(m_runBlocks) * kBlock, BinFrequency(m_runBin)};
    m_runBin = -1;
    m_runBlocks = 0;
}

}  // namespace callclient
