// The voice channel between a modem line's wave-out device and its engine,
// with the test as the engine: a play is done only once the modem was sent
// all of it and about played it, so an owner that hangs up at the done
// notice does not cut the end of what the caller hears.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "lines/modem/voice_channel.h"
#include "platform/win32/clock.h"
#include "platform/win32/win32.h"

namespace {

using modemline::VoiceChannel;

constexpr double kTimeScale = 20.0;
// A second of 8-bit sound.
constexpr size_t kSecond = 8000;
constexpr size_t kChunk = 800;

class VoiceChannelPlay : public testing::Test {
protected:
    void SetUp() override {
        platform::SetTimeScale(kTimeScale);
        m_voice.SetEncoding(modemline::VoiceEncoding::kMuLaw);
        m_voice.SetConnected(true);
    }
    void TearDown() override {
        m_voice.SetConnected(false);
        if (m_player.joinable()) m_player.join();
        platform::SetTimeScale(1.0);
    }

    void StartPlaying(size_t bytes) {
        m_player = std::thread([this, bytes] {
            m_voice.Play(std::string(bytes, 'x'));
            m_done = true;
        });
    }
    // Takes (and sends) what the player queued, up to bytes in all.
    size_t SendUpTo(size_t bytes) {
        size_t sent = 0;
        while (sent < bytes) {
            const std::string chunk = m_voice.TakeOut(std::min(kChunk, bytes - sent));
            if (chunk.empty()) {
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
                continue;
            }
            m_voice.Sent(chunk.size());
            sent += chunk.size();
        }
        return sent;
    }
    // Real time only bounds a broken run.
    bool DoneWithin(std::chrono::milliseconds most) {
        const auto until = std::chrono::steady_clock::now() + most;
        while (!m_done && std::chrono::steady_clock::now() < until)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        return m_done;
    }

    VoiceChannel m_voice;
    std::thread m_player;
    std::atomic<bool> m_done{false};
};

TEST_F(VoiceChannelPlay, IsNotDoneWhileTheModemLacksItsLastBytes) {
    StartPlaying(kSecond);
    SendUpTo(kSecond - kChunk);
    EXPECT_FALSE(DoneWithin(std::chrono::milliseconds(300))) << "done with a tenth of a second never sent";
    SendUpTo(kChunk);
    EXPECT_TRUE(DoneWithin(std::chrono::seconds(10)));
}

TEST_F(VoiceChannelPlay, IsDoneAboutWhenTheModemHasPlayedItByTheAudioClock) {
    StartPlaying(kSecond);
    const DWORD start = GetTickCount();
    SendUpTo(kSecond);
    ASSERT_TRUE(DoneWithin(std::chrono::seconds(10)));
    // Scaled ticks: a second of sound, less the little a play is done ahead
    // (well under a tenth of a second); a loaded machine only adds to it.
    EXPECT_GE(GetTickCount() - start, 900u);
}

TEST_F(VoiceChannelPlay, DroppedSoundOrAnEndedCallReleasesThePlayer) {
    StartPlaying(kSecond);
    SendUpTo(kChunk);
    m_voice.DropOut();
    EXPECT_TRUE(DoneWithin(std::chrono::seconds(10))) << "a play whose sound was dropped never ends";
    m_player.join();

    m_done = false;
    StartPlaying(kSecond);
    SendUpTo(kSecond);
    m_voice.SetConnected(false);
    EXPECT_TRUE(DoneWithin(std::chrono::seconds(10))) << "a hang-up left the player waiting for the clock";
}

}  // namespace
