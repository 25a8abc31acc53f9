// Network addresses as the stack needs them in text (loop thread; libre's
// address type).
#pragma once

#include <string>
#include <vector>

struct sa;

namespace sipline {

// "address" without the port; empty when it cannot be printed.
std::string AddressText(const struct sa& address);
// The address of ours a packet to remote leaves from.
std::string RouteSource(const struct sa& remote);

// The addresses to bind SIP to for a configured listening address: that
// one, or for an unspecified one ("0.0.0.0", "::") every address of that
// family on an interface that is up. The stack sends its own requests from
// the first: the one that reaches the server (host[:port][;params]) when it
// is an address, else one that is not a loopback address.
std::vector<std::string> ListenAddresses(const std::string& configured, const std::string& server);

}  // namespace sipline
