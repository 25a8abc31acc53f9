// The per-sample codec of the four telephone sample formats (16-bit and 8-bit
// linear PCM, A-law, mu-law; mono, 8000 samples per second), conversion of
// whole buffers between them, and the DC-blocking filter of the recorder.
#pragma once

#include "platform/win32/types.h"
#include "platform/winmm/wave_format.h"

// Codes of the formats the system converts between.
enum SampleFormat : int {
    kSampleFormatNone = -1,
    kSampleFormatPcm16 = 0,
    kSampleFormatPcm8 = 1,
    kSampleFormatALaw = 2,
    kSampleFormatULaw = 3,
};

// The code of a format block; none unless mono at 8000 samples per second.
SampleFormat VM_GetSampleFormat(const WAVEFORMATEX* format);

class VM_CWaveProcessor {
public:
    using DecodeFn = SHORT (*)(BYTE);
    using EncodeFn = BYTE (*)(SHORT);
    using Convert8To8Fn = BYTE (*)(BYTE);
    using Convert8To16Fn = SHORT (*)(BYTE);
    using Convert16To8Fn = BYTE (*)(SHORT);
    using Convert16To16Fn = SHORT (*)(SHORT);

    explicit VM_CWaveProcessor(const WAVEFORMATEX* format);
    virtual ~VM_CWaveProcessor() = default;
    VM_CWaveProcessor(const VM_CWaveProcessor&) = delete;
    VM_CWaveProcessor& operator=(const VM_CWaveProcessor&) = delete;

    SHORT VM_GetSample(const BYTE* buffer, LONG index) const;
    void VM_PutSample(BYTE* buffer, LONG index, SHORT value) const;
    void VM_RemoveDC(double& value);
    BOOL VM_SetTargetFormat(const WAVEFORMATEX* target);
    // targetLength: capacity in, bytes produced out.
    BOOL VM_ConvertBuffer(const BYTE* source, LONG sourceLength, BYTE* target,
                          LONG& targetLength) const;

    BOOL VM_IsCodecReady() const { return m_bCodecReady; }
    WORD VM_GetBytesPerSample() const { return m_wBytesPerSample; }
    WORD VM_GetTargetBytesPerSample() const { return m_wTargetBytesPerSample; }

private:
    WAVEFORMATEX m_format{};
    WORD m_wBytesPerSample = 0;
    WORD m_wTargetBytesPerSample = 0;
    BOOL m_bCodecReady = FALSE;
    BOOL m_bConvertReady = FALSE;
    DecodeFn m_pfnDecode = nullptr;
    EncodeFn m_pfnEncode = nullptr;
    Convert8To8Fn m_pfn8To8 = nullptr;
    Convert8To16Fn m_pfn8To16 = nullptr;
    Convert16To8Fn m_pfn16To8 = nullptr;
    Convert16To16Fn m_pfn16To16 = nullptr;
    double m_dcPrevIn = 0.0;
    double m_dcPrevOut = 0.0;
};
