#include "lines/sip/telephone_event.h"

#include <cctype>
#include <string>

namespace sipline {

namespace {

std::string_view Trim(std::string_view text) {
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front()))) text.remove_prefix(1);
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) text.remove_suffix(1);
    return text;
}

bool SameText(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); i++)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

// A digit written as itself, or as its event number ("10" is '*').
char DigitOfText(std::string_view text) {
    text = Trim(text);
    if (text.size() == 1) {
        char c = static_cast<char>(std::toupper(static_cast<unsigned char>(text[0])));
        if ((c >= '0' && c <= '9') || c == '*' || c == '#' || (c >= 'A' && c <= 'D')) return c;
        return 0;
    }
    if (text == "10" || text == "11" || text == "12" || text == "13" || text == "14" || text == "15")
        return ToneEventDigit(std::stoi(std::string(text)));
    return 0;
}

}  // namespace

bool DecodeToneEvent(const std::uint8_t* payload, std::size_t size, ToneEvent* event) {
    if (size < 4) return false;
    event->event = payload[0];
    event->end = (payload[1] & 0x80) != 0;
    event->duration = static_cast<std::uint16_t>(payload[2] << 8 | payload[3]);
    return true;
}

char ToneEventDigit(int event) {
    static const char kDigits[] = "0123456789*#ABCD";
    return event >= 0 && event < 16 ? kDigits[event] : 0;
}

char ToneEventFilter::Take(std::uint32_t ssrc, std::uint32_t timestamp, const ToneEvent& event) {
    if (m_seen && ssrc == m_ssrc && timestamp == m_timestamp && event.event == m_event) return 0;
    m_seen = true;
    m_ssrc = ssrc;
    m_timestamp = timestamp;
    m_event = event.event;
    return ToneEventDigit(event.event);
}

char InfoDigit(std::string_view contentType, std::string_view body) {
    contentType = Trim(contentType.substr(0, contentType.find(';')));
    if (SameText(contentType, "application/dtmf")) return DigitOfText(body);
    if (!SameText(contentType, "application/dtmf-relay")) return 0;
    while (!body.empty()) {
        size_t eol = body.find('\n');
        std::string_view line = body.substr(0, eol);
        body = eol == std::string_view::npos ? std::string_view() : body.substr(eol + 1);
        size_t eq = line.find('=');
        if (eq != std::string_view::npos && SameText(Trim(line.substr(0, eq)), "signal"))
            return DigitOfText(line.substr(eq + 1));
    }
    return 0;
}

}  // namespace sipline
