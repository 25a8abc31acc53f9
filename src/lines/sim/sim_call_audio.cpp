#include "lines/sim/sim_call_audio.h"

#include <mutex>
#include <utility>

namespace simline {

namespace {

std::mutex& FactoryMutex() {
    static std::mutex m;
    return m;
}

CallAudioFactory& Factory() {
    static CallAudioFactory factory;
    return factory;
}

}  // namespace

void SetCallAudioFactory(CallAudioFactory factory) {
    std::lock_guard<std::mutex> lock(FactoryMutex());
    Factory() = std::move(factory);
}

std::unique_ptr<CallAudio> MakeCallAudio(const CallAudioConfig& config) {
    CallAudioFactory factory;
    {
        std::lock_guard<std::mutex> lock(FactoryMutex());
        factory = Factory();
    }
    // Called outside the lock: a factory may open devices and take its own.
    if (!factory) return nullptr;
    return factory(config);
}

}  // namespace simline
