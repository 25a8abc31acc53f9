#include "lines/sip/sip_settings.h"

#include <vector>

#include "platform/win32/errors.h"
#include "platform/win32/registry.h"

namespace sipline {

namespace {

class Key {
public:
    explicit Key(bool create) {
        LONG rc = create ? RegCreateKeyExA(HKEY_CURRENT_USER, kSettingsKey, 0, nullptr, REG_OPTION_NON_VOLATILE,
                                           KEY_ALL_ACCESS, nullptr, &m_key, nullptr)
                         : RegOpenKeyExA(HKEY_CURRENT_USER, kSettingsKey, 0, KEY_READ, &m_key);
        if (rc != ERROR_SUCCESS) m_key = nullptr;
    }
    ~Key() {
        if (m_key != nullptr) RegCloseKey(m_key);
    }
    Key(const Key&) = delete;
    Key& operator=(const Key&) = delete;
    HKEY get() const { return m_key; }

private:
    HKEY m_key = nullptr;
};

void ReadText(HKEY key, const char* name, std::string* value) {
    DWORD type = 0;
    DWORD size = 0;
    if (RegQueryValueExA(key, name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS) return;
    if (type != REG_SZ && type != REG_EXPAND_SZ) return;
    std::vector<char> data(size + 1, '\0');
    if (RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &size) != ERROR_SUCCESS)
        return;
    *value = std::string(data.data());
}

void ReadNumber(HKEY key, const char* name, std::uint32_t* value) {
    DWORD type = 0;
    DWORD data = 0;
    DWORD size = sizeof data;
    if (RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&data), &size) == ERROR_SUCCESS &&
        type == REG_DWORD && size == sizeof data)
        *value = data;
}

bool WriteText(HKEY key, const char* name, const std::string& value) {
    return RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                          static_cast<DWORD>(value.size() + 1)) == ERROR_SUCCESS;
}

bool WriteNumber(HKEY key, const char* name, std::uint32_t value) {
    DWORD data = value;
    return RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&data), sizeof data) ==
           ERROR_SUCCESS;
}

}  // namespace

bool LoadSipSettings(SipSettings* settings) {
    Key key(false);
    if (key.get() == nullptr) return false;
    SipSettings s;
    ReadText(key.get(), "Account", &s.account);
    ReadText(key.get(), "Server", &s.server);
    ReadText(key.get(), "Password", &s.password);
    ReadText(key.get(), "DisplayName", &s.displayName);
    ReadText(key.get(), "ListenAddress", &s.listenAddress);
    ReadNumber(key.get(), "ListenPort", &s.listenPort);
    ReadNumber(key.get(), "RtpPortMin", &s.rtpPortMin);
    ReadNumber(key.get(), "RtpPortMax", &s.rtpPortMax);
    ReadNumber(key.get(), "RegisterExpires", &s.registerExpires);
    ReadNumber(key.get(), "RegisterRetrySeconds", &s.registerRetrySeconds);
    ReadNumber(key.get(), "KeepAliveSeconds", &s.keepAliveSeconds);
    ReadNumber(key.get(), "RingPeriodMs", &s.ringPeriodMs);
    ReadNumber(key.get(), "MediaTimeoutSeconds", &s.mediaTimeoutSeconds);
    // Values a person typed that cannot work fall back to what can.
    if (s.listenPort > 65535) s.listenPort = 5060;
    if (s.rtpPortMax > 65535 || s.rtpPortMin == 0 || s.rtpPortMin > s.rtpPortMax) {
        s.rtpPortMin = 10000;
        s.rtpPortMax = 20000;
    }
    if (s.ringPeriodMs < 100) s.ringPeriodMs = 6000;
    if (s.registerExpires < 60) s.registerExpires = 60;
    if (s.registerRetrySeconds == 0) s.registerRetrySeconds = 30;
    if (s.mediaTimeoutSeconds == 0) s.mediaTimeoutSeconds = 30;
    *settings = s;
    return true;
}

bool SaveSipSettings(const SipSettings& s) {
    Key key(true);
    if (key.get() == nullptr) return false;
    HKEY k = key.get();
    return WriteText(k, "Account", s.account) && WriteText(k, "Server", s.server) &&
           WriteText(k, "Password", s.password) && WriteText(k, "DisplayName", s.displayName) &&
           WriteText(k, "ListenAddress", s.listenAddress) && WriteNumber(k, "ListenPort", s.listenPort) &&
           WriteNumber(k, "RtpPortMin", s.rtpPortMin) && WriteNumber(k, "RtpPortMax", s.rtpPortMax) &&
           WriteNumber(k, "RegisterExpires", s.registerExpires) &&
           WriteNumber(k, "RegisterRetrySeconds", s.registerRetrySeconds) &&
           WriteNumber(k, "KeepAliveSeconds", s.keepAliveSeconds) &&
           WriteNumber(k, "RingPeriodMs", s.ringPeriodMs) &&
           WriteNumber(k, "MediaTimeoutSeconds", s.mediaTimeoutSeconds);
}

std::string DescribeSipSettings(const SipSettings& s) {
    std::string text;
    auto line = [&text](const char* name, const std::string& value) { text += std::string(name) + ": " + value + "\n"; };
    line("Account", s.account);
    line("Server", s.server.empty() ? "(none: direct calls only)" : s.server);
    line("Password", s.password.empty() ? "(none)" : "(set)");
    line("DisplayName", s.displayName);
    line("ListenAddress", s.listenAddress);
    line("ListenPort", std::to_string(s.listenPort));
    line("RtpPorts", std::to_string(s.rtpPortMin) + "-" + std::to_string(s.rtpPortMax));
    line("RegisterExpires", std::to_string(s.registerExpires));
    line("RegisterRetrySeconds", std::to_string(s.registerRetrySeconds));
    line("KeepAliveSeconds", std::to_string(s.keepAliveSeconds));
    line("RingPeriodMs", std::to_string(s.ringPeriodMs));
    line("MediaTimeoutSeconds", std::to_string(s.mediaTimeoutSeconds));
    return text;
}

}  // namespace sipline
