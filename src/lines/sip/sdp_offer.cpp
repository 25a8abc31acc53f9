#include "lines/sip/sdp_offer.h"

#include <algorithm>
#include <cctype>
#include <charconv>

namespace sipline {

namespace {

std::string Lower(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return out;
}

std::vector<std::string_view> Words(std::string_view line) {
    std::vector<std::string_view> words;
    size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) i++;
        size_t start = i;
        while (i < line.size() && line[i] != ' ' && line[i] != '\t') i++;
        if (i > start) words.push_back(line.substr(start, i - start));
    }
    return words;
}

bool ToInt(std::string_view text, int* value) {
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), *value);
    return ec == std::errc() && end == text.data() + text.size();
}

// "c=IN IP4 192.0.2.1" -> the address.
std::string ConnectionAddress(std::string_view value) {
    auto words = Words(value);
    if (words.size() < 3) return {};
    std::string_view address = words[2];
    return std::string(address.substr(0, address.find('/')));  // drops a multicast TTL
}

struct ParseState {
    bool inAudio = false;
    bool audioDone = false;
    bool anyMedia = false;
    std::string sessionAddress;
    std::string mediaAddress;
};

bool TakeMediaLine(std::string_view value, ParseState& s, MediaOffer* offer) {
    if (s.inAudio) s.audioDone = true;
    s.inAudio = false;
    if (s.audioDone) return true;
    auto words = Words(value);
    if (words.size() < 3 || Lower(words[0]) != "audio") return true;
    if (words[2].find("RTP/AVP") == std::string_view::npos) return true;
    int port = 0;
    if (!ToInt(words[1].substr(0, words[1].find('/')), &port) || port < 0 || port > 65535)
        return false;
    offer->port = static_cast<std::uint16_t>(port);
    for (size_t i = 3; i < words.size(); i++) {
        int pt = 0;
        if (ToInt(words[i], &pt) && pt >= 0 && pt <= 127) offer->payloadTypes.push_back(pt);
    }
    s.inAudio = true;
    return true;
}

// "a=rtpmap:101 telephone-event/8000"
void TakeRtpmap(std::string_view value, MediaOffer* offer) {
    auto words = Words(value.substr(7));
    int pt = 0;
    if (words.size() < 2 || !ToInt(words[0], &pt)) return;
    std::string encoding = Lower(words[1]);
    // "PCMU/8000/1": the channel count is not part of the name we compare.
    size_t second = encoding.find('/', encoding.find('/') + 1);
    if (second != std::string::npos) encoding.resize(second);
    offer->rtpmap[pt] = encoding;
}

bool Named(const MediaOffer& offer, int pt, const char* name) {
    auto it = offer.rtpmap.find(pt);
    return it != offer.rtpmap.end() && it->second == name;
}

}  // namespace

bool ParseOffer(std::string_view sdp, MediaOffer* offer) {
    *offer = MediaOffer{};
    ParseState s;
    bool found = false;
    while (!sdp.empty()) {
        size_t eol = sdp.find('\n');
        std::string_view line = sdp.substr(0, eol);
        sdp = eol == std::string_view::npos ? std::string_view() : sdp.substr(eol + 1);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (line.size() < 2 || line[1] != '=') continue;
        std::string_view value = line.substr(2);
        switch (line[0]) {
            case 'm':
                if (!TakeMediaLine(value, s, offer)) return false;
                s.anyMedia = true;
                found = found || s.inAudio;
                break;
            case 'c':
                if (s.inAudio)
                    s.mediaAddress = ConnectionAddress(value);
                else if (!s.anyMedia)
                    s.sessionAddress = ConnectionAddress(value);
                break;
            case 'a':
                if (s.inAudio && value.substr(0, 7) == "rtpmap:") TakeRtpmap(value, offer);
                break;
            default:
                break;
        }
    }
    offer->address = s.mediaAddress.empty() ? s.sessionAddress : s.mediaAddress;
    return found && !offer->address.empty();
}

CodecChoice ChooseCodec(const MediaOffer& offer) {
    CodecChoice choice;
    if (offer.port == 0) return choice;
    for (int pt : offer.payloadTypes) {
        if (choice.codec == Codec::kNone) {
            const bool unnamed = offer.rtpmap.count(pt) == 0;
            if ((pt == 0 && unnamed) || Named(offer, pt, "pcmu/8000")) {
                choice.codec = Codec::kPcmu;
                choice.payloadType = pt;
            } else if ((pt == 8 && unnamed) || Named(offer, pt, "pcma/8000")) {
                choice.codec = Codec::kPcma;
                choice.payloadType = pt;
            }
        }
        if (choice.telephoneEventType < 0 && Named(offer, pt, "telephone-event/8000"))
            choice.telephoneEventType = pt;
    }
    if (choice.codec == Codec::kNone) choice.telephoneEventType = -1;
    return choice;
}

std::string BuildAnswer(const std::string& localAddress, std::uint16_t localPort,
                        const CodecChoice& choice, std::uint32_t sessionId) {
    const std::string family = localAddress.find(':') != std::string::npos ? "IP6" : "IP4";
    const std::string id = std::to_string(sessionId);
    const std::string pt = std::to_string(choice.payloadType);
    std::string sdp = "v=0\r\no=vocerra " + id + " " + id + " IN " + family + " " + localAddress +
                      "\r\ns=Vocerra\r\nc=IN " + family + " " + localAddress + "\r\nt=0 0\r\n";
    sdp += "m=audio " + std::to_string(localPort) + " RTP/AVP " + pt;
    if (choice.telephoneEventType >= 0) sdp += " " + std::to_string(choice.telephoneEventType);
    sdp += "\r\na=rtpmap:" + pt + (choice.codec == Codec::kPcma ? " PCMA/8000\r\n" : " PCMU/8000\r\n");
    if (choice.telephoneEventType >= 0) {
        const std::string te = std::to_string(choice.telephoneEventType);
        sdp += "a=rtpmap:" + te + " telephone-event/8000\r\na=fmtp:" + te + " 0-15\r\n";
    }
    sdp += "a=ptime:20\r\na=sendrecv\r\n";
    return sdp;
}

std::uint8_t CodecSilence(Codec codec) { return codec == Codec::kPcma ? 0xD5 : 0xFF; }

}  // namespace sipline
