#include "platform/winmm/wave_api.h"

#include <cstring>
#include <map>
#include <memory>
#include <mutex>

#include "platform/winmm/wave_endpoint.h"
#include "platform/winmm/wave_port.h"

using winmm::WaveEndpoint;
using winmm::WavePort;

namespace {

using Direction = WavePort::Direction;

// Handles are the ports' addresses; only live ones are accepted. A call
// holds its own reference, so a close on another thread cannot free the
// port under it.
std::mutex& LiveLock() {
    static std::mutex lock;
    return lock;
}

std::map<const void*, std::shared_ptr<WavePort>>& LivePorts() {
    static auto* ports = new std::map<const void*, std::shared_ptr<WavePort>>;  // outlives every port user
    return *ports;
}

// The device each live port was opened on: held while the port is open, so
// a removed device's id is not handed to another device under it.
std::map<const void*, std::shared_ptr<WaveEndpoint>>& OpenedOn() {
    static auto* endpoints = new std::map<const void*, std::shared_ptr<WaveEndpoint>>;
    return *endpoints;
}

std::shared_ptr<WavePort> PortOf(const void* handle) {
    std::lock_guard<std::mutex> guard(LiveLock());
    auto it = LivePorts().find(handle);
    return it == LivePorts().end() ? nullptr : it->second;
}

std::shared_ptr<WaveEndpoint> FindEndpoint(Direction direction, UINT id) {
    return direction == Direction::kOut ? winmm::FindWaveOutEndpoint(id) : winmm::FindWaveInEndpoint(id);
}

UINT EndpointCount(Direction direction) {
    return direction == Direction::kOut ? winmm::WaveOutEndpointCount() : winmm::WaveInEndpointCount();
}

// The device an id names; the wave mapper picks the first that accepts.
MMRESULT ChooseEndpoint(Direction direction, UINT id, const WAVEFORMATEX& format,
                        std::shared_ptr<WaveEndpoint>* chosen) {
    if (id == WAVE_MAPPER) {
        for (UINT i = 0; i < EndpointCount(direction); ++i) {
            auto endpoint = FindEndpoint(direction, i);
            if (endpoint && !endpoint->CarriesALine() && endpoint->Accepts(format)) {
                *chosen = std::move(endpoint);
                return MMSYSERR_NOERROR;
            }
        }
        return EndpointCount(direction) ? WAVERR_BADFORMAT : MMSYSERR_BADDEVICEID;
    }
    auto endpoint = FindEndpoint(direction, id);
    if (!endpoint) return MMSYSERR_BADDEVICEID;
    if (!endpoint->Accepts(format)) return WAVERR_BADFORMAT;
    *chosen = std::move(endpoint);
    return MMSYSERR_NOERROR;
}

MMRESULT OpenPort(Direction direction, void** handle, UINT id, LPCWAVEFORMATEX format, DWORD_PTR callback,
                  DWORD_PTR instance, DWORD flags) {
    if (format == nullptr) return MMSYSERR_INVALPARAM;
    std::shared_ptr<WaveEndpoint> endpoint;
    const MMRESULT chosen = ChooseEndpoint(direction, id, *format, &endpoint);
    if (chosen != MMSYSERR_NOERROR || (flags & WAVE_FORMAT_QUERY)) return chosen;
    if (handle == nullptr) return MMSYSERR_INVALPARAM;
    const DWORD callbackType = flags & CALLBACK_TYPEMASK;
    if (callbackType != CALLBACK_NULL && callbackType != CALLBACK_EVENT && callbackType != CALLBACK_FUNCTION) {
        return MMSYSERR_INVALFLAG;
    }
    if (callbackType != CALLBACK_NULL && callback == 0) return MMSYSERR_INVALPARAM;
    std::unique_ptr<winmm::WaveStream> stream = endpoint->Open(*format);
    if (!stream) return MMSYSERR_ALLOCATED;
    auto port = std::make_shared<WavePort>(direction, *format, std::move(stream), callbackType, callback, instance);
    {
        std::lock_guard<std::mutex> guard(LiveLock());
        LivePorts()[port.get()] = port;
        OpenedOn()[port.get()] = std::move(endpoint);
    }
    *handle = port.get();
    return MMSYSERR_NOERROR;
}

MMRESULT ClosePort(const void* handle) {
    std::shared_ptr<WavePort> port;
    {
        std::lock_guard<std::mutex> guard(LiveLock());
        auto it = LivePorts().find(handle);
        if (it == LivePorts().end()) return MMSYSERR_INVALHANDLE;
        if (it->second->HasQueuedBuffers()) return WAVERR_STILLPLAYING;
        port = std::move(it->second);
        LivePorts().erase(it);
        OpenedOn().erase(handle);
    }
    // Freed with the last call that still uses it; silent from here on.
    port->Shutdown();
    return MMSYSERR_NOERROR;
}

MMRESULT Prepare(const void* handle, LPWAVEHDR header, UINT size) {
    if (PortOf(handle) == nullptr) return MMSYSERR_INVALHANDLE;
    if (header == nullptr || size < sizeof(WAVEHDR) || header->lpData == nullptr) return MMSYSERR_INVALPARAM;
    const DWORD flags = winmm::LoadHeaderFlags(header);
    if (flags & WHDR_INQUEUE) return WAVERR_STILLPLAYING;
    winmm::StoreHeaderFlags(header, flags | WHDR_PREPARED);
    return MMSYSERR_NOERROR;
}

MMRESULT Unprepare(const void* handle, LPWAVEHDR header, UINT size) {
    if (PortOf(handle) == nullptr) return MMSYSERR_INVALHANDLE;
    if (header == nullptr || size < sizeof(WAVEHDR)) return MMSYSERR_INVALPARAM;
    const DWORD flags = winmm::LoadHeaderFlags(header);
    if (flags & WHDR_INQUEUE) return WAVERR_STILLPLAYING;
    winmm::StoreHeaderFlags(header, flags & ~WHDR_PREPARED);
    return MMSYSERR_NOERROR;
}

MMRESULT QueueBuffer(const void* handle, LPWAVEHDR header, UINT size) {
    const auto port = PortOf(handle);
    if (port == nullptr) return MMSYSERR_INVALHANDLE;
    if (header == nullptr || size < sizeof(WAVEHDR)) return MMSYSERR_INVALPARAM;
    return port->Queue(header);
}

MMRESULT WithPort(const void* handle, void (WavePort::*operation)()) {
    const auto port = PortOf(handle);
    if (port == nullptr) return MMSYSERR_INVALHANDLE;
    (port.get()->*operation)();
    return MMSYSERR_NOERROR;
}

template <typename Caps>
MMRESULT GetCaps(Direction direction, UINT_PTR id, Caps* caps, UINT size) {
    if (caps == nullptr) return MMSYSERR_INVALPARAM;
    const auto endpoint = FindEndpoint(direction, static_cast<UINT>(id));
    if (!endpoint) return MMSYSERR_BADDEVICEID;
    Caps full{};
    std::strncpy(full.szPname, endpoint->Name().c_str(), MAXPNAMELEN - 1);
    full.dwFormats = WAVE_FORMAT_1M08 | WAVE_FORMAT_1M16;
    full.wChannels = 1;
    std::memcpy(caps, &full, size < sizeof(Caps) ? size : sizeof(Caps));
    return MMSYSERR_NOERROR;
}

}  // namespace

