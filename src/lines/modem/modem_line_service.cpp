#include "lines/modem/modem_line_service.h"

#include "lines/modem/modem_service_core.h"

namespace modemline {

namespace {

using Lock = std::lock_guard<std::recursive_mutex>;

std::vector<lines::LineDescription> Describe(const std::vector<ModemSettings>& modems) {
    std::vector<lines::LineDescription> lines;
    for (DWORD i = 0; i < modems.size(); i++) lines.push_back(ModemLineDescription(modems[i].port, i));
    return lines;
}

}  // namespace

ModemLineService::ModemLineService(std::vector<ModemSettings> modems)
    : LineServiceBase(Describe(modems)), m_core(std::make_shared<ModemServiceCore>(SharedRoster())) {
    {
        Lock lock(tapisp::ServiceLock());
        for (DWORD i = 0; i < modems.size(); i++) {
            ModemLine line;
            line.settings = modems[i];
            line.name = Roster().Device(i).name;
            line.events = std::make_unique<ModemLineEvents>(m_core, i);
            line.engine = std::make_shared<ModemEngine>(line.settings, line.events.get());
            line.wave = AddModemWaveDevices(line.engine, line.name);
            m_core->lines.push_back(std::move(line));
        }
    }
    // Started once every line exists: their events look the lines up.
    for (ModemLine& line : m_core->lines) line.engine->Start();
}

ModemLineService::~ModemLineService() {
    Uninstall();
    // Without the service lock: an engine reporting waits for it.
    for (ModemLine& line : m_core->lines) line.engine->Stop();
    Lock lock(tapisp::ServiceLock());
    for (ModemLine& line : m_core->lines) RemoveModemWaveDevices(line.wave);
    Roster().ClearCalls();
}

bool ModemLineService::InService(DWORD deviceId) const {
    Lock lock(tapisp::ServiceLock());
    return m_core->ValidDevice(deviceId) && m_core->lines[deviceId].service == 1;
}

std::string ModemLineService::RegistryKey(DWORD deviceId) const {
    Lock lock(tapisp::ServiceLock());
    return m_core->ValidDevice(deviceId) ? m_core->lines[deviceId].registryKey : std::string();
}

LONG ModemLineService::StartAnswer(lines::LineCall& call) {
    m_core->lines[call.device].engine->Answer();
    return 0;
}

void ModemLineService::StartDrop(lines::LineCall& call) {
    ModemLine& line = m_core->lines[call.device];
    if (line.callId == call.id) {
        line.engine->HangUp();
        return;
    }
    // The modem is done with it already (the caller hung up).
    Roster().CompletePending(call.dropRequest, 0);
    Roster().SetState(call, LINECALLSTATE_IDLE, 0);
}

void ModemLineService::Release(lines::LineCall& call) {
    ModemLine& line = m_core->lines[call.device];
    // An application walking away from a live call leaves the line free.
    if (line.callId == call.id) {
        line.callId = 0;
        line.engine->HangUp();
    }
    Roster().EraseCall(call.id);
}

LONG ModemLineService::WaveId(DWORD deviceId, lines::LineCall*, bool waveIn, DWORD* id) {
    const ModemLine& line = m_core->lines[deviceId];
    *id = waveIn ? line.wave.in : line.wave.out;
    return 0;
}

}  // namespace modemline
