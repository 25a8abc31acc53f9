#include "lines/modem/modem_service_core.h"

#include "lines/modem/modem_registry.h"

namespace modemline {

namespace {

using Lock = std::lock_guard<std::recursive_mutex>;

lines::CallerParty CallerParty(const CallerIdFields& caller) {
    DWORD flags = 0;
    if (caller.numberPrivate) flags |= LINECALLPARTYID_BLOCKED;
    if (caller.numberOutOfArea) flags |= LINECALLPARTYID_OUTOFAREA;
    if (caller.number) flags |= LINECALLPARTYID_ADDRESS;
    if (caller.name) flags |= LINECALLPARTYID_NAME;
    return {caller.number, caller.name, flags != 0 ? flags : LINECALLPARTYID_UNKNOWN};
}

std::string PortName(const std::string& port) {
    const size_t slash = port.rfind('/');
    return slash == std::string::npos ? port : port.substr(slash + 1);
}

}  // namespace

std::string ModemLineName(const std::string& port) { return "Voice Modem (" + PortName(port) + ")"; }

lines::LineDescription ModemLineDescription(const std::string& port, DWORD device) {
    lines::LineDescription line;
    line.name = ModemLineName(port);
    line.permanentLineId = 0x4D00 + device;
    // A modem reports a touch tone once, and cannot generate one.
    line.generateDigitModes = 0;
    line.monitorDigitModes = LINEDIGITMODE_DTMF;
    line.lineStates = lines::kAllLineStates & ~LINEDEVSTATE_REMOVED;
    line.callerIdFlags = LINECALLPARTYID_BLOCKED | LINECALLPARTYID_OUTOFAREA | LINECALLPARTYID_NAME |
                         LINECALLPARTYID_ADDRESS | LINECALLPARTYID_UNKNOWN;
    line.disconnectModes = LINEDISCONNECTMODE_NORMAL | LINEDISCONNECTMODE_UNAVAIL;
    return line;
}

ModemCall* ModemServiceCore::Current(DWORD device) {
    return ValidDevice(device) ? Find(lines[device].callId) : nullptr;
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
        core.roster->LineState(m_device, LINEDEVSTATE_INSERVICE);
    });
}

void ModemLineEvents::OnOutOfService(const std::string&) {
    WithLine([&](ModemServiceCore& core, ModemLine& line) {
        if (line.service == 0) return;
        line.service = 0;
        core.roster->LineState(m_device, LINEDEVSTATE_OUTOFSERVICE);
    });
}

void ModemLineEvents::OnOffered() {
    WithLine([&](ModemServiceCore& core, ModemLine& line) {
        ModemCall& call = core.roster->AddCall<ModemCall>(m_device);
        line.callId = call.id;
        call.state = LINECALLSTATE_OFFERING;
        core.roster->Announce(call);
    });
}

void ModemLineEvents::OnRing(unsigned count) {
    WithLine([&](ModemServiceCore& core, ModemLine&) {
        core.roster->Ring(m_device, count);
    });
}

void ModemLineEvents::OnCallerId(const CallerIdFields& fields) {
    WithLine([&](ModemServiceCore& core, ModemLine&) {
        ModemCall* call = core.Current(m_device);
        if (call == nullptr) return;
        call->caller = CallerParty(fields);
        call->callerKnown = true;
        core.roster->CallInfo(*call, LINECALLINFOSTATE_CALLERID);
    });
}

void ModemLineEvents::Disconnect(DWORD mode) {
    WithLine([&](ModemServiceCore& core, ModemLine& line) {
        ModemCall* call = core.Current(m_device);
        line.callId = 0;
        if (call == nullptr) return;
        core.roster->CompletePending(call->answerRequest, LINEERR_OPERATIONFAILED);
        if (call->dropRequest != 0) {
            core.roster->CompletePending(call->dropRequest, 0);
            core.roster->SetState(*call, LINECALLSTATE_IDLE, 0);
        } else if (call->state != LINECALLSTATE_IDLE) {
            core.roster->SetState(*call, LINECALLSTATE_DISCONNECTED, mode);
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
        core.roster->CompletePending(call->answerRequest, ok ? 0 : LINEERR_OPERATIONFAILED);
        if (ok) core.roster->SetState(*call, LINECALLSTATE_CONNECTED, 0);
    });
}

void ModemLineEvents::OnDigit(char digit) {
    WithLine([&](ModemServiceCore& core, ModemLine&) {
        ModemCall* call = core.Current(m_device);
        if (call == nullptr || call->state != LINECALLSTATE_CONNECTED) return;
        core.roster->Digit(*call, digit);
    });
}

void ModemLineEvents::OnHungUp() {
    WithLine([&](ModemServiceCore& core, ModemLine& line) {
        ModemCall* call = core.Current(m_device);
        line.callId = 0;
        if (call == nullptr) return;
        core.roster->CompletePending(call->dropRequest, 0);
        core.roster->SetState(*call, LINECALLSTATE_IDLE, 0);
    });
}

std::vector<std::string> ModemLineEvents::RecordCommands() {
    std::string key;
    WithLine([&](ModemServiceCore&, ModemLine& line) { key = line.registryKey; });
    return StartRecordCommands(key);
}

}  // namespace modemline
