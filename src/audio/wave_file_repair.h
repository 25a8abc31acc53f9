// Putting right a WAVE file whose writer died before closing it: its RIFF
// and data sizes are still the zeros written when it was created, so no
// reader finds its samples. The sizes are set from the bytes actually on
// disk; the samples themselves are not touched.
#pragma once

#include "platform/win32/types.h"
#include "platform/winmm/wave_format.h"

enum class VM_EWaveRepair {
    kWhole,      // the sizes were right already
    kRepaired,   // the sizes now match the data on disk
    kEmpty,      // no more than VM_WAVE_MIN_KEEP_BYTES of samples, or only a header
    kNoFormat,   // samples, but no format block says how they are coded
    kNotWave,    // not a file this program writes
    kFailed,     // it could not be read or written
};

struct VM_SWaveRepair {
    VM_EWaveRepair state = VM_EWaveRepair::kFailed;
    DWORD dataBytes = 0;          // samples kept, whole blocks only
    WAVEFORMATEX format{};        // valid for kWhole and kRepaired
};

VM_SWaveRepair VM_RepairWaveFile(const char* path);
