#include "lines/sip/g711_transcode.h"

#include <cstring>

#include "platform/winmm/g711.h"

namespace sipline {

namespace {

std::int16_t CodeToLinear(Codec codec, std::uint8_t code) {
    return codec == Codec::kPcma ? g711::ALawToLinear(code) : g711::ULawToLinear(code);
}

std::uint8_t LinearToCode(Codec codec, std::int16_t value) {
    return codec == Codec::kPcma ? g711::LinearToALaw(value) : g711::LinearToULaw(value);
}

}  // namespace

std::size_t BytesPerSample(const WAVEFORMATEX& format) { return format.wBitsPerSample == 16 ? 2 : 1; }

void DecodeForFormat(Codec codec, const std::uint8_t* codes, std::size_t size, const WAVEFORMATEX& format,
                     std::uint8_t* out) {
    const bool alaw = codec == Codec::kPcma;
    switch (format.wFormatTag) {
        case WAVE_FORMAT_MULAW:
            if (!alaw) {
                std::memcpy(out, codes, size);
            } else {
                for (std::size_t i = 0; i < size; i++) out[i] = g711::ALawToULaw(codes[i]);
            }
            return;
        case WAVE_FORMAT_ALAW:
            if (alaw) {
                std::memcpy(out, codes, size);
            } else {
                for (std::size_t i = 0; i < size; i++) out[i] = g711::ULawToALaw(codes[i]);
            }
            return;
        default:
            break;
    }
    if (format.wBitsPerSample == 16) {
        for (std::size_t i = 0; i < size; i++) {
            const auto v = static_cast<std::uint16_t>(CodeToLinear(codec, codes[i]));
            out[2 * i] = static_cast<std::uint8_t>(v & 0xFF);
            out[2 * i + 1] = static_cast<std::uint8_t>(v >> 8);
        }
    } else {
        for (std::size_t i = 0; i < size; i++) out[i] = g711::LinearToPcm8(CodeToLinear(codec, codes[i]));
    }
}

void EncodeFromFormat(const WAVEFORMATEX& format, const std::uint8_t* data, std::size_t size, Codec codec,
                      std::string* out) {
    const bool alaw = codec == Codec::kPcma;
    const std::size_t start = out->size();
    const std::size_t samples = size / BytesPerSample(format);
    out->resize(start + samples);
    auto* codes = reinterpret_cast<std::uint8_t*>(out->data() + start);
    for (std::size_t i = 0; i < samples; i++) {
        switch (format.wFormatTag) {
            case WAVE_FORMAT_MULAW:
                codes[i] = alaw ? g711::ULawToALaw(data[i]) : data[i];
                break;
            case WAVE_FORMAT_ALAW:
                codes[i] = alaw ? data[i] : g711::ALawToULaw(data[i]);
                break;
            default:
                if (format.wBitsPerSample == 16) {
                    const auto v = static_cast<std::int16_t>(data[2 * i] | data[2 * i + 1] << 8);
                    codes[i] = LinearToCode(codec, v);
                } else {
                    codes[i] = LinearToCode(codec, g711::Pcm8ToLinear(data[i]));
                }
                break;
        }
    }
}

}  // namespace sipline
