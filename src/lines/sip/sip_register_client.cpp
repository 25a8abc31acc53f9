#include "lines/sip/sip_register_client.h"

#include <cerrno>
#include <string>
#include <utility>

#include "lines/sip/stack_addresses.h"

// libre last: its headers define min and max as macros.
#include <re.h>
#undef min
#undef max

namespace sipline {

namespace {

// A keep-alive still unanswered after this long has failed (its transaction
// would go on resending for half a minute).
constexpr std::uint64_t kKeepAlivePatienceMs = 8000;
// Challenges one attempt answers: the first, and a registrar's "stale"
// ones after it; more is a registrar going round in circles.
constexpr unsigned kMaxChallenges = 3;

std::string Text(const pl& p) { return p.p != nullptr ? std::string(p.p, p.l) : std::string(); }

// Where the registrar saw the request come from, as its Via says; empty
// when it does not say.
std::string SeenAt(const sip_msg& msg) {
    pl received{};
    pl rport{};
    const bool hasAddress = msg_param_decode(&msg.via.params, "received", &received) == 0;
    const bool hasPort = msg_param_decode(&msg.via.params, "rport", &rport) == 0 && rport.l > 0;
    if (!hasAddress && !hasPort) return {};
    return Text(received) + ":" + Text(rport);
}

struct ContactMatch {
    const std::string* uri;
    bool found = false;
    std::uint32_t seconds = 0;
};

bool MatchContact(const sip_hdr* hdr, const sip_msg*, void* arg) {
    auto* match = static_cast<ContactMatch*>(arg);
    sip_addr contact;
    if (sip_addr_decode(&contact, &hdr->val) != 0 || Text(contact.auri) != *match->uri) return false;
    pl expires;
    if (msg_param_decode(&contact.params, "expires", &expires) != 0) return false;
    match->found = true;
    match->seconds = pl_u32(&expires);
    return true;
}

}  // namespace

struct RegisterClient::State {
    sip* stack = nullptr;
    RegisterConfig config;
    Report report;
    sip_dialog* dialog = nullptr;
    sip_auth* auth = nullptr;
    struct sip_request* request = nullptr;  // the REGISTER waiting for its answer
    struct sip_request* ping = nullptr;     // the keep-alive waiting for its answer
    tmr renew{};
    tmr keepAlive{};
    std::uint64_t pingSentAt = 0;
    std::uint32_t expires = 0;  // asked for; 0 while removing the binding
    unsigned challenges = 0;    // answered in this attempt
    bool registered = false;
    bool removing = false;
    std::function<void()> removed;
    std::string contactUri;  // as last sent
    std::string seenAt;      // where the registrar saw the last granted REGISTER come from

    ~State() {
        tmr_cancel(&renew);
        tmr_cancel(&keepAlive);
        // A request still on its way finishes without calling back.
        mem_deref(ping);
        mem_deref(request);
        mem_deref(auth);
        mem_deref(dialog);
    }

