// Plays one WAVE file on one wave output device, converting the file once,
// in place, when the device cannot play its format. The owner window gets
// WM_WAVE_DONE when playing ends by itself, nothing when it is stopped.
#pragma once

#include "audio/wave_device.h"

class VM_CPlayer : public VM_CWaveDevice {
public:
    VM_CPlayer(UINT deviceId, HWND owner);
    ~VM_CPlayer() override;

    BOOL VM_InitDeviceFormat() override;
    DWORD VM_ThreadProc() override;
    MMRESULT VM_Reset() override;
    MMRESULT VM_CloseDevice() override;
    MMRESULT VM_OpenDevice(const WAVEFORMATEX* format, DWORD openFlags, DWORD_PTR callback) override;
    virtual MMRESULT VM_PrepareHeader(WAVEHDR* header);
    virtual MMRESULT VM_UnprepareHeader(WAVEHDR* header);
    virtual MMRESULT VM_Write(WAVEHDR* header);

private:
    // One look at buffer i in a pass; true when it counts as done.
    bool VM_ServiceBuffer(int index);

    HWAVEOUT m_hWaveOut = nullptr;
};

// Plays the file to its end on the device, or until hCancel (an event) is
// set; true when playing started.
BOOL VM_PlayFileSync(UINT deviceId, const char* fileName, HANDLE hCancel = nullptr);
