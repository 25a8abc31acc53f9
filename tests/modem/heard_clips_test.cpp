// Cutting what a modem caller heard into clips, where one prompt was cut
// short by a key and the next begins as quietly as the cut one ended.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "e2e/heard_audio.h"

namespace {

// The player's buffer, in samples of the shipped 16-bit prompts.
constexpr size_t kBuffer = 800;

std::vector<std::int16_t> Speech(size_t samples, std::uint32_t seed) {
    std::vector<std::int16_t> out(samples);
    for (std::int16_t& s : out) {
        seed = seed * 1664525u + 1013904223u;
        s = static_cast<std::int16_t>(static_cast<int>(seed >> 20) - 2048);
    }
    return out;
}

std::vector<std::int16_t> Quiet(size_t samples) { return std::vector<std::int16_t>(samples, 0); }

std::vector<std::int16_t> Joined(std::vector<std::int16_t> a, const std::vector<std::int16_t>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

std::vector<std::int16_t> Head(const std::vector<std::int16_t>& clip, size_t samples) {
    return std::vector<std::int16_t>(clip.begin(), clip.begin() + static_cast<std::ptrdiff_t>(samples));
}

class HeardClips : public testing::Test {
protected:
    void SetUp() override {
        m_book.Add("menu", m_menu);
        m_book.Add("password", m_password);
    }

    // Two buffers of speech, then a last, partial buffer of quiet.
    const std::vector<std::int16_t> m_menu = Joined(Speech(2 * kBuffer, 1), Quiet(300));
    // Starts quiet for longer than the menu's last buffer.
    const std::vector<std::int16_t> m_password = Joined(Quiet(500), Speech(3 * kBuffer, 2));
    e2e::ClipBook m_book;
};

TEST_F(HeardClips, PromptCutBeforeItsQuietLastBufferIsNotTakenForWholeWhenTheNextStartsQuiet) {
    const std::vector<e2e::HeardClip> heard = m_book.Split(Joined(Head(m_menu, 2 * kBuffer), m_password));
    ASSERT_EQ(e2e::Names(heard), (std::vector<std::string>{"menu", "password"}));
    EXPECT_FALSE(heard[0].whole);
    EXPECT_EQ(heard[0].samples, 2 * kBuffer);
    EXPECT_TRUE(heard[1].whole) << "the next prompt was shifted by the quiet samples";
}

TEST_F(HeardClips, WholePromptFollowedByAnotherStaysWhole) {
    const std::vector<e2e::HeardClip> heard = m_book.Split(Joined(m_menu, m_password));
    ASSERT_EQ(e2e::Names(heard), (std::vector<std::string>{"menu", "password"}));
    EXPECT_TRUE(heard[0].whole);
    EXPECT_TRUE(heard[1].whole);
}

TEST_F(HeardClips, WholePromptFollowedByUnknownSoundOrNothingStaysWhole) {
    const std::vector<e2e::HeardClip> alone = m_book.Split(m_menu);
    ASSERT_EQ(e2e::Names(alone), (std::vector<std::string>{"menu"}));
    EXPECT_TRUE(alone[0].whole);

    const std::vector<e2e::HeardClip> noise = m_book.Split(Joined(m_menu, Speech(kBuffer, 3)));
    ASSERT_EQ(e2e::Names(noise), (std::vector<std::string>{"menu", "?"}));
    EXPECT_TRUE(noise[0].whole);
    EXPECT_EQ(noise[1].samples, kBuffer);
}

}  // namespace
