#include "shell/config_settings.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <optional>

#include "notify/email_setup_form.h"
#include "shell/call_hook.h"
#include "store/app_config.h"
#include "store/config_ranges.h"

namespace {

using Outcome = std::optional<std::string>;
const Outcome kStored = std::nullopt;
const Outcome kOutOfRange = std::string();

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

std::string Text(const char* value) { return value != nullptr ? value : ""; }

bool HasControlCharacter(const std::string& text) {
    return std::any_of(text.begin(), text.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; });
}

// Digits only, as the set-up pages' fields take them.
std::optional<long> Digits(const std::string& text, std::size_t maxDigits) {
    if (text.empty() || text.size() > maxDigits) return std::nullopt;
    if (!std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; })) return std::nullopt;
    return std::stol(text);
}

std::optional<bool> OnOff(const std::string& text) {
    const std::string word = Lower(text);
    if (word == "on" || word == "yes" || word == "true" || word == "1") return true;
    if (word == "off" || word == "no" || word == "false" || word == "0") return false;
    return std::nullopt;
}

std::string ShowOnOff(bool on) { return on ? "on" : "off"; }

// A choice among words stored as its position.
template <std::size_t N>
std::optional<int> Choice(const char* const (&words)[N], const std::string& text) {
    const std::string word = Lower(text);
    for (std::size_t i = 0; i < N; ++i)
        if (word == words[i]) return static_cast<int>(i);
    return std::nullopt;
}

template <DWORD Bit>
std::string GetFlag(const VM_CAppCfg& cfg) { return ShowOnOff(cfg.VM_IsFlag(Bit)); }

template <DWORD Bit>
Outcome SetFlag(VM_CAppCfg& cfg, const std::string& value) {
    const std::optional<bool> on = OnOff(value);
    if (!on) return kOutOfRange;
    cfg.VM_SetFlag(*on, Bit);
    return kStored;
}

template <auto Field>
std::string GetNumber(const VM_CAppCfg& cfg) { return std::to_string(cfg.*Field); }

template <auto Field, long Min, long Max, std::size_t MaxDigits>
Outcome SetNumber(VM_CAppCfg& cfg, const std::string& value) {
    const std::optional<long> number = Digits(value, MaxDigits);
    if (!number || *number < Min || *number > Max) return kOutOfRange;
    cfg.*Field = static_cast<std::remove_reference_t<decltype(cfg.*Field)>>(*number);
    return kStored;
}

// Remote retrieval.

bool IsDigitPassword(const std::string& value) { return VM_RemotePasswordsAcceptable(true, value.c_str(), value.c_str()); }

Outcome SetRetrieval(VM_CAppCfg& cfg, const std::string& value) {
    const std::optional<bool> on = OnOff(value);
    if (!on) return kOutOfRange;
    if (*on && !VM_RemotePasswordsAcceptable(true, cfg.m_szDefaultPassword.VM_String().c_str(),
                                             cfg.m_szPassword.VM_String().c_str()))
        return std::string(VM_PASSWORD_RULE_TEXT);
    cfg.VM_SetFlag(*on, VM_FLAG_REMOTE_RETRIEVAL);
    return kStored;
}

template <VM_CSharedText VM_CAppCfg::*Field>
std::string GetPassword(const VM_CAppCfg& cfg) { return (cfg.*Field).VM_String(); }

template <VM_CSharedText VM_CAppCfg::*Field>
Outcome SetPassword(VM_CAppCfg& cfg, const std::string& value) {
    if (!IsDigitPassword(value)) return kOutOfRange;
    (cfg.*Field).VM_Set(value.c_str());
    return kStored;
}

// One mailbox or several: the bit means one.
const char* const kMailboxWords[] = {"multiple", "single"};

std::string GetMailboxes(const VM_CAppCfg& cfg) { return kMailboxWords[cfg.VM_IsFlag(VM_FLAG_SINGLE_MAILBOX) ? 1 : 0]; }

Outcome SetMailboxes(VM_CAppCfg& cfg, const std::string& value) {
    const std::optional<int> single = Choice(kMailboxWords, value);
    if (!single) return kOutOfRange;
    if ((*single == 1) != cfg.VM_IsFlag(VM_FLAG_SINGLE_MAILBOX)) {
        // The call log's columns change with it, as after the mailbox set-up.
        cfg.VM_SetFlag(*single == 1, VM_FLAG_SINGLE_MAILBOX);
        cfg.m_nCallSortColumn = 0;
        cfg.m_nCallSortOrder = 1;
    }
    return kStored;
}

