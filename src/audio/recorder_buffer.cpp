#include "audio/recorder_buffer.h"

#include <cstddef>

#include "audio/compressor.h"
#include "audio/wave_processor.h"
#include "detect/busy_tone_detector.h"
#include "detect/dial_tone_detector.h"
#include "detect/silence_detector.h"

namespace {

// Samples filtered before the silence detector looks at them; a whole
// 8-bit buffer.
constexpr int kChunk = 1600;

// One buffer's samples, filtered in place as the tone detectors ask for
// them. The sample width and whether a compressor follows the level are
// template arguments so the per-sample code has no branch on them.
template <bool kPcm16, bool kFollowLevel>
struct FilteredSamples {
    VM_CWaveProcessor* processor;
    VM_DcBlocker& dc;
    qvdsp::Compressor* compressor;
    BYTE* data;
    double* v;
    LONG at;

    double operator()() {
        double s;
        if constexpr (kPcm16) {
            const BYTE* p = data + 2 * static_cast<std::ptrdiff_t>(at);
            s = static_cast<SHORT>(static_cast<WORD>(p[0] | (p[1] << 8)));
        } else {
            s = processor->VM_GetSample(data, at);
        }
        s = dc.Step(s);
        s = s < -32768.0 ? -32768.0 : (s > 32767.0 ? 32767.0 : s);
        // The file gets the DC-free sample, truncated toward zero.
        const SHORT out = static_cast<SHORT>(s);
        if constexpr (kPcm16) {
            BYTE* p = data + 2 * static_cast<std::ptrdiff_t>(at);
            p[0] = static_cast<BYTE>(static_cast<WORD>(out) & 0xFF);
            p[1] = static_cast<BYTE>(static_cast<WORD>(out) >> 8);
        } else {
            processor->VM_PutSample(data, at, out);
        }
        if constexpr (kFollowLevel) compressor->gainFor(s / 32768.0);
        const double x = s / 32768.0 * 32767.0;
        *v++ = x;
        ++at;
        return x;
    }
};

template <bool kPcm16, bool kFollowLevel>
[[gnu::always_inline]] inline void FilterAndDetect(VM_CWaveProcessor* processor, VM_DcBlocker& dc, qvdsp::Compressor* compressor,
                     VM_CSilenceDetector* silence, VM_CBusyToneDetector* busy,
                     VM_CDialToneDetector* dial, BYTE* data, LONG count) {
    double v[kChunk];
    for (LONG first = 0; first < count; first += kChunk) {
        const int n = static_cast<int>(count - first < kChunk ? count - first : kChunk);
        FilteredSamples<kPcm16, kFollowLevel> next{processor, dc, compressor, data, v, first};
        // Each detector sees the same samples in the same order as it would
        // one by one.
        VM_CDialToneDetector::VM_DetectFrom(dial, busy, n, next);
        silence->VM_DetectSamples(v, n);
    }
}

[[gnu::always_inline]] inline BOOL Process(VM_CWaveProcessor* processor, VM_DcBlocker& dc,
                                           qvdsp::Compressor* compressor,
                                           VM_CSilenceDetector* silence, VM_CBusyToneDetector* busy,
                                           VM_CDialToneDetector* dial, BYTE* data, DWORD bytes) {
    if (processor == nullptr || silence == nullptr || bytes == 0 || data == nullptr) return FALSE;
    const WORD bytesPerSample = processor->VM_GetBytesPerSample();
    if (bytesPerSample == 0) return FALSE;
    const LONG count = static_cast<LONG>(bytes / bytesPerSample);
    const bool pcm16 = bytesPerSample == 2;
    if (compressor == nullptr) {
        if (pcm16)
            FilterAndDetect<true, false>(processor, dc, compressor, silence, busy, dial, data, count);
        else
            FilterAndDetect<false, false>(processor, dc, compressor, silence, busy, dial, data, count);
    } else {
        if (pcm16)
            FilterAndDetect<true, true>(processor, dc, compressor, silence, busy, dial, data, count);
        else
            FilterAndDetect<false, true>(processor, dc, compressor, silence, busy, dial, data, count);
    }
    return TRUE;
}

// The same work compiled twice: where the wider vector registers exist the
// 22 filters take fewer instructions per sample. Neither form fuses
// multiply and add, so both round exactly alike.
[[gnu::target("avx2")]] BOOL ProcessWide(VM_CWaveProcessor* processor, VM_DcBlocker& dc,
                                         qvdsp::Compressor* compressor,
                                         VM_CSilenceDetector* silence, VM_CBusyToneDetector* busy,
                                         VM_CDialToneDetector* dial, BYTE* data, DWORD bytes) {
    return Process(processor, dc, compressor, silence, busy, dial, data, bytes);
}

BOOL ProcessBaseline(VM_CWaveProcessor* processor, VM_DcBlocker& dc,
                     qvdsp::Compressor* compressor, VM_CSilenceDetector* silence,
                     VM_CBusyToneDetector* busy, VM_CDialToneDetector* dial, BYTE* data,
                     DWORD bytes) {
    return Process(processor, dc, compressor, silence, busy, dial, data, bytes);
}

}  // namespace

// Chosen at the first call rather than by the loader, which would run the
// choice before the sanitizers' run-time is ready.
BOOL VM_ProcessRecordedBuffer(VM_CWaveProcessor* processor, VM_DcBlocker& dc,
                              qvdsp::Compressor* compressor, VM_CSilenceDetector* silence,
                              VM_CBusyToneDetector* busy, VM_CDialToneDetector* dial, BYTE* data,
                              DWORD bytes) {
    static const bool wide = __builtin_cpu_supports("avx2");
    return wide ? ProcessWide(processor, dc, compressor, silence, busy, dial, data, bytes)
                : ProcessBaseline(processor, dc, compressor, silence, busy, dial, data, bytes);
}
