#include "telephony/modem_fix.h"

#include <algorithm>
#include <cstdio>
#include <vector>

#include "platform/win32/errors.h"
#include "platform/win32/registry.h"

namespace {

constexpr const char* kModemClassKey = "SYSTEM\\CurrentControlSet\\Control\\Class\\{4D36E96D-E325-11CE-BFC1-08002BE10318}\\";
// Where the commands the fix replaced are kept, one subkey per modem key.
constexpr const char* kSavedCommandsKey = "Software\\Vocerra\\ModemFix\\";
constexpr const char* kSavedModeValue = "ModeCommand";
constexpr const char* kSavedSilenceValue = "SilenceDetectionCommand";
// Modem subkeys are named "%04d".
constexpr int kMaxModemKeys = 10000;

constexpr const char* kMakers[] = {"Lucent", "LSI", "Agere"};

constexpr const char* kModeCommand = "at+fclass=8";
constexpr const char* kInactivityTimer = "+vit";
constexpr const char* kSilenceCommand = "at+vsd";
constexpr const char* kSilenceFixed = "at+vsd=128,0";
constexpr const char* kModeFix = "at+fclass=8;+vit=0<cr>";
constexpr const char* kSilenceFix = "at+vsd=128,0<cr>";
constexpr const char* kModeDefault = "at+fclass=8<cr>";
constexpr const char* kSilenceDefault = "at+vsd=128,50<cr>";

std::string Lower(const std::string& text) {
    std::string out = text;
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return out;
}

bool Contains(const std::string& text, const char* part) { return Lower(text).find(Lower(part)) != std::string::npos; }

bool SameNoCase(const std::string& a, const std::string& b) { return Lower(a) == Lower(b); }

// A match needs a text on both sides.
bool Matches(const std::string& wanted, const std::string& stored) {
    return !wanted.empty() && !stored.empty() && SameNoCase(wanted, stored);
}

std::string TrimBlanks(const std::string& text) {
    size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos) return "";
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

void SplitPath(const std::string& path, std::string& key, std::string& value) {
    size_t sep = path.rfind('\\');
    key = sep == std::string::npos ? std::string() : path.substr(0, sep);
    value = sep == std::string::npos ? path : path.substr(sep + 1);
}

std::string ReadText(HKEY root, const std::string& path) {
    std::string keyPath;
    std::string valueName;
    SplitPath(path, keyPath, valueName);
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, keyPath.c_str(), 0, KEY_QUERY_VALUE, &key) != static_cast<LONG>(ERROR_SUCCESS)) {
        return "";
    }
    DWORD type = 0;
    DWORD size = 0;
    std::vector<char> data;
    LONG rc = RegQueryValueExA(key, valueName.c_str(), nullptr, &type, nullptr, &size);
    if (rc == static_cast<LONG>(ERROR_SUCCESS) && size > 0) {
        data.resize(size);
        rc = RegQueryValueExA(key, valueName.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &size);
    }
    RegCloseKey(key);
    if (rc != static_cast<LONG>(ERROR_SUCCESS) || (type != REG_SZ && type != REG_EXPAND_SZ)) return "";
    std::string text(data.data(), std::min<size_t>(size, data.size()));
    return text.substr(0, text.find('\0'));
}

void WriteText(HKEY root, const std::string& path, const std::string& text) {
    std::string keyPath;
    std::string valueName;
    SplitPath(path, keyPath, valueName);
    HKEY key = nullptr;
    if (RegCreateKeyExA(root, keyPath.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE, nullptr, &key,
                        nullptr) != static_cast<LONG>(ERROR_SUCCESS)) {
        return;
    }
    RegSetValueExA(key, valueName.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                   static_cast<DWORD>(text.size() + 1));
    RegCloseKey(key);
}

std::string ModemSubkey(int n) {
    char name[16];
    std::snprintf(name, sizeof name, "%04d", n);
    return std::string(kModemClassKey) + name;
}

}  // namespace

