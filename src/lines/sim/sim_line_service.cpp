#include "lines/sim/sim_line_service.h"

#include <condition_variable>
#include <cstring>
#include <mutex>
#include <thread>
#include <utility>

#include "platform/win32/clock.h"

namespace simline {

namespace {

using Lock = std::lock_guard<std::recursive_mutex>;

lines::LineDescription Describe(const LineConfig& line) {
    lines::LineDescription description;
    description.name = line.name;
    description.permanentLineId = line.permanentLineId;
    description.mediaModes = line.mediaModes;
    description.bearerModes = line.bearerModes;
    description.monitorDigitModes = line.monitorDigitModes;
    description.lineStates = line.lineStates;
    description.addrCapFlags = line.addrCapFlags;
    description.reliableDisconnect = line.reliableDisconnect;
    description.apiLowVersion = line.apiLowVersion;
    description.apiHighVersion = line.apiHighVersion;
    return description;
}

std::vector<LineConfig> WithPermanentIds(std::vector<LineConfig> lines) {
    for (size_t i = 0; i < lines.size(); i++)
        if (lines[i].permanentLineId == 0) lines[i].permanentLineId = 0x5100 + static_cast<DWORD>(i);
    return lines;
}

std::vector<lines::LineDescription> Describe(const std::vector<LineConfig>& lines) {
    std::vector<lines::LineDescription> descriptions;
    for (const LineConfig& line : lines) descriptions.push_back(Describe(line));
    return descriptions;
}

}  // namespace

struct SimCallRecord : lines::LineCall {
    bool connected = false;
    bool released = false;
    bool remoteGone = false;  // the remote party's SimCall handle is gone
    unsigned rings = 0;
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
    ServiceCore(std::vector<LineConfig> configs, std::shared_ptr<lines::LineRoster> shared)
        : lines(std::move(configs)), roster(std::move(shared)), lineAudio(lines.size()) {}

    std::vector<LineConfig> lines;
    std::shared_ptr<lines::LineRoster> roster;
    std::vector<std::unique_ptr<CallAudio>> lineAudio;
    bool alive = true;

    bool ValidDevice(DWORD deviceId) const { return deviceId < lines.size(); }
    SimCallRecord* Find(DWORD callId) { return roster->Find<SimCallRecord>(callId); }

    bool Ring(SimCallRecord& call) {
        if (!call.Ringing()) return false;
        // Before the accept-to-alert check: such a call can only be accepted
        // once an open has heard of it.
        roster->AnnounceIfUnheard(call);
        const LineConfig& line = lines[call.device];
        if ((line.addrCapFlags & LINEADDRCAPFLAGS_ACCEPTTOALERT) && call.state != LINECALLSTATE_ACCEPTED)
            return false;
        call.rings++;
        roster->Ring(call.device, line.countsRings ? call.rings : 0);
        return true;
    }

    // The call's end as the service sees it; no more rings.
    void EndCall(SimCallRecord& call, bool report) {
        call.StopRingerSoon();
        if (call.state == LINECALLSTATE_IDLE) return;
        if (report)
            roster->SetState(call, LINECALLSTATE_IDLE, 0);
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
            s.roster->CallInfo(c, LINECALLINFOSTATE_CALLERID);
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
            s.roster->Digit(c, digit);
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
            s.roster->SetState(c, LINECALLSTATE_DISCONNECTED, LINEDISCONNECTMODE_NORMAL);
            if (s.lines[c.device].idleAfterRemoteHangUp) s.EndCall(c, true);
            return true;
        },
        false);
}

