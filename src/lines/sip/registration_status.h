// Where the SIP line's registration stands, in words a person reads: on the
// headless program's output, on the set-up page and from
// `vocerra-sip-setup --show`, which is another process and learns it from a
// small file the running program keeps in its runtime folder.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace sipline {

struct RegistrationStatus {
    enum class State { kOff, kRegistering, kRegistered, kFailed };
    State state = State::kOff;
    unsigned attempts = 0;
    unsigned successes = 0;
    unsigned failures = 0;          // in a row
    std::uint16_t lastStatus = 0;   // the registrar's last final status, 0 if none came
    std::string lastReason;         // its reason phrase
    int lastError = 0;              // no answer at all (errno value)
    std::uint64_t nextRetryMs = 0;  // the wait before the next attempt after a failure
};

// "Registration: refused (next try in 30 s)\nLast answer: 403 Forbidden\n".
std::string DescribeRegistration(const RegistrationStatus& status);

// The file the running program writes; removed when the line stops.
std::string RegistrationFilePath();

struct RegistrationReport {
    std::string line;  // the line's name, as the modem list shows it
    std::string text;  // DescribeRegistration's lines
};

// Written whole (a temporary file renamed over the old one), readable by the
// owner only. False when the runtime folder cannot be used.
bool WriteRegistrationFile(const RegistrationReport& report);
void RemoveRegistrationFile();
// The running program's report; none when no program runs (a file left by
// one that ended without removing it does not count).
std::optional<RegistrationReport> ReadRegistrationFile();

}  // namespace sipline
