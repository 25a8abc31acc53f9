#include <cstdlib>
#include <mutex>
#include <vector>

#include "platform/winmm/wave_endpoint.h"

namespace winmm {
namespace {

constexpr DWORD kTelephoneRate = 8000;

struct Table {
    std::mutex lock;
    std::vector<std::shared_ptr<WaveEndpoint>> out;
    std::vector<std::shared_ptr<WaveEndpoint>> in;
};

SoundCardLister& Lister() {
    static SoundCardLister lister = nullptr;
    return lister;
}

Table& TheTable() {
    // Never destroyed: device threads may still look devices up at exit.
    static Table* table = [] {
        auto* t = new Table;
        const char* skip = std::getenv("VOCERRA_NO_SOUND_CARDS");
        if (Lister() != nullptr && (skip == nullptr || std::atoi(skip) == 0)) Lister()(t->out, t->in);
        return t;
    }();
    return *table;
}

UINT Add(std::vector<std::shared_ptr<WaveEndpoint>> Table::*list, std::shared_ptr<WaveEndpoint> endpoint) {
    Table& table = TheTable();
    std::lock_guard<std::mutex> guard(table.lock);
    (table.*list).push_back(std::move(endpoint));
    return static_cast<UINT>((table.*list).size() - 1);
}

void Remove(std::vector<std::shared_ptr<WaveEndpoint>> Table::*list, UINT id) {
    Table& table = TheTable();
    std::lock_guard<std::mutex> guard(table.lock);
    if (id < (table.*list).size()) (table.*list)[id].reset();
}

std::shared_ptr<WaveEndpoint> Find(std::vector<std::shared_ptr<WaveEndpoint>> Table::*list, UINT id) {
    Table& table = TheTable();
    std::lock_guard<std::mutex> guard(table.lock);
    if (id >= (table.*list).size()) return nullptr;
    return (table.*list)[id];
}

UINT Count(std::vector<std::shared_ptr<WaveEndpoint>> Table::*list) {
    Table& table = TheTable();
    std::lock_guard<std::mutex> guard(table.lock);
    return static_cast<UINT>((table.*list).size());
}

}  // namespace

DWORD TelephoneFormatBit(const WAVEFORMATEX& format) {
    if (format.nChannels != 1 || format.nSamplesPerSec != kTelephoneRate) return 0;
    if (format.wFormatTag == WAVE_FORMAT_PCM && format.wBitsPerSample == 16) return kFormatPcm16;
    if (format.wFormatTag == WAVE_FORMAT_PCM && format.wBitsPerSample == 8) return kFormatPcm8;
    if (format.wFormatTag == WAVE_FORMAT_ALAW && format.wBitsPerSample == 8) return kFormatALaw;
    if (format.wFormatTag == WAVE_FORMAT_MULAW && format.wBitsPerSample == 8) return kFormatMuLaw;
    return 0;
}

BYTE SilenceByte(const WAVEFORMATEX& format) {
    switch (TelephoneFormatBit(format)) {
        case kFormatPcm8:
            return 0x80;
        case kFormatALaw:
            return 0xD5;
        case kFormatMuLaw:
            return 0xFF;
        default:
            return 0;
    }
}

void SetSoundCardLister(SoundCardLister lister) { Lister() = lister; }

UINT AddWaveOutEndpoint(std::shared_ptr<WaveEndpoint> endpoint) { return Add(&Table::out, std::move(endpoint)); }
UINT AddWaveInEndpoint(std::shared_ptr<WaveEndpoint> endpoint) { return Add(&Table::in, std::move(endpoint)); }
void RemoveWaveOutEndpoint(UINT id) { Remove(&Table::out, id); }
void RemoveWaveInEndpoint(UINT id) { Remove(&Table::in, id); }
std::shared_ptr<WaveEndpoint> FindWaveOutEndpoint(UINT id) { return Find(&Table::out, id); }
std::shared_ptr<WaveEndpoint> FindWaveInEndpoint(UINT id) { return Find(&Table::in, id); }
UINT WaveOutEndpointCount() { return Count(&Table::out); }
UINT WaveInEndpointCount() { return Count(&Table::in); }

}  // namespace winmm
