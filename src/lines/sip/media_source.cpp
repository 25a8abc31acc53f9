#include "lines/sip/media_source.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <cstring>

namespace sipline {

namespace {

MediaAddress V4(const void* bytes, std::uint16_t port) {
    MediaAddress a;
    a.family = AF_INET;
    std::memcpy(a.bytes.data(), bytes, 4);
    a.port = port;
    return a;
}

bool V4Unreachable(const std::uint8_t* b) {
    return b[0] == 0 || b[0] == 10 || (b[0] == 100 && (b[1] & 0xC0) == 64) || (b[0] == 169 && b[1] == 254) ||
           (b[0] == 172 && (b[1] & 0xF0) == 16) || (b[0] == 192 && b[1] == 168);
}

}  // namespace

MediaAddress ParseMediaAddress(const std::string& text, std::uint16_t port) {
    MediaAddress a;
    if (inet_pton(AF_INET, text.c_str(), a.bytes.data()) == 1) return V4(a.bytes.data(), port);
    if (inet_pton(AF_INET6, text.c_str(), a.bytes.data()) == 1) {
        a.family = AF_INET6;
        a.port = port;
        return a;
    }
    return {};
}

MediaAddress SenderAddress(const sockaddr* sender) {
    if (sender == nullptr) return {};
    if (sender->sa_family == AF_INET) {
        const auto* in = reinterpret_cast<const sockaddr_in*>(sender);
        return V4(&in->sin_addr, ntohs(in->sin_port));
    }
    if (sender->sa_family != AF_INET6) return {};
    const auto* in6 = reinterpret_cast<const sockaddr_in6*>(sender);
    // An IPv4 caller reaching a socket that takes both families.
    if (IN6_IS_ADDR_V4MAPPED(&in6->sin6_addr)) return V4(in6->sin6_addr.s6_addr + 12, ntohs(in6->sin6_port));
    MediaAddress a;
    a.family = AF_INET6;
    std::memcpy(a.bytes.data(), in6->sin6_addr.s6_addr, 16);
    a.port = ntohs(in6->sin6_port);
    return a;
}

std::string MediaAddressText(const MediaAddress& address) {
    char text[INET6_ADDRSTRLEN] = "";
    if (address.family == 0 || inet_ntop(address.family, address.bytes.data(), text, sizeof text) == nullptr)
        return {};
    return text;
}

bool IsUnspecified(const MediaAddress& address) {
    if (address.family == 0) return false;
    const std::size_t size = address.family == AF_INET ? 4 : 16;
    for (std::size_t i = 0; i < size; i++)
        if (address.bytes[i] != 0) return false;
    return true;
}

bool IsUnreachable(const MediaAddress& address) {
    const std::uint8_t* b = address.bytes.data();
    if (address.family == AF_INET) return V4Unreachable(b);
    if (address.family != AF_INET6) return true;
    return IsUnspecified(address) || (b[0] & 0xFE) == 0xFC || (b[0] == 0xFE && (b[1] & 0xC0) == 0x80);
}

void MediaSourceGate::Describe(const MediaAddress& described) {
    if (described == m_described) return;
    if (IsUnspecified(described) && m_heard != Heard::kNothing) return;
    m_described = described;
    m_source = {};
    m_heard = Heard::kNothing;
}

MediaSourceGate::Verdict MediaSourceGate::Take(const MediaAddress& sender) {
    if (sender.family == 0) return Verdict::kDrop;
    if (sender == m_described) {
        if (m_heard == Heard::kDescribed) return Verdict::kTake;
        m_heard = Heard::kDescribed;
        m_source = sender;
        return Verdict::kTakeNewSource;
    }
    switch (m_heard) {
        case Heard::kDescribed:
            return Verdict::kDrop;
        case Heard::kLatched:
            return sender == m_source ? Verdict::kTake : Verdict::kDrop;
        case Heard::kNothing:
            break;
    }
    if (!MayLatch(sender)) return Verdict::kDrop;
    m_heard = Heard::kLatched;
    m_source = sender;
    return Verdict::kTakeNewSource;
}

bool MediaSourceGate::MayLatch(const MediaAddress& sender) const {
    return IsUnreachable(m_described) || sender.SameHost(m_described);
}

const MediaAddress& MediaSourceGate::Destination() const {
    return m_heard == Heard::kLatched && IsUnreachable(m_described) ? m_source : m_described;
}

}  // namespace sipline
