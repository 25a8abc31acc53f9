// Our thin layer over libre, the only code that sees its types: libre's
// interface changes between versions, so the line service talks to this.
//
// libre runs its own event loop; the stack runs it on a thread of its own.
// Every event handler below is called on that thread, and every operation
// other than Start, Stop and Post must be called there too (Post hands work
// to it from any thread). Calls are named by keys the stack hands out.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

struct sockaddr;

namespace sipline {

struct InviteInfo {
    std::string fromDisplay;
    std::string fromUri;
    std::string assertedDisplay;  // P-Asserted-Identity, when present
    std::string assertedUri;
    std::string privacy;
    std::string contentType;
    std::string body;
    std::string sourceAddress;
};

struct RtpPacket {
    std::uint8_t payloadType;
    bool marker;
    std::uint16_t sequence;
    std::uint32_t timestamp;
    std::uint32_t ssrc;
    const std::uint8_t* payload;
    std::size_t size;
    const sockaddr* sender;  // valid only while the packet is handled
};

// A registrar's final answer, or error != 0 when none came (status 0).
struct RegistrationAnswer {
    int error = 0;
    std::uint16_t status = 0;
    std::string reason;
    bool Registered() const { return error == 0 && status >= 200 && status < 300; }
};

enum class CallEnd {
    kRemoteHangUp,  // BYE, or CANCEL before the answer
    kFailed,        // a transaction timed out or the dialog broke
};

class SipStackEvents {
public:
    virtual ~SipStackEvents() = default;
    // A new INVITE. Returns 0 to accept it as ringing (the stack answers
    // 180), or the SIP status to refuse it with.
    virtual std::uint16_t OnInvite(std::uint32_t call, const InviteInfo& invite) = 0;
    // The caller acknowledged our answer.
    virtual void OnEstablished(std::uint32_t call) = 0;
    // The call is gone on the SIP side; its key names nothing afterwards.
    virtual void OnClosed(std::uint32_t call, CallEnd end) = 0;
    // A SIP INFO request; returns the status to answer it with.
    virtual std::uint16_t OnInfo(std::uint32_t call, const std::string& contentType, const std::string& body) = 0;
    // A new offer within the call (hold, a moved address); returns the
    // answer, empty to refuse it.
    virtual std::string OnReoffer(std::uint32_t call, const std::string& sdp) = 0;
    virtual void OnRtp(std::uint32_t call, const RtpPacket& packet) = 0;
    // The outcome of a registration attempt or renewal.
    virtual void OnRegistration(const RegistrationAnswer& answer) = 0;
};

struct StackConfig {
    std::string listenAddress = "0.0.0.0";
    std::uint16_t listenPort = 5060;
    std::uint16_t rtpPortMin = 10000;
    std::uint16_t rtpPortMax = 20000;
    std::string contactUser = "vocerra";
    std::string server;  // the registrar, when there is one: requests leave from the address that reaches it
};

struct RegisterConfig {
    std::string server;  // host[:port]
    std::string account;
    std::string password;
    std::string displayName;
    std::uint32_t expires = 600;
    std::uint32_t keepAliveSeconds = 20;  // 0: none

    bool operator==(const RegisterConfig&) const = default;
};

class SipStack {
public:
    SipStack();
    ~SipStack();
    SipStack(const SipStack&) = delete;
    SipStack& operator=(const SipStack&) = delete;

    // Binds the SIP address and starts the loop thread; false, with the
    // reason in *error, when the address cannot be bound.
    bool Start(const StackConfig& config, SipStackEvents* events, std::string* error);
    // Ends every call, removes the registration's binding (waiting a few
    // seconds at most for the registrar) and joins the loop thread. Not from
    // the loop thread, and not while holding a lock its handlers take.
    void Stop();
    void Post(std::function<void()> work);
    // The port SIP listens on.
    std::uint16_t ListenPort() const;

    // ---- on the loop thread only ----
    // Opens the call's RTP socket (once) towards the caller's media address;
    // returns the local port, 0 on failure.
    std::uint16_t OpenMedia(std::uint32_t call, const std::string& remoteAddress, std::uint16_t remotePort);
    // The local address the caller can reach us at.
    std::string LocalAddressFor(std::uint32_t call) const;
    bool Answer(std::uint32_t call, const std::string& sdp);
    // Ends the call: BYE when established, a refusal when still ringing.
    void HangUp(std::uint32_t call);
    // Refuses a call still ringing with the given final status.
    void Refuse(std::uint32_t call, std::uint16_t status);
    void SendRtp(std::uint32_t call, std::uint8_t payloadType, bool marker, std::uint32_t timestamp,
                 const std::uint8_t* payload, std::size_t size);
    // Registers, or tries again with the same registration (renewals follow
    // by themselves while it holds).
    void Register(const RegisterConfig& config);
    // A one-shot timer; returns its id for CancelTimer.
    std::uint64_t StartTimer(std::uint64_t ms, std::function<void()> fire);
    void CancelTimer(std::uint64_t id);

    struct Loop;

private:
    std::unique_ptr<Loop> m_loop;
};

}  // namespace sipline
