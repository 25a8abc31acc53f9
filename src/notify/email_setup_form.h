// The data side of the two setup pages of e-mail notification: their texts,
// the values shown and typed, the check the OK and the test message share,
// and storing the pages into the configuration.
#pragma once

#include <cstdint>
#include <string>

#include "notify/smtp_settings.h"
#include "store/app_config.h"

// Page 1 and its three choices, in the order of modes 0, 1 and 2.
extern const char* const VM_EMAIL_PAGE1_TITLE;  // "Setup Remote Retrieval & Email Notification"
extern const char* const VM_EMAIL_MODE_TEXTS[3];
// Page 2.
extern const char* const VM_EMAIL_PAGE2_TITLE;  // "Setup Email"
extern const char* const VM_EMAIL_SERVER_LABEL;
extern const char* const VM_EMAIL_PORT_LABEL;
extern const char* const VM_EMAIL_AUTH_TEXT;
extern const char* const VM_EMAIL_USER_LABEL;
extern const char* const VM_EMAIL_PASSWORD_LABEL;
extern const char* const VM_EMAIL_SENDER_LABEL;
extern const char* const VM_EMAIL_SECURITY_LABEL;
extern const char* const VM_EMAIL_SECURITY_TEXTS[3];  // list positions 0, 1, 2
extern const char* const VM_EMAIL_ADDRESS_LABELS[VM_EMAIL_COUNT];  // "Email 1:" .. "Email 5:"
extern const char* const VM_EMAIL_ATTACH_TEXT;
extern const char* const VM_EMAIL_TEST_BUTTON;
extern const char* const VM_EMAIL_BACK_BUTTON;
extern const char* const VM_EMAIL_HELP_LINK;
// Help texts: page 2's link, the address-book entry's "Help..." while
// notification is off, the message detail's "Help...".
extern const char* const VM_EMAIL_HELP_TEXT;
extern const char* const VM_EMAIL_ENTRY_HELP_TEXT;
extern const char* const VM_EMAIL_DETAIL_HELP_TEXT;
extern const char* const VM_EMAIL_INCOMPLETE_TEXT;
constexpr int kEmailPortDigits = 10;

// The fields of page 2 as shown or typed.
struct VM_SEmailPageValues {
    std::string server;
    std::string port;             // digits
    bool authentication = false;  // "This server requires authentication."
    std::string user;
    std::string password;
    std::string sender;
    int security = 0;             // list position: 0 "PLAIN TEXT", 1 "SSL/TLS", 2 "STARTTLS"
    std::string emails[VM_EMAIL_COUNT];
    bool attach[VM_EMAIL_COUNT] = {};
};

// Settings as typed, without leading and trailing blanks; a port past what
// an int holds reads as -1, no port at all.
VM_SSmtpSettings VM_GetPageSettings(const VM_SEmailPageValues& values);
// A user name when authentication is ticked, at least one address, a port
// other than 0, a server and a sender. Otherwise the page shows
// VM_EMAIL_INCOMPLETE_TEXT.
bool VM_CheckEmailPage(const VM_SEmailPageValues& values);

// Page 2 as the stored settings show it.
VM_SEmailPageValues VM_LoadEmailPage(const VM_CAppCfg& cfg);
// Bit 0x10 for "SSL/TLS", 0x20 for "STARTTLS", none for "PLAIN TEXT", with
// 0x01 for the authentication box.
std::uint8_t VM_SecurityByteOf(int position, bool authentication);
// The final OK: the mode and, when page 2 was shown (page not null), its
// values as VM_GetPageSettings reads them; then the configuration is saved.
// False when it could not be saved.
bool VM_StoreEmailSetup(VM_CAppCfg& cfg, int mode, const VM_SEmailPageValues* page);
// The same without the save.
void VM_ApplyEmailSetup(VM_CAppCfg& cfg, int mode, const VM_SEmailPageValues* page);
