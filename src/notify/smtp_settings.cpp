#include "notify/smtp_settings.h"

#include "notify/qvsmtp/qvsmtp_connection.h"

using qvsmtp::QvSmtpConnection;

bool VM_HasAnyAddress(const VM_SSmtpSettings& smtp) {
    for (const std::string& email : smtp.emails)
        if (!email.empty()) return true;
    return false;
}

int VM_SecurityFromByte(std::uint8_t bits) {
    if (bits & VM_SMTP_SSL_TLS) return QvSmtpConnection::kSecuritySslTls;
    if (bits & VM_SMTP_STARTTLS) return QvSmtpConnection::kSecurityStartTls;
    return QvSmtpConnection::kSecurityPlainText;
}

std::string VM_TrimBlanks(const char* text) {
    if (text == nullptr) return {};
    std::string value(text);
    const size_t first = value.find_first_not_of(" \t");
    if (first == std::string::npos) return {};
    const size_t last = value.find_last_not_of(" \t");
    return value.substr(first, last - first + 1);
}

VM_SSmtpSettings VM_GetSmtpSettings(const VM_CAppCfg& cfg) {
    VM_SSmtpSettings smtp;
    smtp.server = VM_TrimBlanks(cfg.m_szSmtpServer);
    smtp.port = cfg.m_nSmtpPort;
    smtp.login = (cfg.m_nSmtpSecurity & VM_SMTP_LOGIN) != 0;
    smtp.user = VM_TrimBlanks(cfg.m_szSmtpUser);
    smtp.password = cfg.m_szSmtpPassword != nullptr ? cfg.m_szSmtpPassword : "";
    smtp.security = VM_SecurityFromByte(cfg.m_nSmtpSecurity);
    smtp.sender = VM_TrimBlanks(cfg.m_szSender);
    for (int i = 0; i < VM_EMAIL_COUNT; ++i) {
        smtp.emails[i] = VM_TrimBlanks(cfg.m_szEmail[i]);
        smtp.attach[i] = cfg.m_bAttach[i] != 0;
    }
    return smtp;
}

void VM_ConnectSmtp(QvSmtpConnection& conn, const VM_SSmtpSettings& smtp) {
    conn.Connect(smtp.server.c_str(), smtp.port, smtp.login ? QvSmtpConnection::kAuthLogin : QvSmtpConnection::kAuthNone,
                 smtp.user.c_str(), smtp.password.c_str(), smtp.security);
}
