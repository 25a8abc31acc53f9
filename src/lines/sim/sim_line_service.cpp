#include "lines/sim/sim_line_service.h"

#include <condition_variable>
#include <cstring>
#include <map>
#include <mutex>
#include <thread>
#include <utility>

#include "platform/win32/clock.h"

namespace simline {

namespace {

using Lock = std::lock_guard<std::recursive_mutex>;

constexpr DWORD kAllCallStates = 0xFFFF;           // IDLE ... UNKNOWN
constexpr DWORD kAllCallInfoStates = 0x0FFFFFFF;   // OTHER ... MONITORMODES
constexpr DWORD kAllPartyIdFlags = 0x7F;
constexpr DWORD kRingModeNormal = 1;
constexpr DWORD kAddressSharingPrivate = 1;
constexpr DWORD kAnswerModeNone = 1;

}  // namespace

struct SimCallRecord {
    DWORD id = 0;
    DWORD device = 0;
    DWORD state = 0;
    DWORD stateMode = 0;
    DWORD origin = 0;
    CallerId caller;
    bool callerKnown = false;
    bool accepted = false;
    bool connected = false;
    bool released = false;
    bool remoteGone = false;  // the remote party's SimCall handle is gone
    bool announced = false;   // an open of the line was told of the call
    unsigned rings = 0;
    unsigned accepts = 0;
    unsigned answers = 0;
    unsigned drops = 0;
    std::unique_ptr<CallAudio> audio;

    std::thread ringer;
    std::mutex ringMutex;
    std::condition_variable ringCv;
    bool ringStop = false;

    bool Ringing() const {
        return state == LINECALLSTATE_OFFERING || state == LINECALLSTATE_ACCEPTED;
    }
    void StopRingerSoon() {
        std::lock_guard<std::mutex> lock(ringMutex);
        ringStop = true;
        ringCv.notify_all();
    }
    // Called without the service lock: the ringer takes it.
    void JoinRinger() {
        std::thread t;
        {
            std::lock_guard<std::mutex> lock(ringMutex);
            ringStop = true;
            ringCv.notify_all();
            t = std::move(ringer);
        }
        if (t.joinable()) t.join();
    }
};

// Everything the service knows; guarded by the service lock.
class ServiceCore {
public:
    explicit ServiceCore(std::vector<LineConfig> configs)
        : lines(std::move(configs)), opens(lines.size(), 0), openings(lines.size(), 0), lineAudio(lines.size()) {}

    std::vector<LineConfig> lines;
    std::vector<int> opens;
    std::vector<unsigned> openings;  // every open so far, per line
    std::vector<std::unique_ptr<CallAudio>> lineAudio;
    std::map<DWORD, std::unique_ptr<SimCallRecord>> calls;
    tapisp::LineEventSink* sink = nullptr;
    bool alive = true;
    DWORD nextCallId = 1;

    bool ValidDevice(DWORD deviceId) const { return deviceId < lines.size(); }

    SimCallRecord* Find(DWORD callId) {
        auto it = calls.find(callId);
        return it == calls.end() ? nullptr : it->second.get();
    }

    void SetState(SimCallRecord& call, DWORD state, DWORD mode) {
        call.state = state;
        call.stateMode = mode;
        if (sink != nullptr) sink->CallState(call.id, state, mode);
    }

    void Complete(DWORD requestId, LONG result) {
        if (sink != nullptr) sink->CompleteRequest(requestId, result);
    }

    bool Ring(SimCallRecord& call) {
        if (!call.Ringing()) return false;
        // A call offered while the line was closed (an application closing
        // and reopening it between calls) is shown to the opens it has now,
        // as a line that keeps ringing is noticed once it is open again.
        if (!call.announced && opens[call.device] > 0 && sink != nullptr) {
            call.announced = true;
            sink->NewCall(call.device, call.id);
            SetState(call, call.state, call.stateMode);
        }
        const LineConfig& line = lines[call.device];
        if ((line.addrCapFlags & LINEADDRCAPFLAGS_ACCEPTTOALERT) && !call.accepted) return false;
        call.rings++;
        if (sink != nullptr)
            sink->LineDevState(call.device, LINEDEVSTATE_RINGING, kRingModeNormal,
                               line.countsRings ? call.rings : 0);
        return true;
    }

