// The prompts the build makes: every number the call flows, remote retrieval
// and the alert play exists, and each is a telephone-format file the call's
// devices take, with sound in it.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "audio/wave_file.h"
#include "audio/wave_test_files.h"
#include "store/app_config.h"
#include "store/shipped_data.h"

namespace {

std::vector<int> PlayedPromptNumbers() {
    std::vector<int> numbers = {0, 1, 2, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 200, 250, 251, 300};
    for (int month = 1; month <= 12; ++month) numbers.push_back(39 + month);
    for (int day = 1; day <= 20; ++day) numbers.push_back(59 + day);
    for (int n = 1; n <= 20; ++n) numbers.push_back(89 + n);
    for (int tens = 2; tens <= 5; ++tens) numbers.push_back(107 + tens);
    return numbers;
}

std::string PromptName(int n) {
    char name[32];
    std::snprintf(name, sizeof name, "Prp%04d.Wav", n);
    return name;
}

std::vector<int16_t> Samples(const std::string& path) {
    VM_CWaveFile file(path.c_str(), VM_WAVE_MODE_READ);
    std::string bytes = wavetest::ReadAllData(file);
    std::vector<int16_t> samples(bytes.size() / 2);
    for (size_t i = 0; i < samples.size(); ++i)
        samples[i] = static_cast<int16_t>(static_cast<uint8_t>(bytes[2 * i]) | (static_cast<uint8_t>(bytes[2 * i + 1]) << 8));
    return samples;
}

double Strength(const std::vector<int16_t>& s, size_t from, size_t count, double hz) {
    double re = 0.0, im = 0.0;
    for (size_t i = from; i < from + count && i < s.size(); ++i) {
        double phase = 2.0 * M_PI * hz * static_cast<double>(i) / 8000.0;
        re += s[i] * std::cos(phase);
        im += s[i] * std::sin(phase);
    }
    return std::sqrt(re * re + im * im) / static_cast<double>(count);
}

void ExpectTelephoneSound(const std::string& path) {
    VM_CWaveFile file(path.c_str(), VM_WAVE_MODE_READ);
    ASSERT_TRUE(file.VM_IsOpen()) << path;
    const WAVEFORMATEX* format = file.VM_GetFormat();
    ASSERT_NE(format, nullptr) << path;
    EXPECT_EQ(format->wFormatTag, WAVE_FORMAT_PCM) << path;
    EXPECT_EQ(format->nChannels, 1) << path;
    EXPECT_EQ(format->nSamplesPerSec, 8000u) << path;
    EXPECT_EQ(format->wBitsPerSample, 16) << path;
    // At least a tenth of a second, at most a minute.
    EXPECT_GE(file.VM_GetDataSize(), 1600u) << path;
    EXPECT_LE(file.VM_GetDataSize(), 960000u) << path;
    int peak = 0;
    for (int16_t s : Samples(path)) peak = std::max(peak, std::abs(static_cast<int>(s)));
    EXPECT_GT(peak, 8000) << path << " is next to silent";
}

}  // namespace

TEST(SystemPrompts, EveryPromptTheFlowsPlayIsShippedInATelephoneFormatWithSound) {
    for (int n : PlayedPromptNumbers()) {
        std::string path = VM_FindShippedFile(VM_FOLDER_PROMPT, PromptName(n).c_str());
        ASSERT_NE(path, "") << "prompt " << n << " was not made";
        ExpectTelephoneSound(path);
    }
    std::string greeting = VM_FindShippedFile(VM_FOLDER_GREETING, "GTMain.wav");
    ASSERT_NE(greeting, "");
    ExpectTelephoneSound(greeting);
}

TEST(SystemPrompts, TheAntiTelemarketerSignalIsThreeRisingTonesOneAfterAnother) {
    std::vector<int16_t> s = Samples(VM_FindShippedFile(VM_FOLDER_PROMPT, "Prp0300.Wav"));
    ASSERT_GE(s.size(), 3u * 3040u);
    const double tones[3] = {985.0, 1371.0, 1777.0};
    for (int segment = 0; segment < 3; ++segment) {
        const size_t from = static_cast<size_t>(segment) * 3040 + 400;  // inside each 380 ms tone
        for (int other = 0; other < 3; ++other) {
            double strength = Strength(s, from, 2000, tones[other]);
            if (other == segment)
                EXPECT_GT(strength, 3000.0) << "segment " << segment;
            else
                EXPECT_LT(strength, 300.0) << "segment " << segment << " has tone " << other;
        }
    }
}

TEST(SystemPrompts, TheBeepIsASingleSteadyTone) {
    std::vector<int16_t> s = Samples(VM_FindShippedFile(VM_FOLDER_PROMPT, "Prp0000.Wav"));
    ASSERT_GE(s.size(), 3000u);
    EXPECT_GT(Strength(s, 200, 2400, 1000.0), 5000.0);
    EXPECT_LT(Strength(s, 200, 2400, 700.0), 200.0);
}
