// The SIP line service: one line device behind the telephony line
// functions whose calls come in over SIP, registered at a provider's
// registrar or received straight at the listening address.
//
// An INVITE the line can take (PCMU or PCMA offered) becomes an offered call
// (a refusal with 488 otherwise, 486 while a call is up, 480 at once while
// nobody has the line open) and rings at once and then every ring period
// (scaled time), so ring counting and the toll saver work as on a modem; a
// call nobody answers is refused after a cap of rings. Answering sends 200
// with our answer; the call is CONNECTED when the caller acknowledges it.
// Media is taken only from the caller (see media_source.h). Touch tones
// arrive as RFC 4733 events or SIP INFO and are reported once per press. A
// BYE, a CANCEL while ringing, or no media for the media time-out (scaled)
// makes the call DISCONNECTED; dropping it sends BYE (or refuses it while it
// rings) and makes it IDLE. A call's wave devices are made when first asked
// for and freed with its record.
//
// Events come from the SIP loop thread, which reports them under the service
// lock like every line service; the API layer posts them on to the
// application's thread. Provider operations never wait for the loop.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include "lines/base/line_service_base.h"
#include "lines/sip/registration_status.h"
#include "lines/sip/sip_settings.h"
#include "lines/sip/sip_stack.h"

namespace sipline {

struct SipCallRecord;
struct LoopCall;
struct MediaAddress;
struct MediaOffer;
class CallWaveDevices;

class SipLineService final : public lines::LineServiceBase, private SipStackEvents {
public:
    explicit SipLineService(SipSettings settings, std::string lineName = "SIP Line");
    ~SipLineService() override;

    // Binds the listening address and, with a registrar set, registers.
    bool Start(std::string* error);
    // Ends calls and registration. Not while holding the service lock.
    void Stop();

    std::uint16_t ListenPort() const { return m_stack.ListenPort(); }
    RegistrationStatus Registration() const;
    // Told every change of the registration, on the SIP loop thread. Set
    // before Start.
    void OnRegistrationChange(std::function<void(const RegistrationStatus&)> listener) {
        m_registrationListener = std::move(listener);
    }

private:
    // SipStackEvents (loop thread)
    std::uint16_t OnInvite(std::uint32_t key, const InviteInfo& invite) override;
    void OnEstablished(std::uint32_t key) override;
    void OnClosed(std::uint32_t key, CallEnd end) override;
    std::uint16_t OnInfo(std::uint32_t key, const std::string& contentType, const std::string& body) override;
    std::string OnReoffer(std::uint32_t key, const std::string& sdp) override;
    void OnRtp(std::uint32_t key, const RtpPacket& packet) override;
    void OnRegistration(const RegistrationAnswer& answer) override;

    // Loop thread.
    void RegisterNow();
    void TellRegistration();
    void AnswerOnLoop(DWORD callId, DWORD requestId);
    void HangUpOnLoop(std::uint32_t key);
    void ForgetLoopCall(std::uint32_t key);
    void Ring(std::uint32_t key);
    void SendPacket(std::uint32_t key);
    void CheckMedia(std::uint32_t key);
    void ReportDigit(std::uint32_t key, char digit);
    std::uint64_t RingPeriodRealMs() const;
    std::uint64_t MediaTimeoutRealMs() const;
    // Media only from the caller; a caller behind NAT latched on.
    bool FromCaller(std::uint32_t key, LoopCall& call, const RtpPacket& packet);
    void DescribeCallerMedia(std::uint32_t key, const MediaOffer& offer);
    void SendMediaTo(std::uint32_t key, const MediaAddress& to);

    // Under the service lock.
    LONG StartAnswer(lines::LineCall& call) override;
    void StartDrop(lines::LineCall& call) override;
    void Release(lines::LineCall& call) override;
    LONG WaveId(DWORD deviceId, lines::LineCall* call, bool waveIn, DWORD* id) override;
    SipCallRecord* Find(DWORD callId);
    SipCallRecord* FindByKey(std::uint32_t key);
    // Why a new call cannot ring now (480: nobody has the line open; 486:
    // a call is up), 0 when it can.
    std::uint16_t Refusal();
    // Refuses a call that has rung too long (the loop thread too).
    void StopRinging(SipCallRecord& call);
    // The SIP side of the call is gone.
    void Disconnected(SipCallRecord& call, DWORD mode);

    const SipSettings m_settings;
    SipStack m_stack;
    bool m_started = false;

    // Under the service lock.
    std::unique_ptr<CallWaveDevices> m_lineDevices;
    RegistrationStatus m_registration;

    // Loop thread only.
    std::function<void(const RegistrationStatus&)> m_registrationListener;
    std::map<std::uint32_t, std::unique_ptr<LoopCall>> m_loopCalls;
    std::uint64_t m_retryTimer = 0;
};

}  // namespace sipline
