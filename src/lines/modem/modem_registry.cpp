#include "lines/modem/modem_registry.h"

#include <strings.h>

#include <cstdio>

#include "platform/win32/errors.h"
#include "platform/win32/registry.h"

namespace modemline {

namespace {

constexpr const char* kModemClassKey =
    "SYSTEM\\CurrentControlSet\\Control\\Class\\{4D36E96D-E325-11CE-BFC1-08002BE10318}\\";
constexpr int kMaxModemKeys = 10000;
constexpr LONG kOk = static_cast<LONG>(ERROR_SUCCESS);

std::string Read(const std::string& keyPath, const char* valueName) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, keyPath.c_str(), 0, KEY_QUERY_VALUE, &key) != kOk) return "";
    char data[1024];
    DWORD size = sizeof data;
    DWORD type = 0;
    const LONG rc = RegQueryValueExA(key, valueName, nullptr, &type, reinterpret_cast<BYTE*>(data), &size);
    RegCloseKey(key);
    if (rc != kOk || type != REG_SZ || size == 0) return "";
    return std::string(data, size).c_str();
}

void Write(const std::string& keyPath, const char* valueName, const std::string& text) {
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, keyPath.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE,
                        nullptr, &key, nullptr) != kOk)
        return;
    RegSetValueExA(key, valueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                   static_cast<DWORD>(text.size() + 1));
    RegCloseKey(key);
}

std::string Subkey(int n) {
    char name[16];
    std::snprintf(name, sizeof name, "%04d", n);
    return std::string(kModemClassKey) + name;
}

bool Empty(const std::string& key) {
    return Read(key, "AttachedTo").empty() && Read(key, "Manufacturer").empty() &&
           Read(key, "FriendlyName").empty();
}

}  // namespace

std::string ListModem(const ModemListing& listing) {
    // The list ends at the first number without any of the three values.
    std::string key;
    for (int n = 0; n < kMaxModemKeys; n++) {
        key = Subkey(n);
        if (Empty(key) || strcasecmp(Read(key, "AttachedTo").c_str(), listing.port.c_str()) == 0) break;
    }
    Write(key, "AttachedTo", listing.port);
    Write(key, "Manufacturer", listing.manufacturer);
    Write(key, "FriendlyName", listing.friendlyName);
    if (Read(key + "\\StartRecord", "1").empty()) {
        for (size_t i = 0; i < listing.startRecord.size(); i++)
            Write(key + "\\StartRecord", std::to_string(i + 1).c_str(), listing.startRecord[i]);
    }
    return key;
}

std::vector<std::string> StartRecordCommands(const std::string& key) {
    std::vector<std::string> commands;
    if (key.empty()) return commands;
    for (int n = 1;; n++) {
        std::string command = Read(key + "\\StartRecord", std::to_string(n).c_str());
        if (command.empty()) break;
        commands.push_back(std::move(command));
    }
    return commands;
}

}  // namespace modemline
