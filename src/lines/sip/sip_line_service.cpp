#include "lines/sip/sip_line_service.h"

#include <chrono>
#include <random>
#include <utility>

#include "lines/sip/caller_identity.h"
#include "lines/sip/register_backoff.h"
#include "lines/sip/sdp_offer.h"
#include "lines/sip/sip_call_media.h"
#include "lines/sip/telephone_event.h"
#include "platform/win32/clock.h"

namespace sipline {

namespace {

using Lock = std::lock_guard<std::recursive_mutex>;
using Clock = std::chrono::steady_clock;

constexpr DWORD kApiLowVersion = 0x00010003;
constexpr DWORD kApiHighVersion = 0x00020002;
constexpr DWORD kMediaModes = LINEMEDIAMODE_UNKNOWN | LINEMEDIAMODE_INTERACTIVEVOICE | LINEMEDIAMODE_AUTOMATEDVOICE;
constexpr DWORD kDigitModes = LINEDIGITMODE_DTMF | LINEDIGITMODE_DTMFEND;
constexpr DWORD kLineStates = LINEDEVSTATE_RINGING | LINEDEVSTATE_CONNECTED | LINEDEVSTATE_DISCONNECTED |
                              LINEDEVSTATE_INSERVICE | LINEDEVSTATE_OUTOFSERVICE | LINEDEVSTATE_OPEN |
                              LINEDEVSTATE_CLOSE | LINEDEVSTATE_REINIT | LINEDEVSTATE_REMOVED;
constexpr DWORD kAllCallStates = 0xFFFF;
constexpr DWORD kAllCallInfoStates = 0x0FFFFFFF;
constexpr DWORD kAllPartyIdFlags = 0x7F;
constexpr DWORD kRingModeNormal = 1;
constexpr std::uint64_t kPacketMs = 20;

std::uint64_t RealMs(double scaledMs) {
    return static_cast<std::uint64_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(platform::ScaledToReal(scaledMs)).count());
}

}  // namespace

struct SipCallRecord {
    DWORD id = 0;
    std::uint32_t key = 0;  // 0 once the SIP side is gone
    DWORD state = 0;
    DWORD stateMode = 0;
    CallerIdentity caller;
    MediaOffer offer;
    CodecChoice choice;
    std::shared_ptr<CallMedia> media;
    std::unique_ptr<CallWaveDevices> devices;
    bool answering = false;
    unsigned rings = 0;
};

struct LoopCall {
    DWORD callId = 0;
    CodecChoice choice;
    std::shared_ptr<CallMedia> media;
    ToneEventFilter tones;
    std::uint64_t ringTimer = 0;
    std::uint64_t sendTimer = 0;
    std::uint64_t mediaTimer = 0;
    bool sending = false;
    Clock::time_point sendStart;
    std::uint64_t packetsSent = 0;
    std::uint32_t timestamp = 0;
    Clock::time_point lastMedia;
};

SipLineService::SipLineService(SipSettings settings, std::string lineName)
    : m_settings(std::move(settings)), m_lineName(std::move(lineName)) {}

SipLineService::~SipLineService() {
    Uninstall();
    Stop();
}

bool SipLineService::Start(std::string* error) {
    if (m_started) return true;
    StackConfig config;
    config.listenAddress = m_settings.listenAddress;
    config.listenPort = static_cast<std::uint16_t>(m_settings.listenPort);
    config.rtpPortMin = static_cast<std::uint16_t>(m_settings.rtpPortMin);
    config.rtpPortMax = static_cast<std::uint16_t>(m_settings.rtpPortMax);
    if (!m_settings.account.empty()) config.contactUser = m_settings.account;
    if (!m_stack.Start(config, this, error)) return false;
    m_started = true;
    if (m_settings.Registers()) m_stack.Post([this] { RegisterNow(); });
    return true;
}

