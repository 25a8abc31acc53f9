#include "lines/sim/sim_line_session.h"

#include <sys/stat.h>

#include <cstring>

#include "lines/sim/sim_call_audio_device.h"
#include "lines/sim/sim_line_protocol.h"
#include "lines/sim/sim_line_service.h"
#include "platform/win32/clock.h"

namespace simline {

namespace {

constexpr unsigned long kMaxPeriodMs = 600000;
constexpr unsigned long kMaxToneHz = 4000;
constexpr unsigned long kMaxCallerFlags = 0x7F;
constexpr size_t kMaxDigits = 64;
// An hour of 16-bit audio: the file is read whole into this process.
constexpr off_t kMaxSendFileBytes = 8000 * 2 * 3600;

std::string Ok(const std::string& rest = {}) { return rest.empty() ? "OK\n" : "OK " + rest + "\n"; }
std::string Err(const std::string& reason) { return "ERR " + reason + "\n"; }

const char* StateName(DWORD state) {
    switch (state) {
        case LINECALLSTATE_OFFERING: return "offering";
        case LINECALLSTATE_ACCEPTED: return "accepted";
        case LINECALLSTATE_CONNECTED: return "connected";
        case LINECALLSTATE_DISCONNECTED: return "disconnected";
        case LINECALLSTATE_IDLE: return "idle";
        default: return "other";
    }
}

// The caller ID of a CALL or CALLERID request; false when a field is bad.
bool ParseCaller(const Request& request, CallerId* caller) {
    bool bad = false;
    caller->number = request.Value("from", &bad);
    caller->name = request.Value("name", &bad);
    auto flags = request.Value("flags", &bad);
    if (bad) return false;
    if (flags) {
        auto value = ParseNumber(*flags, kMaxCallerFlags);
        if (!value) return false;
        caller->flags = static_cast<DWORD>(*value);
    } else {
        caller->flags = (caller->number ? LINECALLPARTYID_ADDRESS : 0) |
                        (caller->name ? LINECALLPARTYID_NAME : 0);
        if (caller->flags == 0) caller->flags = LINECALLPARTYID_UNKNOWN;
    }
    return true;
}

bool ValidDigits(const std::string& digits) {
    if (digits.empty() || digits.size() > kMaxDigits) return false;
    for (char c : digits)
        if (std::strchr("0123456789*#ABCD", c) == nullptr) return false;
    return true;
}

}  // namespace

RemoteSession::RemoteSession(SimLineService& service, DWORD defaultLine)
    : m_service(service), m_defaultLine(defaultLine) {}

RemoteSession::~RemoteSession() {
    if (!m_call) return;
    m_call->StopRinging();
    m_call->HangUp();  // refused by the call when it is already over
    if (SimCallAudio* audio = CallAudio()) audio->CaptureToFile("");
}

std::string RemoteSession::Handle(std::string_view line) {
    auto request = ParseRequest(line);
    if (!request) return Err("empty or malformed request");
    return Dispatch(*request);
}

std::string RemoteSession::Dispatch(const Request& r) {
    if (r.verb == "HELLO") {
        return Ok("vocerra-sim-line " + std::to_string(kRemoteProtocolVersion) +
                  " scale=" + std::to_string(platform::TimeScale()));
    }
    if (r.verb == "BYE") {
        m_finished = true;
        return Ok();
    }
    if (r.verb == "CALL") return Call(r);
    if (r.verb == "LINE") return Line(r);
    if (!m_call) return Err("no call; CALL first");
    if (r.verb == "CALLERID") return CallerIdLate(r);
    if (r.verb == "RING" || r.verb == "RINGING" || r.verb == "STOPRINGING") return Ring(r);
    if (r.verb == "DIGITS") return Digits(r);
    if (r.verb == "SEND") return Send(r);
    if (r.verb == "RECORD") return Record(r);
    if (r.verb == "STATUS") return Status();
    if (r.verb == "AUDIO") return Audio(r);
    if (r.verb == "HANGUP") {
        m_call->StopRinging();
        return m_call->HangUp() ? Ok() : Err("the call is already over");
    }
    return Err("unknown request");
}

std::optional<DWORD> RemoteSession::LineOf(const Request& r) const {
    bool bad = false;
    auto text = r.Value("line", &bad);
    if (bad) return std::nullopt;
    if (!text) return m_defaultLine;
    auto value = ParseNumber(*text, 0xFFFF);
    if (!value) return std::nullopt;
    return static_cast<DWORD>(*value);
}

std::string RemoteSession::Call(const Request& r) {
    if (m_call) return Err("this connection already has a call");
    CallerId caller;
    if (!ParseCaller(r, &caller)) return Err("malformed caller ID");
    const std::optional<DWORD> line = LineOf(r);
    if (!line) return Err("malformed line number");
    m_call = m_service.OfferCall(*line, caller, !r.Has("late"));
    if (!m_call) return Err("no such line");
    return Ok(std::to_string(m_call->Id()));
}

std::string RemoteSession::Line(const Request& r) {
    const std::optional<DWORD> line = LineOf(r);
    if (!line) return Err("malformed line number");
    if (*line >= m_service.NumDevices()) return Err("no such line");
    return Ok("open=" + std::to_string(m_service.OpenCount(*line)) +
              " openings=" + std::to_string(m_service.Openings(*line)));
}

std::string RemoteSession::CallerIdLate(const Request& r) {
    CallerId caller;
    if (!ParseCaller(r, &caller)) return Err("malformed caller ID");
    return m_call->ReportCallerId(caller) ? Ok() : Err("the call is over");
}

std::string RemoteSession::Ring(const Request& r) {
    if (r.verb == "STOPRINGING") {
        m_call->StopRinging();
        return Ok();
    }
    if (r.verb == "RING") {
        if (!m_call->Ring()) return Err("the call cannot ring now");
        return Ok(std::to_string(m_call->RingCount()));
    }
    auto period = r.words.size() == 1 ? ParseNumber(r.words[0], kMaxPeriodMs) : std::nullopt;
    if (!period || *period == 0) return Err("RINGING needs a period in milliseconds");
    m_call->StartRinging(static_cast<DWORD>(*period));
    return Ok();
}

std::string RemoteSession::Digits(const Request& r) {
    if (r.words.size() != 1 || !ValidDigits(r.words[0])) return Err("malformed digits");
    for (char digit : r.words[0])
        if (!m_call->PressDigit(digit)) return Err("the call is not connected");
    return Ok();
}

std::string RemoteSession::Send(const Request& r) {
    SimCallAudio* audio = CallAudio();
    if (audio == nullptr) return Err("the call has no audio");
    const std::string what = r.words.empty() ? std::string() : r.words[0];
    if (what == "SILENCE" && r.words.size() == 1) {
        audio->SendSilence();
        return Ok();
    }
    if (what == "FILE" && r.words.size() == 2) {
        auto path = PercentDecode(r.words[1]);
        if (!path || path->empty()) return Err("malformed path");
        struct stat st {};
        if (stat(path->c_str(), &st) == 0 && st.st_size > kMaxSendFileBytes) return Err("file too large");
        if (!audio->SendFile(*path)) return Err("not a readable WAVE file in a telephone format");
        return Ok(std::to_string(audio->FileSamplesLeft()));
    }
    if (what == "TONE" && (r.words.size() == 5 || r.words.size() == 6)) {
        auto f1 = ParseNumber(r.words[1], kMaxToneHz);
        auto f2 = ParseNumber(r.words[2], kMaxToneHz);
        auto on = ParseNumber(r.words[3], kMaxPeriodMs);
        auto off = ParseNumber(r.words[4], kMaxPeriodMs);
        auto amplitude = r.words.size() == 6 ? ParseNumber(r.words[5], 32767) : 8000ul;
        if (!f1 || !f2 || !on || !off || !amplitude) return Err("malformed tone");
        audio->SendTone(ToneSpec{static_cast<double>(*f1), static_cast<double>(*f2),
                                 static_cast<double>(*amplitude), static_cast<DWORD>(*on),
                                 static_cast<DWORD>(*off)});
        return Ok();
    }
    return Err("SEND needs SILENCE, FILE <path> or TONE <f1> <f2> <on> <off> [amplitude]");
}

std::string RemoteSession::Record(const Request& r) {
    SimCallAudio* audio = CallAudio();
    if (audio == nullptr) return Err("the call has no audio");
    if (r.words.size() > 1) return Err("RECORD takes one path");
    std::string path;
    if (r.words.size() == 1) {
        auto decoded = PercentDecode(r.words[0]);
        if (!decoded || decoded->empty()) return Err("malformed path");
        path = *decoded;
    }
    audio->CaptureToFile(path);
    return Ok();
}

std::string RemoteSession::Status() {
    SimCallAudio* audio = CallAudio();
    std::string text = std::string("state=") + StateName(m_call->State()) +
                       " rings=" + std::to_string(m_call->RingCount()) +
                       " answered=" + (m_call->Answered() ? "1" : "0") +
                       " dropped=" + (m_call->DropRequests() > 0 ? "1" : "0");
    text += " captured=" + std::to_string(audio ? audio->CapturedSampleCount() : 0);
    text += " sent=" + std::to_string(audio ? audio->FileSamplesSent() : 0);
    text += " left=" + std::to_string(audio ? audio->FileSamplesLeft() : 0);
    return Ok(text);
}

std::string RemoteSession::Audio(const Request& r) {
    SimCallAudio* audio = CallAudio();
    if (audio == nullptr) return Err("the call has no audio");
    if (r.words.empty() || r.words.size() > 2) return Err("AUDIO needs a start sample");
    auto from = ParseNumber(r.words[0], 0xFFFFFFFFul);
    auto max = r.words.size() == 2 ? ParseNumber(r.words[1], kMaxAudioReply) : kMaxAudioReply;
    if (!from || !max) return Err("malformed sample count");
    std::vector<std::int16_t> samples = audio->CapturedSamples(*from, *max);
    std::string reply = Ok(std::to_string(samples.size()));
    for (std::int16_t s : samples) {
        const auto u = static_cast<std::uint16_t>(s);
        reply += static_cast<char>(u & 0xFF);
        reply += static_cast<char>(u >> 8);
    }
    return reply;
}

SimCallAudio* RemoteSession::CallAudio() const {
    return m_call ? dynamic_cast<SimCallAudio*>(m_call->Audio()) : nullptr;
}

}  // namespace simline
