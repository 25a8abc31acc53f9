#include "e2e/sip_registrar.h"

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <sstream>
#include <thread>

#include "e2e/process_harness.h"

namespace e2e {

namespace {

std::string Replaced(std::string text, const std::string& what, const std::string& with) {
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + with.size()))
        text.replace(at, what.size(), with);
    return text;
}

}  // namespace

std::string ProgramPath(const std::string& name) {
    const char* path = std::getenv("PATH");
    std::istringstream folders(std::string(path != nullptr ? path : "") + ":/usr/sbin:/sbin:/usr/bin:/bin");
    for (std::string folder; std::getline(folders, folder, ':');) {
        const std::string candidate = folder + "/" + name;
        if (!folder.empty() && ::access(candidate.c_str(), X_OK) == 0) return candidate;
    }
    return {};
}

SipRegistrar::SipRegistrar(const std::string& address, std::uint16_t port, const std::string& account,
                           const std::string& password, const std::string& netns)
    : m_server(address + ":" + std::to_string(port)), m_account(account) {
    const std::string folder = m_dir.path();
    std::string config = testsupport::ReadFileBytes(std::string(VOCERRA_SIP_DATA) + "/kamailio.cfg");
    config = Replaced(config, "@LISTEN@", "udp:" + m_server);
    config = Replaced(config, "@FOLDER@", folder);
    testsupport::WriteFileBytes(m_dir.file("kamailio.cfg"), config);
    ::mkdir(m_dir.file("db").c_str(), 0700);
    testsupport::WriteFileBytes(m_dir.file("db/version"), "table_name(str) table_version(int) \nsubscriber:7\n");
    // The realm the registrar challenges with is the account's domain.
    testsupport::WriteFileBytes(m_dir.file("db/subscriber"),
                                "id(int,auto) username(str) domain(str) password(str) ha1(str,null) ha1b(str,null) \n"
                                "1:" + account + ":" + address + ":" + password + ":::\n");
    std::vector<std::string> argv;
    if (!netns.empty()) argv = {ProgramPath("ip"), "netns", "exec", netns};
    for (const std::string& a : {ProgramPath("kamailio"), std::string("-f"), m_dir.file("kamailio.cfg"),
                                 std::string("-DD"), std::string("-E"), std::string("-Y"), folder,
                                 std::string("-w"), folder})
        argv.push_back(a);
    m_process = std::make_unique<siptest::PeerProcess>(argv, folder, m_dir.file("kamailio.log"));
}

SipRegistrar::~SipRegistrar() { m_process->Kill(); }

bool SipRegistrar::Ready() {
    // The guard only ends a broken run.
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (std::chrono::steady_clock::now() < end && m_process->Wait(0) < 0) {
        const Finished ask = RunProgram(ProgramPath("kamcmd"), {"-s", "unix:" + m_dir.file("ctl.sock"), "core.version"},
                                        {}, 10);
        if (ask.exitCode == 0) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return false;
}

std::string SipRegistrar::Bindings() const {
    const Finished ask = RunProgram(ProgramPath("kamcmd"),
                                    {"-s", "unix:" + m_dir.file("ctl.sock"), "ul.lookup", "location", m_account}, {}, 10);
    // An account without bindings is an error to the control socket.
    return ask.exitCode == 0 && ask.output.find("Contact") != std::string::npos ? ask.output : std::string();
}

std::vector<std::string> SipRegistrar::Requests(const std::string& method) const {
    std::vector<std::string> lines;
    std::istringstream log(Log());
    for (std::string line; std::getline(log, line);)
        if (line.find("SEEN " + method + " ") != std::string::npos) lines.push_back(line);
    return lines;
}

std::string SipRegistrar::Log() const { return m_process->Log(); }

}  // namespace e2e
