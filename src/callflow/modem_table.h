// The process's table of installed modems, filled by
// VM_CAnswerMachine::VM_EnumerateModems: every line device that can be a
// data modem, and among them the voice modems the answer machine can use.
#pragma once

#include <cstdint>

#include "platform/win32/types.h"

constexpr int kModemTableSize = 10;
constexpr int kModemNameSize = 100;

struct VM_SModemEntry {
    char szName[kModemNameSize];  // the line name, "Unknown" without one
    std::int32_t idLine;
    std::int32_t idPermanentLine;
    std::int32_t idWaveIn;        // -1 when not found
    std::int32_t idWaveOut;       // -1 when not found
    DWORD dwMediaModes;
    DWORD dwBearerModes;
    DWORD dwMonitorDigitModes;
};

struct VM_SModemTable {
    VM_SModemEntry entries[kModemTableSize];
    int nCount;
    int voiceIndexes[kModemTableSize];  // indexes into entries
    int nVoiceCount;
};

// Read and written on the main thread only.
extern VM_SModemTable g_modemTable;

// The voice modem on line device lineId, or null.
const VM_SModemEntry* VM_FindVoiceModem(std::int32_t lineId);
