#include "audio/player.h"

#include <cinttypes>

#include "audio/wave_file.h"
#include "diag/trace.h"
#include "platform/win32/threads.h"
#include "platform/winmm/wave_port.h"

namespace {

uintptr_t Hex(const void* p) { return reinterpret_cast<uintptr_t>(p); }

bool SameSampleFormat(const WAVEFORMATEX& a, const WAVEFORMATEX& b) {
    return a.wFormatTag == b.wFormatTag && a.nChannels == b.nChannels && a.nSamplesPerSec == b.nSamplesPerSec &&
           a.wBitsPerSample == b.wBitsPerSample;
}

}  // namespace

VM_CPlayer::VM_CPlayer(UINT deviceId, HWND owner) : VM_CWaveDevice(deviceId, owner) {
    m_uCallbackMsg = MM_WOM_DONE;
    VM_TRACE(g_bTraceAudio, "VM_CPlayer::VM_CPlayer(dev_id=0x%x): this=0x%" PRIxPTR, deviceId, Hex(this));
}

VM_CPlayer::~VM_CPlayer() {
    VM_Stop();
    VM_TRACE(g_bTraceAudio, "VM_CPlayer::~VM_CPlayer(): this=0x%" PRIxPTR, Hex(this));
}

BOOL VM_CPlayer::VM_InitDeviceFormat() {
    m_pFormat = m_pFile != nullptr ? m_pFile->VM_GetFormat() : nullptr;
    if (m_pFormat == nullptr) return FALSE;
    if (VM_OpenDevice(m_pFormat, WAVE_FORMAT_QUERY, 0) == MMSYSERR_NOERROR) return TRUE;
    const WAVEFORMATEX* supported = VM_GetSupportedFormat();
    if (supported == nullptr) {
        m_pFormat = nullptr;
        return FALSE;
    }
    if (SameSampleFormat(*supported, *m_pFormat)) return TRUE;
    // The conversion replaces the file's format block; never keep the old one.
    m_pFormat = supported;
    if (!m_pFile->VM_ConvertFormat(supported)) {
        m_pFormat = nullptr;
        return FALSE;
    }
    return TRUE;
}

bool VM_CPlayer::VM_ServiceBuffer(int index) {
    WAVEHDR* header = m_lpWaveHdr[index];
    if (header == nullptr) return true;
    if (!VM_IsBufferFinished(header)) return false;
    VM_UnprepareHeader(header);
    EnterCriticalSection(&m_cs);
    const LONG length = m_bStop.load() != 0 ? 0 : m_pFile->VM_ReadData(reinterpret_cast<BYTE*>(header->lpData));
    bool done = true;
    if (length > 0) {
        VM_TRACE(g_bTraceAudio, "VM_ReadDataToBuffer: lLen=%d", static_cast<int>(length));
        header->dwBufferLength = static_cast<DWORD>(length);
        header->dwUser = VM_WAVE_BUFFER_QUEUED;
        winmm::StoreHeaderFlags(header, 0);
        header->dwLoops = 0;
        if (VM_PrepareHeader(header) == MMSYSERR_NOERROR) {
            if (VM_Write(header) == MMSYSERR_NOERROR) {
                done = false;
            } else {
                VM_UnprepareHeader(header);
            }
        }
    }
    if (done) VM_MarkBufferFree(header);
    LeaveCriticalSection(&m_cs);
    return done;
}

DWORD VM_CPlayer::VM_ThreadProc() {
    VM_TRACE(g_bTraceAudio, "Entering VM_CPlayer::VM_ThreadProc(id=0x%x)", GetCurrentThreadId());
    int done = 0;
    while (done < VM_WAVE_BUFFER_COUNT) {
        WaitForSingleObject(m_hEvent, VM_WAVE_THREAD_WAIT);
        done = 0;
        for (int i = 0; i < VM_WAVE_BUFFER_COUNT; ++i) {
            const WAVEHDR* header = m_lpWaveHdr[i];
            VM_TRACE(g_bTraceAudio, "m_bStop=%d, iDone=%d, lpWaveHdr[%d]->dwFlags=0x%x (%s)",
                     static_cast<int>(m_bStop.load()), done, i,
                     header != nullptr ? winmm::LoadHeaderFlags(header) : 0u, VM_BufferState(header));
            if (VM_ServiceBuffer(i)) ++done;
        }
    }
    if (m_bStop.load() == 0) VM_PostToOwner(WM_WAVE_DONE);
    VM_TRACE(g_bTraceAudio, "Exit VM_CPlayer::VM_ThreadProc(id=0x%x)", GetCurrentThreadId());
    return 1;
}

