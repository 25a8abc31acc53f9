// Records from one wave input device into a new WAVE file: removes the DC
// offset of every buffer, runs the silence and tone detectors over it, tells
// the owner window after every buffer what they see, and ends by itself when
// a detector's time-out has passed. The enhancement pass runs over the file
// on the recorder's thread once the recording has ended.
#pragma once

#include <atomic>

#include "audio/recorder_buffer.h"
#include "audio/wave_device.h"

// Detector mask bits of VM_SetDetection.
constexpr DWORD VM_DETECT_DIALTONE = 0x1;
constexpr DWORD VM_DETECT_BUSYTONE = 0x2;
// Processing flag: with VM_ENHANCE_COMPRESS, the recorder also follows the
// level of the recording with a compressor (its gain is not applied).
constexpr DWORD VM_RECORD_FOLLOW_LEVEL = 0x4;

class VM_CRecorder : public VM_CWaveDevice {
public:
    VM_CRecorder(UINT deviceId, HWND owner);
    ~VM_CRecorder() override;

    // Before VM_Start. Seconds are clamped to 0..99 and the level to 0..100
    // (the configuration file is not range-checked on load).
    void VM_SetDetection(SHORT silenceSeconds, SHORT silenceLevel, DWORD detectorMask,
                         DWORD processingFlags);

    BOOL VM_InitDeviceFormat() override;
    DWORD VM_ThreadProc() override;
    MMRESULT VM_Reset() override;
    MMRESULT VM_CloseDevice() override;
    MMRESULT VM_OpenDevice(const WAVEFORMATEX* format, DWORD openFlags, DWORD_PTR callback) override;

    virtual BOOL VM_ProcessBuffer(VM_CWaveProcessor* processor, qvdsp::Compressor* compressor,
                                  VM_CSilenceDetector* silence, VM_CBusyToneDetector* busy,
                                  VM_CDialToneDetector* dial, BYTE* data, DWORD bytes);
    virtual BOOL VM_DetectorAction(VM_CSilenceDetector* silence, VM_CBusyToneDetector* busy,
                                   VM_CDialToneDetector* dial, LONG sampleCount);
    virtual MMRESULT VM_StartDevice();
    virtual MMRESULT VM_PrepareHeader(WAVEHDR* header);
    virtual MMRESULT VM_UnprepareHeader(WAVEHDR* header);
    virtual MMRESULT VM_AddBuffer(WAVEHDR* header);

    SHORT VM_GetSilenceLevel() const { return m_nSilenceLevel; }
    LONG VM_GetSilenceTime() const { return m_lSilenceTime; }
    DWORD VM_GetDetectorMask() const { return m_dwDetectorMask; }
    DWORD VM_GetProcessingFlags() const { return m_dwProcessingFlags; }
    // True when writing to the file failed during the last recording (a full
    // disk); that ended the recording, with WM_WAVE_DONE as usual.
    bool VM_WriteFailed() const { return m_bWriteFailed.load(); }

private:
    // What the recording loop keeps between buffers.
    struct Run;

    // One buffer of a pass: false when the pass must end at it (the driver
    // still has it). Counts it in done when it leaves the rotation.
    bool VM_HandleBuffer(Run& run, int& done);
    // Processes and writes a buffer that came back with data; stopping, it
    // reports nothing to the owner.
    void VM_TakeData(Run& run, WAVEHDR* header, bool stopping);
    void VM_TakeEmpty(Run& run);
    // Gives the buffer back to the driver; false (and the buffer free) when
    // that fails.
    bool VM_Requeue(WAVEHDR* header, UINT index);
    void VM_TraceBuffer(const Run& run, int done, UINT index, const WAVEHDR* header) const;

    HWAVEIN m_hWaveIn = nullptr;
    UINT m_uCurrentBuffer = 0;
    SHORT m_nSilenceLevel = 0;
    LONG m_lSilenceTime = 0;
    DWORD m_dwDetectorMask = 0;
    DWORD m_dwMinToneLength = 0;
    DWORD m_dwProcessingFlags = 0;
    std::atomic<bool> m_bWriteFailed{false};
    // The DC filter's state across the buffers of one recording.
    VM_DcBlocker m_dc;
};
