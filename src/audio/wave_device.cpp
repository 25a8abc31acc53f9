#include "audio/wave_device.h"

#include <cinttypes>
#include <new>

#include "diag/trace.h"
#include "platform/win32/messages.h"
#include "platform/win32/threads.h"
#include "platform/winmm/wave_port.h"

std::atomic<DWORD> g_nWaveSid{0};

DWORD VM_DrawWaveSid() { return g_nWaveSid.fetch_add(1, std::memory_order_relaxed) + 1; }

VM_WaveRun VM_WaveRunOf(WPARAM wParam, LPARAM lParam) {
    return {static_cast<uintptr_t>(wParam), static_cast<DWORD>(lParam)};
}

namespace {

uintptr_t Hex(const void* p) { return reinterpret_cast<uintptr_t>(p); }

WAVEFORMATEX Telephone(WORD tag, WORD bits) {
    const WORD align = static_cast<WORD>(bits / 8);
    return WAVEFORMATEX{tag, 1, 8000, 8000u * align, align, bits, 0};
}

// Tried in this order: the best quality a device offers comes first.
const WAVEFORMATEX kSupportedFormats[4] = {
    Telephone(WAVE_FORMAT_PCM, 16),
    Telephone(WAVE_FORMAT_ALAW, 8),
    Telephone(WAVE_FORMAT_MULAW, 8),
    Telephone(WAVE_FORMAT_PCM, 8),
};

WAVEHDR* AllocateBuffer() {
    auto* header = new (std::nothrow) WAVEHDR{};
    if (header == nullptr) return nullptr;
    header->lpData = new (std::nothrow) char[VM_WAVE_BUFFER_SIZE]();
    if (header->lpData == nullptr) {
        delete header;
        return nullptr;
    }
    header->dwBufferLength = VM_WAVE_BUFFER_SIZE;
    header->dwUser = VM_WAVE_BUFFER_FREE;
    return header;
}

}  // namespace

VM_CWaveDevice::VM_CWaveDevice(UINT deviceId, HWND owner) : m_hwndOwner(owner), m_uDeviceId(deviceId) {
    m_sid = VM_DrawWaveSid();
    InitializeCriticalSection(&m_cs);
    for (WAVEHDR*& header : m_lpWaveHdr) header = AllocateBuffer();
}

VM_CWaveDevice::~VM_CWaveDevice() {
    for (WAVEHDR*& header : m_lpWaveHdr) {
        if (header == nullptr) continue;
        delete[] header->lpData;
        delete header;
        header = nullptr;
    }
    DeleteCriticalSection(&m_cs);
}

const char* VM_CWaveDevice::VM_BufferState(const WAVEHDR* header) {
    if (header == nullptr) return "NULL";
    return VM_IsBufferFinished(header) ? "DONE" : "NOT";
}

bool VM_CWaveDevice::VM_IsBufferFinished(const WAVEHDR* header) {
    return header->dwUser == VM_WAVE_BUFFER_FREE || (winmm::LoadHeaderFlags(header) & WHDR_DONE) != 0;
}

void VM_CWaveDevice::VM_MarkBufferFree(WAVEHDR* header) { header->dwUser = VM_WAVE_BUFFER_FREE; }

void VM_CWaveDevice::VM_PostToOwner(UINT msg) {
    if (m_hwndOwner == nullptr) return;
    PostMessageA(m_hwndOwner, msg, reinterpret_cast<WPARAM>(this), static_cast<LPARAM>(VM_GetSid()));
}

BOOL VM_CWaveDevice::VM_Start(VM_CWaveFile* file) {
    VM_TRACE(g_bTraceAudio, "Entering VM_CWaveDevice::VM_Start(file=0x%" PRIxPTR ")", Hex(file));
    m_pFile = file;
    if (file != nullptr && VM_InitDeviceFormat()) {
        VM_TRACE(g_bTraceAudio, "fmt: fmtTag=%d, channel=%d, smpRate=%d, bytesPerSec=%d, blockAlign=%d, bits=%d, cb=%d",
                 m_pFormat->wFormatTag, m_pFormat->nChannels, static_cast<int>(m_pFormat->nSamplesPerSec),
                 static_cast<int>(m_pFormat->nAvgBytesPerSec), m_pFormat->nBlockAlign, m_pFormat->wBitsPerSample,
                 m_pFormat->cbSize);
        m_hEvent = CreateEventA(nullptr, FALSE, TRUE, nullptr);
        VM_TRACE(g_bTraceAudio, "CreateEvent: handle=0x%" PRIxPTR, Hex(m_hEvent));
    }
    if (m_hEvent != nullptr) {
        if (VM_OpenDevice(m_pFormat, CALLBACK_EVENT, reinterpret_cast<DWORD_PTR>(m_hEvent)) == MMSYSERR_NOERROR ||
            VM_OpenDevice(m_pFormat, CALLBACK_FUNCTION, reinterpret_cast<DWORD_PTR>(&VM_WaveDriverCallback)) ==
                MMSYSERR_NOERROR) {
            if (VM_StartThread()) {
                VM_TRACE(g_bTraceAudio, "Exit VM_CWaveDevice::VM_Start with %s", "TRUE");
                return TRUE;
            }
            VM_CloseDevice();
        }
        CloseHandle(m_hEvent);
        m_hEvent = nullptr;
    }
    m_pFile = nullptr;
    VM_TRACE(g_bTraceAudio, "Exit VM_CWaveDevice::VM_Start with %s", "FALSE");
    return FALSE;
}

