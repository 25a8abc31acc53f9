#include "audio/wave_processor.h"

#include <cstddef>

#include "platform/winmm/g711.h"

namespace {

constexpr DWORD kTelephoneRate = 8000;
// Pole of the DC-blocking filter.
constexpr double kDcPole = 0.85;

SHORT DecodePcm8(BYTE u) { return g711::Pcm8ToLinear(u); }
BYTE EncodePcm8(SHORT v) { return g711::LinearToPcm8(v); }
SHORT DecodeALaw(BYTE code) { return g711::ALawToLinear(code); }
BYTE EncodeALaw(SHORT v) { return g711::LinearToALaw(v); }
SHORT DecodeULaw(BYTE code) { return g711::ULawToLinear(code); }
BYTE EncodeULaw(SHORT v) { return g711::LinearToULaw(v); }

BYTE Pcm8ToALaw(BYTE u) { return g711::LinearToALaw(g711::Pcm8ToLinear(u)); }
BYTE Pcm8ToULaw(BYTE u) { return g711::LinearToULaw(g711::Pcm8ToLinear(u)); }
BYTE ALawToPcm8(BYTE code) { return g711::LinearToPcm8(g711::ALawToLinear(code)); }
BYTE ULawToPcm8(BYTE code) { return g711::LinearToPcm8(g711::ULawToLinear(code)); }
BYTE ALawToULaw(BYTE code) { return g711::ALawToULaw(code); }
BYTE ULawToALaw(BYTE code) { return g711::ULawToALaw(code); }

struct CodecEntry {
    VM_CWaveProcessor::DecodeFn decode;
    VM_CWaveProcessor::EncodeFn encode;
};

// PCM16 is stored directly and needs no codec.
constexpr CodecEntry kCodecs[4] = {
    {nullptr, nullptr},
    {DecodePcm8, EncodePcm8},
    {DecodeALaw, EncodeALaw},
    {DecodeULaw, EncodeULaw},
};

struct ConversionEntry {
    VM_CWaveProcessor::Convert8To8Fn to8From8;
    VM_CWaveProcessor::Convert8To16Fn to16From8;
    VM_CWaveProcessor::Convert16To8Fn to8From16;
};

// [source][target]; an all-null entry means the formats are the same.
constexpr ConversionEntry kConversions[4][4] = {
    {{}, {nullptr, nullptr, EncodePcm8}, {nullptr, nullptr, EncodeALaw}, {nullptr, nullptr, EncodeULaw}},
    {{nullptr, DecodePcm8, nullptr}, {}, {Pcm8ToALaw, nullptr, nullptr}, {Pcm8ToULaw, nullptr, nullptr}},
    {{nullptr, DecodeALaw, nullptr}, {ALawToPcm8, nullptr, nullptr}, {}, {ALawToULaw, nullptr, nullptr}},
    {{nullptr, DecodeULaw, nullptr}, {ULawToPcm8, nullptr, nullptr}, {ULawToALaw, nullptr, nullptr}, {}},
};

WORD BytesPerSampleOf(SampleFormat code) { return code == kSampleFormatPcm16 ? 2 : 1; }

SHORT LoadLe16(const BYTE* p) { return static_cast<SHORT>(p[0] | (p[1] << 8)); }

void StoreLe16(BYTE* p, SHORT value) {
    const auto u = static_cast<WORD>(value);
    p[0] = static_cast<BYTE>(u & 0xFF);
    p[1] = static_cast<BYTE>(u >> 8);
}

template <BYTE (*Encode)(SHORT)>
void EncodeLoop(const BYTE* source, LONG samples, BYTE* target) {
    for (LONG i = 0; i < samples; ++i) target[i] = Encode(LoadLe16(source + 2 * i));
}

// The whole-file conversion runs through here; the known encoders get a
// loop of their own so that each sample is one table lookup, not a call.
void Encode16To8(const BYTE* source, LONG samples, BYTE* target, VM_CWaveProcessor::Convert16To8Fn fn) {
    if (fn == EncodeULaw) {
        EncodeLoop<EncodeULaw>(source, samples, target);
    } else if (fn == EncodeALaw) {
        EncodeLoop<EncodeALaw>(source, samples, target);
    } else {
        for (LONG i = 0; i < samples; ++i) target[i] = fn(LoadLe16(source + 2 * i));
    }
}

}  // namespace

