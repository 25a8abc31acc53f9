// The beep finder of vocerra-call: a short pure tone anywhere in the band,
// found where it starts; speech, chords, noise and long tones are no beep.
#include <gtest/gtest.h>

#include "store/shipped_data.h"
#include "support/signals.h"
#include "tone_finder.h"

namespace {

using callclient::ToneFinder;
using namespace testsupport;

std::optional<callclient::FoundTone> Find(const Samples& s) {
    Samples rounded = ToInt16Range(s);
    std::vector<int16_t> pcm(rounded.begin(), rounded.end());
    ToneFinder finder;
    // In uneven pieces, as they come from the server.
    for (size_t at = 0; at < pcm.size(); at += 333)
        finder.Feed(std::span<const int16_t>(pcm).subspan(at, std::min<size_t>(333, pcm.size() - at)));
    finder.Flush();
    return finder.Beep();
}

TEST(ToneFinder, SpeechChordsNoiseAndLongTonesAreNoBeep) {
    Samples speech = Speech("Hello, you have reached the answering machine. Please leave a message.");
    if (!speech.empty()) {
        EXPECT_FALSE(Find(speech)) << "spoken greeting taken for a beep";
    }
    EXPECT_FALSE(Find(Tone({{440.0, 6000.0}, {1300.0, 6000.0}}, 1000)));
    EXPECT_FALSE(Find(Noise(1000, 8000.0)));
    EXPECT_FALSE(Find(Tone({{1000.0, 9000.0}}, 4000))) << "a long tone is no beep";
    EXPECT_FALSE(Find(Tone({{1000.0, 9000.0}}, 50))) << "too short";
    EXPECT_FALSE(Find(Tone({{1000.0, 50.0}}, 500))) << "too quiet";
}

TEST(ToneFinder, BeepAfterSpeechIsFoundWhereItStartsAtAnyFrequency) {
    Samples speech = Speech("Please leave your message after the tone.");
    if (speech.empty()) speech = Noise(1500, 6000.0);
    for (double hz : {440.0, 1010.0, 1400.0, 2100.0}) {
        Samples call = speech;
        Append(call, Tone({{hz, 7000.0}}, 400));
        Append(call, Silence(300));
        auto beep = Find(call);
        ASSERT_TRUE(beep) << hz;
        EXPECT_NEAR(static_cast<double>(beep->start), static_cast<double>(speech.size()), ToneFinder::kBlock) << hz;
        EXPECT_NEAR(static_cast<double>(beep->length), 3200.0, 2.0 * ToneFinder::kBlock) << hz;
        EXPECT_NEAR(beep->frequency, hz, 40.0);
    }
}

}  // namespace

namespace {

std::vector<int16_t> Shipped(const char* subfolder, const char* name) {
    return testsupport::ReadWavePcm16(VM_FindShippedFile(subfolder, name));
}

// The greeting and prompts the build makes: only prompt 0 is the beep.
TEST(ToneFinder, ShippedBeepIsFoundAfterTheShippedGreetingAndNoSpokenPromptIsABeep) {
    std::vector<int16_t> greeting = Shipped("/Greeting", "GTMain.wav");
    std::vector<int16_t> beep = Shipped("/Prompt", "Prp0000.Wav");
    if (greeting.empty() || beep.empty()) GTEST_SKIP() << "the build made no prompts";
    std::vector<int16_t> call = greeting;
    call.insert(call.end(), beep.begin(), beep.end());
    callclient::ToneFinder finder;
    finder.Feed(call);
    finder.Flush();
    ASSERT_TRUE(finder.Beep());
    EXPECT_NEAR(static_cast<double>(finder.Beep()->start), static_cast<double>(greeting.size()), ToneFinder::kBlock);
    EXPECT_NEAR(static_cast<double>(finder.Beep()->length), static_cast<double>(beep.size()), 2 * ToneFinder::kBlock);
    for (int n = 1; n < 100; n++) {
        char name[16];
        std::snprintf(name, sizeof name, "Prp%04d.Wav", n);
        std::vector<int16_t> prompt = Shipped("/Prompt", name);
        if (prompt.empty()) continue;
        callclient::ToneFinder spoken;
        spoken.Feed(prompt);
        spoken.Flush();
        EXPECT_FALSE(spoken.Beep()) << name;
    }
}

}  // namespace