void SipLineService::Stop() {
    if (!m_started) return;
    m_stack.Stop();
    m_started = false;
    m_loopCalls.clear();
    Lock lock(tapisp::ServiceLock());
    for (auto& [id, call] : m_calls) {
        if (call->media) call->media->Close();
        call->key = 0;
        if (call->state != LINECALLSTATE_IDLE && call->state != LINECALLSTATE_DISCONNECTED)
            SetState(*call, LINECALLSTATE_DISCONNECTED, LINEDISCONNECTMODE_UNKNOWN);
    }
}

void SipLineService::Install() {
    tapisp::AddLineProvider(this);
    m_installed = true;
}

void SipLineService::Uninstall() {
    Lock lock(tapisp::ServiceLock());
    if (m_installed) tapisp::RemoveLineProvider(this);
    m_installed = false;
    m_sink = nullptr;
}

RegistrationStatus SipLineService::Registration() const {
    Lock lock(tapisp::ServiceLock());
    return m_registration;
}

std::uint64_t SipLineService::RingPeriodRealMs() const { return RealMs(m_settings.ringPeriodMs); }

std::uint64_t SipLineService::MediaTimeoutRealMs() const { return RealMs(m_settings.mediaTimeoutSeconds * 1000.0); }

// ---- the service lock ----

SipCallRecord* SipLineService::Find(DWORD callId) {
    auto it = m_calls.find(callId);
    return it == m_calls.end() ? nullptr : it->second.get();
}

SipCallRecord* SipLineService::FindByKey(std::uint32_t key) {
    for (auto& [id, call] : m_calls)
        if (call->key == key) return call.get();
    return nullptr;
}

void SipLineService::SetState(SipCallRecord& call, DWORD state, DWORD mode) {
    call.state = state;
    call.stateMode = mode;
    if (m_sink != nullptr) m_sink->CallState(call.id, state, mode);
}

void SipLineService::ReportLineState(DWORD state) {
    if (m_sink != nullptr) m_sink->LineDevState(0, state, 0, 0);
}

// ---- registration (loop thread) ----

void SipLineService::RegisterNow() {
    m_retryTimer = 0;
    {
        Lock lock(tapisp::ServiceLock());
        m_registration.attempts++;
        if (m_registration.state != RegistrationStatus::State::kRegistered)
            m_registration.state = RegistrationStatus::State::kRegistering;
    }
    RegisterConfig config;
    config.server = m_settings.server;
    config.account = m_settings.account;
    config.password = m_settings.password;
    config.displayName = m_settings.displayName;
    config.expires = m_settings.registerExpires;
    m_stack.Register(config);
}

void SipLineService::OnRegistration(int error, std::uint16_t status) {
    Lock lock(tapisp::ServiceLock());
    m_registration.lastStatus = status;
    m_registration.lastError = error;
    if (error == 0 && status >= 200 && status < 300) {
        const bool was = m_registration.state == RegistrationStatus::State::kRegistered;
        m_registration.state = RegistrationStatus::State::kRegistered;
        m_registration.successes++;
        m_registration.failures = 0;
        m_registration.nextRetryMs = 0;
        if (!was) ReportLineState(LINEDEVSTATE_INSERVICE);
        return;  // libre registers again before the binding expires
    }
    m_registration.state = RegistrationStatus::State::kFailed;
    m_registration.failures++;
    m_registration.nextRetryMs =
        RegisterRetryDelayMs(m_settings.registerRetrySeconds * 1000ull, m_registration.failures);
    ReportLineState(LINEDEVSTATE_OUTOFSERVICE);
    m_stack.Unregister();
    if (m_retryTimer != 0) m_stack.CancelTimer(m_retryTimer);
    m_retryTimer = m_stack.StartTimer(m_registration.nextRetryMs, [this] { RegisterNow(); });
}

// ---- calls (loop thread) ----

