#include "lines/modem/modem_service_core.h"

#include "lines/modem/modem_registry.h"

namespace modemline {

namespace {

using Lock = std::lock_guard<std::recursive_mutex>;

std::string PortName(const std::string& port) {
    const size_t slash = port.rfind('/');
    return slash == std::string::npos ? port : port.substr(slash + 1);
}

}  // namespace

std::string ModemLineName(const std::string& port) { return "Voice Modem (" + PortName(port) + ")"; }

ModemCall* ModemServiceCore::Find(DWORD callId) {
    auto it = calls.find(callId);
    return it == calls.end() ? nullptr : &it->second;
}

ModemCall* ModemServiceCore::Current(DWORD device) {
    return ValidDevice(device) ? Find(lines[device].callId) : nullptr;
}

void ModemServiceCore::SetState(ModemCall& call, DWORD state, DWORD mode) {
    call.state = state;
    call.stateMode = mode;
    if (sink != nullptr) sink->CallState(call.id, state, mode);
}

void ModemServiceCore::Complete(DWORD& requestId, LONG result) {
    if (requestId == 0) return;
    const DWORD id = requestId;
    requestId = 0;
    if (sink != nullptr) sink->CompleteRequest(id, result);
}

template <typename Fn>
void ModemLineEvents::WithLine(Fn fn) {
    Lock lock(tapisp::ServiceLock());
    auto core = m_core.lock();
    if (core == nullptr || !core->ValidDevice(m_device)) return;
    fn(*core, core->lines[m_device]);
}

void ModemLineEvents::OnInService(const ModemIdentity& identity) {
    WithLine([&](ModemServiceCore& core, ModemLine& line) {
        const ModemProfile& profile = ProfileFor(identity.family);
        ModemListing listing{line.settings.port, identity.manufacturer, line.name, {}};
        for (const char* command : profile.startRecordDefaults)
            if (command != nullptr) listing.startRecord.emplace_back(command);
        line.registryKey = ListModem(listing);
        if (line.service == 1) return;
        line.service = 1;
        if (core.sink != nullptr) core.sink->LineDevState(m_device, LINEDEVSTATE_INSERVICE, 0, 0);
    });
}

void ModemLineEvents::OnOutOfService(const std::string&) {
    WithLine([&](ModemServiceCore& core, ModemLine& line) {
        if (line.service == 0) return;
        line.service = 0;
        if (core.sink != nullptr) core.sink->LineDevState(m_device, LINEDEVSTATE_OUTOFSERVICE, 0, 0);
    });
}

void ModemLineEvents::OnOffered() {
    WithLine([&](ModemServiceCore& core, ModemLine& line) {
        ModemCall call;
        call.id = core.nextCallId++;
        call.device = m_device;
        line.callId = call.id;
        core.calls[call.id] = call;
        if (core.sink != nullptr) core.sink->NewCall(m_device, call.id);
        core.SetState(core.calls[call.id], LINECALLSTATE_OFFERING, 0);
    });
}

void ModemLineEvents::OnRing(unsigned count) {
    WithLine([&](ModemServiceCore& core, ModemLine&) {
        if (core.sink != nullptr) core.sink->LineDevState(m_device, LINEDEVSTATE_RINGING, 1, count);
    });
}

void ModemLineEvents::OnCallerId(const CallerIdFields& fields) {
    WithLine([&](ModemServiceCore& core, ModemLine&) {
        ModemCall* call = core.Current(m_device);
        if (call == nullptr) return;
        call->caller = fields;
        call->callerKnown = true;
        if (core.sink != nullptr) core.sink->CallInfo(call->id, LINECALLINFOSTATE_CALLERID);
    });
}

void ModemLineEvents::Disconnect(DWORD mode) {
    WithLine([&](ModemServiceCore& core, ModemLine& line) {
        ModemCall* call = core.Current(m_device);
        line.callId = 0;
        if (call == nullptr) return;
        core.Complete(call->answerRequest, LINEERR_OPERATIONFAILED);
        if (call->dropRequest != 0) {
            core.Complete(call->dropRequest, 0);
            core.SetState(*call, LINECALLSTATE_IDLE, 0);
        } else if (call->state != LINECALLSTATE_IDLE) {
            core.SetState(*call, LINECALLSTATE_DISCONNECTED, mode);
        }
    });
}

void ModemLineEvents::OnCallerGaveUp() { Disconnect(LINEDISCONNECTMODE_NORMAL); }

void ModemLineEvents::OnRemoteHangUp(const std::string& reason) {
    Disconnect(reason == "modem lost" ? LINEDISCONNECTMODE_UNAVAIL : LINEDISCONNECTMODE_NORMAL);
}

void ModemLineEvents::OnAnswered(bool ok) {
    WithLine([&](ModemServiceCore& core, ModemLine&) {
        ModemCall* call = core.Current(m_device);
        if (call == nullptr || call->answerRequest == 0) return;
        core.Complete(call->answerRequest, ok ? 0 : LINEERR_OPERATIONFAILED);
        if (ok) core.SetState(*call, LINECALLSTATE_CONNECTED, 0);
    });
}

void ModemLineEvents::OnDigit(char digit) {
    WithLine([&](ModemServiceCore& core, ModemLine&) {
        ModemCall* call = core.Current(m_device);
        if (call == nullptr || call->state != LINECALLSTATE_CONNECTED || core.sink == nullptr) return;
        core.sink->Digit(call->id, static_cast<DWORD>(static_cast<unsigned char>(digit)), LINEDIGITMODE_DTMF);
    });
}

void ModemLineEvents::OnHungUp() {
    WithLine([&](ModemServiceCore& core, ModemLine& line) {
        ModemCall* call = core.Current(m_device);
        line.callId = 0;
        if (call == nullptr) return;
        core.Complete(call->dropRequest, 0);
        core.SetState(*call, LINECALLSTATE_IDLE, 0);
    });
}

std::vector<std::string> ModemLineEvents::RecordCommands() {
    std::string key;
    WithLine([&](ModemServiceCore&, ModemLine& line) { key = line.registryKey; });
    return StartRecordCommands(key);
}

}  // namespace modemline
