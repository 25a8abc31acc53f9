// The recorder's work on one returned buffer, apart from the device so it
// can be measured and tested alone: remove the DC offset of every sample in
// place, and feed the filtered samples to the detectors.
#pragma once

#include "platform/win32/types.h"

class VM_CWaveProcessor;
class VM_CSilenceDetector;
class VM_CBusyToneDetector;
class VM_CDialToneDetector;
namespace qvdsp {
class Compressor;
}

// The recorder's DC-blocking filter, y = 0.85 y' + x - x', with the
// arithmetic of VM_CWaveProcessor::VM_RemoveDC. Kept inline with its state
// in the recorder so that it runs in the same loop as the tone filters and
// the two chains of dependencies overlap. Fresh for every recording.
struct VM_DcBlocker {
    double prevIn = 0.0;
    double prevOut = 0.0;

    double Step(double x) {
        double y = 0.85 * prevOut + x - prevIn;
        prevIn = x;
        prevOut = y;
        return y;
    }
};

// False when the processor or the silence detector is missing or there are
// no bytes. The compressor, when given, follows the level of the filtered
// samples; its gain is used for nothing.
BOOL VM_ProcessRecordedBuffer(VM_CWaveProcessor* processor, VM_DcBlocker& dc,
                              qvdsp::Compressor* compressor, VM_CSilenceDetector* silence,
                              VM_CBusyToneDetector* busy, VM_CDialToneDetector* dial, BYTE* data,
                              DWORD bytes);