std::uint16_t SipLineService::OnInvite(std::uint32_t key, const InviteInfo& invite) {
    MediaOffer offer;
    if (!ParseOffer(invite.body, &offer)) return 488;
    const CodecChoice choice = ChooseCodec(offer);
    if (choice.codec == Codec::kNone) return 488;
    auto media = std::make_shared<CallMedia>(choice.codec);
    auto devices = std::make_unique<CallWaveDevices>(media);

    Lock lock(tapisp::ServiceLock());
    for (auto& [id, other] : m_calls)
        if (other->state != LINECALLSTATE_IDLE && other->state != LINECALLSTATE_DISCONNECTED) return 486;
    auto record = std::make_unique<SipCallRecord>();
    SipCallRecord& call = *record;
    call.id = m_nextCallId++;
    call.key = key;
    call.caller = IdentifyCaller(SipParty{invite.fromDisplay, invite.fromUri},
                                 SipParty{invite.assertedDisplay, invite.assertedUri}, invite.privacy);
    call.offer = offer;
    call.choice = choice;
    call.media = media;
    call.devices = std::move(devices);
    m_calls[call.id] = std::move(record);

    auto loopCall = std::make_unique<LoopCall>();
    loopCall->callId = call.id;
    loopCall->choice = choice;
    loopCall->media = media;
    loopCall->timestamp = std::random_device{}();
    m_loopCalls[key] = std::move(loopCall);

    if (m_sink != nullptr) m_sink->NewCall(0, call.id);
    SetState(call, LINECALLSTATE_OFFERING, LINEOFFERINGMODE_ACTIVE);
    Ring(key);
    return 0;
}

void SipLineService::Ring(std::uint32_t key) {
    auto it = m_loopCalls.find(key);
    if (it == m_loopCalls.end()) return;
    it->second->ringTimer = 0;
    Lock lock(tapisp::ServiceLock());
    SipCallRecord* call = FindByKey(key);
    if (call == nullptr || call->state != LINECALLSTATE_OFFERING) return;
    call->rings++;
    if (m_sink != nullptr) m_sink->LineDevState(0, LINEDEVSTATE_RINGING, kRingModeNormal, call->rings);
    it->second->ringTimer = m_stack.StartTimer(RingPeriodRealMs(), [this, key] { Ring(key); });
}

void SipLineService::AnswerOnLoop(DWORD callId, DWORD requestId) {
    Lock lock(tapisp::ServiceLock());
    SipCallRecord* call = Find(callId);
    auto fail = [this, requestId] {
        if (m_sink != nullptr) m_sink->CompleteRequest(requestId, LINEERR_OPERATIONFAILED);
    };
    if (call == nullptr || call->key == 0 || call->state != LINECALLSTATE_OFFERING) return fail();
    const std::uint16_t port = m_stack.OpenMedia(call->key, call->offer.address, call->offer.port);
    if (port == 0) return fail();
    const std::string sdp = BuildAnswer(m_stack.LocalAddressFor(call->key), port, call->choice, call->id);
    if (!m_stack.Answer(call->key, sdp)) return fail();
    if (m_sink != nullptr) m_sink->CompleteRequest(requestId, 0);
    auto it = m_loopCalls.find(call->key);
    if (it != m_loopCalls.end() && it->second->ringTimer != 0) {
        m_stack.CancelTimer(it->second->ringTimer);
        it->second->ringTimer = 0;
    }
}

void SipLineService::OnEstablished(std::uint32_t key) {
    auto it = m_loopCalls.find(key);
    if (it == m_loopCalls.end()) return;
    LoopCall& loopCall = *it->second;
    {
        Lock lock(tapisp::ServiceLock());
        SipCallRecord* call = FindByKey(key);
        if (call == nullptr || call->state != LINECALLSTATE_OFFERING) return;
        SetState(*call, LINECALLSTATE_CONNECTED, 0);
    }
    loopCall.lastMedia = Clock::now();
    loopCall.sending = true;
    loopCall.sendStart = Clock::now();
    SendPacket(key);
    loopCall.mediaTimer = m_stack.StartTimer(1000, [this, key] { CheckMedia(key); });
}

