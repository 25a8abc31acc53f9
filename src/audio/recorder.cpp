#include "audio/recorder.h"

#include <cinttypes>
#include <memory>

#include "audio/compressor.h"
#include "audio/recorder_buffer.h"
#include "audio/wave_file.h"
#include "audio/wave_processor.h"
#include "detect/busy_tone_detector.h"
#include "detect/dial_tone_detector.h"
#include "detect/silence_detector.h"
#include "diag/trace.h"
#include "platform/win32/clock.h"
#include "platform/win32/threads.h"
#include "platform/winmm/wave_port.h"

namespace {

// The detectors always work at the telephone rate.
constexpr double kDetectorRate = 8000.0;
constexpr double kDialThreshold = 80000.0;
constexpr double kDialHarmonicRatio = 8.0;
constexpr double kBusyThreshold = 20000.0;
constexpr double kBusyHarmonicRatio = 5.0;
// Level 1 is 0.3 % of full scale: 98301 is three times 32767.
constexpr LONGLONG kLevelScale = 98301;
constexpr SHORT kMaxSilenceSeconds = 99;
constexpr SHORT kMaxSilenceLevel = 100;

SHORT Clamp(SHORT v, SHORT lo, SHORT hi) { return v < lo ? lo : (v > hi ? hi : v); }

LONG ToLong(LONGLONG v) {
    if (v > 0x7FFFFFFFLL) return 0x7FFFFFFF;
    if (v < -0x7FFFFFFFLL - 1) return -0x7FFFFFFF - 1;
    return static_cast<LONG>(v);
}

uintptr_t Ptr(const void* p) { return reinterpret_cast<uintptr_t>(p); }

}  // namespace

struct VM_CRecorder::Run {
    std::unique_ptr<VM_CWaveProcessor> processor;
    std::unique_ptr<VM_CSilenceDetector> silence;
    std::unique_ptr<VM_CDialToneDetector> dial;
    std::unique_ptr<VM_CBusyToneDetector> busy;
    std::unique_ptr<qvdsp::Compressor> compressor;
    // A detector has ended the recording.
    bool tone = false;
    bool started = false;
    DWORD lastData = 0;
};

VM_CRecorder::VM_CRecorder(UINT deviceId, HWND owner) : VM_CWaveDevice(deviceId, owner) {
    m_uCallbackMsg = MM_WIM_DATA;
    VM_TRACE(g_bTraceAudio, "VM_CRecorder::VM_CRecorder(dev_id=0x%x): this=0x%" PRIxPTR, deviceId,
             Ptr(this));
}

VM_CRecorder::~VM_CRecorder() {
    VM_Stop();
    VM_TRACE(g_bTraceAudio, "VM_CRecorder::~VM_CRecorder: this=0x%" PRIxPTR, Ptr(this));
}

void VM_CRecorder::VM_SetDetection(SHORT silenceSeconds, SHORT silenceLevel, DWORD detectorMask,
                                   DWORD processingFlags) {
    m_lSilenceTime = Clamp(silenceSeconds, 0, kMaxSilenceSeconds) * 1000;
    m_nSilenceLevel = static_cast<SHORT>(
        static_cast<LONGLONG>(Clamp(silenceLevel, 0, kMaxSilenceLevel)) * kLevelScale / 1000);
    m_dwDetectorMask = detectorMask;
    m_dwProcessingFlags = processingFlags;
}

BOOL VM_CRecorder::VM_InitDeviceFormat() {
    // Only a file created new can take the device's format and the samples.
    const WAVEFORMATEX* format = nullptr;
    if (m_pFile != nullptr && m_pFile->VM_GetMode() == VM_WAVE_MODE_NEW) {
        format = VM_GetSupportedFormat();
        if (format != nullptr && !m_pFile->VM_SetFormat(format)) format = nullptr;
    }
    m_pFormat = format;
    VM_TRACE(g_bTraceAudio,
             "Entering VM_CRecorder::VM_InitDeviceFormat: m_file=0x%" PRIxPTR ", m_fmt=0x%" PRIxPTR
             ", wFormatTag=0x%x",
             Ptr(m_pFile), Ptr(m_pFormat), m_pFormat != nullptr ? m_pFormat->wFormatTag : 0u);
    return m_pFormat != nullptr;
}

