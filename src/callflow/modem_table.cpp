#include "callflow/modem_table.h"

#include <cstring>

#include "callflow/answer_machine.h"
#include "telephony/line.h"
#include "telephony/tapi_session.h"
#include "telephony/var_structs.h"

VM_SModemTable g_modemTable{};

namespace {

// Only the bytes the service really returned are read (a name without a
// NUL, or one that points outside the structure, is cut or ignored).
void CopyLineName(const VM_CDevCaps& caps, char* name) {
    const LINEDEVCAPS* c = caps.VM_GetCaps();
    const BYTE* field = caps.VM_GetField(c->dwLineNameOffset, c->dwLineNameSize);
    std::size_t length = 0;
    if (field != nullptr) {
        const char* text = reinterpret_cast<const char*>(field);
        length = strnlen(text, c->dwLineNameSize);
        if (length > kModemNameSize - 1) length = kModemNameSize - 1;
        std::memcpy(name, text, length);
    }
    if (length == 0) {
        std::strcpy(name, "Unknown");
        return;
    }
    name[length] = '\0';
}

bool GetLineWaveId(const char* deviceClass, HLINE hLine, std::int32_t& id) {
    VM_CDeviceID device;
    if (device.VM_GetLineDeviceID(deviceClass, hLine) != 0) return false;
    id = static_cast<std::int32_t>(device.VM_GetID());
    return true;
}

// A data modem is listed; one that also takes automated voice on a voice
// bearer, opens, and has both wave devices is a voice modem.
void AddModem(VM_CLine& line, const VM_CDevCaps& caps) {
    const LINEDEVCAPS* c = caps.VM_GetCaps();
    if ((c->dwMediaModes & LINEMEDIAMODE_DATAMODEM) == 0 || g_modemTable.nCount >= kModemTableSize) return;
    const int index = g_modemTable.nCount;
    VM_SModemEntry& entry = g_modemTable.entries[index];
    entry.idLine = static_cast<std::int32_t>(line.VM_GetDeviceID());
    entry.idPermanentLine = static_cast<std::int32_t>(c->dwPermanentLineID);
    entry.idWaveIn = -1;
    entry.idWaveOut = -1;
    entry.dwMediaModes = c->dwMediaModes;
    entry.dwBearerModes = c->dwBearerModes;
    entry.dwMonitorDigitModes = c->dwMonitorDigitModes;
    CopyLineName(caps, entry.szName);
    if ((c->dwMediaModes & LINEMEDIAMODE_AUTOMATEDVOICE) && (c->dwBearerModes & LINEBEARERMODE_VOICE) &&
        VM_CAnswerMachine::VM_OpenLine(&line) != 0) {
        std::int32_t in = -1, out = -1;
        if (GetLineWaveId("wave/in", line.VM_GetHandle(), in) &&
            GetLineWaveId("wave/out", line.VM_GetHandle(), out)) {
            entry.idWaveIn = in;
            entry.idWaveOut = out;
            g_modemTable.voiceIndexes[g_modemTable.nVoiceCount++] = index;
        }
    }
    g_modemTable.nCount++;
}

}  // namespace

bool VM_CAnswerMachine::VM_EnumerateModems() {
    const bool opened = VM_CTapi::VM_GetLineApp() == 0 && VM_CTapi::VM_Initialize();
    g_modemTable.nCount = 0;
    g_modemTable.nVoiceCount = 0;
    const DWORD lines = VM_CTapi::VM_GetNumLines();
    for (DWORD i = 0; i < lines; i++) {
        VM_CLine line(i, nullptr);
        if (line.VM_GetAPIVersion() == 0) continue;
        VM_CDevCaps caps(i, line.VM_GetAPIVersion());
        if (caps.VM_Query() == 0) AddModem(line, caps);
    }
    if (opened) VM_CTapi::VM_Shutdown();
    return true;
}

const VM_SModemEntry* VM_FindVoiceModem(std::int32_t lineId) {
    for (int i = 0; i < g_modemTable.nVoiceCount; i++) {
        const VM_SModemEntry& entry = g_modemTable.entries[g_modemTable.voiceIndexes[i]];
        if (entry.idLine == lineId) return &entry;
    }
    return nullptr;
}
