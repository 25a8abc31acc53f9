#include "call_script.h"

#include <cstdio>
#include <thread>

#include "message_audio.h"
#include "lines/sim/sim_line_protocol.h"

namespace callclient {

namespace {

constexpr auto kPollInterval = std::chrono::milliseconds(10);  // real time
constexpr unsigned kRingPeriodMs = 6000;       // a ring every six seconds
constexpr double kQuietForDigits = 1.0;        // s: the line waits for input
constexpr double kSilentPromptLimit = 5.0;     // s: press anyway when nothing plays
constexpr double kQuietEndsTone = 0.3;         // s
constexpr double kQuietWithoutBeep = 3.0;      // s: speak anyway
constexpr double kTrailingSilence = 0.5;       // s after the message, then hang up
constexpr double kLongestWait = 600.0;         // s of a call with nothing to do
constexpr double kRate = 8000.0;

std::string Seconds(double s) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f s", s);
    return text;
}

std::string Times(unsigned n) { return std::to_string(n) + (n == 1 ? " time" : " times"); }

}  // namespace

std::vector<DigitGroup> SplitDigits(const std::string& digits) {
    std::vector<DigitGroup> groups;
    // Only a leading ',' makes the first group wait; every later one waits.
    DigitGroup current{{}, !digits.empty() && digits[0] == ','};
    for (char c : digits) {
        if (c != ',') current.digits += c;
        if ((c == ',' || c == '#') && !current.digits.empty()) {
            groups.push_back(current);
            current = DigitGroup{{}, true};
        }
    }
    if (!current.digits.empty()) groups.push_back(current);
    return groups;
}

CallScript::CallScript(const CallOptions& options, LineClient& line, std::string messagePath, std::ostream& out)
    : m_options(options), m_line(line), m_message(std::move(messagePath)), m_out(out),
      m_groups(SplitDigits(options.digits)) {}

int CallScript::Run() {
    if (!Offer()) return Fail();
    if (Ring() && !Converse()) return Fail();
    if (m_failed) return Fail();
    if (m_options.recordTo && !m_heard.empty())
        m_out << "recording of the call: " << AbsolutePath(*m_options.recordTo) << "\n";
    return 0;
}

int CallScript::Fail() {
    m_out.flush();
    std::fprintf(stderr, "vocerra-call: %s\n", m_line.LastError().c_str());
    return 1;
}

double CallScript::ScaledSince(Clock::time_point t) const {
    return std::chrono::duration<double>(Clock::now() - t).count() * m_line.Scale();
}

bool CallScript::Offer() {
    std::string callerId;
    if (m_options.from) callerId += " from=" + simline::PercentEncode(*m_options.from);
    if (m_options.name) callerId += " name=" + simline::PercentEncode(*m_options.name);
    if (!m_line.Request(m_options.lateCallerId ? "CALL late" : "CALL" + callerId)) return false;
    if (m_options.recordTo &&
        !m_line.Request("RECORD " + simline::PercentEncode(AbsolutePath(*m_options.recordTo))))
        return false;
    m_out << "calling" << (m_options.from ? " from " + *m_options.from : std::string())
          << (m_options.name ? " (" + *m_options.name + ")" : std::string()) << "\n";
    m_line.Request("RING");  // refused on a line that alerts only once accepted
    if (m_options.lateCallerId && !m_line.Request("CALLERID" + callerId)) return false;
    return m_line.Request("RINGING " + std::to_string(kRingPeriodMs)).has_value();
}

bool CallScript::Ring() {
    const unsigned limit = m_options.rings != 0 ? m_options.rings : kDefaultMaxRings;
    bool givingUp = false;
    Clock::time_point lastRingAt{};
    for (;;) {
        std::this_thread::sleep_for(kPollInterval);
        auto status = m_line.Status();
        if (!status) {
            m_failed = true;
            return false;
        }
        m_status = *status;
        if (m_status.answered) {
            m_out << "rang " << Times(m_status.rings) << "\nanswered\n";
            m_answeredAt = m_lastSound = m_lastPress = Clock::now();
            return true;
        }
        if (m_status.Over()) {
            m_out << "rang " << Times(m_status.rings) << "\n"
                  << (m_status.dropped ? "Vocerra hung up without answering\n" : "the call ended unanswered\n");
            return false;
        }
        if (!givingUp && m_status.rings >= limit) {
            givingUp = true;
            lastRingAt = Clock::now();
            m_line.Request("STOPRINGING");
        }
        if (givingUp && ScaledSince(lastRingAt) * 1000.0 >= kRingPeriodMs) {
            m_line.Request("HANGUP");
            m_out << "rang " << Times(m_status.rings) << ", no answer\nhung up\n";
            return false;
        }
    }
}