MMRESULT VM_CRecorder::VM_OpenDevice(const WAVEFORMATEX* format, DWORD openFlags,
                                     DWORD_PTR callback) {
    if (format == nullptr) return MMSYSERR_ERROR;
    const bool query = (openFlags & WAVE_FORMAT_QUERY) != 0;
    HWAVEIN handle = nullptr;
    DWORD_PTR instance = query ? 0 : reinterpret_cast<DWORD_PTR>(this);
    MMRESULT mr = waveInOpen(query ? nullptr : &handle, m_uDeviceId, format, query ? 0 : callback,
                             instance, openFlags);
    if (mr != MMSYSERR_NOERROR)
        mr = waveInOpen(query ? nullptr : &handle, m_uDeviceId, format, query ? 0 : callback,
                        instance, openFlags | WAVE_MAPPED);
    if (!query && mr == MMSYSERR_NOERROR) m_hWaveIn = handle;
    VM_TRACE(g_bTraceAudio, "waveInOpen: hWaveIn=0x%" PRIxPTR ", device_id=0x%x, mr=0x%x, fdwOpen=0x%x",
             Ptr(handle), m_uDeviceId, mr, openFlags);
    return mr;
}

MMRESULT VM_CRecorder::VM_Reset() {
    if (m_hWaveIn == nullptr) return MMSYSERR_NOERROR;
    MMRESULT mr = waveInReset(m_hWaveIn);
    VM_TRACE(g_bTraceAudio, "waveInReset: hWaveIn=0x%" PRIxPTR ", mr=0x%x", Ptr(m_hWaveIn), mr);
    return mr;
}

MMRESULT VM_CRecorder::VM_CloseDevice() {
    if (m_hWaveIn == nullptr) return MMSYSERR_NOERROR;
    MMRESULT mr = waveInClose(m_hWaveIn);
    VM_TRACE(g_bTraceAudio, "waveInClose: hWaveIn=0x%" PRIxPTR ", mr=0x%x", Ptr(m_hWaveIn), mr);
    m_hWaveIn = nullptr;
    return mr;
}

MMRESULT VM_CRecorder::VM_StartDevice() {
    if (m_hWaveIn == nullptr) return MMSYSERR_ERROR;
    MMRESULT mr = waveInStart(m_hWaveIn);
    VM_TRACE(g_bTraceAudio, "waveInStart: hWaveIn=0x%" PRIxPTR ", mr=0x%x", Ptr(m_hWaveIn), mr);
    return mr;
}

MMRESULT VM_CRecorder::VM_PrepareHeader(WAVEHDR* header) {
    return waveInPrepareHeader(m_hWaveIn, header, sizeof(WAVEHDR));
}

MMRESULT VM_CRecorder::VM_UnprepareHeader(WAVEHDR* header) {
    return waveInUnprepareHeader(m_hWaveIn, header, sizeof(WAVEHDR));
}

MMRESULT VM_CRecorder::VM_AddBuffer(WAVEHDR* header) {
    return waveInAddBuffer(m_hWaveIn, header, sizeof(WAVEHDR));
}

BOOL VM_CRecorder::VM_ProcessBuffer(VM_CWaveProcessor* processor, qvdsp::Compressor* compressor,
                                    VM_CSilenceDetector* silence, VM_CBusyToneDetector* busy,
                                    VM_CDialToneDetector* dial, BYTE* data, DWORD bytes) {
    return VM_ProcessRecordedBuffer(processor, m_dc, compressor, silence, busy, dial, data, bytes);
}

BOOL VM_CRecorder::VM_DetectorAction(VM_CSilenceDetector* silence, VM_CBusyToneDetector* busy,
                                     VM_CDialToneDetector* dial, LONG sampleCount) {
    if (m_hwndOwner == nullptr) return FALSE;
    const int32_t minTone = ToLong(m_dwMinToneLength);
    bool bSilence = false;
    bool bBusy = false;
    bool bDial = false;
    UINT msg;
    if (dial != nullptr && dial->VM_IsLongerThan(minTone)) {
        bDial = true;
        msg = WM_WAVE_DIALTONE;
    } else if (busy != nullptr && busy->VM_IsLongerThan(minTone)) {
        bBusy = true;
        msg = WM_WAVE_BUSYTONE;
    } else {
        if (m_lSilenceTime <= 0 || m_nSilenceLevel <= 0 || silence == nullptr) return FALSE;
        // Silent only when every sample of this buffer, and the one before
        // it, was quiet.
        bSilence = silence->VM_IsLongerThan(sampleCount);
        msg = bSilence ? WM_WAVE_SILENCE : WM_WAVE_SOUND;
    }
    VM_TRACE(g_bTraceAudio,
             "VM_CRecorder::VM_DetectorAction(nSamples=%d), bSilence=%s, bBusyTone=%s, bDialTone=%s",
             sampleCount, bSilence ? "TRUE" : "FALSE", bBusy ? "TRUE" : "FALSE",
             bDial ? "TRUE" : "FALSE");
    VM_PostToOwner(msg);
    return TRUE;
}