unsigned SimCall::RingCount() const {
    return WithCall(m_core, m_callId, [](ServiceCore&, SimCallRecord& c) { return c.rings; }, 0u);
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
    : LineServiceBase(Describe(WithPermanentIds(lines))),
      m_core(std::make_shared<ServiceCore>(WithPermanentIds(std::move(lines)), SharedRoster())) {}

SimLineService::~SimLineService() {
    Uninstall();
    std::vector<SimCallRecord*> records;
    {
        Lock lock(tapisp::ServiceLock());
        m_core->alive = false;
        Roster().ForEachCall([&records](lines::LineCall& call) { records.push_back(static_cast<SimCallRecord*>(&call)); });
    }
    for (SimCallRecord* call : records) call->JoinRinger();
    Lock lock(tapisp::ServiceLock());
    Roster().ClearCalls();
    m_core->lineAudio.clear();
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
    SimCallRecord& call = Roster().AddCall<SimCallRecord>(deviceId);
    call.origin = origin;
    call.caller = caller;
    call.callerKnown = known;
    call.audio = std::move(audio);
    call.state = LINECALLSTATE_OFFERING;
    call.stateMode = LINEOFFERINGMODE_ACTIVE;
    Roster().Announce(call);
    return std::make_shared<SimCall>(m_core, call.id);
}

void SimLineService::SendLineDevState(DWORD deviceId, DWORD state, DWORD param2, DWORD param3) {
    Lock lock(tapisp::ServiceLock());
    Roster().LineState(deviceId, state, param2, param3);
}

void SimLineService::CloseLine(DWORD deviceId) {
    Lock lock(tapisp::ServiceLock());
    Roster().LineClosed(deviceId);
}

int SimLineService::OpenCount(DWORD deviceId) const {
    Lock lock(tapisp::ServiceLock());
    return Roster().Valid(deviceId) ? Roster().Opens(deviceId) : 0;
}

unsigned SimLineService::Openings(DWORD deviceId) const {
    Lock lock(tapisp::ServiceLock());
    return Roster().Valid(deviceId) ? Roster().Openings(deviceId) : 0;
}

// The test knobs of a line that fails its queries or its open.

LONG SimLineService::GetDevCaps(DWORD deviceId, tapisp::DevCapsData* data) {
    if (m_core->ValidDevice(deviceId) && m_core->lines[deviceId].failDevCaps) return LINEERR_OPERATIONFAILED;
    return LineServiceBase::GetDevCaps(deviceId, data);
}

LONG SimLineService::GetAddressCaps(DWORD deviceId, DWORD addressId, LINEADDRESSCAPS* caps) {
    if (m_core->ValidDevice(deviceId) && addressId == 0 && m_core->lines[deviceId].failAddressCaps)
        return LINEERR_OPERATIONFAILED;
    return LineServiceBase::GetAddressCaps(deviceId, addressId, caps);
}

LONG SimLineService::Open(DWORD deviceId, DWORD privileges, DWORD mediaModes) {
    if (m_core->ValidDevice(deviceId) && m_core->lines[deviceId].failOpen) return LINEERR_RESOURCEUNAVAIL;
    return LineServiceBase::Open(deviceId, privileges, mediaModes);
}

LONG SimLineService::StartAnswer(lines::LineCall& line) {
    auto& call = static_cast<SimCallRecord&>(line);
    call.answers++;
    call.StopRingerSoon();
    call.connected = true;
    Roster().CompletePending(call.answerRequest, 0);
    Roster().SetState(call, LINECALLSTATE_CONNECTED, 0);
    return 0;
}

void SimLineService::StartDrop(lines::LineCall& line) {
    auto& call = static_cast<SimCallRecord&>(line);
    call.drops++;
    Roster().CompletePending(call.dropRequest, 0);
    m_core->EndCall(call, true);
}

void SimLineService::Release(lines::LineCall& line) {
    auto& call = static_cast<SimCallRecord&>(line);
    call.released = true;
    m_core->EndCall(call, false);
    if (call.remoteGone) call.audio.reset();
}

LONG SimLineService::WaveId(DWORD deviceId, lines::LineCall* call, bool waveIn, DWORD* id) {
    const LineConfig& line = m_core->lines[deviceId];
    if (!line.hasWaveDevices) return LINEERR_INVALDEVICECLASS;
    CallAudio* audio = nullptr;
    if (call != nullptr) {
        audio = static_cast<SimCallRecord*>(call)->audio.get();
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
