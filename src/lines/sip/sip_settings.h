// The SIP line's own settings, kept in the registry file under the service's
// key (never in the program's configuration file):
//
//   [HKEY_CURRENT_USER\Software\Vocerra\Lines\SIP]
//   "Account"="5551234"            user name at the provider (and contact user)
//   "Server"="sip.example.net"     registrar host[:port]; empty: no registration,
//                                  calls come straight to the listening address
//   "Password"="..."               digest password; never traced or shown
//   "DisplayName"="Vocerra"
//   "ListenAddress"="0.0.0.0"      where SIP and RTP are received
//   "ListenPort"=dword:000013c4    5060
//   "RtpPortMin"/"RtpPortMax"      dword, 10000-20000
//   "RegisterExpires"=dword        seconds asked for, 600: a binding a router
//                                  lost is not left deaf for long
//   "RegisterRetrySeconds"=dword   first wait after a refused registration, 30
//   "KeepAliveSeconds"=dword       a keep-alive to the registrar this often
//                                  while registered, 20 (below common NAT
//                                  time-outs); 0: none
//   "RingPeriodMs"=dword           one ring reported per period, 6000
//   "MediaTimeoutSeconds"=dword    a connected call without media ends, 30
//
// The registry file is written owner-only, as it then holds a password.
#pragma once

#include <cstdint>
#include <string>

namespace sipline {

constexpr char kSettingsKey[] = "Software\\Vocerra\\Lines\\SIP";

struct SipSettings {
    std::string account;
    std::string server;
    std::string password;
    std::string displayName = "Vocerra";
    std::string listenAddress = "0.0.0.0";
    std::uint32_t listenPort = 5060;
    std::uint32_t rtpPortMin = 10000;
    std::uint32_t rtpPortMax = 20000;
    std::uint32_t registerExpires = 600;
    std::uint32_t registerRetrySeconds = 30;
    std::uint32_t keepAliveSeconds = 20;
    std::uint32_t ringPeriodMs = 6000;
    std::uint32_t mediaTimeoutSeconds = 30;

    bool Registers() const { return !server.empty() && !account.empty(); }
};

// Reads the key; false when it does not exist (the SIP line is not set up).
// Missing or malformed values keep their defaults.
bool LoadSipSettings(SipSettings* settings);
// Writes every value; false when the registry file cannot be written.
bool SaveSipSettings(const SipSettings& settings);

// The settings as "Name: value" lines for a person, the password only as
// "(set)" or "(none)".
std::string DescribeSipSettings(const SipSettings& settings);

}  // namespace sipline
