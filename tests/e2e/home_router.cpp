#include "e2e/home_router.h"

#include <fcntl.h>
#include <sched.h>
#include <unistd.h>

#include <thread>
#include <vector>

#include "e2e/process_harness.h"
#include "e2e/sip_registrar.h"

namespace e2e {

HomeRouter::HomeRouter(int udpTimeoutSeconds) {
    const std::string prefix = "vocerra" + std::to_string(::getpid()) + "-";
    m_home = prefix + "home";
    m_router = prefix + "router";
    m_outside = prefix + "outside";
    if (!Run({"ip", "netns", "add", m_home})) return;
    m_made = true;
    const std::string timeout = std::to_string(udpTimeoutSeconds);
    const std::vector<std::vector<std::string>> steps = {
        {"ip", "netns", "add", m_router},
        {"ip", "netns", "add", m_outside},
        {"ip", "-n", m_router, "link", "add", "r0", "type", "veth", "peer", "name", "h0", "netns", m_home},
        {"ip", "-n", m_router, "link", "add", "r1", "type", "veth", "peer", "name", "o0", "netns", m_outside},
        {"ip", "-n", m_home, "addr", "add", std::string(kHomeAddress) + "/24", "dev", "h0"},
        {"ip", "-n", m_router, "addr", "add", "192.0.2.1/24", "dev", "r0"},
        {"ip", "-n", m_router, "addr", "add", std::string(kPublicAddress) + "/24", "dev", "r1"},
        {"ip", "-n", m_outside, "addr", "add", std::string(kOutsideAddress) + "/24", "dev", "o0"},
        {"ip", "-n", m_home, "link", "set", "h0", "up"},
        {"ip", "-n", m_home, "link", "set", "lo", "up"},
        {"ip", "-n", m_router, "link", "set", "r0", "up"},
        {"ip", "-n", m_router, "link", "set", "r1", "up"},
        {"ip", "-n", m_outside, "link", "set", "o0", "up"},
        {"ip", "-n", m_outside, "link", "set", "lo", "up"},
        {"ip", "-n", m_home, "route", "add", "default", "via", "192.0.2.1"},
        {"ip", "netns", "exec", m_router, "nft", "add", "table", "ip", "nat"},
        {"ip", "netns", "exec", m_router, "nft", "add", "chain", "ip", "nat", "out",
         "{ type nat hook postrouting priority 100 ; }"},
        {"ip", "netns", "exec", m_router, "nft", "add", "rule", "ip", "nat", "out", "oifname", "r1", "masquerade"},
        {"ip", "netns", "exec", m_router, "sysctl", "-q", "-w", "net.ipv4.ip_forward=1",
         "net.netfilter.nf_conntrack_udp_timeout=" + timeout,
         "net.netfilter.nf_conntrack_udp_timeout_stream=" + timeout},
    };
    for (const auto& step : steps)
        if (!Run(step)) return;
}

HomeRouter::~HomeRouter() {
    if (!m_made) return;
    for (const std::string& netns : {m_outside, m_router, m_home}) Run({"ip", "netns", "del", netns});
}

bool HomeRouter::Renumber() {
    return Run({"ip", "-n", m_router, "addr", "del", std::string(kPublicAddress) + "/24", "dev", "r1"}) &&
           Run({"ip", "-n", m_router, "addr", "add", std::string(kNextPublicAddress) + "/24", "dev", "r1"}) &&
           Run({"ip", "netns", "exec", m_router, "conntrack", "-F"});
}

void HomeRouter::Within(const std::string& netns, const std::function<void()>& fn) {
    std::thread inside([&] {
        const int fd = ::open(("/run/netns/" + netns).c_str(), O_RDONLY | O_CLOEXEC);
        const bool entered = fd >= 0 && ::setns(fd, CLONE_NEWNET) == 0;
        if (fd >= 0) ::close(fd);
        if (entered) fn();
        else m_error = "cannot enter " + netns;
    });
    inside.join();
}

bool HomeRouter::Run(const std::vector<std::string>& command) {
    const std::string program = ProgramPath(command[0]);
    const Finished done = RunProgram(program, std::vector<std::string>(command.begin() + 1, command.end()), {}, 30);
    if (done.exitCode == 0) return true;
    std::string text;
    for (const std::string& word : command) text += word + " ";
    m_error = text + "failed: " + done.output;
    return false;
}

}  // namespace e2e
