#include "lines/base/line_roster.h"

#include <utility>

namespace lines {

namespace {

constexpr DWORD kRingModeNormal = 1;

}  // namespace

LineRoster::LineRoster(std::vector<LineDescription> devices)
    : m_devices(std::move(devices)), m_opens(m_devices.size(), 0), m_openings(m_devices.size(), 0) {}

void LineRoster::Closed(DWORD device) {
    if (Valid(device) && m_opens[device] > 0) m_opens[device]--;
}

LineCall* LineRoster::FindCall(DWORD callId) {
    auto it = m_calls.find(callId);
    return it == m_calls.end() ? nullptr : it->second.get();
}

void LineRoster::Announce(LineCall& call) {
    call.heard = m_sink != nullptr && Valid(call.device) && m_opens[call.device] > 0;
    if (m_sink != nullptr) m_sink->NewCall(call.device, call.id);
    SetState(call, call.state, call.stateMode);
}

void LineRoster::AnnounceIfUnheard(LineCall& call) {
    if (!call.heard && call.Ringing() && m_sink != nullptr && Valid(call.device) && m_opens[call.device] > 0)
        Announce(call);
}

void LineRoster::SetState(LineCall& call, DWORD state, DWORD mode) {
    call.state = state;
    call.stateMode = mode;
    if (m_sink != nullptr) m_sink->CallState(call.id, state, mode);
}

void LineRoster::CallInfo(const LineCall& call, DWORD infoStates) {
    if (m_sink != nullptr) m_sink->CallInfo(call.id, infoStates);
}

void LineRoster::Ring(DWORD device, DWORD count) {
    for (auto& entry : m_calls)
        if (entry.second->device == device) AnnounceIfUnheard(*entry.second);
    LineState(device, LINEDEVSTATE_RINGING, kRingModeNormal, count);
}

void LineRoster::Digit(const LineCall& call, char digit) {
    if (m_sink == nullptr || !Valid(call.device)) return;
    const DWORD value = static_cast<unsigned char>(digit);
    const DWORD modes = m_devices[call.device].monitorDigitModes;
    for (DWORD mode : {LINEDIGITMODE_DTMF, LINEDIGITMODE_DTMFEND})
        if (modes & mode) m_sink->Digit(call.id, value, mode);
}

void LineRoster::LineState(DWORD device, DWORD state, DWORD param2, DWORD param3) {
    if (m_sink != nullptr && Valid(device)) m_sink->LineDevState(device, state, param2, param3);
}

void LineRoster::LineClosed(DWORD device) {
    if (m_sink != nullptr && Valid(device)) m_sink->LineClosed(device);
}

void LineRoster::Complete(DWORD requestId, LONG result) {
    if (m_sink != nullptr) m_sink->CompleteRequest(requestId, result);
}

void LineRoster::CompletePending(DWORD& requestId, LONG result) {
    if (requestId == 0) return;
    const DWORD id = requestId;
    requestId = 0;
    Complete(id, result);
}

}  // namespace lines
