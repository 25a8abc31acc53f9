// Which packets of a call's media are the caller's.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>

#include "lines/sip/media_source.h"

namespace sipline {
namespace {

using Verdict = MediaSourceGate::Verdict;

MediaAddress At(const char* address, std::uint16_t port) { return ParseMediaAddress(address, port); }

TEST(MediaSource, APublicCallerIsHeardOnlyFromItsOwnHostAndOnceHeardOnlyFromItsPort) {
    MediaSourceGate gate;
    gate.Describe(At("203.0.113.5", 4000));
    EXPECT_EQ(gate.Take(At("198.51.100.9", 4000)), Verdict::kDrop) << "another host, even first";
    EXPECT_EQ(gate.Take(At("203.0.113.5", 4100)), Verdict::kTakeNewSource) << "its host, another port";
    EXPECT_EQ(gate.Take(At("203.0.113.5", 4200)), Verdict::kDrop);
    EXPECT_EQ(gate.Take(At("203.0.113.5", 4000)), Verdict::kTakeNewSource) << "the described port wins";
    EXPECT_EQ(gate.Take(At("203.0.113.5", 4100)), Verdict::kDrop);
    EXPECT_EQ(gate.Destination(), At("203.0.113.5", 4000));
}

TEST(MediaSource, ACallerBehindNatIsLatchedAndAnsweredWhereItsPacketsComeFrom) {
    MediaSourceGate gate;
    gate.Describe(At("192.168.1.20", 4000));
    EXPECT_EQ(gate.Take(At("198.51.100.7", 61000)), Verdict::kTakeNewSource);
    EXPECT_EQ(gate.Take(At("198.51.100.7", 61000)), Verdict::kTake);
    EXPECT_EQ(gate.Take(At("203.0.113.66", 61000)), Verdict::kDrop) << "nobody after the first";
    EXPECT_EQ(gate.Destination(), At("198.51.100.7", 61000));
    // Holding (0.0.0.0) and the same address again keep the source; a new one is heard anew.
    gate.Describe(At("0.0.0.0", 4000));
    gate.Describe(At("192.168.1.20", 4000));
    EXPECT_EQ(gate.Take(At("203.0.113.66", 61000)), Verdict::kDrop);
    gate.Describe(At("192.168.1.20", 4002));
    EXPECT_EQ(gate.Take(At("203.0.113.66", 61000)), Verdict::kTakeNewSource);
    // A description without a numeric address: the first source too.
    MediaSourceGate named;
    named.Describe(At("phone.example.net", 4000));
    EXPECT_EQ(named.Take(At("203.0.113.66", 61000)), Verdict::kTakeNewSource);
}

TEST(MediaSource, AddressesOfBothFamiliesAndWhichAreUnreachable) {
    sockaddr_in6 mapped{};
    mapped.sin6_family = AF_INET6;
    mapped.sin6_port = htons(4000);
    inet_pton(AF_INET6, "::ffff:203.0.113.5", &mapped.sin6_addr);
    EXPECT_EQ(SenderAddress(reinterpret_cast<const sockaddr*>(&mapped)), At("203.0.113.5", 4000));
    EXPECT_EQ(MediaAddressText(At("2001:db8::1", 1)), "2001:db8::1");
    for (const char* unreachable : {"10.1.2.3", "172.31.0.1", "192.168.0.1", "100.64.0.1", "169.254.1.1", "0.0.0.0",
                                    "fd00::1", "fe80::1", "::", "not-an-address"})
        EXPECT_TRUE(IsUnreachable(At(unreachable, 1))) << unreachable;
    for (const char* reachable : {"172.32.0.1", "100.128.0.1", "203.0.113.5", "127.0.0.1", "2001:db8::1"})
        EXPECT_FALSE(IsUnreachable(At(reachable, 1))) << reachable;
}

}  // namespace
}  // namespace sipline