    // The call's end as the service sees it; no more rings.
    void EndCall(SimCallRecord& call, bool report) {
        call.StopRingerSoon();
        if (call.state == LINECALLSTATE_IDLE) return;
        if (report)
            SetState(call, LINECALLSTATE_IDLE, 0);
        else
            call.state = LINECALLSTATE_IDLE;
    }
};

namespace {

void RingLoop(ServiceCore* core, SimCallRecord* call, DWORD periodMs) {
    for (;;) {
        {
            std::unique_lock<std::mutex> lock(call->ringMutex);
            if (call->ringCv.wait_for(lock, platform::ScaledToReal(periodMs),
                                      [call] { return call->ringStop; }))
                return;
        }
        Lock lock(tapisp::ServiceLock());
        if (!core->alive || !call->Ringing()) return;
        core->Ring(*call);  // held back until an accept-to-alert call is accepted
    }
}

template <typename Fn, typename R>
R WithCall(const std::shared_ptr<ServiceCore>& core, DWORD callId, Fn fn, R otherwise) {
    Lock lock(tapisp::ServiceLock());
    SimCallRecord* call = core->alive ? core->Find(callId) : nullptr;
    return call != nullptr ? fn(*core, *call) : otherwise;
}

}  // namespace

// ---- the remote party ----

SimCall::SimCall(std::shared_ptr<ServiceCore> core, DWORD callId)
    : m_core(std::move(core)), m_callId(callId) {}

// Once neither side can use it, a call's audio path (with everything it
// captured) goes, so a long-running service does not grow with every call.
SimCall::~SimCall() {
    Lock lock(tapisp::ServiceLock());
    SimCallRecord* call = m_core->alive ? m_core->Find(m_callId) : nullptr;
    if (call == nullptr) return;
    call->remoteGone = true;
    if (call->released) call->audio.reset();
}

DWORD SimCall::State() const {
    return WithCall(m_core, m_callId, [](ServiceCore&, SimCallRecord& c) { return c.state; }, 0u);
}

bool SimCall::Ring() {
    return WithCall(m_core, m_callId, [](ServiceCore& s, SimCallRecord& c) { return s.Ring(c); },
                    false);
}

void SimCall::StartRinging(DWORD periodMs) {
    StopRinging();
    Lock lock(tapisp::ServiceLock());
    SimCallRecord* call = m_core->alive ? m_core->Find(m_callId) : nullptr;
    if (call == nullptr || !call->Ringing()) return;
    std::lock_guard<std::mutex> ringLock(call->ringMutex);
    call->ringStop = false;
    call->ringer = std::thread(RingLoop, m_core.get(), call, periodMs);
}

void SimCall::StopRinging() {
    SimCallRecord* call = nullptr;
    {
        Lock lock(tapisp::ServiceLock());
        call = m_core->alive ? m_core->Find(m_callId) : nullptr;
    }
    // Records live as long as the service; the service joins its ringers.
    if (call != nullptr) call->JoinRinger();
}

bool SimCall::ReportCallerId(const CallerId& caller) {
    return WithCall(
        m_core, m_callId,
        [&caller](ServiceCore& s, SimCallRecord& c) {
            if (c.state == LINECALLSTATE_IDLE) return false;
            c.caller = caller;
            c.callerKnown = true;
            if (s.sink != nullptr) s.sink->CallInfo(c.id, LINECALLINFOSTATE_CALLERID);
            return true;
        },
        false);
}

bool SimCall::PressDigit(char digit) {
    if (digit == 0 || std::strchr("0123456789*#ABCD", digit) == nullptr) return false;
    return WithCall(
        m_core, m_callId,
        [digit](ServiceCore& s, SimCallRecord& c) {
            if (c.state != LINECALLSTATE_CONNECTED) return false;
            if (s.sink != nullptr) {
                s.sink->Digit(c.id, static_cast<BYTE>(digit), LINEDIGITMODE_DTMF);
                s.sink->Digit(c.id, static_cast<BYTE>(digit), LINEDIGITMODE_DTMFEND);
            }
            return true;
        },
        false);
}

bool SimCall::HangUp() {
    return WithCall(
        m_core, m_callId,
        [](ServiceCore& s, SimCallRecord& c) {
            if (c.state == LINECALLSTATE_IDLE || c.state == LINECALLSTATE_DISCONNECTED) return false;
            c.StopRingerSoon();
            s.SetState(c, LINECALLSTATE_DISCONNECTED, LINEDISCONNECTMODE_NORMAL);
            if (s.lines[c.device].idleAfterRemoteHangUp) s.EndCall(c, true);
            return true;
        },
        false);
}

unsigned SimCall::RingCount() const {
    return WithCall(m_core, m_callId, [](ServiceCore&, SimCallRecord& c) { return c.rings; }, 0u);
}

unsigned SimCall::AcceptRequests() const {
    return WithCall(m_core, m_callId, [](ServiceCore&, SimCallRecord& c) { return c.accepts; }, 0u);
}

unsigned SimCall::AnswerRequests() const {
    return WithCall(m_core, m_callId, [](ServiceCore&, SimCallRecord& c) { return c.answers; }, 0u);
}

unsigned SimCall::DropRequests() const {
    return WithCall(m_core, m_callId, [](ServiceCore&, SimCallRecord& c) { return c.drops; }, 0u);
}

bool SimCall::Answered() const {
    return WithCall(m_core, m_callId, [](ServiceCore&, SimCallRecord& c) { return c.connected; },
                    false);
}

bool SimCall::Released() const {
    return WithCall(m_core, m_callId, [](ServiceCore&, SimCallRecord& c) { return c.released; },
                    false);
}

CallAudio* SimCall::Audio() const {
    return WithCall(
        m_core, m_callId, [](ServiceCore&, SimCallRecord& c) { return c.audio.get(); },
        static_cast<CallAudio*>(nullptr));
}

// ---- the service ----

SimLineService::SimLineService(std::vector<LineConfig> lines)
    : m_core(std::make_shared<ServiceCore>(std::move(lines))) {
    for (size_t i = 0; i < m_core->lines.size(); i++)
        if (m_core->lines[i].permanentLineId == 0)
            m_core->lines[i].permanentLineId = 0x5100 + static_cast<DWORD>(i);
}

SimLineService::~SimLineService() {
    Uninstall();
    std::vector<SimCallRecord*> records;
    {
        Lock lock(tapisp::ServiceLock());
        m_core->alive = false;
        for (auto& entry : m_core->calls) records.push_back(entry.second.get());
    }
    for (SimCallRecord* call : records) call->JoinRinger();
    Lock lock(tapisp::ServiceLock());
    m_core->calls.clear();
    m_core->lineAudio.clear();
}

void SimLineService::Install() {
    tapisp::AddLineProvider(this);
    m_installed = true;
}

void SimLineService::Uninstall() {
    Lock lock(tapisp::ServiceLock());
    if (m_installed) tapisp::RemoveLineProvider(this);
    m_installed = false;
    m_core->sink = nullptr;
}

std::shared_ptr<SimCall> SimLineService::OfferCall(DWORD deviceId, const CallerId& caller,
                                                   bool callerIdAtOffering) {
    return Offer(deviceId, caller, callerIdAtOffering, LINECALLORIGIN_INBOUND);
}

std::shared_ptr<SimCall> SimLineService::OfferOutboundCall(DWORD deviceId) {
    return Offer(deviceId, CallerId{}, false, LINECALLORIGIN_OUTBOUND);
}

std::shared_ptr<SimCall> SimLineService::Offer(DWORD deviceId, const CallerId& caller, bool known,
                                               DWORD origin) {
    if (!m_core->ValidDevice(deviceId)) return nullptr;
    const LineConfig& line = m_core->lines[deviceId];
    // Made before the lock: the audio layer may open devices of its own.
    std::unique_ptr<CallAudio> audio;
    if (line.hasWaveDevices) audio = MakeCallAudio(CallAudioConfig{deviceId, line.acceptedFormats});
    Lock lock(tapisp::ServiceLock());
    auto record = std::make_unique<SimCallRecord>();
    SimCallRecord& call = *record;
    call.id = m_core->nextCallId++;
    call.device = deviceId;
    call.origin = origin;
    call.caller = caller;
    call.callerKnown = known;
    call.audio = std::move(audio);
    call.announced = m_core->opens[deviceId] > 0;
    m_core->calls[call.id] = std::move(record);
    if (m_core->sink != nullptr) m_core->sink->NewCall(deviceId, call.id);
    m_core->SetState(call, LINECALLSTATE_OFFERING, LINEOFFERINGMODE_ACTIVE);
    return std::make_shared<SimCall>(m_core, call.id);
}

void SimLineService::SendLineDevState(DWORD deviceId, DWORD state, DWORD param2, DWORD param3) {
    Lock lock(tapisp::ServiceLock());
    if (m_core->sink != nullptr && m_core->ValidDevice(deviceId))
        m_core->sink->LineDevState(deviceId, state, param2, param3);
}

void SimLineService::CloseLine(DWORD deviceId) {
    Lock lock(tapisp::ServiceLock());
    if (m_core->sink != nullptr && m_core->ValidDevice(deviceId)) m_core->sink->LineClosed(deviceId);
}

int SimLineService::OpenCount(DWORD deviceId) const {
    Lock lock(tapisp::ServiceLock());
    return m_core->ValidDevice(deviceId) ? m_core->opens[deviceId] : 0;
}

unsigned SimLineService::Openings(DWORD deviceId) const {
    Lock lock(tapisp::ServiceLock());
    return m_core->ValidDevice(deviceId) ? m_core->openings[deviceId] : 0;
}

void SimLineService::Attach(tapisp::LineEventSink* sink) { m_core->sink = sink; }

DWORD SimLineService::NumDevices() { return static_cast<DWORD>(m_core->lines.size()); }

LONG SimLineService::NegotiateVersion(DWORD deviceId, DWORD lowVersion, DWORD highVersion,
                                      DWORD* version) {
    if (!m_core->ValidDevice(deviceId)) return LINEERR_BADDEVICEID;
    const LineConfig& line = m_core->lines[deviceId];
    if (lowVersion > line.apiHighVersion || highVersion < line.apiLowVersion)
        return LINEERR_INCOMPATIBLEAPIVERSION;
    *version = highVersion < line.apiHighVersion ? highVersion : line.apiHighVersion;
    return 0;
}

tapisp::DeviceLimits SimLineService::GetLimits(DWORD deviceId) {
    if (!m_core->ValidDevice(deviceId)) return {};
    const LineConfig& line = m_core->lines[deviceId];
    return {line.mediaModes, line.lineStates, line.monitorDigitModes};
}

LONG SimLineService::GetDevCaps(DWORD deviceId, tapisp::DevCapsData* data) {
    if (!m_core->ValidDevice(deviceId)) return LINEERR_BADDEVICEID;
    const LineConfig& line = m_core->lines[deviceId];
    if (line.failDevCaps) return LINEERR_OPERATIONFAILED;
    LINEDEVCAPS& caps = data->caps;
    caps.dwPermanentLineID = line.permanentLineId;
    caps.dwAddressModes = LINEADDRESSMODE_ADDRESSID;
    caps.dwNumAddresses = 1;
    caps.dwBearerModes = line.bearerModes;
    caps.dwMaxRate = 33600;
    caps.dwMediaModes = line.mediaModes;
    caps.dwGenerateDigitModes = LINEDIGITMODE_DTMF;
    caps.dwMonitorDigitModes = line.monitorDigitModes;
    caps.dwMaxNumActiveCalls = 1;
    caps.dwAnswerMode = kAnswerModeNone;
    caps.dwRingModes = 1;
    caps.dwLineStates = line.lineStates;
    data->lineName = line.name;
    return 0;
}

LONG SimLineService::GetAddressCaps(DWORD deviceId, DWORD addressId, LINEADDRESSCAPS* caps) {
    if (!m_core->ValidDevice(deviceId)) return LINEERR_BADDEVICEID;
    if (addressId != 0) return LINEERR_INVALADDRESSID;
    const LineConfig& line = m_core->lines[deviceId];
    if (line.failAddressCaps) return LINEERR_OPERATIONFAILED;
    caps->dwAddressSharing = kAddressSharingPrivate;
    caps->dwCallInfoStates = kAllCallInfoStates;
    caps->dwCallerIDFlags = kAllPartyIdFlags;
    caps->dwCallStates = kAllCallStates;
    caps->dwDisconnectModes = LINEDISCONNECTMODE_NORMAL | LINEDISCONNECTMODE_UNKNOWN;
    caps->dwMaxNumActiveCalls = 1;
    caps->dwAddrCapFlags = line.addrCapFlags;
    return 0;
}

LONG SimLineService::Open(DWORD deviceId, DWORD, DWORD) {
    if (!m_core->ValidDevice(deviceId)) return LINEERR_BADDEVICEID;
    if (m_core->lines[deviceId].failOpen) return LINEERR_RESOURCEUNAVAIL;
    m_core->opens[deviceId]++;
    m_core->openings[deviceId]++;
    return 0;
}

void SimLineService::Close(DWORD deviceId) {
    if (m_core->ValidDevice(deviceId) && m_core->opens[deviceId] > 0) m_core->opens[deviceId]--;
}

LONG SimLineService::GetCallInfo(DWORD callId, tapisp::CallInfoData* data) {
    SimCallRecord* call = m_core->Find(callId);
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
    if (call->callerKnown) {
        info.dwCallerIDFlags = call->caller.flags;
        data->callerIdPresent = call->caller.number.has_value();
        data->callerId = call->caller.number.value_or("");
        data->callerNamePresent = call->caller.name.has_value();
        data->callerName = call->caller.name.value_or("");
    }
    return 0;
}

LONG SimLineService::GetCallStatus(DWORD callId, LINECALLSTATUS* status) {
    SimCallRecord* call = m_core->Find(callId);
    if (call == nullptr) return LINEERR_INVALCALLHANDLE;
    status->dwCallState = call->state;
    status->dwCallStateMode = call->stateMode;
    return 0;
}

LONG SimLineService::Accept(DWORD callId, DWORD requestId) {
    SimCallRecord* call = m_core->Find(callId);
    if (call == nullptr) return LINEERR_INVALCALLHANDLE;
    call->accepts++;
    if (call->state != LINECALLSTATE_OFFERING) return LINEERR_INVALCALLSTATE;
    call->accepted = true;
    m_core->Complete(requestId, 0);
    m_core->SetState(*call, LINECALLSTATE_ACCEPTED, 0);
    return 0;
}

LONG SimLineService::Answer(DWORD callId, DWORD requestId) {
    SimCallRecord* call = m_core->Find(callId);
    if (call == nullptr) return LINEERR_INVALCALLHANDLE;
    call->answers++;
    if (!call->Ringing()) return LINEERR_INVALCALLSTATE;
    call->StopRingerSoon();
    call->connected = true;
    m_core->Complete(requestId, 0);
    m_core->SetState(*call, LINECALLSTATE_CONNECTED, 0);
    return 0;
}

LONG SimLineService::Drop(DWORD callId, DWORD requestId) {
    SimCallRecord* call = m_core->Find(callId);
    if (call == nullptr) return LINEERR_INVALCALLHANDLE;
    call->drops++;
    if (call->state == LINECALLSTATE_IDLE) return LINEERR_INVALCALLSTATE;
    m_core->Complete(requestId, 0);
    m_core->EndCall(*call, true);
    return 0;
}

void SimLineService::ReleaseCall(DWORD callId) {
    SimCallRecord* call = m_core->Find(callId);
    if (call == nullptr) return;
    call->released = true;
    m_core->EndCall(*call, false);
    if (call->remoteGone) call->audio.reset();
}

LONG SimLineService::GetWaveId(DWORD deviceId, DWORD callId, bool waveIn, DWORD* id) {
    if (!m_core->ValidDevice(deviceId)) return LINEERR_BADDEVICEID;
    const LineConfig& line = m_core->lines[deviceId];
    if (!line.hasWaveDevices) return LINEERR_INVALDEVICECLASS;
    CallAudio* audio = nullptr;
    if (callId != 0) {
        SimCallRecord* call = m_core->Find(callId);
        if (call == nullptr) return LINEERR_INVALCALLHANDLE;
        audio = call->audio.get();
    } else {
        if (!m_core->lineAudio[deviceId])
            m_core->lineAudio[deviceId] = MakeCallAudio(CallAudioConfig{deviceId, line.acceptedFormats});
        audio = m_core->lineAudio[deviceId].get();
    }
    // No audio layer installed: the line has no wave devices to name.
    if (audio == nullptr) return LINEERR_OPERATIONUNAVAIL;
    *id = waveIn ? audio->WaveInDeviceId() : audio->WaveOutDeviceId();
    return 0;
}

}  // namespace simline
