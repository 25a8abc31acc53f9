#include "lines/base/line_service_base.h"

#include <mutex>
#include <utility>

#include "lines/base/line_dev_specific.h"

namespace lines {

namespace {

using Lock = std::lock_guard<std::recursive_mutex>;

constexpr DWORD kAllCallStates = 0xFFFF;          // IDLE ... UNKNOWN
constexpr DWORD kAllCallInfoStates = 0x0FFFFFFF;  // OTHER ... MONITORMODES
constexpr DWORD kAddressSharingPrivate = 1;
constexpr DWORD kAnswerModeNone = 1;
constexpr DWORD kRingModeCount = 1;

}  // namespace

LineServiceBase::LineServiceBase(std::vector<LineDescription> devices)
    : m_roster(std::make_shared<LineRoster>(std::move(devices))) {}

LineServiceBase::~LineServiceBase() { Uninstall(); }

void LineServiceBase::Install() {
    tapisp::AddLineProvider(this);
    m_installed = true;
}

void LineServiceBase::Uninstall() {
    Lock lock(tapisp::ServiceLock());
    if (m_installed) tapisp::RemoveLineProvider(this);
    m_installed = false;
    m_roster->Attach(nullptr);
}

void LineServiceBase::Attach(tapisp::LineEventSink* sink) { m_roster->Attach(sink); }

DWORD LineServiceBase::NumDevices() { return m_roster->Count(); }

LONG LineServiceBase::NegotiateVersion(DWORD deviceId, DWORD lowVersion, DWORD highVersion, DWORD* version) {
    if (!m_roster->Valid(deviceId)) return LINEERR_BADDEVICEID;
    const LineDescription& line = m_roster->Device(deviceId);
    if (lowVersion > line.apiHighVersion || highVersion < line.apiLowVersion) return LINEERR_INCOMPATIBLEAPIVERSION;
    *version = highVersion < line.apiHighVersion ? highVersion : line.apiHighVersion;
    return 0;
}

tapisp::DeviceLimits LineServiceBase::GetLimits(DWORD deviceId) {
    if (!m_roster->Valid(deviceId)) return {};
    const LineDescription& line = m_roster->Device(deviceId);
    return {line.mediaModes, line.lineStates, line.monitorDigitModes};
}

LONG LineServiceBase::GetDevCaps(DWORD deviceId, tapisp::DevCapsData* data) {
    if (!m_roster->Valid(deviceId)) return LINEERR_BADDEVICEID;
    const LineDescription& line = m_roster->Device(deviceId);
    LINEDEVCAPS& caps = data->caps;
    caps.dwPermanentLineID = line.permanentLineId;
    caps.dwAddressModes = LINEADDRESSMODE_ADDRESSID;
    caps.dwNumAddresses = 1;
    caps.dwBearerModes = line.bearerModes;
    caps.dwMaxRate = line.maxRate;
    caps.dwMediaModes = line.mediaModes;
    caps.dwGenerateDigitModes = line.generateDigitModes;
    caps.dwMonitorDigitModes = line.monitorDigitModes;
    caps.dwMaxNumActiveCalls = 1;
    caps.dwAnswerMode = kAnswerModeNone;
    caps.dwRingModes = kRingModeCount;
    caps.dwLineStates = line.lineStates;
    data->lineName = line.name;
    data->devSpecific = EncodeLineDevSpecific(line.reliableDisconnect ? kLineDevReliableDisconnect : 0);
    return 0;
}

LONG LineServiceBase::GetAddressCaps(DWORD deviceId, DWORD addressId, LINEADDRESSCAPS* caps) {
    if (!m_roster->Valid(deviceId)) return LINEERR_BADDEVICEID;
    if (addressId != 0) return LINEERR_INVALADDRESSID;
    const LineDescription& line = m_roster->Device(deviceId);
    caps->dwAddressSharing = kAddressSharingPrivate;
    caps->dwCallInfoStates = kAllCallInfoStates;
    caps->dwCallerIDFlags = line.callerIdFlags;
    caps->dwCallStates = kAllCallStates;
    caps->dwDisconnectModes = line.disconnectModes;
    caps->dwMaxNumActiveCalls = 1;
    caps->dwAddrCapFlags = line.addrCapFlags;
    return 0;
}

LONG LineServiceBase::Open(DWORD deviceId, DWORD, DWORD) {
    if (!m_roster->Valid(deviceId)) return LINEERR_BADDEVICEID;
    m_roster->Opened(deviceId);
    return 0;
}

void LineServiceBase::Close(DWORD deviceId) { m_roster->Closed(deviceId); }

LONG LineServiceBase::GetCallInfo(DWORD callId, tapisp::CallInfoData* data) {
    const LineCall* call = m_roster->FindCall(callId);
    if (call == nullptr) return LINEERR_INVALCALLHANDLE;
    LINECALLINFO& info = data->info;
    info.dwAddressID = 0;
    info.dwBearerMode = LINEBEARERMODE_VOICE;
    info.dwMediaMode = LINEMEDIAMODE_UNKNOWN;
    info.dwCallID = call->id;
    info.dwCallStates = kAllCallStates;
    info.dwOrigin = call->origin;
    info.dwReason = LINECALLREASON_DIRECT;
    info.dwNumOwners = 1;
    if (!call->callerKnown) return 0;
    info.dwCallerIDFlags = call->caller.flags;
    data->callerIdPresent = call->caller.number.has_value();
    data->callerId = call->caller.number.value_or("");
    data->callerNamePresent = call->caller.name.has_value();
    data->callerName = call->caller.name.value_or("");
    return 0;
}

LONG LineServiceBase::GetCallStatus(DWORD callId, LINECALLSTATUS* status) {
    const LineCall* call = m_roster->FindCall(callId);
    if (call == nullptr) return LINEERR_INVALCALLHANDLE;
    status->dwCallState = call->state;
    status->dwCallStateMode = call->stateMode;
    return 0;
}

LONG LineServiceBase::Accept(DWORD callId, DWORD requestId) {
    LineCall* call = m_roster->FindCall(callId);
    if (call == nullptr) return LINEERR_INVALCALLHANDLE;
    if (call->state != LINECALLSTATE_OFFERING) return LINEERR_INVALCALLSTATE;
    m_roster->Complete(requestId, 0);
    m_roster->SetState(*call, LINECALLSTATE_ACCEPTED, 0);
    return 0;
}

LONG LineServiceBase::Answer(DWORD callId, DWORD requestId) {
    LineCall* call = m_roster->FindCall(callId);
    if (call == nullptr) return LINEERR_INVALCALLHANDLE;
    if (!call->Ringing() || call->answerRequest != 0) return LINEERR_INVALCALLSTATE;
    call->answerRequest = requestId;
    const LONG result = StartAnswer(*call);
    if (result != 0) call->answerRequest = 0;
    return result;
}

LONG LineServiceBase::Drop(DWORD callId, DWORD requestId) {
    LineCall* call = m_roster->FindCall(callId);
    if (call == nullptr) return LINEERR_INVALCALLHANDLE;
    if (call->state == LINECALLSTATE_IDLE || call->dropRequest != 0) return LINEERR_INVALCALLSTATE;
    call->dropRequest = requestId;
    StartDrop(*call);
    return 0;
}

void LineServiceBase::ReleaseCall(DWORD callId) {
    LineCall* call = m_roster->FindCall(callId);
    if (call == nullptr) return;
    // The last application holding a caller who still rings let go of him
    // by closing the line (as it does after every call, perhaps before it
    // had heard of him): he rings on, and is announced again at his next
    // ring once the line is open.
    if (call->Ringing()) {
        call->heard = false;
        return;
    }
    Release(*call);
}

LONG LineServiceBase::GetWaveId(DWORD deviceId, DWORD callId, bool waveIn, DWORD* id) {
    if (!m_roster->Valid(deviceId)) return LINEERR_BADDEVICEID;
    LineCall* call = nullptr;
    if (callId != 0 && (call = m_roster->FindCall(callId)) == nullptr) return LINEERR_INVALCALLHANDLE;
    return WaveId(deviceId, call, waveIn, id);
}

}  // namespace lines