void SipLineService::SendPacket(std::uint32_t key) {
    auto it = m_loopCalls.find(key);
    if (it == m_loopCalls.end() || !it->second->sending) return;
    LoopCall& c = *it->second;
    std::uint8_t codes[kPacketSamples];
    c.media->NextPacket(codes);
    m_stack.SendRtp(key, static_cast<std::uint8_t>(c.choice.payloadType), c.packetsSent == 0, c.timestamp, codes,
                    kPacketSamples);
    c.timestamp += kPacketSamples;
    c.packetsSent++;
    // Due times from the start, so the timer's own lateness never adds up.
    const auto due = c.sendStart + std::chrono::milliseconds(c.packetsSent * kPacketMs);
    const auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(due - Clock::now()).count();
    c.sendTimer = m_stack.StartTimer(wait > 0 ? static_cast<std::uint64_t>(wait) : 0, [this, key] { SendPacket(key); });
}

void SipLineService::CheckMedia(std::uint32_t key) {
    auto it = m_loopCalls.find(key);
    if (it == m_loopCalls.end()) return;
    it->second->mediaTimer = 0;
    const auto silentFor = Clock::now() - it->second->lastMedia;
    if (silentFor < std::chrono::milliseconds(MediaTimeoutRealMs())) {
        it->second->mediaTimer = m_stack.StartTimer(250, [this, key] { CheckMedia(key); });
        return;
    }
    // The caller's network is gone: end the call on both sides.
    HangUpOnLoop(key);
    Lock lock(tapisp::ServiceLock());
    SipCallRecord* call = FindByKey(key);
    if (call == nullptr) return;
    call->key = 0;
    call->media->Close();
    if (call->state != LINECALLSTATE_IDLE && call->state != LINECALLSTATE_DISCONNECTED)
        SetState(*call, LINECALLSTATE_DISCONNECTED, LINEDISCONNECTMODE_UNKNOWN);
}

void SipLineService::OnRtp(std::uint32_t key, const RtpPacket& packet) {
    auto it = m_loopCalls.find(key);
    if (it == m_loopCalls.end()) return;
    LoopCall& c = *it->second;
    if (packet.payloadType == c.choice.payloadType) {
        c.lastMedia = Clock::now();
        c.media->Received(packet.timestamp, packet.payload, packet.size);
        return;
    }
    ToneEvent event;
    if (c.choice.telephoneEventType < 0 || packet.payloadType != c.choice.telephoneEventType ||
        !DecodeToneEvent(packet.payload, packet.size, &event))
        return;
    c.lastMedia = Clock::now();
    const char digit = c.tones.Take(packet.ssrc, packet.timestamp, event);
    if (digit != 0) ReportDigit(key, digit);
}

void SipLineService::ReportDigit(std::uint32_t key, char digit) {
    Lock lock(tapisp::ServiceLock());
    SipCallRecord* call = FindByKey(key);
    if (call == nullptr || call->state != LINECALLSTATE_CONNECTED || m_sink == nullptr) return;
    m_sink->Digit(call->id, static_cast<BYTE>(digit), LINEDIGITMODE_DTMF);
    m_sink->Digit(call->id, static_cast<BYTE>(digit), LINEDIGITMODE_DTMFEND);
}

std::uint16_t SipLineService::OnInfo(std::uint32_t key, const std::string& contentType, const std::string& body) {
    const char digit = InfoDigit(contentType, body);
    if (digit == 0) return InfoDigit(contentType, "0") != 0 ? 200 : 415;
    ReportDigit(key, digit);
    return 200;
}

std::string SipLineService::OnReoffer(std::uint32_t key, const std::string& sdp) {
    MediaOffer offer;
    if (!ParseOffer(sdp, &offer)) return {};
    Lock lock(tapisp::ServiceLock());
    SipCallRecord* call = FindByKey(key);
    if (call == nullptr) return {};
    const CodecChoice choice = ChooseCodec(offer);
    // The law of a call stays what its devices were made for.
    if (choice.codec != call->choice.codec) return {};
    call->offer = offer;
    const std::uint16_t port = m_stack.OpenMedia(key, offer.address, offer.port);
    if (port == 0) return {};
    return BuildAnswer(m_stack.LocalAddressFor(key), port, call->choice, call->id);
}

