// Where a call's media may come from. Anyone who reaches a call's RTP port
// could otherwise speak into the recording, press keys in the retrieval
// menu, or keep a call whose caller is gone alive past the media time-out.
//
// The caller's session description names its address. Packets from exactly
// that address are the caller's, and once one has come no other source is
// heard. Until then one other source may be taken, the first one seen:
//   - when the described address is one no packet can come from as given
//     (a private or link-local address behind a router's NAT, none, or a
//     name), from any address: the router's public one is not known;
//   - otherwise only from the described host (a router that moved the port,
//     or a phone that sends from another port than it receives on).
// Replies go where the caller said, except that a caller behind NAT is
// answered where its packets come from: its private address is unreachable.
#pragma once

#include <array>
#include <cstdint>
#include <string>

struct sockaddr;

namespace sipline {

struct MediaAddress {
    int family = 0;  // AF_INET or AF_INET6; 0: none, or not an address
    std::array<std::uint8_t, 16> bytes{};
    std::uint16_t port = 0;

    bool operator==(const MediaAddress&) const = default;
    bool SameHost(const MediaAddress& other) const { return family == other.family && bytes == other.bytes; }
};

// An address as written in a session description, with its port; family 0
// when it is not a numeric address.
MediaAddress ParseMediaAddress(const std::string& text, std::uint16_t port);
// A packet's sender (IPv4 or IPv6); family 0 for anything else.
MediaAddress SenderAddress(const sockaddr* sender);
// The numeric text of an address (no port).
std::string MediaAddressText(const MediaAddress& address);
// 0.0.0.0 or ::, as a caller on hold may describe itself.
bool IsUnspecified(const MediaAddress& address);
// Private, shared (carrier NAT), link-local or unique-local, unspecified,
// or no address at all: nothing a packet from the internet comes from.
bool IsUnreachable(const MediaAddress& address);

class MediaSourceGate {
public:
    enum class Verdict { kDrop, kTake, kTakeNewSource };

    // The caller's address from an offer. A new address is heard anew; the
    // same one again, or none (a caller holding the call), keeps the source
    // already taken.
    void Describe(const MediaAddress& described);
    // Whether a packet from sender is the caller's; kTakeNewSource when the
    // source taken has just changed (Destination may then have too).
    Verdict Take(const MediaAddress& sender);
    // Where the caller is to be sent our media.
    const MediaAddress& Destination() const;

private:
    enum class Heard { kNothing, kLatched, kDescribed };
    bool MayLatch(const MediaAddress& sender) const;

    MediaAddress m_described;
    MediaAddress m_source;
    Heard m_heard = Heard::kNothing;
};

}  // namespace sipline
