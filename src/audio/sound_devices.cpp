// The sound-card lists offered for playback and recording.
#include <cstring>

#include "audio/wave_device.h"
#include "platform/winmm/mixer_api.h"

VM_SoundDevice g_waveInDevices[VM_MAX_SOUND_DEVICES];
int g_nWaveInDevices = 0;
VM_SoundDevice g_waveOutDevices[VM_MAX_SOUND_DEVICES];
int g_nWaveOutDevices = 0;

namespace {

struct Direction {
    DWORD mixerObject;
    UINT (*count)();
    // The device's name; false when its capabilities cannot be read.
    bool (*name)(UINT id, CHAR* out);
    UINT VM_ModemWaveIds::*modemId;
    VM_SoundDevice* list;
    int* listCount;
};

bool WaveInName(UINT id, CHAR* out) {
    WAVEINCAPSA caps{};
    if (waveInGetDevCapsA(id, &caps, sizeof caps) != MMSYSERR_NOERROR) return false;
    std::memcpy(out, caps.szPname, MAXPNAMELEN);
    return true;
}

bool WaveOutName(UINT id, CHAR* out) {
    WAVEOUTCAPSA caps{};
    if (waveOutGetDevCapsA(id, &caps, sizeof caps) != MMSYSERR_NOERROR) return false;
    std::memcpy(out, caps.szPname, MAXPNAMELEN);
    return true;
}

bool HasMixerLine(UINT id, DWORD mixerObject) {
    MIXERLINEA line{};
    line.cbStruct = sizeof line;
    line.dwDestination = 0;
    return mixerGetLineInfoA(reinterpret_cast<HMIXEROBJ>(static_cast<UINT_PTR>(id)), &line,
                             mixerObject | MIXER_GETLINEINFOF_DESTINATION) == MMSYSERR_NOERROR;
}

bool IsModemDevice(UINT id, const Direction& d, const VM_ModemWaveIds* modems, int modemCount) {
    for (int i = 0; i < modemCount; ++i) {
        if (modems[i].*d.modemId == id) return true;
    }
    return false;
}

void Append(const Direction& d, UINT id, const CHAR* name) {
    VM_SoundDevice& entry = d.list[*d.listCount];
    entry.dwDeviceId = id;
    std::memcpy(entry.szName, name, MAXPNAMELEN);
    entry.szName[MAXPNAMELEN - 1] = '\0';
    ++*d.listCount;
}

// Sound cards (devices with a mixer line) first and alone; without any,
// every device that is not a voice modem's.
void Enumerate(const Direction& d, const VM_ModemWaveIds* modems, int modemCount) {
    *d.listCount = 0;
    const UINT count = d.count();
    CHAR name[MAXPNAMELEN];
    for (UINT id = 0; id < count && *d.listCount < VM_MAX_SOUND_DEVICES; ++id) {
        if (HasMixerLine(id, d.mixerObject) && d.name(id, name)) Append(d, id, name);
    }
    if (*d.listCount > 0) return;
    for (UINT id = 0; id < count && *d.listCount < VM_MAX_SOUND_DEVICES; ++id) {
        if (d.name(id, name) && !IsModemDevice(id, d, modems, modemCount)) Append(d, id, name);
    }
}

}  // namespace

BOOL VM_EnumSoundDevices(const VM_ModemWaveIds* modems, int modemCount) {
    if (modems == nullptr) modemCount = 0;
    const Direction in{MIXER_OBJECTF_WAVEIN, waveInGetNumDevs, WaveInName, &VM_ModemWaveIds::uWaveIn,
                       g_waveInDevices, &g_nWaveInDevices};
    const Direction out{MIXER_OBJECTF_WAVEOUT, waveOutGetNumDevs, WaveOutName, &VM_ModemWaveIds::uWaveOut,
                        g_waveOutDevices, &g_nWaveOutDevices};
    Enumerate(in, modems, modemCount);
    Enumerate(out, modems, modemCount);
    return TRUE;
}