std::string RegModem::ReadValue(const std::string& path) { return ReadText(HKEY_LOCAL_MACHINE, path); }

void RegModem::WriteValue(const std::string& path, const std::string& text) {
    WriteText(HKEY_LOCAL_MACHINE, path, text);
}

bool RegModem::Locate() {
    if (m_port.empty() && m_manufacturer.empty() && m_name.empty()) return false;
    for (int n = 0; n < kMaxModemKeys; ++n) {
        std::string subkey = ModemSubkey(n);
        std::string port = TrimBlanks(ReadValue(subkey + "\\AttachedTo"));
        std::string manufacturer = TrimBlanks(ReadValue(subkey + "\\Manufacturer"));
        std::string name = TrimBlanks(ReadValue(subkey + "\\FriendlyName"));
        if (port.empty() && manufacturer.empty() && name.empty()) return false;
        if (Matches(m_port, port) || Matches(m_manufacturer, manufacturer) || Matches(m_name, name)) {
            m_key = subkey;
            m_port = port;
            m_manufacturer = manufacturer;
            m_name = name;
            return true;
        }
    }
    return false;
}

bool RegLSI::IsLsiModem() const {
    for (const char* maker : kMakers) {
        if (Contains(m_manufacturer, maker) || Contains(m_name, maker)) return true;
    }
    return false;
}

std::string RegLSI::CommandPath(int n) const { return m_key + "\\StartRecord\\" + std::to_string(n); }

std::string RegLSI::SavedPath(const char* valueName) const {
    return std::string(kSavedCommandsKey) + m_key.substr(m_key.rfind('\\') + 1) + "\\" + valueName;
}

void RegLSI::LoadSaved() {
    if (m_savedMode.empty()) m_savedMode = ReadText(HKEY_CURRENT_USER, SavedPath(kSavedModeValue));
    if (m_savedSilence.empty()) m_savedSilence = ReadText(HKEY_CURRENT_USER, SavedPath(kSavedSilenceValue));
}

void RegLSI::Save(std::string& member, const char* valueName, const std::string& command) {
    member = command;
    WriteText(HKEY_CURRENT_USER, SavedPath(valueName), command);
}

bool RegLSI::ForEachCommand(const std::function<void(const std::string& path, const std::string& command,
                                                     bool isMode)>& visit) {
    if (m_key.empty()) return false;
    LoadSaved();
    bool modeFound = false;
    bool silenceFound = false;
    for (int n = 1;; ++n) {
        std::string path = CommandPath(n);
        std::string command = ReadValue(path);
        if (command.empty()) break;
        if (Contains(command, kModeCommand)) {
            modeFound = true;
            visit(path, command, true);
        } else if (Contains(command, kSilenceCommand)) {
            silenceFound = true;
            visit(path, command, false);
        }
    }
    return modeFound && silenceFound;
}

bool RegLSI::ApplyFix() {
    return ForEachCommand([this](const std::string& path, const std::string& command, bool isMode) {
        if (isMode && !Contains(command, kInactivityTimer)) {
            Save(m_savedMode, kSavedModeValue, command);
            WriteValue(path, kModeFix);
        } else if (!isMode && !Contains(command, kSilenceFixed)) {
            Save(m_savedSilence, kSavedSilenceValue, command);
            WriteValue(path, kSilenceFix);
        }
    });
}

// Only a command the fix wrote is put back: a modem whose own command
// already set the timer or the silence period keeps it.
bool RegLSI::RestoreFix() {
    return ForEachCommand([this](const std::string& path, const std::string& command, bool isMode) {
        if (isMode && SameNoCase(command, kModeFix)) {
            WriteValue(path, m_savedMode.empty() ? kModeDefault : m_savedMode);
        } else if (!isMode && SameNoCase(command, kSilenceFix)) {
            WriteValue(path, m_savedSilence.empty() ? kSilenceDefault : m_savedSilence);
        }
    });
}
