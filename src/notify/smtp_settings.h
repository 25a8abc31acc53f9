// The mail settings a notice or the test message is sent with, copied out
// of the configuration (or the dialog) so they can be used on any thread.
#pragma once

#include <cstdint>
#include <string>

#include "store/app_config.h"

namespace qvsmtp {
class QvSmtpConnection;
}

// Bits of VM_CAppCfg::m_nSmtpSecurity.
constexpr std::uint8_t VM_SMTP_LOGIN = 0x01;
constexpr std::uint8_t VM_SMTP_SSL_TLS = 0x10;
constexpr std::uint8_t VM_SMTP_STARTTLS = 0x20;

struct VM_SSmtpSettings {
    std::string server;
    int port = 25;
    bool login = false;
    std::string user;
    std::string password;  // never traced
    int security = 0;      // 0 plain text, 1 SSL/TLS, 2 STARTTLS
    std::string sender;
    std::string emails[VM_EMAIL_COUNT];
    bool attach[VM_EMAIL_COUNT] = {};
};

// Whether any forwarding address is filled in.
bool VM_HasAnyAddress(const VM_SSmtpSettings& smtp);
// Security 1 when bit 0x10 is set, else 2 when bit 0x20 is, else 0.
int VM_SecurityFromByte(std::uint8_t bits);
// The stored settings; text fields other than the password without leading
// and trailing blanks.
VM_SSmtpSettings VM_GetSmtpSettings(const VM_CAppCfg& cfg);
// Text without leading and trailing blanks and tabs.
std::string VM_TrimBlanks(const char* text);

// Connects, logging in when the settings ask for it. Throws QvSmtpException.
void VM_ConnectSmtp(qvsmtp::QvSmtpConnection& conn, const VM_SSmtpSettings& smtp);
