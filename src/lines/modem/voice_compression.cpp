#include "lines/modem/voice_compression.h"

#include <cctype>
#include <cstdlib>

namespace modemline {

namespace {

std::string Canonical(const std::string& name) {
    std::string out;
    for (char c : name)
        if (std::isalnum(static_cast<unsigned char>(c))) out.push_back(static_cast<char>(std::toupper(static_cast<unsigned char>(c))));
    return out;
}

bool Has(const std::string& text, const char* part) { return text.find(part) != std::string::npos; }

std::optional<VoiceEncoding> EncodingOf(const std::string& name, int bits) {
    const std::string n = Canonical(name);
    if (Has(n, "ADPCM") || Has(n, "GSM") || Has(n, "CELP")) return std::nullopt;
    if (Has(n, "ULAW") || Has(n, "G711U") || Has(n, "MULAW")) return VoiceEncoding::kMuLaw;
    if (Has(n, "ALAW") || Has(n, "G711A")) return VoiceEncoding::kALaw;
    const bool sixteen = bits == 16 || Has(n, "16");
    if (Has(n, "LINEAR") || Has(n, "PCM")) {
        if (sixteen) return VoiceEncoding::kLinear16;
        if (Has(n, "UNSIGNED")) return VoiceEncoding::kUnsigned8;
        if (Has(n, "SIGNED")) return VoiceEncoding::kSigned8;
        // Vendor "8-BIT LINEAR" is unsigned, silence at 0x80.
        return VoiceEncoding::kUnsigned8;
    }
    return std::nullopt;
}

int Rank(VoiceEncoding encoding) {
    switch (encoding) {
        case VoiceEncoding::kMuLaw:
            return 5;
        case VoiceEncoding::kALaw:
            return 4;
        case VoiceEncoding::kUnsigned8:
            return 3;
        case VoiceEncoding::kSigned8:
            return 2;
        case VoiceEncoding::kLinear16:
            return 1;
    }
    return 0;
}

}  // namespace

std::optional<VoiceCompression> ParseCompressionLine(const std::string& line) {
    const size_t open = line.find('"');
    const size_t close = open == std::string::npos ? open : line.find('"', open + 1);
    if (close == std::string::npos) return std::nullopt;
    // Some modems put "+VSM: " before each entry.
    const size_t start = line.find_first_of("0123456789");
    if (start > open) return std::nullopt;
    char* end = nullptr;
    const long id = std::strtol(line.c_str() + start, &end, 10);
    if (*end != ',') return std::nullopt;
    VoiceCompression entry;
    entry.id = static_cast<int>(id);
    entry.name = line.substr(open + 1, close - open - 1);
    int bits = 0;
    if (close + 1 < line.size() && line[close + 1] == ',') bits = std::atoi(line.c_str() + close + 2);
    auto encoding = EncodingOf(entry.name, bits);
    if (!encoding) return std::nullopt;
    entry.encoding = *encoding;
    return entry;
}

VoiceCompression ChooseCompression(const std::vector<std::string>& lines, int fallbackId) {
    std::optional<VoiceCompression> best;
    for (const std::string& line : lines) {
        auto entry = ParseCompressionLine(line);
        if (entry && (!best || Rank(entry->encoding) > Rank(best->encoding))) best = entry;
    }
    if (best) return *best;
    VoiceCompression fallback;
    fallback.id = fallbackId;
    return fallback;
}

DWORD BytesPerSample(VoiceEncoding encoding) { return encoding == VoiceEncoding::kLinear16 ? 2 : 1; }

BYTE SilenceByte(VoiceEncoding encoding) {
    switch (encoding) {
        case VoiceEncoding::kUnsigned8:
            return 0x80;
        case VoiceEncoding::kMuLaw:
            return 0xFF;
        case VoiceEncoding::kALaw:
            return 0xD5;
        default:
            return 0;
    }
}

}  // namespace modemline
