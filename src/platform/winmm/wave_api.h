// Wave output and input devices, with the published constants and structure
// field order. Devices are numbered from 0 per direction; each accepts its
// own list of formats, returns buffers in the order they were queued, marked
// WHDR_DONE, and signals each one by event or callback; a reset hands back
// every queued buffer at once. Devices are paced in real time under the time
// scale.
#pragma once

#include "platform/win32/types.h"
#include "platform/winmm/mm_result.h"
#include "platform/winmm/wave_format.h"

struct HWAVEOUT__;
using HWAVEOUT = HWAVEOUT__*;
using LPHWAVEOUT = HWAVEOUT*;
struct HWAVEIN__;
using HWAVEIN = HWAVEIN__*;
using LPHWAVEIN = HWAVEIN*;
using MMVERSION = UINT;

constexpr UINT MAXPNAMELEN = 32;
constexpr UINT WAVE_MAPPER = static_cast<UINT>(-1);

constexpr UINT MM_WOM_OPEN = 0x3BB;
constexpr UINT MM_WOM_CLOSE = 0x3BC;
constexpr UINT MM_WOM_DONE = 0x3BD;
constexpr UINT MM_WIM_OPEN = 0x3BE;
constexpr UINT MM_WIM_CLOSE = 0x3BF;
constexpr UINT MM_WIM_DATA = 0x3C0;
constexpr UINT WOM_OPEN = MM_WOM_OPEN;
constexpr UINT WOM_CLOSE = MM_WOM_CLOSE;
constexpr UINT WOM_DONE = MM_WOM_DONE;
constexpr UINT WIM_OPEN = MM_WIM_OPEN;
constexpr UINT WIM_CLOSE = MM_WIM_CLOSE;
constexpr UINT WIM_DATA = MM_WIM_DATA;

constexpr DWORD CALLBACK_TYPEMASK = 0x00070000;
constexpr DWORD CALLBACK_NULL = 0x00000000;
constexpr DWORD CALLBACK_WINDOW = 0x00010000;
constexpr DWORD CALLBACK_TASK = 0x00020000;
constexpr DWORD CALLBACK_FUNCTION = 0x00030000;
constexpr DWORD CALLBACK_THREAD = CALLBACK_TASK;
constexpr DWORD CALLBACK_EVENT = 0x00050000;

constexpr DWORD WAVE_FORMAT_QUERY = 0x0001;
constexpr DWORD WAVE_ALLOWSYNC = 0x0002;
constexpr DWORD WAVE_MAPPED = 0x0004;
constexpr DWORD WAVE_FORMAT_DIRECT = 0x0008;

constexpr DWORD WHDR_DONE = 0x00000001;
constexpr DWORD WHDR_PREPARED = 0x00000002;
constexpr DWORD WHDR_BEGINLOOP = 0x00000004;
constexpr DWORD WHDR_ENDLOOP = 0x00000008;
constexpr DWORD WHDR_INQUEUE = 0x00000010;

// Capability bits (11.025 kHz mono, 8 and 16 bits), reported by every device.
constexpr DWORD WAVE_FORMAT_1M08 = 0x00000001;
constexpr DWORD WAVE_FORMAT_1M16 = 0x00000004;

struct WAVEHDR {
    LPSTR lpData;
    DWORD dwBufferLength;
    DWORD dwBytesRecorded;
    DWORD_PTR dwUser;
    DWORD dwFlags;
    DWORD dwLoops;
    WAVEHDR* lpNext;
    DWORD_PTR reserved;
};
using LPWAVEHDR = WAVEHDR*;

struct WAVEOUTCAPSA {
    WORD wMid;
    WORD wPid;
    MMVERSION vDriverVersion;
    CHAR szPname[MAXPNAMELEN];
    DWORD dwFormats;
    WORD wChannels;
    WORD wReserved1;
    DWORD dwSupport;
};
using LPWAVEOUTCAPSA = WAVEOUTCAPSA*;

struct WAVEINCAPSA {
    WORD wMid;
    WORD wPid;
    MMVERSION vDriverVersion;
    CHAR szPname[MAXPNAMELEN];
    DWORD dwFormats;
    WORD wChannels;
    WORD wReserved1;
};
using LPWAVEINCAPSA = WAVEINCAPSA*;

// The driver callback: handle, message, instance, first and second parameter
// (for MM_WOM_DONE and MM_WIM_DATA the first is the finished WAVEHDR).
using WAVECALLBACK = void (*)(HANDLE hdrvr, UINT uMsg, DWORD_PTR dwUser, DWORD_PTR dw1, DWORD_PTR dw2);

UINT waveOutGetNumDevs();
MMRESULT waveOutGetDevCapsA(UINT_PTR deviceId, LPWAVEOUTCAPSA caps, UINT size);
// With WAVE_FORMAT_QUERY only asks whether the format is accepted.
MMRESULT waveOutOpen(LPHWAVEOUT handle, UINT deviceId, LPCWAVEFORMATEX format, DWORD_PTR callback,
                     DWORD_PTR instance, DWORD flags);
MMRESULT waveOutClose(HWAVEOUT h);
MMRESULT waveOutPrepareHeader(HWAVEOUT h, LPWAVEHDR header, UINT size);
MMRESULT waveOutUnprepareHeader(HWAVEOUT h, LPWAVEHDR header, UINT size);
MMRESULT waveOutWrite(HWAVEOUT h, LPWAVEHDR header, UINT size);
MMRESULT waveOutReset(HWAVEOUT h);

UINT waveInGetNumDevs();
MMRESULT waveInGetDevCapsA(UINT_PTR deviceId, LPWAVEINCAPSA caps, UINT size);
MMRESULT waveInOpen(LPHWAVEIN handle, UINT deviceId, LPCWAVEFORMATEX format, DWORD_PTR callback,
                    DWORD_PTR instance, DWORD flags);
MMRESULT waveInClose(HWAVEIN h);
MMRESULT waveInPrepareHeader(HWAVEIN h, LPWAVEHDR header, UINT size);
MMRESULT waveInUnprepareHeader(HWAVEIN h, LPWAVEHDR header, UINT size);
MMRESULT waveInAddBuffer(HWAVEIN h, LPWAVEHDR header, UINT size);
MMRESULT waveInStart(HWAVEIN h);
MMRESULT waveInStop(HWAVEIN h);
MMRESULT waveInReset(HWAVEIN h);
