#include "lines/sip/sip_stack.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <future>
#include <cstring>
#include <deque>
#include <map>
#include <mutex>
#include <thread>
#include <utility>

#include "lines/sip/sip_register_client.h"
#include "lines/sip/stack_addresses.h"

// libre last: its headers define min and max as macros.
#include <re.h>
#undef min
#undef max

namespace sipline {

namespace {

constexpr char kAllow[] = "Allow: INVITE, ACK, BYE, CANCEL, INFO, OPTIONS\r\n";

std::string Text(const pl& p) { return p.p != nullptr ? std::string(p.p, p.l) : std::string(); }

const char* RefusalReason(std::uint16_t status) {
    switch (status) {
        case 480:
            return "Temporarily Unavailable";
        case 488:
            return "Not Acceptable Here";
        default:
            return "Busy Here";
    }
}

void SplitParty(const pl& value, std::string* display, std::string* uri) {
    sip_addr addr;
    if (sip_addr_decode(&addr, &value) != 0) return;
    *display = Text(addr.dname);
    *uri = Text(addr.auri);
}

}  // namespace

struct CallContext {
    std::uint32_t key = 0;
    SipStack::Loop* loop = nullptr;
    sipsess* session = nullptr;
    struct rtp_sock* rtp = nullptr;
    sa remote{};
    std::string localAddress;
    mbuf* txbuf = nullptr;

    ~CallContext() {
        mem_deref(txbuf);
        mem_deref(rtp);
        mem_deref(session);
    }
};

struct TimerContext {
    SipStack::Loop* loop;
    std::uint64_t id;
    tmr timer;
    std::function<void()> fire;
};

struct SipStack::Loop {
    StackConfig config;
    SipStackEvents* events = nullptr;
    std::thread thread;
    int wakeFd = -1;
    std::mutex postLock;
    std::deque<std::function<void()>> posted;
    std::uint16_t boundPort = 0;

    dnsc* dns = nullptr;
    sip* stack = nullptr;
    sipsess_sock* sessions = nullptr;
    std::unique_ptr<RegisterClient> registration;
    tmr leaveGuard{};
    std::uint32_t nextCall = 1;
    std::map<std::uint32_t, std::unique_ptr<CallContext>> calls;
    std::uint64_t nextTimer = 1;
    std::map<std::uint64_t, std::unique_ptr<TimerContext>> timers;

    CallContext* Find(std::uint32_t key) {
        auto it = calls.find(key);
        return it == calls.end() ? nullptr : it->second.get();
    }

    // Destroys a call's libre objects later: libre does not allow it from
    // inside their own handlers.
    void Discard(std::uint32_t key) {
        auto it = calls.find(key);
        if (it == calls.end()) return;
        std::shared_ptr<CallContext> doomed(it->second.release());
        calls.erase(it);
        Post([doomed] {});
    }

    void Post(std::function<void()> work) {
        {
            std::lock_guard<std::mutex> guard(postLock);
            posted.push_back(std::move(work));
        }
        const std::uint64_t one = 1;
        [[maybe_unused]] ssize_t n = ::write(wakeFd, &one, sizeof one);
    }

    void RunPosted() {
        std::uint64_t count = 0;
        [[maybe_unused]] ssize_t n = ::read(wakeFd, &count, sizeof count);
        std::deque<std::function<void()>> work;
        {
            std::lock_guard<std::mutex> guard(postLock);
            work.swap(posted);
        }
        for (auto& fn : work) fn();
    }

