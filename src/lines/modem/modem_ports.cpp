#include "lines/modem/modem_ports.h"

#include <glob.h>
#include <poll.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <optional>

#include "lines/modem/serial_port.h"
#include "platform/win32/errors.h"
#include "platform/win32/registry.h"

namespace modemline {

namespace {

constexpr const char* kSettingsKey = "Software\\Vocerra\\Modem";
constexpr int kProbeTimeoutMs = 1500;

std::optional<std::string> UserSetting(const char* name, const char* environment) {
    if (const char* value = std::getenv(environment)) return std::string(value);
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kSettingsKey, 0, KEY_QUERY_VALUE, &key) !=
        static_cast<LONG>(ERROR_SUCCESS))
        return std::nullopt;
    char data[1024];
    DWORD size = sizeof data;
    DWORD type = 0;
    const LONG rc = RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(data), &size);
    RegCloseKey(key);
    if (rc != static_cast<LONG>(ERROR_SUCCESS) || type != REG_SZ) return std::nullopt;
    return std::string(data, size).c_str();
}

std::vector<std::string> UsbSerialPorts() {
    std::vector<std::string> ports;
    for (const char* pattern : {"/dev/ttyACM*", "/dev/ttyUSB*"}) {
        glob_t found{};
        if (glob(pattern, 0, nullptr, &found) == 0)
            for (size_t i = 0; i < found.gl_pathc; i++) ports.emplace_back(found.gl_pathv[i]);
        globfree(&found);
    }
    return ports;
}

}  // namespace

std::vector<std::string> SplitPortList(const std::string& text) {
    std::vector<std::string> ports;
    std::string current;
    for (char c : text + " ") {
        if (c == ' ' || c == ',' || c == ';' || c == '\t') {
            if (!current.empty()) ports.push_back(current);
            current.clear();
        } else {
            current.push_back(c);
        }
    }
    return ports;
}

bool ProbeVoiceModem(const std::string& port, const std::string& lockDir, int timeoutMs) {
    SerialPort serial;
    if (!serial.Open(port, lockDir).empty()) return false;
    const std::string query = "AT+FCLASS=?\r";
    if (write(serial.Fd(), query.data(), query.size()) != static_cast<ssize_t>(query.size())) return false;
    std::string answer;
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (answer.find("OK") == std::string::npos && answer.find("ERROR") == std::string::npos) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(until - std::chrono::steady_clock::now());
        if (left.count() <= 0) return false;
        pollfd p{serial.Fd(), POLLIN, 0};
        if (poll(&p, 1, static_cast<int>(left.count())) <= 0) continue;
        char buffer[256];
        const ssize_t n = read(serial.Fd(), buffer, sizeof buffer);
        if (n <= 0) return false;
        answer.append(buffer, static_cast<size_t>(n));
    }
    // The class list, as "0,1,1.0,2,8" or "(0-2,8)".
    const size_t ok = answer.find("OK");
    return ok != std::string::npos && answer.substr(0, ok).find('8') != std::string::npos;
}

std::vector<ModemSettings> ConfiguredModems() {
    const std::optional<std::string> named = UserSetting("Ports", "VOCERRA_MODEM_PORTS");
    const std::string family = UserSetting("Family", "VOCERRA_MODEM_FAMILY").value_or("");
    // Tests keep their lock files to themselves.
    const char* lockDir = std::getenv("VOCERRA_MODEM_LOCK_DIR");
    std::vector<std::string> ports;
    if (named) {
        ports = SplitPortList(*named);
    } else {
        for (const std::string& port : UsbSerialPorts())
            if (ProbeVoiceModem(port, lockDir != nullptr ? lockDir : "", kProbeTimeoutMs)) ports.push_back(port);
    }
    std::vector<ModemSettings> modems;
    for (const std::string& port : ports) {
        ModemSettings settings;
        settings.port = port;
        settings.family = family;
        settings.lockDir = lockDir != nullptr ? lockDir : "";
        modems.push_back(settings);
    }
    return modems;
}

}  // namespace modemline