bool CallScript::Listen() {
    auto status = m_line.Status();
    if (!status) return false;
    m_status = *status;
    const size_t before = m_heard.size();
    if (m_status.captured > before && !m_line.Audio(before, &m_heard)) return false;
    if (m_heard.size() > before) {
        m_finder.Feed(std::span<const std::int16_t>(m_heard).subspan(before));
        m_lastSound = Clock::now();
    } else if (ScaledSince(m_lastSound) >= kQuietEndsTone) {
        m_finder.Flush();
    }
    return true;
}

bool CallScript::DigitsDue() {
    if (m_nextGroup >= m_groups.size()) return false;
    const double quiet = ScaledSince(m_lastSound);
    if (!m_groups[m_nextGroup].afterQuiet)  // typed into the greeting
        return m_heard.size() >= static_cast<size_t>(kRate) || quiet >= kQuietForDigits;
    // A prompt played since the last digits and has ended, or none came.
    return quiet >= kQuietForDigits &&
           (m_heard.size() > m_heardAtPress || ScaledSince(m_lastPress) >= kSilentPromptLimit);
}

bool CallScript::MessageDue() const {
    if (m_message.empty() || m_messageSent || m_nextGroup < m_groups.size()) return false;
    if (m_finder.Beep()) return true;
    return !m_heard.empty() && ScaledSince(m_lastSound) >= kQuietWithoutBeep;
}

bool CallScript::Converse() {
    bool callerHungUp = false;
    Clock::time_point messageDoneAt{};
    bool messageDone = false;
    for (;;) {
        std::this_thread::sleep_for(kPollInterval);
        if (!Listen()) {
            // Vocerra went away mid-call: what it had taken so far is all
            // the caller can account for.
            m_finder.Flush();
            Summary();
            m_out << "the line went away after " << Seconds(ScaledSince(m_answeredAt)) << "\n";
            return false;
        }
        if (m_status.Over()) break;
        const double elapsed = ScaledSince(m_answeredAt);
        if (m_options.hangUpAfter > 0 && elapsed >= m_options.hangUpAfter) {
            callerHungUp = true;
            break;
        }
        if (DigitsDue()) {
            const std::string& digits = m_groups[m_nextGroup].digits;
            if (m_line.Request("DIGITS " + digits))
                m_out << "pressed " << digits << "\n";
            else
                m_out << "could not press " << digits << ": " << m_line.LastError() << "\n";
            m_nextGroup++;
            m_lastPress = Clock::now();
            m_heardAtPress = m_heard.size();
        }
        if (MessageDue()) {
            auto reply = m_line.Request("SEND FILE " + simline::PercentEncode(m_message));
            if (!reply) return false;
            m_messageSent = true;
            m_messageLength = simline::ParseNumber(*reply, ~0ul).value_or(0);
            if (!m_finder.Beep()) m_out << "no beep heard; speaking anyway\n";
        }
        if (m_messageSent && m_status.left == 0 && m_options.hangUpAfter <= 0) {
            if (!messageDone) messageDoneAt = Clock::now();
            messageDone = true;
            if (ScaledSince(messageDoneAt) >= kTrailingSilence) {
                callerHungUp = true;
                break;
            }
        }
        if (elapsed >= kLongestWait) {
            callerHungUp = true;
            break;
        }
    }
    if (callerHungUp) {
        // A caller who hangs up stops talking: what is left of the message
        // is not sent on into the line.
        if (m_messageSent && m_status.left != 0) m_line.Request("SEND SILENCE");
        m_line.Request("HANGUP");
        Listen();
    }
    m_finder.Flush();
    Summary();
    m_out << (callerHungUp ? "hung up after " : "Vocerra hung up after ")
          << Seconds(ScaledSince(m_answeredAt)) << "\n";
    return true;
}

void CallScript::Summary() {
    if (const auto& beep = m_finder.Beep()) {
        m_out << "greeting heard for " << Seconds(beep->start / kRate) << "\n";
        char text[96];
        std::snprintf(text, sizeof text, "beep at %.1f s (%.0f Hz, %.2f s)\n", beep->start / kRate,
                      beep->frequency, beep->length / kRate);
        m_out << text;
    } else {
        m_out << "heard " << Seconds(m_heard.size() / kRate) << " from the line, no beep\n";
    }
    if (!m_messageSent) {
        if (!m_message.empty()) m_out << "no message left: the call ended before the beep\n";
        return;
    }
    if (m_status.left == 0)
        m_out << "message left: " << Seconds(m_status.sent / kRate) << "\n";
    else
        m_out << "message cut off after " << Seconds(m_status.sent / kRate) << " of "
              << Seconds(m_messageLength / kRate) << "\n";
}

}  // namespace callclient