// Modes stored as a byte, one word each.
const char* const kAlertWords[] = {"none", "every-call", "with-message"};
const char* const kNotifyWords[] = {"off", "every-call", "address-book"};

template <std::uint8_t VM_CAppCfg::*Field, const char* const (&Words)[3]>
std::string GetMode(const VM_CAppCfg& cfg) {
    const std::uint8_t mode = cfg.*Field;
    return mode < 3 ? Words[mode] : std::to_string(mode);
}

Outcome SetAlertSound(VM_CAppCfg& cfg, const std::string& value) {
    const std::optional<int> mode = Choice(kAlertWords, value);
    if (!mode) return kOutOfRange;
    cfg.m_nAlertMode = static_cast<std::uint8_t>(*mode);
    return kStored;
}

// Notices go out only with the mail settings the set-up page insists on.
Outcome SetNotify(VM_CAppCfg& cfg, const std::string& value) {
    const std::optional<int> mode = Choice(kNotifyWords, value);
    if (!mode) return kOutOfRange;
    if (*mode != 0 && !VM_CheckEmailPage(VM_LoadEmailPage(cfg))) return std::string(VM_EMAIL_INCOMPLETE_TEXT);
    cfg.m_nNotifyMode = static_cast<std::uint8_t>(*mode);
    return kStored;
}

// The mail settings, changed through the e-mail page's values so that they
// are trimmed and checked as the page does; while notices are on, a change
// that leaves the page incomplete is refused.
template <void (*Put)(VM_SEmailPageValues&, const std::string&)>
Outcome SetMail(VM_CAppCfg& cfg, const std::string& value) {
    if (HasControlCharacter(value)) return kOutOfRange;
    VM_SEmailPageValues page = VM_LoadEmailPage(cfg);
    Put(page, value);
    if (cfg.m_nNotifyMode != 0 && !VM_CheckEmailPage(page)) return std::string(VM_EMAIL_INCOMPLETE_TEXT);
    VM_ApplyEmailSetup(cfg, cfg.m_nNotifyMode, &page);
    return kStored;
}

template <std::string VM_SEmailPageValues::*Field>
void PutText(VM_SEmailPageValues& page, const std::string& value) { page.*Field = value; }

template <int I>
void PutAddress(VM_SEmailPageValues& page, const std::string& value) { page.emails[I] = value; }

template <char* VM_CAppCfg::*Field>
std::string GetText(const VM_CAppCfg& cfg) { return Text(cfg.*Field); }

template <int I>
std::string GetAddress(const VM_CAppCfg& cfg) { return Text(cfg.m_szEmail[I]); }

std::string GetMailPassword(const VM_CAppCfg& cfg) { return cfg.m_szSmtpPassword != nullptr ? "(set)" : ""; }

Outcome SetPort(VM_CAppCfg& cfg, const std::string& value) {
    const std::optional<long> port = Digits(value, kEmailPortDigits);
    if (!port || *port < 1 || *port > 65535) return kOutOfRange;
    return SetMail<PutText<&VM_SEmailPageValues::port>>(cfg, value);
}

const char* const kSecurityWords[] = {"plain-text", "ssl-tls", "starttls"};

std::string GetSecurity(const VM_CAppCfg& cfg) { return kSecurityWords[VM_SecurityFromByte(cfg.m_nSmtpSecurity)]; }

void PutSecurity(VM_SEmailPageValues& page, const std::string& value) {
    page.security = Choice(kSecurityWords, value).value_or(0);
}

Outcome SetSecurity(VM_CAppCfg& cfg, const std::string& value) {
    if (!Choice(kSecurityWords, value)) return kOutOfRange;
    return SetMail<PutSecurity>(cfg, value);
}

void PutAuthentication(VM_SEmailPageValues& page, const std::string& value) {
    page.authentication = OnOff(value).value_or(false);
}

std::string GetAuthentication(const VM_CAppCfg& cfg) { return ShowOnOff((cfg.m_nSmtpSecurity & VM_SMTP_LOGIN) != 0); }

Outcome SetAuthentication(VM_CAppCfg& cfg, const std::string& value) {
    if (!OnOff(value)) return kOutOfRange;
    return SetMail<PutAuthentication>(cfg, value);
}

template <int I>
void PutAttach(VM_SEmailPageValues& page, const std::string& value) { page.attach[I] = OnOff(value).value_or(false); }

template <int I>
std::string GetAttach(const VM_CAppCfg& cfg) { return ShowOnOff(cfg.m_bAttach[I] != 0); }

