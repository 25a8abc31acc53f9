// One call as a caller makes it: offer, ring until answered (or give up),
// then press the touch tones when the line waits for them, say the message
// after the beep, hang up; printing what happened as it happens. Waits are
// in the server's scaled time; what was heard is measured in samples.
#pragma once

#include <chrono>
#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "call_options.h"
#include "line_client.h"
#include "tone_finder.h"

namespace callclient {

// The touch tones split where the caller waits for the line to go quiet (a
// prompt ended): after each '#' and at each ','. The first group is typed
// into the greeting unless the digits start with ','.
struct DigitGroup {
    std::string digits;
    bool afterQuiet = false;
};
std::vector<DigitGroup> SplitDigits(const std::string& digits);

class CallScript {
public:
    // messagePath: absolute path of a telephone-format WAVE, or empty.
    CallScript(const CallOptions& options, LineClient& line, std::string messagePath, std::ostream& out);
    // 0 when the call was placed (answered or not), 1 when it failed.
    int Run();

private:
    using Clock = std::chrono::steady_clock;

    bool Offer();
    // True when answered; false when it ended unanswered or failed.
    bool Ring();
    bool Converse();
    bool Listen();  // status and new audio; false when the connection failed
    bool DigitsDue();
    bool MessageDue() const;
    void Summary();
    double ScaledSince(Clock::time_point t) const;
    int Fail();

    const CallOptions& m_options;
    LineClient& m_line;
    std::string m_message;
    std::ostream& m_out;

    LineStatus m_status;
    std::vector<std::int16_t> m_heard;
    ToneFinder m_finder;
    Clock::time_point m_answeredAt;
    Clock::time_point m_lastSound;
    bool m_failed = false;

    std::vector<DigitGroup> m_groups;
    size_t m_nextGroup = 0;
    Clock::time_point m_lastPress;
    size_t m_heardAtPress = 0;
    bool m_messageSent = false;
    size_t m_messageLength = 0;
};

}  // namespace callclient