void SipLineService::OnClosed(std::uint32_t key, CallEnd end) {
    ForgetLoopCall(key);
    Lock lock(tapisp::ServiceLock());
    SipCallRecord* call = FindByKey(key);
    if (call == nullptr) return;
    call->key = 0;
    call->media->Close();
    if (call->state == LINECALLSTATE_IDLE || call->state == LINECALLSTATE_DISCONNECTED) return;
    SetState(*call, LINECALLSTATE_DISCONNECTED,
             end == CallEnd::kRemoteHangUp ? LINEDISCONNECTMODE_NORMAL : LINEDISCONNECTMODE_UNKNOWN);
}

void SipLineService::ForgetLoopCall(std::uint32_t key) {
    auto it = m_loopCalls.find(key);
    if (it == m_loopCalls.end()) return;
    for (std::uint64_t timer : {it->second->ringTimer, it->second->sendTimer, it->second->mediaTimer})
        if (timer != 0) m_stack.CancelTimer(timer);
    m_loopCalls.erase(it);
}

void SipLineService::HangUpOnLoop(std::uint32_t key) {
    ForgetLoopCall(key);
    m_stack.HangUp(key);
}

// ---- LineProvider (called with the service lock held) ----

void SipLineService::Attach(tapisp::LineEventSink* sink) { m_sink = sink; }

LONG SipLineService::NegotiateVersion(DWORD deviceId, DWORD lowVersion, DWORD highVersion, DWORD* version) {
    if (deviceId != 0) return LINEERR_BADDEVICEID;
    if (lowVersion > kApiHighVersion || highVersion < kApiLowVersion) return LINEERR_INCOMPATIBLEAPIVERSION;
    *version = highVersion < kApiHighVersion ? highVersion : kApiHighVersion;
    return 0;
}

tapisp::DeviceLimits SipLineService::GetLimits(DWORD deviceId) {
    if (deviceId != 0) return {};
    return {kMediaModes, kLineStates, kDigitModes};
}

LONG SipLineService::GetDevCaps(DWORD deviceId, tapisp::DevCapsData* data) {
    if (deviceId != 0) return LINEERR_BADDEVICEID;
    LINEDEVCAPS& caps = data->caps;
    caps.dwPermanentLineID = 0x5150;
    caps.dwAddressModes = LINEADDRESSMODE_ADDRESSID;
    caps.dwNumAddresses = 1;
    caps.dwBearerModes = LINEBEARERMODE_VOICE;
    caps.dwMaxRate = 64000;
    caps.dwMediaModes = kMediaModes;
    caps.dwGenerateDigitModes = LINEDIGITMODE_DTMF;
    caps.dwMonitorDigitModes = kDigitModes;
    caps.dwMaxNumActiveCalls = 1;
    caps.dwAnswerMode = 1;
    caps.dwRingModes = 1;
    caps.dwLineStates = kLineStates;
    data->lineName = m_lineName;
    return 0;
}

LONG SipLineService::GetAddressCaps(DWORD deviceId, DWORD addressId, LINEADDRESSCAPS* caps) {
    if (deviceId != 0) return LINEERR_BADDEVICEID;
    if (addressId != 0) return LINEERR_INVALADDRESSID;
    caps->dwAddressSharing = 1;
    caps->dwCallInfoStates = kAllCallInfoStates;
    caps->dwCallerIDFlags = kAllPartyIdFlags;
    caps->dwCallStates = kAllCallStates;
    caps->dwDisconnectModes = LINEDISCONNECTMODE_NORMAL | LINEDISCONNECTMODE_UNKNOWN;
    caps->dwMaxNumActiveCalls = 1;
    return 0;
}

LONG SipLineService::Open(DWORD deviceId, DWORD, DWORD) {
    if (deviceId != 0) return LINEERR_BADDEVICEID;
    m_opens++;
    return 0;
}

void SipLineService::Close(DWORD deviceId) {
    if (deviceId == 0 && m_opens > 0) m_opens--;
}

