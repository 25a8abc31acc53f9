#include <cstdlib>
#include <mutex>
#include <vector>

#include "platform/winmm/wave_endpoint.h"

namespace winmm {
namespace {

constexpr DWORD kTelephoneRate = 8000;

// A removed device's slot keeps a weak hold of it: the slot is free again
// once nothing opened through it is still open.
struct Slot {
    std::shared_ptr<WaveEndpoint> endpoint;
    std::weak_ptr<WaveEndpoint> removed;

    bool Free() const { return !endpoint && removed.expired(); }
};

struct Table {
    std::mutex lock;
    std::vector<Slot> out;
    std::vector<Slot> in;
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
        if (Lister() != nullptr && (skip == nullptr || std::atoi(skip) == 0)) {
            std::vector<std::shared_ptr<WaveEndpoint>> out;
            std::vector<std::shared_ptr<WaveEndpoint>> in;
            Lister()(out, in);
            for (auto& card : out) t->out.push_back(Slot{std::move(card), {}});
            for (auto& card : in) t->in.push_back(Slot{std::move(card), {}});
        }
        return t;
    }();
    return *table;
}

using List = std::vector<Slot> Table::*;

UINT Add(List list, std::shared_ptr<WaveEndpoint> endpoint) {
    Table& table = TheTable();
    std::lock_guard<std::mutex> guard(table.lock);
    std::vector<Slot>& slots = table.*list;
    for (std::size_t id = 0; id < slots.size(); id++) {
        if (!slots[id].Free()) continue;
        slots[id] = Slot{std::move(endpoint), {}};
        return static_cast<UINT>(id);
    }
    slots.push_back(Slot{std::move(endpoint), {}});
    return static_cast<UINT>(slots.size() - 1);
}

void Remove(List list, UINT id) {
    Table& table = TheTable();
    std::lock_guard<std::mutex> guard(table.lock);
    if (id >= (table.*list).size()) return;
    Slot& slot = (table.*list)[id];
    if (!slot.endpoint) return;
    slot.removed = slot.endpoint;
    slot.endpoint.reset();
}

std::shared_ptr<WaveEndpoint> Find(List list, UINT id) {
    Table& table = TheTable();
    std::lock_guard<std::mutex> guard(table.lock);
    if (id >= (table.*list).size()) return nullptr;
    return (table.*list)[id].endpoint;
}

UINT Count(List list) {
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