template <int I>
Outcome SetAttach(VM_CAppCfg& cfg, const std::string& value) {
    if (!OnOff(value)) return kOutOfRange;
    return SetMail<PutAttach<I>>(cfg, value);
}

// The owner's command lives in the registry file, not in "Vocerra.Cfg"; it
// is read afresh for every call, so a running copy needs nothing more.
std::string GetOnCall(const VM_CAppCfg&) { return VM_GetOnCallCommand(); }

Outcome SetOnCall(VM_CAppCfg&, const std::string& value) {
    if (HasControlCharacter(value)) return kOutOfRange;
    if (!VM_SetOnCallCommand(value)) return std::string("The registry file could not be written.");
    return kStored;
}

constexpr const char* kOnOff = "on, off";
constexpr const char* kText = "text";
constexpr const char* kAddress = "an e-mail address, or empty";
constexpr const char* kWizard = "chosen in the set-up wizard";

const VM_SConfigSetting kRows[] = {
    {"Answering", kOnOff, GetFlag<VM_FLAG_ANSWERING>, SetFlag<VM_FLAG_ANSWERING>, VM_EConfigEffect::kAnswering},
    {"Rings", "1 to 99", GetNumber<&VM_CAppCfg::m_nRings>, SetNumber<&VM_CAppCfg::m_nRings, 1, 99, VM_RINGS_MAX_CHARS>,
     VM_EConfigEffect::kNone},
    {"TollSaver", kOnOff, GetFlag<VM_FLAG_TOLL_SAVER>, SetFlag<VM_FLAG_TOLL_SAVER>, VM_EConfigEffect::kNone},
    {"MaxCallMinutes", "0 (no limit) to 999", GetNumber<&VM_CAppCfg::m_nMaxCallMinutes>,
     SetNumber<&VM_CAppCfg::m_nMaxCallMinutes, 0, 999, VM_CALL_MINUTES_MAX_CHARS>, VM_EConfigEffect::kNone},
    {"SilenceSeconds", "0 to 99", GetNumber<&VM_CAppCfg::m_nSilenceSeconds>,
     SetNumber<&VM_CAppCfg::m_nSilenceSeconds, 0, 99, VM_SILENCE_SECONDS_MAX_CHARS>, VM_EConfigEffect::kNone},
    {"SilenceLevel", "0 to 100", GetNumber<&VM_CAppCfg::m_nSilenceLevel>,
     SetNumber<&VM_CAppCfg::m_nSilenceLevel, 0, 100, 3>, VM_EConfigEffect::kNone},
    {"Mailboxes", "single, multiple", GetMailboxes, SetMailboxes, VM_EConfigEffect::kLine},
    {"Prescreen", kOnOff, GetFlag<VM_FLAG_PRESCREEN>, SetFlag<VM_FLAG_PRESCREEN>, VM_EConfigEffect::kNone},
    {"EnhanceCalls", kOnOff, GetFlag<VM_FLAG_ENHANCE_CALLS>, SetFlag<VM_FLAG_ENHANCE_CALLS>, VM_EConfigEffect::kNone},
    {"EnhanceGreetings", kOnOff, GetFlag<VM_FLAG_ENHANCE_GREETINGS>, SetFlag<VM_FLAG_ENHANCE_GREETINGS>,
     VM_EConfigEffect::kNone},
    {"ModemFix", kOnOff, GetFlag<VM_FLAG_MODEM_FIX>, SetFlag<VM_FLAG_MODEM_FIX>, VM_EConfigEffect::kLine},
    {"RemoteRetrieval", kOnOff, GetFlag<VM_FLAG_REMOTE_RETRIEVAL>, SetRetrieval, VM_EConfigEffect::kNone},
    {"DefaultPassword", "1 to 6 digits", GetPassword<&VM_CAppCfg::m_szDefaultPassword>,
     SetPassword<&VM_CAppCfg::m_szDefaultPassword>, VM_EConfigEffect::kNone},
    {"Password", "1 to 6 digits", GetPassword<&VM_CAppCfg::m_szPassword>, SetPassword<&VM_CAppCfg::m_szPassword>,
     VM_EConfigEffect::kNone},
    {"AlertSound", "none, every-call, with-message", GetMode<&VM_CAppCfg::m_nAlertMode, kAlertWords>,
     SetAlertSound, VM_EConfigEffect::kNone},
    {"StartInInbox", kOnOff, GetFlag<VM_FLAG_START_IN_INBOX>, SetFlag<VM_FLAG_START_IN_INBOX>,
     VM_EConfigEffect::kNone},
    {"EmptyDeletedOnExit", kOnOff, GetFlag<VM_FLAG_EMPTY_DELETED>, SetFlag<VM_FLAG_EMPTY_DELETED>,
     VM_EConfigEffect::kNone},
    {"ShowTips", kOnOff, GetFlag<VM_FLAG_TIPS>, SetFlag<VM_FLAG_TIPS>, VM_EConfigEffect::kNone},
    {"EmailNotify", "off, every-call, address-book", GetMode<&VM_CAppCfg::m_nNotifyMode, kNotifyWords>, SetNotify,
     VM_EConfigEffect::kNone},
    {"SmtpServer", "a host name, or empty", GetText<&VM_CAppCfg::m_szSmtpServer>,
     SetMail<PutText<&VM_SEmailPageValues::server>>, VM_EConfigEffect::kNone},
    {"SmtpPort", "1 to 65535", GetNumber<&VM_CAppCfg::m_nSmtpPort>, SetPort, VM_EConfigEffect::kNone},
    {"SmtpSecurity", "plain-text, ssl-tls, starttls", GetSecurity, SetSecurity, VM_EConfigEffect::kNone},
    {"SmtpAuthentication", kOnOff, GetAuthentication, SetAuthentication, VM_EConfigEffect::kNone},
    {"SmtpUser", kText, GetText<&VM_CAppCfg::m_szSmtpUser>, SetMail<PutText<&VM_SEmailPageValues::user>>,
     VM_EConfigEffect::kNone},
    {"SmtpPassword", kText, GetMailPassword, SetMail<PutText<&VM_SEmailPageValues::password>>,
     VM_EConfigEffect::kNone},
    {"Sender", kAddress, GetText<&VM_CAppCfg::m_szSender>, SetMail<PutText<&VM_SEmailPageValues::sender>>,
     VM_EConfigEffect::kNone},
    {"Email1", kAddress, GetAddress<0>, SetMail<PutAddress<0>>, VM_EConfigEffect::kNone},
    {"Attach1", kOnOff, GetAttach<0>, SetAttach<0>, VM_EConfigEffect::kNone},
    {"Email2", kAddress, GetAddress<1>, SetMail<PutAddress<1>>, VM_EConfigEffect::kNone},
    {"Attach2", kOnOff, GetAttach<1>, SetAttach<1>, VM_EConfigEffect::kNone},
    {"Email3", kAddress, GetAddress<2>, SetMail<PutAddress<2>>, VM_EConfigEffect::kNone},
    {"Attach3", kOnOff, GetAttach<2>, SetAttach<2>, VM_EConfigEffect::kNone},
    {"Email4", kAddress, GetAddress<3>, SetMail<PutAddress<3>>, VM_EConfigEffect::kNone},
    {"Attach4", kOnOff, GetAttach<3>, SetAttach<3>, VM_EConfigEffect::kNone},
    {"Email5", kAddress, GetAddress<4>, SetMail<PutAddress<4>>, VM_EConfigEffect::kNone},
    {"Attach5", kOnOff, GetAttach<4>, SetAttach<4>, VM_EConfigEffect::kNone},
    {"OnCall", "an executable's path (from the program folder), or empty", GetOnCall, SetOnCall,
     VM_EConfigEffect::kNone},
    {"Line", kWizard, GetNumber<&VM_CAppCfg::m_idLine>, nullptr, VM_EConfigEffect::kNone},
    {"RecordDevice", kWizard, GetNumber<&VM_CAppCfg::m_idRecordDevice>, nullptr, VM_EConfigEffect::kNone},
    {"PlayDevice", kWizard, GetNumber<&VM_CAppCfg::m_idPlayDevice>, nullptr, VM_EConfigEffect::kNone},
};

}  // namespace

const std::vector<VM_SConfigSetting>& VM_ConfigSettings() {
    static const std::vector<VM_SConfigSetting> settings(std::begin(kRows), std::end(kRows));
    return settings;
}

const VM_SConfigSetting* VM_FindConfigSetting(const std::string& name) {
    const std::string wanted = Lower(name);
    for (const VM_SConfigSetting& setting : VM_ConfigSettings())
        if (Lower(setting.name) == wanted) return &setting;
    return nullptr;
}

std::string VM_SetConfigValue(VM_CAppCfg& cfg, const VM_SConfigSetting& setting, const std::string& value) {
    if (setting.set == nullptr) return std::string(setting.name) + " is " + setting.range + ", not set here.";
    const Outcome refused = setting.set(cfg, value);
    if (!refused) return {};
    if (!refused->empty()) return *refused;
    return std::string(setting.name) + " takes " + setting.range + ", not \"" + value + "\".";
}