LONG SipLineService::GetCallInfo(DWORD callId, tapisp::CallInfoData* data) {
    SipCallRecord* call = Find(callId);
    if (call == nullptr) return LINEERR_INVALCALLHANDLE;
    LINECALLINFO& info = data->info;
    info.dwBearerMode = LINEBEARERMODE_VOICE;
    info.dwMediaMode = LINEMEDIAMODE_UNKNOWN;
    info.dwCallID = call->id;
    info.dwCallStates = kAllCallStates;
    info.dwOrigin = LINECALLORIGIN_INBOUND;
    info.dwReason = LINECALLREASON_DIRECT;
    info.dwNumOwners = 1;
    info.dwCallerIDFlags = call->caller.flags;
    data->callerIdPresent = call->caller.number.has_value();
    data->callerId = call->caller.number.value_or("");
    data->callerNamePresent = call->caller.name.has_value();
    data->callerName = call->caller.name.value_or("");
    return 0;
}

LONG SipLineService::GetCallStatus(DWORD callId, LINECALLSTATUS* status) {
    SipCallRecord* call = Find(callId);
    if (call == nullptr) return LINEERR_INVALCALLHANDLE;
    status->dwCallState = call->state;
    status->dwCallStateMode = call->stateMode;
    return 0;
}

LONG SipLineService::Accept(DWORD callId, DWORD requestId) {
    SipCallRecord* call = Find(callId);
    if (call == nullptr) return LINEERR_INVALCALLHANDLE;
    if (call->state != LINECALLSTATE_OFFERING) return LINEERR_INVALCALLSTATE;
    // The caller already hears ringing; nothing to tell the network.
    if (m_sink != nullptr) m_sink->CompleteRequest(requestId, 0);
    return 0;
}

LONG SipLineService::Answer(DWORD callId, DWORD requestId) {
    SipCallRecord* call = Find(callId);
    if (call == nullptr) return LINEERR_INVALCALLHANDLE;
    if (call->state != LINECALLSTATE_OFFERING || call->answering || call->key == 0) return LINEERR_INVALCALLSTATE;
    call->answering = true;
    m_stack.Post([this, callId, requestId] { AnswerOnLoop(callId, requestId); });
    return 0;
}

LONG SipLineService::Drop(DWORD callId, DWORD requestId) {
    SipCallRecord* call = Find(callId);
    if (call == nullptr) return LINEERR_INVALCALLHANDLE;
    if (call->state == LINECALLSTATE_IDLE) return LINEERR_INVALCALLSTATE;
    if (m_sink != nullptr) m_sink->CompleteRequest(requestId, 0);
    if (call->key != 0) {
        const std::uint32_t key = call->key;
        m_stack.Post([this, key] { HangUpOnLoop(key); });
        call->key = 0;
    }
    call->media->Close();
    SetState(*call, LINECALLSTATE_IDLE, 0);
    return 0;
}

void SipLineService::ReleaseCall(DWORD callId) {
    SipCallRecord* call = Find(callId);
    if (call == nullptr) return;
    if (call->key != 0) {
        const std::uint32_t key = call->key;
        m_stack.Post([this, key] { HangUpOnLoop(key); });
    }
    call->media->Close();
    m_calls.erase(callId);
}

LONG SipLineService::GetWaveId(DWORD deviceId, DWORD callId, bool waveIn, DWORD* id) {
    if (deviceId != 0) return LINEERR_BADDEVICEID;
    CallWaveDevices* devices = nullptr;
    if (callId != 0) {
        SipCallRecord* call = Find(callId);
        if (call == nullptr) return LINEERR_INVALCALLHANDLE;
        devices = call->devices.get();
    } else {
        // The line's own pair, made once, so the ids a modem list shows stay.
        if (!m_lineDevices) {
            auto idle = std::make_shared<CallMedia>(Codec::kPcmu);
            idle->Close();
            m_lineDevices = std::make_unique<CallWaveDevices>(idle);
        }
        devices = m_lineDevices.get();
    }
    *id = waveIn ? devices->WaveIn() : devices->WaveOut();
    return 0;
}

}  // namespace sipline
