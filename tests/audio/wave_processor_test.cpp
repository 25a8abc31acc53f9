#include <gtest/gtest.h>

#include <vector>

#include "platform/winmm/g711.h"
#include "audio/wave_processor.h"
#include "wave_test_files.h"

namespace {

using wavetest::Format;

const WAVEFORMATEX kPcm16 = Format(WAVE_FORMAT_PCM, 16);
const WAVEFORMATEX kPcm8 = Format(WAVE_FORMAT_PCM, 8);
const WAVEFORMATEX kALaw = Format(WAVE_FORMAT_ALAW, 8);
const WAVEFORMATEX kULaw = Format(WAVE_FORMAT_MULAW, 8);

}  // namespace

TEST(WaveProcessor, FormatCodesNeedMonoAt8000AndKnownWidths) {
    EXPECT_EQ(VM_GetSampleFormat(&kPcm16), kSampleFormatPcm16);
    EXPECT_EQ(VM_GetSampleFormat(&kPcm8), kSampleFormatPcm8);
    EXPECT_EQ(VM_GetSampleFormat(&kALaw), kSampleFormatALaw);
    EXPECT_EQ(VM_GetSampleFormat(&kULaw), kSampleFormatULaw);
    const WAVEFORMATEX stereo = Format(WAVE_FORMAT_PCM, 16, 2);
    const WAVEFORMATEX rate11k = Format(WAVE_FORMAT_PCM, 16, 1, 11025);
    const WAVEFORMATEX pcm24 = Format(WAVE_FORMAT_PCM, 24);
    EXPECT_EQ(VM_GetSampleFormat(&stereo), kSampleFormatNone);
    EXPECT_EQ(VM_GetSampleFormat(&rate11k), kSampleFormatNone);
    EXPECT_EQ(VM_GetSampleFormat(&pcm24), kSampleFormatNone);
    EXPECT_EQ(VM_GetSampleFormat(nullptr), kSampleFormatNone);
}

TEST(WaveProcessor, SamplesAreStoredLittleEndianOrThroughTheCodec) {
    VM_CWaveProcessor pcm16(&kPcm16);
    BYTE buffer[4] = {};
    pcm16.VM_PutSample(buffer, 1, -2);
    EXPECT_EQ(buffer[2], 0xFE);
    EXPECT_EQ(buffer[3], 0xFF);
    EXPECT_EQ(pcm16.VM_GetSample(buffer, 1), -2);

    VM_CWaveProcessor ulaw(&kULaw);
    ulaw.VM_PutSample(buffer, 0, 1000);
    EXPECT_EQ(buffer[0], g711::LinearToULaw(1000));
    EXPECT_EQ(ulaw.VM_GetSample(buffer, 0), g711::ULawToLinear(buffer[0]));
}

TEST(WaveProcessor, TargetFormatNeedsTwoDifferentCodes) {
    VM_CWaveProcessor pcm16(&kPcm16);
    EXPECT_FALSE(pcm16.VM_SetTargetFormat(&kPcm16));
    EXPECT_FALSE(pcm16.VM_SetTargetFormat(nullptr));
    const WAVEFORMATEX stereo = Format(WAVE_FORMAT_PCM, 16, 2);
    EXPECT_FALSE(pcm16.VM_SetTargetFormat(&stereo));
    VM_CWaveProcessor fromStereo(&stereo);
    EXPECT_FALSE(fromStereo.VM_SetTargetFormat(&kULaw));
    EXPECT_TRUE(pcm16.VM_SetTargetFormat(&kULaw));
    EXPECT_EQ(pcm16.VM_GetTargetBytesPerSample(), 1);
}