void VM_CRecorder::VM_TraceBuffer(const Run& run, int done, UINT index,
                                  const WAVEHDR* header) const {
    if (!g_bTraceAudio) return;
    // The driver may still be filling a buffer it has not handed back; its
    // byte count is read only once the done flag says it is ours.
    const bool ours = header != nullptr && VM_IsBufferFinished(header);
    VM_TRACE(g_bTraceAudio,
             "m_bStop=%d, iDone=%d, bTone=%d, lpWaveHdr[%d]->[dwRecorded=0x%x, dwFlags=0x%x (%s)]",
             static_cast<int>(m_bStop.load()), done, run.tone ? 1 : 0, index,
             ours ? header->dwBytesRecorded : 0u,
             header != nullptr ? winmm::LoadHeaderFlags(header) : 0u, VM_BufferState(header));
}

void VM_CRecorder::VM_TakeData(Run& run, WAVEHDR* header, bool stopping) {
    const DWORD n = header->dwBytesRecorded;
    run.started = true;
    run.lastData = GetTickCount();
    BYTE* data = reinterpret_cast<BYTE*>(header->lpData);
    VM_ProcessBuffer(run.processor.get(), run.compressor.get(), run.silence.get(), run.busy.get(),
                     run.dial.get(), data, n);
    // Once stopped, the owner hears of nothing more.
    if (!stopping)
        VM_DetectorAction(run.silence.get(), run.busy.get(), run.dial.get(),
                          static_cast<LONG>(n / run.processor->VM_GetBytesPerSample()));
    if (run.silence->VM_IsDetected() || (run.busy && run.busy->VM_IsDetected()) ||
        (run.dial && run.dial->VM_IsDetected())) {
        // The sound that ended the message is not kept.
        run.tone = true;
        return;
    }
    LONG written = m_pFile->VM_WriteData(data, static_cast<LONG>(n), TRUE);
    VM_TRACE(g_bTraceAudio, "VM_WriteDataToFile: lLen=%d", written);
    if (written != static_cast<LONG>(n)) {
        // A full disk: recording on would only lose more of the message.
        m_bWriteFailed.store(true);
        run.tone = true;
    }
}

// An empty buffer after data credits all the time since the last data as
// silence; the last-data time stays, so a run of empty buffers adds up.
void VM_CRecorder::VM_TakeEmpty(Run& run) {
    const DWORD now = GetTickCount();
    if (!run.started) {
        run.started = true;
        run.lastData = now;
        VM_TRACE(g_bTraceAudio, "VM_WriteDataToFile: lLen=%d", 0);
        return;
    }
    const DWORD elapsed = now - run.lastData;
    run.silence->VM_AddSilenceTime(elapsed);
    run.tone = run.silence->VM_IsDetected();
    const LONGLONG samples =
        static_cast<LONGLONG>(elapsed) * static_cast<LONGLONG>(m_pFormat->nSamplesPerSec) / 1000;
    VM_DetectorAction(run.silence.get(), run.busy.get(), run.dial.get(), ToLong(samples));
    if (!run.tone) VM_TRACE(g_bTraceAudio, "VM_WriteDataToFile: lLen=%d", 0);
}

bool VM_CRecorder::VM_Requeue(WAVEHDR* header, UINT index) {
    header->dwBufferLength = VM_WAVE_BUFFER_SIZE;
    header->dwBytesRecorded = 0;
    header->dwUser = VM_WAVE_BUFFER_QUEUED;
    winmm::StoreHeaderFlags(header, 0);
    header->dwLoops = 0;
    if (VM_PrepareHeader(header) == MMSYSERR_NOERROR) {
        if (VM_AddBuffer(header) == MMSYSERR_NOERROR) {
            VM_TRACE(g_bTraceAudio, "waveInPrepare: m_lpWaveHdr[%d]->dwBuffLen=%d", index,
                     static_cast<int>(VM_WAVE_BUFFER_SIZE));
            return true;
        }
        VM_UnprepareHeader(header);
    }
    return false;
}

