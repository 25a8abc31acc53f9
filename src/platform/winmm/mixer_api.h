// The one mixer query the sound-card lists make: whether a wave device has a
// mixer destination line. Sound cards have one; other wave devices do not.
#pragma once

#include "platform/win32/types.h"
#include "platform/winmm/mm_result.h"
#include "platform/winmm/wave_api.h"

struct HMIXEROBJ__;
using HMIXEROBJ = HMIXEROBJ__*;

constexpr UINT MIXER_SHORT_NAME_CHARS = 16;
constexpr UINT MIXER_LONG_NAME_CHARS = 64;

constexpr DWORD MIXER_OBJECTF_HANDLE = 0x80000000;
constexpr DWORD MIXER_OBJECTF_MIXER = 0x00000000;
constexpr DWORD MIXER_OBJECTF_WAVEOUT = 0x10000000;
constexpr DWORD MIXER_OBJECTF_WAVEIN = 0x20000000;
constexpr DWORD MIXER_GETLINEINFOF_DESTINATION = 0x00000000;

constexpr DWORD MIXERLINE_COMPONENTTYPE_DST_FIRST = 0x00000000;
constexpr DWORD MIXERLINE_COMPONENTTYPE_DST_SPEAKERS = MIXERLINE_COMPONENTTYPE_DST_FIRST + 4;
constexpr DWORD MIXERLINE_COMPONENTTYPE_DST_WAVEIN = MIXERLINE_COMPONENTTYPE_DST_FIRST + 7;
constexpr DWORD MIXERLINE_TARGETTYPE_WAVEOUT = 1;
constexpr DWORD MIXERLINE_TARGETTYPE_WAVEIN = 2;

struct MIXERLINEA {
    DWORD cbStruct;
    DWORD dwDestination;
    DWORD dwSource;
    DWORD dwLineID;
    DWORD fdwLine;
    DWORD_PTR dwUser;
    DWORD dwComponentType;
    DWORD cChannels;
    DWORD cConnections;
    DWORD cControls;
    CHAR szShortName[MIXER_SHORT_NAME_CHARS];
    CHAR szName[MIXER_LONG_NAME_CHARS];
    struct {
        DWORD dwType;
        DWORD dwDeviceID;
        WORD wMid;
        WORD wPid;
        MMVERSION vDriverVersion;
        CHAR szPname[MAXPNAMELEN];
    } Target;
};
using LPMIXERLINEA = MIXERLINEA*;

// mixer is a wave device id cast to HMIXEROBJ with MIXER_OBJECTF_WAVEIN or
// MIXER_OBJECTF_WAVEOUT, and only destinations are answered.
MMRESULT mixerGetLineInfoA(HMIXEROBJ mixer, LPMIXERLINEA line, DWORD flags);