UINT waveOutGetNumDevs() { return winmm::WaveOutEndpointCount(); }
UINT waveInGetNumDevs() { return winmm::WaveInEndpointCount(); }

MMRESULT waveOutGetDevCapsA(UINT_PTR deviceId, LPWAVEOUTCAPSA caps, UINT size) {
    return GetCaps(Direction::kOut, deviceId, caps, size);
}

MMRESULT waveInGetDevCapsA(UINT_PTR deviceId, LPWAVEINCAPSA caps, UINT size) {
    return GetCaps(Direction::kIn, deviceId, caps, size);
}

MMRESULT waveOutOpen(LPHWAVEOUT handle, UINT deviceId, LPCWAVEFORMATEX format, DWORD_PTR callback,
                     DWORD_PTR instance, DWORD flags) {
    return OpenPort(Direction::kOut, reinterpret_cast<void**>(handle), deviceId, format, callback, instance, flags);
}

MMRESULT waveInOpen(LPHWAVEIN handle, UINT deviceId, LPCWAVEFORMATEX format, DWORD_PTR callback,
                    DWORD_PTR instance, DWORD flags) {
    return OpenPort(Direction::kIn, reinterpret_cast<void**>(handle), deviceId, format, callback, instance, flags);
}

MMRESULT waveOutClose(HWAVEOUT h) { return ClosePort(h); }
MMRESULT waveInClose(HWAVEIN h) { return ClosePort(h); }
MMRESULT waveOutPrepareHeader(HWAVEOUT h, LPWAVEHDR header, UINT size) { return Prepare(h, header, size); }
MMRESULT waveInPrepareHeader(HWAVEIN h, LPWAVEHDR header, UINT size) { return Prepare(h, header, size); }
MMRESULT waveOutUnprepareHeader(HWAVEOUT h, LPWAVEHDR header, UINT size) { return Unprepare(h, header, size); }
MMRESULT waveInUnprepareHeader(HWAVEIN h, LPWAVEHDR header, UINT size) { return Unprepare(h, header, size); }
MMRESULT waveOutWrite(HWAVEOUT h, LPWAVEHDR header, UINT size) { return QueueBuffer(h, header, size); }
MMRESULT waveInAddBuffer(HWAVEIN h, LPWAVEHDR header, UINT size) { return QueueBuffer(h, header, size); }

MMRESULT waveOutReset(HWAVEOUT h) { return WithPort(h, &WavePort::Reset); }
MMRESULT waveInReset(HWAVEIN h) { return WithPort(h, &WavePort::Reset); }
MMRESULT waveInStart(HWAVEIN h) { return WithPort(h, &WavePort::Start); }
MMRESULT waveInStop(HWAVEIN h) { return WithPort(h, &WavePort::Stop); }