bool VM_CRecorder::VM_HandleBuffer(Run& run, int& done) {
    const UINT index = m_uCurrentBuffer;
    WAVEHDR* header = m_lpWaveHdr[index];
    VM_TraceBuffer(run, done, index, header);
    if (header == nullptr) {
        ++done;
        return true;
    }
    // Buffers come back in the order they were queued: the first one the
    // driver still has ends the pass, and the next pass starts there.
    if (!VM_IsBufferFinished(header)) return false;
    const bool returned = header->dwUser == VM_WAVE_BUFFER_QUEUED;
    VM_UnprepareHeader(header);
    EnterCriticalSection(&m_cs);
    if (m_bStop.load() || run.tone) {
        // The sound the device had received when it was stopped is the end
        // of the message, not to be lost.
        if (returned && !run.tone && header->dwBytesRecorded > 0) VM_TakeData(run, header, true);
        LeaveCriticalSection(&m_cs);
        VM_MarkBufferFree(header);
        ++done;
        return true;
    }
    if (returned) {
        if (header->dwBytesRecorded > 0)
            VM_TakeData(run, header, false);
        else
            VM_TakeEmpty(run);
    }
    bool queued = VM_Requeue(header, index);
    LeaveCriticalSection(&m_cs);
    if (!queued) {
        VM_MarkBufferFree(header);
        ++done;
    }
    return true;
}

DWORD VM_CRecorder::VM_ThreadProc() {
    VM_TRACE(g_bTraceAudio, "Entering VM_CRecorder::VM_ThreadProc(id=0x%x)", GetCurrentThreadId());
    Run run;
    m_bWriteFailed.store(false);
    m_uCurrentBuffer = 0;
    m_dc = VM_DcBlocker();
    run.processor = std::make_unique<VM_CWaveProcessor>(m_pFormat);
    run.silence =
        std::make_unique<VM_CSilenceDetector>(m_lSilenceTime, m_nSilenceLevel, kDetectorRate);
    m_dwMinToneLength = 2 * m_pFormat->nSamplesPerSec;
    if (m_dwDetectorMask & VM_DETECT_DIALTONE)
        run.dial = std::make_unique<VM_CDialToneDetector>(kDialThreshold, kDialHarmonicRatio,
                                                          kDetectorRate);
    if (m_dwDetectorMask & VM_DETECT_BUSYTONE)
        run.busy = std::make_unique<VM_CBusyToneDetector>(kBusyThreshold, kBusyHarmonicRatio,
                                                          kDetectorRate);
    if ((m_dwProcessingFlags & VM_RECORD_FOLLOW_LEVEL) && (m_dwProcessingFlags & VM_ENHANCE_COMPRESS))
        run.compressor = std::make_unique<qvdsp::Compressor>();
    run.lastData = GetTickCount();

    bool firstPass = true;
    int done = 0;
    do {
        WaitForSingleObject(m_hEvent, VM_WAVE_THREAD_WAIT);
        done = 0;
        for (int step = 0; step < VM_WAVE_BUFFER_COUNT; ++step) {
            if (!VM_HandleBuffer(run, done)) break;
            m_uCurrentBuffer = (m_uCurrentBuffer + 1) % VM_WAVE_BUFFER_COUNT;
        }
        if (firstPass) {
            // All five buffers are queued now: start recording.
            firstPass = false;
            EnterCriticalSection(&m_cs);
            if (!m_bStop.load()) VM_StartDevice();
            LeaveCriticalSection(&m_cs);
        }
    } while (done < VM_WAVE_BUFFER_COUNT);

    m_pFile->VM_Enhance(m_dwProcessingFlags);
    run = Run();
    if (m_hwndOwner != nullptr && !m_bStop.load()) VM_PostToOwner(WM_WAVE_DONE);
    VM_TRACE(g_bTraceAudio, "Exit VM_CRecorder::VM_ThreadProc(id=0x%x)", GetCurrentThreadId());
    return 1;
}