    bool NewDialog();
    int SendRegister();
    void OnAnswer(int err, const sip_msg* msg);
    bool AnswerChallenge(const sip_msg& msg);
    bool AskLonger(const sip_msg& msg);
    void Granted(const sip_msg& msg);
    void Failed(const RegistrationAnswer& answer);
    void Removed();
    void StartAttempt();
    void StopKeepAlive();
    void KeepAlive();
    void OnPingAnswer(int err, const sip_msg* msg);
};

namespace {

int OnCredentials(char** user, char** password, const char*, void* arg) {
    auto* state = static_cast<RegisterClient::State*>(arg);
    int err = str_dup(user, state->config.account.c_str());
    return err != 0 ? err : str_dup(password, state->config.password.c_str());
}

int OnSend(enum sip_transp tp, const sa* src, const sa* dst, mbuf* mb, void* arg) {
    auto* state = static_cast<RegisterClient::State*>(arg);
    sa contact = *src;
    // Bound to every address: name the one the registrar is reached from.
    if (sa_is_any(src) && sa_set_str(&contact, RouteSource(*dst).c_str(), sa_port(src)) != 0) contact = *src;
    char hostPort[80] = "";
    re_snprintf(hostPort, sizeof hostPort, "%J", &contact);
    state->contactUri = "sip:" + state->config.account + "@" + hostPort + sip_transp_param(tp);
    return mbuf_printf(mb, "Contact: <%s>;expires=%u\r\n", state->contactUri.c_str(), state->expires);
}

void OnRegisterAnswer(int err, const sip_msg* msg, void* arg) {
    static_cast<RegisterClient::State*>(arg)->OnAnswer(err, msg);
}

void OnRenew(void* arg) { static_cast<RegisterClient::State*>(arg)->StartAttempt(); }

void OnKeepAlive(void* arg) { static_cast<RegisterClient::State*>(arg)->KeepAlive(); }

void OnPing(int err, const sip_msg* msg, void* arg) {
    static_cast<RegisterClient::State*>(arg)->OnPingAnswer(err, msg);
}

}  // namespace

// A fresh Call-ID for an attempt after a failure; renewals, and the removal,
// keep the one of the binding they renew.
bool RegisterClient::State::NewDialog() {
    dialog = static_cast<sip_dialog*>(mem_deref(dialog));
    const std::string registrar = "sip:" + config.server;
    const std::string aor = "sip:" + config.account + "@" + config.server;
    return sip_dialog_alloc(&dialog, registrar.c_str(), aor.c_str(),
                            config.displayName.empty() ? nullptr : config.displayName.c_str(), aor.c_str(), nullptr,
                            0) == 0;
}

int RegisterClient::State::SendRegister() {
    return sip_drequestf(&request, stack, true, "REGISTER", dialog, 0, auth, OnSend, OnRegisterAnswer, this,
                         "Expires: %u\r\nContent-Length: 0\r\n\r\n", expires);
}

void RegisterClient::State::StartAttempt() {
    tmr_cancel(&renew);
    StopKeepAlive();
    request = static_cast<struct sip_request*>(mem_deref(request));
    challenges = 0;
    expires = config.expires;
    const int err = SendRegister();
    if (err != 0) Failed({err, 0, {}});
}

void RegisterClient::State::OnAnswer(int err, const sip_msg* msg) {
    if (err != 0 || msg == nullptr) return Failed({err != 0 ? err : ETIMEDOUT, 0, {}});
    if (msg->scode < 200) return;
    if (msg->scode < 300) return Granted(*msg);
    if ((msg->scode == 401 || msg->scode == 407) && AnswerChallenge(*msg)) return;
    if (msg->scode == 423 && AskLonger(*msg)) return;
    Failed({0, msg->scode, Text(msg->reason)});
}

bool RegisterClient::State::AnswerChallenge(const sip_msg& msg) {
    if (challenges >= kMaxChallenges) return false;
    // The first challenge of an attempt asks for the password once; after
    // it, the stack answers only a challenge that calls our answer stale.
    if (challenges == 0) sip_auth_reset(auth);
    challenges++;
    return sip_auth_authenticate(auth, &msg) == 0 && SendRegister() == 0;
}

bool RegisterClient::State::AskLonger(const sip_msg& msg) {
    const sip_hdr* least = sip_msg_hdr(&msg, SIP_HDR_MIN_EXPIRES);
    const std::uint32_t seconds = least != nullptr ? pl_u32(&least->val) : 0;
    if (expires == 0 || seconds <= expires) return false;
    expires = seconds;
    return SendRegister() == 0;
}

void RegisterClient::State::Granted(const sip_msg& msg) {
    if (removing) return Removed();
    ContactMatch match{&contactUri};
    sip_msg_hdr_apply(&msg, true, SIP_HDR_CONTACT, MatchContact, &match);
    std::uint32_t granted = match.found ? match.seconds : pl_isset(&msg.expires) ? pl_u32(&msg.expires) : expires;
    if (granted == 0) granted = expires;
    registered = true;
    seenAt = SeenAt(msg);
    // Renewed when nine tenths of the binding's time have passed.
    tmr_start(&renew, granted * 900ull, OnRenew, this);
    if (config.keepAliveSeconds > 0) tmr_start(&keepAlive, config.keepAliveSeconds * 1000ull, OnKeepAlive, this);
    report({0, msg.scode, Text(msg.reason)});
}

void RegisterClient::State::Failed(const RegistrationAnswer& answer) {
    registered = false;
    tmr_cancel(&renew);
    StopKeepAlive();
    // The next attempt starts without these credentials, so that a wrong
    // password costs one REGISTER with credentials per attempt.
    sip_auth_reset(auth);
    if (removing) return Removed();
    report(answer);
}

void RegisterClient::State::Removed() {
    removing = false;
    registered = false;
    std::function<void()> done = std::move(removed);
    removed = nullptr;
    if (done) done();
}

void RegisterClient::State::StopKeepAlive() {
    tmr_cancel(&keepAlive);
    ping = static_cast<struct sip_request*>(mem_deref(ping));
}

void RegisterClient::State::KeepAlive() {
    tmr_start(&keepAlive, config.keepAliveSeconds * 1000ull, OnKeepAlive, this);
    if (request != nullptr) return;  // a REGISTER is on its way
    if (ping != nullptr) {
        if (tmr_jiffies() - pingSentAt >= kKeepAlivePatienceMs) StartAttempt();
        return;
    }
    pingSentAt = tmr_jiffies();
    if (sip_drequestf(&ping, stack, true, "OPTIONS", dialog, 0, nullptr, nullptr, OnPing, this,
                      "Content-Length: 0\r\n\r\n") != 0)
        StartAttempt();
}

void RegisterClient::State::OnPingAnswer(int err, const sip_msg* msg) {
    if (msg != nullptr && msg->scode < 200) return;
    // Any answer will do, but from the address the binding names: a router
    // that gave us a new mapping has left the registrar's binding deaf.
    const std::string seen = msg != nullptr ? SeenAt(*msg) : std::string();
    if (err != 0 || msg == nullptr || (!seen.empty() && !seenAt.empty() && seen != seenAt)) StartAttempt();
}

RegisterClient::RegisterClient(sip* stack, const RegisterConfig& config, Report report)
    : m_state(std::make_unique<State>()) {
    State& s = *m_state;
    s.stack = stack;
    s.config = config;
    s.report = std::move(report);
    tmr_init(&s.renew);
    tmr_init(&s.keepAlive);
    (void)sip_auth_alloc(&s.auth, OnCredentials, &s, false);
}

RegisterClient::~RegisterClient() = default;

const RegisterConfig& RegisterClient::Config() const { return m_state->config; }

void RegisterClient::Send() {
    State& s = *m_state;
    if ((!s.registered && !s.NewDialog()) || s.auth == nullptr) return s.Failed({ENOMEM, 0, {}});
    s.StartAttempt();
}

void RegisterClient::Unregister(std::function<void()> done) {
    State& s = *m_state;
    tmr_cancel(&s.renew);
    s.StopKeepAlive();
    // A REGISTER on its way may still make a binding: its removal follows it.
    const bool pending = s.request != nullptr;
    s.request = static_cast<struct sip_request*>(mem_deref(s.request));
    if (!s.registered && !pending) {
        done();
        return;
    }
    // Credentials of an attempt not yet answered may be the wrong ones.
    if (!s.registered) sip_auth_reset(s.auth);
    s.removing = true;
    s.removed = std::move(done);
    s.challenges = 0;
    s.expires = 0;
    if (s.SendRegister() != 0) s.Removed();
}

}  // namespace sipline