SampleFormat VM_GetSampleFormat(const WAVEFORMATEX* format) {
    if (format == nullptr || format->nChannels != 1 || format->nSamplesPerSec != kTelephoneRate) {
        return kSampleFormatNone;
    }
    switch (format->wFormatTag) {
        case WAVE_FORMAT_PCM:
            if (format->wBitsPerSample == 16) return kSampleFormatPcm16;
            if (format->wBitsPerSample == 8) return kSampleFormatPcm8;
            return kSampleFormatNone;
        case WAVE_FORMAT_ALAW:
            return format->wBitsPerSample == 8 ? kSampleFormatALaw : kSampleFormatNone;
        case WAVE_FORMAT_MULAW:
            return format->wBitsPerSample == 8 ? kSampleFormatULaw : kSampleFormatNone;
        default:
            return kSampleFormatNone;
    }
}

VM_CWaveProcessor::VM_CWaveProcessor(const WAVEFORMATEX* format) {
    if (format == nullptr) return;
    m_format = *format;
    m_wBytesPerSample = static_cast<WORD>(m_format.wBitsPerSample / 8);
    const SampleFormat code = VM_GetSampleFormat(&m_format);
    if (code == kSampleFormatNone) return;
    m_pfnDecode = kCodecs[code].decode;
    m_pfnEncode = kCodecs[code].encode;
    m_bCodecReady = TRUE;
}

SHORT VM_CWaveProcessor::VM_GetSample(const BYTE* buffer, LONG index) const {
    if (m_wBytesPerSample == 2) return LoadLe16(buffer + 2 * static_cast<std::ptrdiff_t>(index));
    if (m_pfnDecode == nullptr) return 0;
    return m_pfnDecode(buffer[index]);
}

void VM_CWaveProcessor::VM_PutSample(BYTE* buffer, LONG index, SHORT value) const {
    if (m_wBytesPerSample == 2) {
        StoreLe16(buffer + 2 * static_cast<std::ptrdiff_t>(index), value);
    } else if (m_pfnEncode != nullptr) {
        buffer[index] = m_pfnEncode(value);
    }
}

void VM_CWaveProcessor::VM_RemoveDC(double& value) {
    const double y = kDcPole * m_dcPrevOut + value - m_dcPrevIn;
    m_dcPrevIn = value;
    m_dcPrevOut = y;
    value = y;
}

BOOL VM_CWaveProcessor::VM_SetTargetFormat(const WAVEFORMATEX* target) {
    m_pfn8To8 = nullptr;
    m_pfn8To16 = nullptr;
    m_pfn16To8 = nullptr;
    m_pfn16To16 = nullptr;
    m_bConvertReady = FALSE;
    const SampleFormat from = VM_GetSampleFormat(&m_format);
    const SampleFormat to = VM_GetSampleFormat(target);
    if (!m_bCodecReady || from == kSampleFormatNone || to == kSampleFormatNone || from == to) {
        return FALSE;
    }
    m_pfn8To8 = kConversions[from][to].to8From8;
    m_pfn8To16 = kConversions[from][to].to16From8;
    m_pfn16To8 = kConversions[from][to].to8From16;
    m_wTargetBytesPerSample = BytesPerSampleOf(to);
    m_bConvertReady = TRUE;
    return TRUE;
}

BOOL VM_CWaveProcessor::VM_ConvertBuffer(const BYTE* source, LONG sourceLength, BYTE* target,
                                         LONG& targetLength) const {
    if (!m_bConvertReady || source == nullptr || target == nullptr || sourceLength <= 0 ||
        targetLength <= 0 || m_wBytesPerSample == 0) {
        return FALSE;
    }
    const LONG samples = sourceLength / m_wBytesPerSample;
    const LONG needed = samples * m_wTargetBytesPerSample;
    if (needed > targetLength) return FALSE;
    if (m_wBytesPerSample == 1 && m_wTargetBytesPerSample == 1 && m_pfn8To8 != nullptr) {
        for (LONG i = 0; i < samples; ++i) target[i] = m_pfn8To8(source[i]);
    } else if (m_wBytesPerSample == 1 && m_wTargetBytesPerSample == 2 && m_pfn8To16 != nullptr) {
        for (LONG i = 0; i < samples; ++i) StoreLe16(target + 2 * i, m_pfn8To16(source[i]));
    } else if (m_wBytesPerSample == 2 && m_wTargetBytesPerSample == 1 && m_pfn16To8 != nullptr) {
        Encode16To8(source, samples, target, m_pfn16To8);
    } else {
        return FALSE;
    }
    targetLength = needed;
    return TRUE;
}
