#include "lines/sip/stack_addresses.h"

#include <ifaddrs.h>
#include <net/if.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>

// libre last: its headers define min and max as macros.
#include <re.h>
#undef min
#undef max

namespace sipline {

std::string AddressText(const sa& address) {
    char buf[64] = "";
    if (sa_ntop(&address, buf, sizeof buf) != 0) return {};
    return buf;
}

std::string RouteSource(const sa& remote) {
    int fd = ::socket(sa_af(&remote), SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return {};
    std::string out;
    if (::connect(fd, &remote.u.sa, remote.len) == 0) {
        sa local;
        sa_init(&local, sa_af(&remote));
        local.len = sizeof local.u;
        if (::getsockname(fd, &local.u.sa, &local.len) == 0) out = AddressText(local);
    }
    ::close(fd);
    return out;
}

namespace {

// The host of "host[:port][;params]" ("[v6]" without its brackets).
std::string HostOf(const std::string& server) {
    const std::string hostPort = server.substr(0, server.find(';'));
    if (!hostPort.empty() && hostPort[0] == '[') return hostPort.substr(1, hostPort.find(']') - 1);
    return hostPort.find(':') == hostPort.rfind(':') ? hostPort.substr(0, hostPort.find(':')) : hostPort;
}

}  // namespace

std::vector<std::string> ListenAddresses(const std::string& configured, const std::string& server) {
    sa any;
    if (sa_set_str(&any, configured.c_str(), 0) != 0 || !sa_is_any(&any)) return {configured};
    std::vector<std::string> found;
    ifaddrs* list = nullptr;
    if (::getifaddrs(&list) == 0) {
        for (const ifaddrs* i = list; i != nullptr; i = i->ifa_next) {
            if (i->ifa_addr == nullptr || i->ifa_addr->sa_family != sa_af(&any) || (i->ifa_flags & IFF_UP) == 0)
                continue;
            sa address;
            if (sa_set_sa(&address, i->ifa_addr) != 0 || sa_is_linklocal(&address)) continue;
            const std::string text = AddressText(address);
            if (!text.empty() && std::find(found.begin(), found.end(), text) == found.end()) found.push_back(text);
        }
        ::freeifaddrs(list);
    }
    // Loopback last; the way to the server first.
    std::stable_partition(found.begin(), found.end(), [](const std::string& a) { return a != "127.0.0.1" && a != "::1"; });
    sa target;
    if (sa_set_str(&target, HostOf(server).c_str(), 5060) == 0) {
        const auto way = std::find(found.begin(), found.end(), RouteSource(target));
        if (way != found.end()) std::rotate(found.begin(), way, way + 1);
    }
    return found;
}

}  // namespace sipline