// Every cell of the conversion table, over every value the source can hold.
TEST(WaveProcessor, ConvertBufferFollowsTheConversionTable) {
    const WAVEFORMATEX* formats[4] = {&kPcm16, &kPcm8, &kALaw, &kULaw};
    std::vector<BYTE> pcm16Source(65536 * 2);
    for (int v = 0; v < 65536; ++v) {
        pcm16Source[2 * v] = static_cast<BYTE>(v & 0xFF);
        pcm16Source[2 * v + 1] = static_cast<BYTE>(v >> 8);
    }
    std::vector<BYTE> byteSource(256);
    for (int i = 0; i < 256; ++i) byteSource[i] = static_cast<BYTE>(i);

    for (int from = 0; from < 4; ++from) {
        for (int to = 0; to < 4; ++to) {
            if (from == to) continue;
            VM_CWaveProcessor source(formats[from]);
            VM_CWaveProcessor target(formats[to]);
            ASSERT_TRUE(source.VM_SetTargetFormat(formats[to]));
            const std::vector<BYTE>& in = from == 0 ? pcm16Source : byteSource;
            const LONG samples = static_cast<LONG>(in.size()) / (from == 0 ? 2 : 1);
            std::vector<BYTE> out(in.size() * 2);
            LONG produced = static_cast<LONG>(out.size());
            ASSERT_TRUE(source.VM_ConvertBuffer(in.data(), static_cast<LONG>(in.size()), out.data(), produced));
            ASSERT_EQ(produced, samples * (to == 0 ? 2 : 1));
            int wrong = 0;
            for (LONG i = 0; i < samples; ++i) {
                const SHORT linear = source.VM_GetSample(in.data(), i);
                SHORT expected = linear;
                if (to != 0) {
                    BYTE code = 0;
                    target.VM_PutSample(&code, 0, linear);
                    // The two laws convert through the standard's tables.
                    if (from == 2 && to == 3) code = g711::ALawToULaw(in[i]);
                    if (from == 3 && to == 2) code = g711::ULawToALaw(in[i]);
                    if (out[i] != code) ++wrong;
                } else if (target.VM_GetSample(out.data(), i) != expected) {
                    ++wrong;
                }
            }
            EXPECT_EQ(wrong, 0) << "from " << from << " to " << to;
        }
    }
}

TEST(WaveProcessor, ConvertBufferRefusesBadArguments) {
    VM_CWaveProcessor pcm16(&kPcm16);
    BYTE in[4] = {};
    BYTE out[4] = {};
    LONG length = 4;
    EXPECT_FALSE(pcm16.VM_ConvertBuffer(in, 4, out, length));  // no target yet
    ASSERT_TRUE(pcm16.VM_SetTargetFormat(&kALaw));
    EXPECT_FALSE(pcm16.VM_ConvertBuffer(nullptr, 4, out, length));
    EXPECT_FALSE(pcm16.VM_ConvertBuffer(in, 0, out, length));
    length = 1;
    EXPECT_FALSE(pcm16.VM_ConvertBuffer(in, 4, out, length));  // two samples need two bytes
    length = 4;
    EXPECT_TRUE(pcm16.VM_ConvertBuffer(in, 4, out, length));
    EXPECT_EQ(length, 2);
}

TEST(WaveProcessor, DcFilterRemovesAConstantOffset) {
    VM_CWaveProcessor processor(&kPcm16);
    double first = 1000.0;
    processor.VM_RemoveDC(first);
    EXPECT_DOUBLE_EQ(first, 1000.0);
    double second = 1000.0;
    processor.VM_RemoveDC(second);
    EXPECT_DOUBLE_EQ(second, 850.0);
    double value = 0.0;
    for (int i = 0; i < 200; ++i) {
        value = 1000.0;
        processor.VM_RemoveDC(value);
    }
    EXPECT_NEAR(value, 0.0, 1e-6);
    // Each processor starts with a fresh filter.
    VM_CWaveProcessor fresh(&kPcm16);
    double again = 1000.0;
    fresh.VM_RemoveDC(again);
    EXPECT_DOUBLE_EQ(again, 1000.0);
}
