// The common base of the player and the recorder: one object drives one wave
// device for one owner window with a time-critical worker thread and five
// rotating 1600-byte buffers. Results reach the owner only as posted window
// messages carrying the device object and its run id m_sid, so that the
// owner can tell a current notice from a stale one.
#pragma once

#include <atomic>

#include "platform/win32/sync.h"
#include "platform/win32/types.h"
#include "platform/winmm/wave_api.h"

class VM_CWaveFile;

// Posted to the owner window: wParam the device object, lParam its m_sid.
// The device may be gone when its notice arrives: owners read a notice with
// VM_WaveRunOf and compare it with VM_GetRun of the device they hold, never
// dereferencing wParam.
constexpr UINT WM_WAVE_DONE = 0x8006;
constexpr UINT WM_WAVE_SILENCE = 0x8007;
constexpr UINT WM_WAVE_SOUND = 0x8008;
constexpr UINT WM_WAVE_BUSYTONE = 0x8020;
constexpr UINT WM_WAVE_DIALTONE = 0x8021;

constexpr int VM_WAVE_BUFFER_COUNT = 5;
constexpr DWORD VM_WAVE_BUFFER_SIZE = 1600;
// The worker thread passes over its buffers at least this often (ms).
constexpr DWORD VM_WAVE_THREAD_WAIT = 300;
// WAVEHDR user field: 1 = free (not with the driver), 0 = with the driver.
constexpr DWORD_PTR VM_WAVE_BUFFER_FREE = 1;
constexpr DWORD_PTR VM_WAVE_BUFFER_QUEUED = 0;

// Process-wide run id counter; atomic, so no two runs share an id.
extern std::atomic<DWORD> g_nWaveSid;
DWORD VM_DrawWaveSid();

// One run of one device: its address and run id, as a notice carries them.
struct VM_WaveRun {
    uintptr_t device = 0;
    DWORD sid = 0;
    bool operator==(const VM_WaveRun&) const = default;
};
VM_WaveRun VM_WaveRunOf(WPARAM wParam, LPARAM lParam);

class VM_CWaveDevice {
public:
    VM_CWaveDevice(UINT deviceId, HWND owner);
    virtual ~VM_CWaveDevice();
    VM_CWaveDevice(const VM_CWaveDevice&) = delete;
    VM_CWaveDevice& operator=(const VM_CWaveDevice&) = delete;

    virtual BOOL VM_Start(VM_CWaveFile* file);
    virtual BOOL VM_Stop();
    virtual BOOL VM_WaitThreadEnd();
    virtual const WAVEFORMATEX* VM_GetSupportedFormat();
    virtual BOOL VM_InitDeviceFormat() = 0;
    virtual DWORD VM_ThreadProc() = 0;
    virtual MMRESULT VM_Reset() = 0;
    virtual MMRESULT VM_CloseDevice() = 0;
    // With WAVE_FORMAT_QUERY only asks; a failure is retried with WAVE_MAPPED.
    virtual MMRESULT VM_OpenDevice(const WAVEFORMATEX* format, DWORD openFlags, DWORD_PTR callback) = 0;

    DWORD VM_GetSid() const { return m_sid.load(std::memory_order_acquire); }
    // The run whose notices are current (the next one once stopped).
    VM_WaveRun VM_GetRun() const { return {reinterpret_cast<uintptr_t>(this), VM_GetSid()}; }
    HWND VM_GetOwner() const { return m_hwndOwner; }
    UINT VM_GetDeviceId() const { return m_uDeviceId; }
    UINT VM_GetCallbackMessage() const { return m_uCallbackMsg; }
    HANDLE VM_GetEvent() const { return m_hEvent; }
    // The worker thread while it runs or has ended unwaited; null otherwise.
    HANDLE VM_GetThread() const { return m_hThread; }
    const WAVEFORMATEX* VM_GetDeviceFormat() const { return m_pFormat; }

protected:
    // Draws the run id, frees every buffer and starts the worker thread.
    BOOL VM_StartThread();
    // "DONE", "NOT" or "NULL", as the buffer traces print a slot.
    static const char* VM_BufferState(const WAVEHDR* header);
    // The driver is finished with it, or it was never handed over.
    static bool VM_IsBufferFinished(const WAVEHDR* header);
    static void VM_MarkBufferFree(WAVEHDR* header);
    // Posts msg to the owner window with this object and the current m_sid.
    void VM_PostToOwner(UINT msg);

    HWND m_hwndOwner = nullptr;
    UINT m_uDeviceId = 0;
    HANDLE m_hThread = nullptr;
    DWORD m_idThread = 0;
    HANDLE m_hEvent = nullptr;
    UINT m_uCallbackMsg = 0;
    const WAVEFORMATEX* m_pFormat = nullptr;
    WAVEHDR* m_lpWaveHdr[VM_WAVE_BUFFER_COUNT] = {};
    // Tested and set under m_cs; atomic so the thread's unlocked last look
    // (whether to post WM_WAVE_DONE) is not a data race.
    std::atomic<LONG> m_bStop{0};
    CRITICAL_SECTION m_cs{};
    // Read by the owner's thread while the controlling thread draws anew.
    std::atomic<DWORD> m_sid{0};
    VM_CWaveFile* m_pFile = nullptr;
};

// Sets the event of the device given as instance when msg is its callback
// message; used when a device cannot signal an event itself.
void VM_WaveDriverCallback(HANDLE hdrvr, UINT msg, DWORD_PTR instance, DWORD_PTR param1, DWORD_PTR param2);
// The worker thread's entry: runs VM_ThreadProc and exits with its result.
unsigned VM_WaveThreadEntry(void* device);

// The sound-card lists offered for playback and recording.
constexpr int VM_MAX_SOUND_DEVICES = 20;
struct VM_SoundDevice {
    DWORD dwDeviceId;
    CHAR szName[MAXPNAMELEN];
};
extern VM_SoundDevice g_waveInDevices[VM_MAX_SOUND_DEVICES];
extern int g_nWaveInDevices;
extern VM_SoundDevice g_waveOutDevices[VM_MAX_SOUND_DEVICES];
extern int g_nWaveOutDevices;

// A voice modem's wave devices, which are never offered as sound cards.
struct VM_ModemWaveIds {
    UINT uWaveIn;
    UINT uWaveOut;
};
// Fills both lists; always true.
BOOL VM_EnumSoundDevices(const VM_ModemWaveIds* modems, int modemCount);
