#include "lines/modem/modem_line_service.h"

#include "lines/modem/modem_service_core.h"

namespace modemline {

namespace {

using Lock = std::lock_guard<std::recursive_mutex>;

constexpr DWORD kApiLow = 0x00010003;
constexpr DWORD kApiHigh = 0x00020002;
constexpr DWORD kMediaModes = LINEMEDIAMODE_UNKNOWN | LINEMEDIAMODE_INTERACTIVEVOICE |
                              LINEMEDIAMODE_AUTOMATEDVOICE | LINEMEDIAMODE_DATAMODEM;
constexpr DWORD kLineStates = LINEDEVSTATE_RINGING | LINEDEVSTATE_CONNECTED | LINEDEVSTATE_DISCONNECTED |
                              LINEDEVSTATE_INSERVICE | LINEDEVSTATE_OUTOFSERVICE | LINEDEVSTATE_OPEN |
                              LINEDEVSTATE_CLOSE | LINEDEVSTATE_REINIT;
constexpr DWORD kAllCallStates = 0xFFFF;
constexpr DWORD kAllCallInfoStates = 0x0FFFFFFF;
constexpr DWORD kPartyIdFlags = LINECALLPARTYID_BLOCKED | LINECALLPARTYID_OUTOFAREA | LINECALLPARTYID_NAME |
                                LINECALLPARTYID_ADDRESS | LINECALLPARTYID_UNKNOWN;
constexpr DWORD kAddressSharingPrivate = 1;
constexpr DWORD kAnswerModeNone = 1;

DWORD CallerIdFlags(const CallerIdFields& caller) {
    DWORD flags = 0;
    if (caller.numberPrivate) flags |= LINECALLPARTYID_BLOCKED;
    if (caller.numberOutOfArea) flags |= LINECALLPARTYID_OUTOFAREA;
    if (caller.number) flags |= LINECALLPARTYID_ADDRESS;
    if (caller.name) flags |= LINECALLPARTYID_NAME;
    return flags != 0 ? flags : LINECALLPARTYID_UNKNOWN;
}

}  // namespace

ModemLineService::ModemLineService(std::vector<ModemSettings> modems)
    : m_core(std::make_shared<ModemServiceCore>()) {
    {
        Lock lock(tapisp::ServiceLock());
        for (DWORD i = 0; i < modems.size(); i++) {
            ModemLine line;
            line.settings = modems[i];
            line.name = ModemLineName(line.settings.port);
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
    m_core->calls.clear();
}

void ModemLineService::Install() {
    tapisp::AddLineProvider(this);
    m_installed = true;
}

void ModemLineService::Uninstall() {
    Lock lock(tapisp::ServiceLock());
    if (m_installed) tapisp::RemoveLineProvider(this);
    m_installed = false;
    m_core->sink = nullptr;
}

bool ModemLineService::InService(DWORD deviceId) const {
    Lock lock(tapisp::ServiceLock());
    return m_core->ValidDevice(deviceId) && m_core->lines[deviceId].service == 1;
}

std::string ModemLineService::RegistryKey(DWORD deviceId) const {
    Lock lock(tapisp::ServiceLock());
    return m_core->ValidDevice(deviceId) ? m_core->lines[deviceId].registryKey : std::string();
}

void ModemLineService::Attach(tapisp::LineEventSink* sink) { m_core->sink = sink; }

DWORD ModemLineService::NumDevices() { return static_cast<DWORD>(m_core->lines.size()); }

LONG ModemLineService::NegotiateVersion(DWORD deviceId, DWORD lowVersion, DWORD highVersion, DWORD* version) {
    if (!m_core->ValidDevice(deviceId)) return LINEERR_BADDEVICEID;
    if (lowVersion > kApiHigh || highVersion < kApiLow) return LINEERR_INCOMPATIBLEAPIVERSION;
    *version = highVersion < kApiHigh ? highVersion : kApiHigh;
    return 0;
}

tapisp::DeviceLimits ModemLineService::GetLimits(DWORD deviceId) {
    if (!m_core->ValidDevice(deviceId)) return {};
    return {kMediaModes, kLineStates, LINEDIGITMODE_DTMF};
}

LONG ModemLineService::GetDevCaps(DWORD deviceId, tapisp::DevCapsData* data) {
    if (!m_core->ValidDevice(deviceId)) return LINEERR_BADDEVICEID;
    LINEDEVCAPS& caps = data->caps;
    caps.dwPermanentLineID = 0x4D00 + deviceId;
    caps.dwAddressModes = LINEADDRESSMODE_ADDRESSID;
    caps.dwNumAddresses = 1;
    caps.dwBearerModes = LINEBEARERMODE_VOICE | LINEBEARERMODE_DATA;
    caps.dwMaxRate = 33600;
    caps.dwMediaModes = kMediaModes;
    caps.dwMonitorDigitModes = LINEDIGITMODE_DTMF;
    caps.dwMaxNumActiveCalls = 1;
    caps.dwAnswerMode = kAnswerModeNone;
    caps.dwRingModes = 1;
    caps.dwLineStates = kLineStates;
    data->lineName = m_core->lines[deviceId].name;
    return 0;
}

LONG ModemLineService::GetAddressCaps(DWORD deviceId, DWORD addressId, LINEADDRESSCAPS* caps) {
    if (!m_core->ValidDevice(deviceId)) return LINEERR_BADDEVICEID;
    if (addressId != 0) return LINEERR_INVALADDRESSID;
    caps->dwAddressSharing = kAddressSharingPrivate;
    caps->dwCallInfoStates = kAllCallInfoStates;
    caps->dwCallerIDFlags = kPartyIdFlags;
    caps->dwCallStates = kAllCallStates;
    caps->dwDisconnectModes = LINEDISCONNECTMODE_NORMAL | LINEDISCONNECTMODE_UNAVAIL;
    caps->dwMaxNumActiveCalls = 1;
    return 0;
}

LONG ModemLineService::Open(DWORD deviceId, DWORD, DWORD) {
    if (!m_core->ValidDevice(deviceId)) return LINEERR_BADDEVICEID;
    m_core->lines[deviceId].opens++;
    return 0;
}

void ModemLineService::Close(DWORD deviceId) {
    if (m_core->ValidDevice(deviceId) && m_core->lines[deviceId].opens > 0) m_core->lines[deviceId].opens--;
}

LONG ModemLineService::GetCallInfo(DWORD callId, tapisp::CallInfoData* data) {
    ModemCall* call = m_core->Find(callId);
    if (call == nullptr) return LINEERR_INVALCALLHANDLE;
    LINECALLINFO& info = data->info;
    info.dwBearerMode = LINEBEARERMODE_VOICE;
    info.dwMediaMode = LINEMEDIAMODE_UNKNOWN;
    info.dwCallID = call->id;
    info.dwCallStates = kAllCallStates;
    info.dwOrigin = LINECALLORIGIN_INBOUND;
    info.dwReason = LINECALLREASON_DIRECT;
    info.dwNumOwners = 1;
    if (call->callerKnown) {
        info.dwCallerIDFlags = CallerIdFlags(call->caller);
        data->callerIdPresent = call->caller.number.has_value();
        data->callerId = call->caller.number.value_or("");
        data->callerNamePresent = call->caller.name.has_value();
        data->callerName = call->caller.name.value_or("");
    }
    return 0;
}

LONG ModemLineService::GetCallStatus(DWORD callId, LINECALLSTATUS* status) {
    ModemCall* call = m_core->Find(callId);
    if (call == nullptr) return LINEERR_INVALCALLHANDLE;
    status->dwCallState = call->state;
    status->dwCallStateMode = call->stateMode;
    return 0;
}

LONG ModemLineService::Accept(DWORD callId, DWORD requestId) {
    ModemCall* call = m_core->Find(callId);
    if (call == nullptr) return LINEERR_INVALCALLHANDLE;
    if (call->state != LINECALLSTATE_OFFERING) return LINEERR_INVALCALLSTATE;
    DWORD request = requestId;
    m_core->Complete(request, 0);
    m_core->SetState(*call, LINECALLSTATE_ACCEPTED, 0);
    return 0;
}

LONG ModemLineService::Answer(DWORD callId, DWORD requestId) {
    ModemCall* call = m_core->Find(callId);
    if (call == nullptr) return LINEERR_INVALCALLHANDLE;
    if (call->state != LINECALLSTATE_OFFERING && call->state != LINECALLSTATE_ACCEPTED)
        return LINEERR_INVALCALLSTATE;
    if (call->answerRequest != 0) return LINEERR_INVALCALLSTATE;
    call->answerRequest = requestId;
    m_core->lines[call->device].engine->Answer();
    return 0;
}

LONG ModemLineService::Drop(DWORD callId, DWORD requestId) {
    ModemCall* call = m_core->Find(callId);
    if (call == nullptr) return LINEERR_INVALCALLHANDLE;
    if (call->state == LINECALLSTATE_IDLE || call->dropRequest != 0) return LINEERR_INVALCALLSTATE;
    ModemLine& line = m_core->lines[call->device];
    if (line.callId != call->id) {
        // The modem is done with it already (the caller hung up).
        DWORD request = requestId;
        m_core->Complete(request, 0);
        m_core->SetState(*call, LINECALLSTATE_IDLE, 0);
        return 0;
    }
    call->dropRequest = requestId;
    line.engine->HangUp();
    return 0;
}

void ModemLineService::ReleaseCall(DWORD callId) {
    ModemCall* call = m_core->Find(callId);
    if (call == nullptr) return;
    ModemLine& line = m_core->lines[call->device];
    // An application walking away from a live call leaves the line free.
    if (line.callId == callId) {
        line.callId = 0;
        line.engine->HangUp();
    }
    m_core->calls.erase(callId);
}

LONG ModemLineService::GetWaveId(DWORD deviceId, DWORD callId, bool waveIn, DWORD* id) {
    if (!m_core->ValidDevice(deviceId)) return LINEERR_BADDEVICEID;
    if (callId != 0 && m_core->Find(callId) == nullptr) return LINEERR_INVALCALLHANDLE;
    const ModemLine& line = m_core->lines[deviceId];
    *id = waveIn ? line.wave.in : line.wave.out;
    return 0;
}

}  // namespace modemline
