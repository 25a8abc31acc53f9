// The command line of vocerra-call.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace callclient {

struct CallOptions {
    std::optional<std::string> from;
    std::optional<std::string> name;
    std::optional<std::string> say;
    std::optional<std::string> play;
    std::string digits;      // touch tones; ',' waits for the line to go quiet
    unsigned rings = 0;      // 0: ring until answered (at most kDefaultMaxRings)
    double hangUpAfter = 0;  // seconds after the answer; 0: not set
    std::optional<std::string> recordTo;
    bool lateCallerId = false;  // the caller ID comes after the first ring
    bool help = false;
};

constexpr unsigned kDefaultMaxRings = 20;
constexpr unsigned kMaxRings = 99;
constexpr double kMaxHangUpAfter = 3600.0;

// The options, or the reason they are malformed in *error.
std::optional<CallOptions> ParseCallOptions(const std::vector<std::string>& args, std::string* error);

const char* CallUsage();

}  // namespace callclient
