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

constexpr std::uint64_t kPacketMs = 20;

std::vector<lines::LineDescription> Describe(std::string lineName) {
    lines::LineDescription line;
    line.name = std::move(lineName);
    line.permanentLineId = 0x5150;
    // Not yet the voice modes every other line reports: the line choice
    // passes over it for now.
    line.mediaModes = LINEMEDIAMODE_UNKNOWN | LINEMEDIAMODE_INTERACTIVEVOICE | LINEMEDIAMODE_AUTOMATEDVOICE;
    line.bearerModes = LINEBEARERMODE_VOICE;
    line.maxRate = 64000;
    // A BYE, a CANCEL or the media time-out: the caller is gone for certain.
    line.reliableDisconnect = true;
    return {line};
}

std::uint64_t RealMs(double scaledMs) {
    return static_cast<std::uint64_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(platform::ScaledToReal(scaledMs)).count());
}

}  // namespace

struct SipCallRecord : lines::LineCall {
    std::uint32_t key = 0;  // 0 once the SIP side is gone
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
    : LineServiceBase(Describe(std::move(lineName))), m_settings(std::move(settings)) {}

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
    Roster().ForEachCall([this](lines::LineCall& line) {
        auto& call = static_cast<SipCallRecord&>(line);
        if (call.media) call.media->Close();
        call.key = 0;
        if (call.state != LINECALLSTATE_IDLE && call.state != LINECALLSTATE_DISCONNECTED)
            Roster().SetState(call, LINECALLSTATE_DISCONNECTED, LINEDISCONNECTMODE_UNKNOWN);
    });
}

RegistrationStatus SipLineService::Registration() const {
    Lock lock(tapisp::ServiceLock());
    return m_registration;
}

std::uint64_t SipLineService::RingPeriodRealMs() const { return RealMs(m_settings.ringPeriodMs); }

std::uint64_t SipLineService::MediaTimeoutRealMs() const { return RealMs(m_settings.mediaTimeoutSeconds * 1000.0); }

// ---- the service lock ----

SipCallRecord* SipLineService::Find(DWORD callId) { return Roster().Find<SipCallRecord>(callId); }

SipCallRecord* SipLineService::FindByKey(std::uint32_t key) {
    SipCallRecord* found = nullptr;
    Roster().ForEachCall([&found, key](lines::LineCall& call) {
        if (static_cast<SipCallRecord&>(call).key == key) found = static_cast<SipCallRecord*>(&call);
    });
    return found;
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
        if (!was) Roster().LineState(0, LINEDEVSTATE_INSERVICE);
        return;  // libre registers again before the binding expires
    }
    m_registration.state = RegistrationStatus::State::kFailed;
    m_registration.failures++;
    m_registration.nextRetryMs =
        RegisterRetryDelayMs(m_settings.registerRetrySeconds * 1000ull, m_registration.failures);
    Roster().LineState(0, LINEDEVSTATE_OUTOFSERVICE);
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
    bool busy = false;
    Roster().ForEachCall([&busy](lines::LineCall& other) {
        busy = busy || (other.state != LINECALLSTATE_IDLE && other.state != LINECALLSTATE_DISCONNECTED);
    });
    if (busy) return 486;
    SipCallRecord& call = Roster().AddCall<SipCallRecord>(0);
    call.key = key;
    call.callerKnown = true;
    call.caller = IdentifyCaller(SipParty{invite.fromDisplay, invite.fromUri},
                                 SipParty{invite.assertedDisplay, invite.assertedUri}, invite.privacy);
    call.offer = offer;
    call.choice = choice;
    call.media = media;
    call.devices = std::move(devices);

    auto loopCall = std::make_unique<LoopCall>();
    loopCall->callId = call.id;
    loopCall->choice = choice;
    loopCall->media = media;
    loopCall->timestamp = std::random_device{}();
    m_loopCalls[key] = std::move(loopCall);

    call.state = LINECALLSTATE_OFFERING;
    call.stateMode = LINEOFFERINGMODE_ACTIVE;
    Roster().Announce(call);
    Ring(key);
    return 0;
}

void SipLineService::Ring(std::uint32_t key) {
    auto it = m_loopCalls.find(key);
    if (it == m_loopCalls.end()) return;
    it->second->ringTimer = 0;
    Lock lock(tapisp::ServiceLock());
    SipCallRecord* call = FindByKey(key);
    if (call == nullptr || !call->Ringing()) return;
    call->rings++;
    Roster().Ring(0, call->rings);
    it->second->ringTimer = m_stack.StartTimer(RingPeriodRealMs(), [this, key] { Ring(key); });
}

void SipLineService::AnswerOnLoop(DWORD callId, DWORD requestId) {
    Lock lock(tapisp::ServiceLock());
    SipCallRecord* call = Find(callId);
    if (call == nullptr) return Roster().Complete(requestId, LINEERR_OPERATIONFAILED);
    auto fail = [this, call] { Roster().CompletePending(call->answerRequest, LINEERR_OPERATIONFAILED); };
    if (call->key == 0 || !call->Ringing()) return fail();
    const std::uint16_t port = m_stack.OpenMedia(call->key, call->offer.address, call->offer.port);
    if (port == 0) return fail();
    const std::string sdp = BuildAnswer(m_stack.LocalAddressFor(call->key), port, call->choice, call->id);
    if (!m_stack.Answer(call->key, sdp)) return fail();
    Roster().CompletePending(call->answerRequest, 0);
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
        if (call == nullptr || !call->Ringing()) return;
        Roster().SetState(*call, LINECALLSTATE_CONNECTED, 0);
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
        Roster().SetState(*call, LINECALLSTATE_DISCONNECTED, LINEDISCONNECTMODE_UNKNOWN);
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
    if (call == nullptr || call->state != LINECALLSTATE_CONNECTED) return;
    Roster().Digit(*call, digit);
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
    Roster().SetState(*call, LINECALLSTATE_DISCONNECTED,
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

LONG SipLineService::StartAnswer(lines::LineCall& line) {
    auto& call = static_cast<SipCallRecord&>(line);
    if (call.answering || call.key == 0) return LINEERR_INVALCALLSTATE;
    call.answering = true;
    m_stack.Post([this, callId = call.id, requestId = call.answerRequest] { AnswerOnLoop(callId, requestId); });
    return 0;
}

void SipLineService::StartDrop(lines::LineCall& line) {
    auto& call = static_cast<SipCallRecord&>(line);
    Roster().CompletePending(call.dropRequest, 0);
    if (call.key != 0) {
        m_stack.Post([this, key = call.key] { HangUpOnLoop(key); });
        call.key = 0;
    }
    call.media->Close();
    Roster().SetState(call, LINECALLSTATE_IDLE, 0);
}

void SipLineService::Release(lines::LineCall& line) {
    auto& call = static_cast<SipCallRecord&>(line);
    if (call.key != 0) m_stack.Post([this, key = call.key] { HangUpOnLoop(key); });
    call.media->Close();
    Roster().EraseCall(call.id);
}

LONG SipLineService::WaveId(DWORD, lines::LineCall* call, bool waveIn, DWORD* id) {
    CallWaveDevices* devices = nullptr;
    if (call != nullptr) {
        devices = static_cast<SipCallRecord*>(call)->devices.get();
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
