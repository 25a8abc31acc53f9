#include "notify/email_setup_form.h"

#include <cstdlib>

const char* const VM_EMAIL_PAGE1_TITLE = "Setup Remote Retrieval & Email Notification";
const char* const VM_EMAIL_MODE_TEXTS[3] = {
    "Disable email notification.",
    "Notify me of all calls including callers not in the address book.",
    "Notify me only if the caller is in the address book and \"Notify me\" is selected there.",
};
const char* const VM_EMAIL_PAGE2_TITLE = "Setup Email";
const char* const VM_EMAIL_SERVER_LABEL = "Outgoing mail server:";
const char* const VM_EMAIL_PORT_LABEL = "Port:";
const char* const VM_EMAIL_AUTH_TEXT = "This server requires authentication.";
const char* const VM_EMAIL_USER_LABEL = "User name:";
const char* const VM_EMAIL_PASSWORD_LABEL = "Password:";
const char* const VM_EMAIL_SENDER_LABEL = "Your email address:";
const char* const VM_EMAIL_SECURITY_LABEL = "Security:";
const char* const VM_EMAIL_SECURITY_TEXTS[3] = {"PLAIN TEXT", "SSL/TLS", "STARTTLS"};
const char* const VM_EMAIL_ADDRESS_LABELS[VM_EMAIL_COUNT] = {"Email 1:", "Email 2:", "Email 3:", "Email 4:",
                                                             "Email 5:"};
const char* const VM_EMAIL_ATTACH_TEXT = "Attach message";
const char* const VM_EMAIL_TEST_BUTTON = "Send a Test Email";
const char* const VM_EMAIL_BACK_BUTTON = "<< Back";
const char* const VM_EMAIL_HELP_LINK = "Help on email configuration...";
const char* const VM_EMAIL_HELP_TEXT =
    "If you are unsure any of the fields displayed on this screen, please contact your Internet service provider "
    "to obtain these information.";
const char* const VM_EMAIL_ENTRY_HELP_TEXT =
    "To enable email notification, please go to Vocerra Setup menu and select email-forwarding submenu to "
    "activate this feature.";
const char* const VM_EMAIL_DETAIL_HELP_TEXT =
    "To be notified of new calls, please make sure you have enabled email notification feature, and \"Notify me\" "
    "is selected for this caller in Vocerra address book.";
const char* const VM_EMAIL_INCOMPLETE_TEXT =
    "Please make sure that SMTP configurations such as server, port and email accounts are properly entered. ";

namespace {

constexpr long long kHighestPort = 65535;

// 0 for nothing typed; -1 for what no port can be, which the check refuses
// rather than storing.
int TypedPort(const std::string& text) {
    const std::string digits = VM_TrimBlanks(text.c_str());
    if (digits.empty()) return 0;
    if (digits.size() > kEmailPortDigits || digits.find_first_not_of("0123456789") != std::string::npos) return -1;
    const long long value = std::strtoll(digits.c_str(), nullptr, 10);
    return value > kHighestPort ? -1 : static_cast<int>(value);
}

}  // namespace

VM_SSmtpSettings VM_GetPageSettings(const VM_SEmailPageValues& values) {
    VM_SSmtpSettings smtp;
    smtp.server = VM_TrimBlanks(values.server.c_str());
    smtp.port = TypedPort(values.port);
    smtp.login = values.authentication;
    smtp.user = VM_TrimBlanks(values.user.c_str());
    smtp.password = VM_TrimBlanks(values.password.c_str());
    smtp.security = values.security;
    smtp.sender = VM_TrimBlanks(values.sender.c_str());
    for (int i = 0; i < VM_EMAIL_COUNT; ++i) {
        smtp.emails[i] = VM_TrimBlanks(values.emails[i].c_str());
        smtp.attach[i] = values.attach[i];
    }
    return smtp;
}

bool VM_CheckEmailPage(const VM_SEmailPageValues& values) {
    const VM_SSmtpSettings smtp = VM_GetPageSettings(values);
    return (!smtp.login || !smtp.user.empty()) && VM_HasAnyAddress(smtp) && smtp.port > 0 && !smtp.server.empty() &&
           !smtp.sender.empty();
}

VM_SEmailPageValues VM_LoadEmailPage(const VM_CAppCfg& cfg) {
    const auto text = [](const char* value) { return std::string(value != nullptr ? value : ""); };
    VM_SEmailPageValues values;
    values.server = text(cfg.m_szSmtpServer);
    values.port = std::to_string(cfg.m_nSmtpPort);
    values.authentication = (cfg.m_nSmtpSecurity & VM_SMTP_LOGIN) != 0;
    values.user = text(cfg.m_szSmtpUser);
    values.password = text(cfg.m_szSmtpPassword);
    values.sender = text(cfg.m_szSender);
    values.security = VM_SecurityFromByte(cfg.m_nSmtpSecurity);
    for (int i = 0; i < VM_EMAIL_COUNT; ++i) {
        values.emails[i] = text(cfg.m_szEmail[i]);
        values.attach[i] = cfg.m_bAttach[i] != 0;
    }
    return values;
}

std::uint8_t VM_SecurityByteOf(int position, bool authentication) {
    std::uint8_t bits = authentication ? VM_SMTP_LOGIN : 0;
    if (position == 1) bits |= VM_SMTP_SSL_TLS;
    if (position == 2) bits |= VM_SMTP_STARTTLS;
    return bits;
}

bool VM_StoreEmailSetup(VM_CAppCfg& cfg, int mode, const VM_SEmailPageValues* page) {
    VM_ApplyEmailSetup(cfg, mode, page);
    return cfg.VM_Save();
}

void VM_ApplyEmailSetup(VM_CAppCfg& cfg, int mode, const VM_SEmailPageValues* page) {
    cfg.m_nNotifyMode = static_cast<std::uint8_t>(mode);
    if (page != nullptr) {
        const VM_SSmtpSettings smtp = VM_GetPageSettings(*page);
        VM_CAppCfg::VM_SetText(cfg.m_szSmtpServer, smtp.server.c_str());
        cfg.m_nSmtpPort = smtp.port;
        cfg.m_nSmtpSecurity = VM_SecurityByteOf(page->security, page->authentication);
        VM_CAppCfg::VM_SetText(cfg.m_szSmtpUser, smtp.user.c_str());
        VM_CAppCfg::VM_SetText(cfg.m_szSmtpPassword, smtp.password.c_str());
        VM_CAppCfg::VM_SetText(cfg.m_szSender, smtp.sender.c_str());
        for (int i = 0; i < VM_EMAIL_COUNT; ++i) {
            VM_CAppCfg::VM_SetText(cfg.m_szEmail[i], smtp.emails[i].c_str());
            cfg.m_bAttach[i] = smtp.attach[i] ? 1 : 0;
        }
    }
}