    bool Open(std::string* error);
    void Leave();
    void Close();
};

namespace {

void OnWake(int, void* arg) { static_cast<SipStack::Loop*>(arg)->RunPosted(); }

void OnTimer(void* arg) {
    auto* t = static_cast<TimerContext*>(arg);
    SipStack::Loop* loop = t->loop;
    auto it = loop->timers.find(t->id);
    if (it == loop->timers.end()) return;
    std::unique_ptr<TimerContext> owned = std::move(it->second);
    loop->timers.erase(it);
    owned->fire();
}

void OnRtpPacket(const sa* src, const rtp_header* hdr, mbuf* mb, void* arg) {
    auto* call = static_cast<CallContext*>(arg);
    RtpPacket packet{hdr->pt, hdr->m, hdr->seq, hdr->ts, hdr->ssrc, mbuf_buf(mb), mbuf_get_left(mb), &src->u.sa};
    call->loop->events->OnRtp(call->key, packet);
}

void OnEstablished(const sip_msg*, void* arg) {
    auto* call = static_cast<CallContext*>(arg);
    call->loop->events->OnEstablished(call->key);
}

void OnInfo(struct sip* sip, const sip_msg* msg, void* arg) {
    auto* call = static_cast<CallContext*>(arg);
    std::string type = Text(msg->ctyp.type) + "/" + Text(msg->ctyp.subtype);
    std::string body(reinterpret_cast<const char*>(mbuf_buf(msg->mb)), mbuf_get_left(msg->mb));
    std::uint16_t status = call->loop->events->OnInfo(call->key, type, body);
    sip_reply(sip, msg, status, status < 300 ? "OK" : "Unsupported Media Type");
}

int OnOffer(mbuf** descp, const sip_msg* msg, void* arg) {
    auto* call = static_cast<CallContext*>(arg);
    std::string sdp(reinterpret_cast<const char*>(mbuf_buf(msg->mb)), mbuf_get_left(msg->mb));
    std::string answer = call->loop->events->OnReoffer(call->key, sdp);
    if (answer.empty()) return EPROTO;
    mbuf* mb = mbuf_alloc(answer.size());
    if (mb == nullptr) return ENOMEM;
    mbuf_write_str(mb, answer.c_str());
    mb->pos = 0;
    *descp = mb;
    return 0;
}

int OnAnswer(const sip_msg*, void*) { return 0; }

void OnClose(int err, const sip_msg* msg, void* arg) {
    auto* call = static_cast<CallContext*>(arg);
    SipStack::Loop* loop = call->loop;
    const std::uint32_t key = call->key;
    // A remote BYE or CANCEL arrives as ECONNRESET without a message.
    const bool remote = (err == ECONNRESET && msg == nullptr) || (msg != nullptr && msg->scode == 0);
    loop->Discard(key);
    loop->events->OnClosed(key, remote ? CallEnd::kRemoteHangUp : CallEnd::kFailed);
}

void OnConnect(const sip_msg* msg, void* arg) {
    auto* loop = static_cast<SipStack::Loop*>(arg);
    InviteInfo invite;
    invite.fromDisplay = Text(msg->from.dname);
    invite.fromUri = Text(msg->from.auri);
    if (const sip_hdr* pai = sip_msg_xhdr(msg, "P-Asserted-Identity"))
        SplitParty(pai->val, &invite.assertedDisplay, &invite.assertedUri);
    if (const sip_hdr* privacy = sip_msg_xhdr(msg, "Privacy")) invite.privacy = Text(privacy->val);
    invite.contentType = Text(msg->ctyp.type) + "/" + Text(msg->ctyp.subtype);
    invite.body.assign(reinterpret_cast<const char*>(mbuf_buf(msg->mb)), mbuf_get_left(msg->mb));
    invite.sourceAddress = AddressText(msg->src);

    const std::uint32_t key = loop->nextCall++;
    auto call = std::make_unique<CallContext>();
    call->key = key;
    call->loop = loop;
    call->localAddress = sa_is_any(&msg->dst) || !sa_isset(&msg->dst, SA_ADDR) ? RouteSource(msg->src)
                                                                              : AddressText(msg->dst);
    CallContext* raw = call.get();
    loop->calls[key] = std::move(call);
    const std::uint16_t refuse = loop->events->OnInvite(key, invite);
    if (refuse != 0) {
        loop->calls.erase(key);
        sip_treply(nullptr, loop->stack, msg, refuse, RefusalReason(refuse));
        return;
    }
    int err = sipsess_accept(&raw->session, loop->sessions, msg, 180, "Ringing", loop->config.contactUser.c_str(),
                             "application/sdp", nullptr, nullptr, nullptr, false, OnOffer, OnAnswer, OnEstablished,
                             OnInfo, nullptr, OnClose, raw, kAllow);
    if (err != 0) {
        loop->Discard(key);
        loop->events->OnClosed(key, CallEnd::kFailed);
    }
}

// How long a stop waits for the registrar to confirm the binding's removal.
constexpr std::uint64_t kLeaveWaitMs = 3000;

void OnLeft(void*) { re_cancel(); }

std::once_flag g_libreInit;

}  // namespace

bool SipStack::Loop::Open(std::string* error) {
    auto fail = [error](const char* what, int err) {
        *error = std::string(what) + ": " + std::strerror(err);
        return false;
    };
    tmr_init(&leaveGuard);
    int err = fd_listen(wakeFd, FD_READ, OnWake, this);
    if (err != 0) return fail("wake-up", err);
    sa nameservers[4];
    std::uint32_t count = 4;
    char domain[64] = "";
    if (dns_srv_get(domain, sizeof domain, nameservers, &count) == 0 && count > 0)
        (void)dnsc_alloc(&dns, nullptr, nameservers, count);
    err = sip_alloc(&stack, dns, 32, 32, 32, "Vocerra", nullptr, nullptr);
    if (err != 0) return fail("SIP stack", err);
    // libre binds to given addresses only: an unspecified one stands for
    // every address the machine has.
    const std::vector<std::string> addresses = ListenAddresses(config.listenAddress, config.server);
    if (addresses.empty()) return fail("listening address", EADDRNOTAVAIL);
    for (const std::string& address : addresses) {
        sa local;
        err = sa_set_str(&local, address.c_str(), config.listenPort);
        if (err != 0) return fail("listening address", err);
        err = sip_transp_add(stack, SIP_TRANSP_UDP, &local);
        if (err != 0) return fail("SIP over UDP", err);
        (void)sip_transp_add(stack, SIP_TRANSP_TCP, &local);  // UDP alone will do
    }
    boundPort = config.listenPort;
    err = sipsess_listen(&sessions, stack, 32, OnConnect, this);
    if (err != 0) return fail("SIP sessions", err);
    return true;
}

// A provider would otherwise go on sending calls to a program that is gone.
void SipStack::Loop::Leave() {
    if (!registration) return re_cancel();
    tmr_start(&leaveGuard, kLeaveWaitMs, OnLeft, nullptr);
    registration->Unregister([this] {
        tmr_cancel(&leaveGuard);
        re_cancel();
    });
}

void SipStack::Loop::Close() {
    tmr_cancel(&leaveGuard);
    for (auto& entry : timers) tmr_cancel(&entry.second->timer);
    timers.clear();
    posted.clear();  // may hold calls being discarded
    calls.clear();
    registration.reset();
    sessions = static_cast<sipsess_sock*>(mem_deref(sessions));
    if (stack != nullptr) sip_close(stack, true);
    stack = static_cast<sip*>(mem_deref(stack));
    dns = static_cast<dnsc*>(mem_deref(dns));
    fd_close(wakeFd);
}

SipStack::SipStack() = default;

SipStack::~SipStack() { Stop(); }

bool SipStack::Start(const StackConfig& config, SipStackEvents* events, std::string* error) {
    std::call_once(g_libreInit, [] { (void)libre_init(); });
    auto loop = std::make_unique<Loop>();
    loop->config = config;
    loop->events = events;
    loop->wakeFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (loop->wakeFd < 0) {
        *error = "eventfd failed";
        return false;
    }
    // The promise, not a local condition variable: the thread may still be
    // signalling when this function has returned.
    auto opened = std::make_shared<std::promise<bool>>();
    std::future<bool> result = opened->get_future();
    Loop* raw = loop.get();
    loop->thread = std::thread([raw, opened, error] {
        re_thread_init();
        const bool ok = raw->Open(error);
        opened->set_value(ok);
        if (ok) re_main(nullptr);
        raw->Close();
        re_thread_close();
    });
    const bool ok = result.get();
    if (!ok) {
        loop->thread.join();
        ::close(loop->wakeFd);
        return false;
    }
    m_loop = std::move(loop);
    return true;
}

void SipStack::Stop() {
    if (!m_loop) return;
    m_loop->Post([loop = m_loop.get()] { loop->Leave(); });
    m_loop->thread.join();
    ::close(m_loop->wakeFd);
    m_loop.reset();
}

void SipStack::Post(std::function<void()> work) {
    if (m_loop) m_loop->Post(std::move(work));
}

std::uint16_t SipStack::ListenPort() const { return m_loop ? m_loop->boundPort : 0; }

std::uint16_t SipStack::OpenMedia(std::uint32_t key, const std::string& remoteAddress, std::uint16_t remotePort) {
    CallContext* call = m_loop->Find(key);
    if (call == nullptr) return 0;
    if (sa_set_str(&call->remote, remoteAddress.c_str(), remotePort) != 0) return 0;
    if (call->rtp == nullptr) {
        sa local;
        if (sa_set_str(&local, m_loop->config.listenAddress.c_str(), 0) != 0) return 0;
        if (rtp_listen(&call->rtp, IPPROTO_UDP, &local, m_loop->config.rtpPortMin, m_loop->config.rtpPortMax, false,
                       OnRtpPacket, nullptr, call) != 0)
            return 0;
        call->txbuf = mbuf_alloc(RTP_HEADER_SIZE + 512);
    }
    return sa_port(rtp_local(call->rtp));
}

std::string SipStack::LocalAddressFor(std::uint32_t key) const {
    CallContext* call = m_loop->Find(key);
    if (call == nullptr) return {};
    return call->localAddress;
}

bool SipStack::Answer(std::uint32_t key, const std::string& sdp) {
    CallContext* call = m_loop->Find(key);
    if (call == nullptr || call->session == nullptr) return false;
    mbuf* mb = mbuf_alloc(sdp.size());
    if (mb == nullptr) return false;
    mbuf_write_str(mb, sdp.c_str());
    mb->pos = 0;
    int err = sipsess_answer(call->session, 200, "OK", mb, kAllow);
    mem_deref(mb);
    return err == 0;
}

void SipStack::HangUp(std::uint32_t key) {
    // Destroying the session sends BYE, or refuses a call still ringing.
    m_loop->Discard(key);
}

void SipStack::Refuse(std::uint32_t key, std::uint16_t status) {
    CallContext* call = m_loop->Find(key);
    if (call == nullptr) return;
    // Answered, the session no longer takes a refusal; discarding it then
    // ends it as HangUp does.
    if (call->session != nullptr) (void)sipsess_reject(call->session, status, RefusalReason(status), nullptr);
    m_loop->Discard(key);
}

void SipStack::SendRtp(std::uint32_t key, std::uint8_t payloadType, bool marker, std::uint32_t timestamp,
                       const std::uint8_t* payload, std::size_t size) {
    CallContext* call = m_loop->Find(key);
    if (call == nullptr || call->rtp == nullptr || call->txbuf == nullptr) return;
    mbuf* mb = call->txbuf;
    mb->pos = RTP_HEADER_SIZE;
    mb->end = RTP_HEADER_SIZE;
    if (mbuf_write_mem(mb, payload, size) != 0) return;
    mb->pos = RTP_HEADER_SIZE;
    (void)rtp_send(call->rtp, &call->remote, false, marker, payloadType, timestamp, mb);
}

void SipStack::Register(const RegisterConfig& config) {
    Loop& loop = *m_loop;
    if (!loop.registration || loop.registration->Config() != config) {
        loop.registration = std::make_unique<RegisterClient>(
            loop.stack, config, [&loop](const RegistrationAnswer& answer) { loop.events->OnRegistration(answer); });
    }
    loop.registration->Send();
}

std::uint64_t SipStack::StartTimer(std::uint64_t ms, std::function<void()> fire) {
    Loop& loop = *m_loop;
    auto t = std::make_unique<TimerContext>();
    t->loop = &loop;
    t->id = loop.nextTimer++;
    t->fire = std::move(fire);
    tmr_init(&t->timer);
    tmr_start(&t->timer, ms, OnTimer, t.get());
    const std::uint64_t id = t->id;
    loop.timers[id] = std::move(t);
    return id;
}

void SipStack::CancelTimer(std::uint64_t id) {
    auto it = m_loop->timers.find(id);
    if (it == m_loop->timers.end()) return;
    tmr_cancel(&it->second->timer);
    m_loop->timers.erase(it);
}

}  // namespace sipline