MMRESULT VM_CPlayer::VM_Reset() {
    if (m_hWaveOut == nullptr) return MMSYSERR_NOERROR;
    const MMRESULT mr = waveOutReset(m_hWaveOut);
    VM_TRACE(g_bTraceAudio, "waveOutReset: hWaveOut=0x%" PRIxPTR ", mr=0x%x", Hex(m_hWaveOut), mr);
    return mr;
}

MMRESULT VM_CPlayer::VM_CloseDevice() {
    if (m_hWaveOut == nullptr) return MMSYSERR_NOERROR;
    const MMRESULT mr = waveOutClose(m_hWaveOut);
    VM_TRACE(g_bTraceAudio, "waveOutClose: hWaveOut=0x%" PRIxPTR ", mr=0x%x", Hex(m_hWaveOut), mr);
    m_hWaveOut = nullptr;
    return mr;
}

MMRESULT VM_CPlayer::VM_OpenDevice(const WAVEFORMATEX* format, DWORD openFlags, DWORD_PTR callback) {
    if (format == nullptr) return MMSYSERR_ERROR;
    const bool query = (openFlags & WAVE_FORMAT_QUERY) != 0;
    HWAVEOUT handle = nullptr;
    const DWORD_PTR cb = query ? 0 : callback;
    const DWORD_PTR instance = query ? 0 : reinterpret_cast<DWORD_PTR>(this);
    MMRESULT mr = waveOutOpen(query ? nullptr : &handle, m_uDeviceId, format, cb, instance, openFlags);
    // The wave mapper may supply a conversion the device lacks.
    if (mr != MMSYSERR_NOERROR) {
        mr = waveOutOpen(query ? nullptr : &handle, m_uDeviceId, format, cb, instance, openFlags | WAVE_MAPPED);
    }
    if (!query && mr == MMSYSERR_NOERROR) m_hWaveOut = handle;
    VM_TRACE(g_bTraceAudio, "waveOutOpen: hWaveOut=0x%" PRIxPTR ", device_id=0x%x, mr=0x%x, fdwOpen=0x%x",
             Hex(handle), m_uDeviceId, mr, openFlags);
    return mr;
}

MMRESULT VM_CPlayer::VM_PrepareHeader(WAVEHDR* header) {
    return waveOutPrepareHeader(m_hWaveOut, header, sizeof(WAVEHDR));
}

MMRESULT VM_CPlayer::VM_UnprepareHeader(WAVEHDR* header) {
    return waveOutUnprepareHeader(m_hWaveOut, header, sizeof(WAVEHDR));
}

MMRESULT VM_CPlayer::VM_Write(WAVEHDR* header) { return waveOutWrite(m_hWaveOut, header, sizeof(WAVEHDR)); }

BOOL VM_PlayFileSync(UINT deviceId, const char* fileName, HANDLE hCancel) {
    auto* player = new VM_CPlayer(deviceId, nullptr);
    auto* file = new VM_CWaveFile(fileName, VM_WAVE_MODE_READ);
    const BOOL started = player->VM_Start(file);
    if (started && hCancel != nullptr) {
        const HANDLE waits[2] = {player->VM_GetThread(), hCancel};
        if (WaitForMultipleObjects(2, waits, FALSE, INFINITE) == WAIT_OBJECT_0 + 1) player->VM_Stop();
    }
    if (started) player->VM_WaitThreadEnd();
    delete player;
    delete file;
    return started;
}
