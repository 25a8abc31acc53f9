// A real SIP registrar and proxy for one test (kamailio, with the
// configuration in tests/sip/data/kamailio.cfg): one account, bindings kept
// in memory and asked for over its control socket, every request it sees in
// its log. In a network namespace when one is named.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "sip/sip_peers.h"
#include "support/temp_dir.h"

namespace e2e {

// A program's full path: PATH, then the system folders (kamailio, ip and
// conntrack live in sbin); empty when it is nowhere.
std::string ProgramPath(const std::string& name);

class SipRegistrar {
public:
    SipRegistrar(const std::string& address, std::uint16_t port, const std::string& account,
                 const std::string& password, const std::string& netns = "");
    ~SipRegistrar();
    SipRegistrar(const SipRegistrar&) = delete;
    SipRegistrar& operator=(const SipRegistrar&) = delete;

    // Waits until it answers on its control socket; false when it ended.
    bool Ready();
    // "address:port", as an account's server.
    std::string Server() const { return m_server; }
    // The account's bindings as the registrar lists them; empty when it
    // has none.
    std::string Bindings() const;
    // The log lines of the requests of one method it received, in order.
    std::vector<std::string> Requests(const std::string& method) const;
    std::string Log() const;

private:
    testsupport::TempDir m_dir;
    std::string m_server;
    std::string m_account;
    std::unique_ptr<siptest::PeerProcess> m_process;
};

}  // namespace e2e
