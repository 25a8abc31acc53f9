#include "lines/modem/voice_convert.h"

#include <cstdint>

#include "platform/winmm/g711.h"
#include "platform/winmm/wave_endpoint.h"

namespace modemline {

namespace {

std::int16_t Decode(const BYTE* p, VoiceEncoding encoding) {
    switch (encoding) {
        case VoiceEncoding::kUnsigned8:
            return g711::Pcm8ToLinear(p[0]);
        case VoiceEncoding::kSigned8:
            return static_cast<std::int16_t>(static_cast<std::int8_t>(p[0]) * 256);
        case VoiceEncoding::kMuLaw:
            return g711::ULawToLinear(p[0]);
        case VoiceEncoding::kALaw:
            return g711::ALawToLinear(p[0]);
        case VoiceEncoding::kLinear16:
            return static_cast<std::int16_t>(p[0] | (p[1] << 8));
    }
    return 0;
}

void Encode(std::int16_t v, VoiceEncoding encoding, std::string& out) {
    switch (encoding) {
        case VoiceEncoding::kUnsigned8:
            out.push_back(static_cast<char>(g711::LinearToPcm8(v)));
            break;
        case VoiceEncoding::kSigned8:
            out.push_back(static_cast<char>(v >> 8));
            break;
        case VoiceEncoding::kMuLaw:
            out.push_back(static_cast<char>(g711::LinearToULaw(v)));
            break;
        case VoiceEncoding::kALaw:
            out.push_back(static_cast<char>(g711::LinearToALaw(v)));
            break;
        case VoiceEncoding::kLinear16:
            out.push_back(static_cast<char>(v & 0xFF));
            out.push_back(static_cast<char>((v >> 8) & 0xFF));
            break;
    }
}

}  // namespace

std::optional<VoiceEncoding> EncodingOfFormat(const WAVEFORMATEX& format) {
    switch (winmm::TelephoneFormatBit(format)) {
        case winmm::kFormatPcm16:
            return VoiceEncoding::kLinear16;
        case winmm::kFormatPcm8:
            return VoiceEncoding::kUnsigned8;
        case winmm::kFormatALaw:
            return VoiceEncoding::kALaw;
        case winmm::kFormatMuLaw:
            return VoiceEncoding::kMuLaw;
        default:
            return std::nullopt;
    }
}

std::string ConvertVoice(const BYTE* data, size_t length, VoiceEncoding from, VoiceEncoding to) {
    if (from == to) return std::string(reinterpret_cast<const char*>(data), length);
    const size_t step = BytesPerSample(from);
    std::string out;
    out.reserve(length / step * BytesPerSample(to));
    for (size_t i = 0; i + step <= length; i += step) Encode(Decode(data + i, from), to, out);
    return out;
}

}  // namespace modemline