BOOL VM_CWaveDevice::VM_StartThread() {
    m_sid = VM_DrawWaveSid();
    for (WAVEHDR* header : m_lpWaveHdr) {
        if (header == nullptr) continue;
        winmm::StoreHeaderFlags(header, 0);
        header->dwUser = VM_WAVE_BUFFER_FREE;
        header->dwBytesRecorded = 0;
        header->lpNext = nullptr;
        header->reserved = 0;
    }
    unsigned id = 0;
    const uintptr_t thread = _beginthreadex(nullptr, 0, VM_WaveThreadEntry, this, CREATE_SUSPENDED, &id);
    m_hThread = reinterpret_cast<HANDLE>(thread);
    m_idThread = id;
    VM_TRACE(g_bTraceAudio, "CreateThread: m_sid=0x%x, handle=0x%" PRIxPTR ", id=0x%x", VM_GetSid(), Hex(m_hThread), id);
    if (m_hThread == nullptr) return FALSE;
    const BOOL priority = SetThreadPriority(m_hThread, THREAD_PRIORITY_TIME_CRITICAL);
    VM_TRACE(g_bTraceAudio, "SetThreadPriority (id=0x%x)=0x%x (Resumed)", id, priority);
    if (ResumeThread(m_hThread) == 1) return TRUE;
    TerminateThread(m_hThread, 0);
    CloseHandle(m_hThread);
    m_hThread = nullptr;
    m_idThread = 0;
    return FALSE;
}

BOOL VM_CWaveDevice::VM_Stop() {
    VM_TRACE(g_bTraceAudio, "Entering VM_CWaveDevice::VM_Stop:(idThread=0x%x)", m_idThread);
    EnterCriticalSection(&m_cs);
    // Tested and set under the lock, so a concurrent second stop returns at once.
    if (m_bStop.load() != 0) {
        LeaveCriticalSection(&m_cs);
        return FALSE;
    }
    m_bStop.store(1);
    VM_Reset();
    LeaveCriticalSection(&m_cs);
    const BOOL result = VM_WaitThreadEnd();
    m_bStop.store(0);
    VM_TRACE(g_bTraceAudio, "Exit VM_CWaveDevice::VM_Stop");
    return result;
}

BOOL VM_CWaveDevice::VM_WaitThreadEnd() {
    if (m_hThread == nullptr) return FALSE;
    DWORD exitCode = 0;
    const BOOL read = GetExitCodeThread(m_hThread, &exitCode);
    const bool wait = !read || exitCode == STILL_ACTIVE;
    VM_TRACE(g_bTraceAudio, "GetExitCodeThread: sid=0x%x, thread_id=0x%x, exitCode=0x%x, bWait=%s", VM_GetSid(),
             m_idThread, exitCode, wait ? "TRUE" : "FALSE");
    if (wait) WaitForSingleObject(m_hThread, INFINITE);
    VM_CloseDevice();
    CloseHandle(m_hThread);
    m_hThread = nullptr;
    m_idThread = 0;
    CloseHandle(m_hEvent);
    m_hEvent = nullptr;
    m_sid = VM_DrawWaveSid();
    m_pFile = nullptr;
    return TRUE;
}

const WAVEFORMATEX* VM_CWaveDevice::VM_GetSupportedFormat() {
    for (int i = 0; i < 4; ++i) {
        if (VM_OpenDevice(&kSupportedFormats[i], WAVE_FORMAT_QUERY, 0) == MMSYSERR_NOERROR) {
            VM_TRACE(g_bTraceAudio, "VM_CWaveDevice::VM_GetSupportedFormat: i=%d, fmt_tag=0x%x", i,
                     kSupportedFormats[i].wFormatTag);
            return &kSupportedFormats[i];
        }
    }
    return nullptr;
}

void VM_WaveDriverCallback(HANDLE /*hdrvr*/, UINT msg, DWORD_PTR instance, DWORD_PTR /*param1*/,
                           DWORD_PTR /*param2*/) {
    auto* device = reinterpret_cast<VM_CWaveDevice*>(instance);
    if (device != nullptr && msg == device->VM_GetCallbackMessage()) SetEvent(device->VM_GetEvent());
}

unsigned VM_WaveThreadEntry(void* device) {
    return static_cast<unsigned>(static_cast<VM_CWaveDevice*>(device)->VM_ThreadProc());
}
