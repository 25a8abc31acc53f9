#include "platform/winmm/mixer_api.h"

#include <cstring>

#include "platform/winmm/wave_endpoint.h"

MMRESULT mixerGetLineInfoA(HMIXEROBJ mixer, LPMIXERLINEA line, DWORD flags) {
    if (line == nullptr || line->cbStruct < sizeof(MIXERLINEA)) return MMSYSERR_INVALPARAM;
    if ((flags & 0xF) != MIXER_GETLINEINFOF_DESTINATION || line->dwDestination != 0) return MIXERR_INVALLINE;
    const auto id = static_cast<UINT>(reinterpret_cast<UINT_PTR>(mixer));
    const DWORD object = flags & 0x70000000;
    const bool out = object == MIXER_OBJECTF_WAVEOUT;
    if (!out && object != MIXER_OBJECTF_WAVEIN) return MMSYSERR_NOTSUPPORTED;
    const auto endpoint = out ? winmm::FindWaveOutEndpoint(id) : winmm::FindWaveInEndpoint(id);
    if (!endpoint) return MMSYSERR_BADDEVICEID;
    if (!endpoint->HasMixerLine()) return MMSYSERR_NODRIVER;
    const std::string name = endpoint->Name();
    line->dwSource = 0;
    line->dwLineID = 0xFFFF0000u;
    line->fdwLine = 1;  // active
    line->dwComponentType = out ? MIXERLINE_COMPONENTTYPE_DST_SPEAKERS : MIXERLINE_COMPONENTTYPE_DST_WAVEIN;
    line->cChannels = 1;
    line->cConnections = 0;
    line->cControls = 0;
    std::memset(line->szShortName, 0, sizeof line->szShortName);
    std::memset(line->szName, 0, sizeof line->szName);
    std::strncpy(line->szShortName, name.c_str(), MIXER_SHORT_NAME_CHARS - 1);
    std::strncpy(line->szName, name.c_str(), MIXER_LONG_NAME_CHARS - 1);
    line->Target = {};
    line->Target.dwType = out ? MIXERLINE_TARGETTYPE_WAVEOUT : MIXERLINE_TARGETTYPE_WAVEIN;
    line->Target.dwDeviceID = id;
    std::strncpy(line->Target.szPname, name.c_str(), MAXPNAMELEN - 1);
    return MMSYSERR_NOERROR;
}
