// The play and record control on WAVE-file sound devices: what it plays
// reaches the device from the right byte, what it records lands in its file,
// and damaged or missing files end in a clear message, never a crash.
#include "app/dialogs/play_record_control.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include <QSlider>

#include "app/dialogs/message_box.h"
#include "app/qt_test_app.h"
#include "audio/wave_device.h"
#include "audio/wave_test_files.h"
#include "platform/win32/clock.h"
#include "platform/winmm/file_endpoint.h"
#include "platform/winmm/wave_endpoint.h"
#include "queue_pump.h"
#include "test_sound_files.h"
#include "support/temp_dir.h"

using apptest::kAllFormats;
using apptest::PumpUntil;
using apptest::Ramp;
using testsupport::TempDir;
using namespace wavetest;

namespace {

constexpr int kAll = VM_CMetaphor::kGroupPlay | VM_CMetaphor::kGroupStop | VM_CMetaphor::kGroupSlider |
                     VM_CMetaphor::kGroupRecord;

std::string DataOf(const std::string& path) {
    VM_CWaveFile file(path.c_str(), VM_WAVE_MODE_READ);
    return ReadAllData(file);
}

class PlayRecordControl : public apptest::SoundDeviceTest {
protected:
    // A control playing into played.wav and recording from source.
    void UseFileDevices(VM_CMetaphor& control, const std::string& recordSource = {}) {
        const UINT out = winmm::AddFileWaveOut(m_dir.file("played.wav"), kAllFormats);
        const UINT in = recordSource.empty() ? UINT(-1) : winmm::AddFileWaveIn(recordSource, kAllFormats);
        control.VM_SetDevices(static_cast<int>(out), static_cast<int>(in));
    }
    static bool WaitStopped(VM_CMetaphor& control) {
        return PumpUntil([&] { return !control.VM_IsActive(); });
    }

    TempDir m_dir;
};

TEST_F(PlayRecordControl, MissingFilesOfferOnlyWhatCanBeDone) {
    VM_CMetaphor control(VM_CMetaphor::kStyleLeftToRight);
    EXPECT_EQ(control.VM_GetEnabledGroups(), 0) << "no file bound";
    control.VM_SetFile(m_dir.file("none.wav"));
    EXPECT_EQ(control.VM_GetEnabledGroups(), VM_CMetaphor::kGroupRecord);
    control.VM_AllowRecording(false);
    control.VM_Stop();
    EXPECT_EQ(control.VM_GetEnabledGroups(), 0);
    EXPECT_FALSE(control.VM_Record());
    EXPECT_FALSE(testsupport::FileExists(m_dir.file("none.wav")));

    WriteWave(m_dir.file("there.wav"), Format(WAVE_FORMAT_PCM, 16), Ramp(800));
    control.VM_SetFile(m_dir.file("there.wav"));
    EXPECT_EQ(control.VM_GetEnabledGroups(), kAll & ~VM_CMetaphor::kGroupRecord);
    control.VM_AllowRecording(true);
    EXPECT_EQ(control.VM_GetEnabledGroups(), kAll);
    EXPECT_EQ(control.VM_GetStyle() & VM_CMetaphor::kStyleNoRecord, 0u);
}

TEST_F(PlayRecordControl, UnreadableFilesAreReportedAndLeaveTheSliderAtZero) {
    VM_CMetaphor control(0);
    UseFileDevices(control);
    // An empty file, and one whose header promises sample blocks of 0 bytes.
    testsupport::WriteFileBytes(m_dir.file("empty.wav"), "");
    WAVEFORMATEX noAlign = Format(WAVE_FORMAT_PCM, 16);
    noAlign.nBlockAlign = 0;
    testsupport::WriteFileBytes(m_dir.file("noalign.wav"),
                                RiffWave(Chunk("fmt ", FormatBody(noAlign, 16)) + Chunk("data", Ramp(20000))));
    for (const char* name : {"empty.wav", "gone.wav"}) {
        SCOPED_TRACE(name);
        m_messages.clear();
        control.VM_SetFile(m_dir.file(name));
        control.VM_SetSliderPos(200);
        EXPECT_FALSE(control.VM_Play());
        EXPECT_FALSE(control.VM_IsActive());
        EXPECT_EQ(control.VM_GetSliderPos(), 0);
        ASSERT_EQ(m_messages.size(), 1u);
        EXPECT_NE(m_messages[0].find(name), std::string::npos) << m_messages[0];
    }
    // Without a block size there is no step to seek by: it plays from the
    // start, and the slider does not move past 0 on the way.
    control.VM_SetFile(m_dir.file("noalign.wav"));
    control.VM_SetSliderPos(200);
    int highest = 0;
    QObject::connect(control.findChild<QSlider*>("slider"), &QSlider::valueChanged,
                     [&](int v) { highest = std::max(highest, v); });
    ASSERT_TRUE(control.VM_Play());
    ASSERT_TRUE(WaitStopped(control));
    EXPECT_EQ(highest, 0);
    EXPECT_EQ(DataOf(m_dir.file("played.wav")), Ramp(20000));
}

TEST_F(PlayRecordControl, ARecordingThatCannotStartLeavesTheOldOneAlone) {
    const std::string greeting = m_dir.file("greeting.wav");
    WriteWave(greeting, Format(WAVE_FORMAT_PCM, 16), Ramp(4000));
    const std::string before = testsupport::ReadFileBytes(greeting);
    VM_CMetaphor control(0);
    control.VM_SetDevices(-1, 4242);  // no such recording device
    control.VM_SetFile(greeting);
    EXPECT_FALSE(control.VM_Record());
    EXPECT_FALSE(control.VM_IsActive());
    EXPECT_EQ(m_messages.size(), 1u);
    EXPECT_EQ(testsupport::ReadFileBytes(greeting), before);
    EXPECT_EQ(testsupport::FilesIn(m_dir.path()), 1u) << "a half-made recording was left behind";
    EXPECT_EQ(control.VM_GetEnabledGroups(), kAll);
}

TEST_F(PlayRecordControl, PlaysToTheEndWithTheSliderReachingIt) {
    const std::string data = Ramp(24000);
    WriteWave(m_dir.file("msg.wav"), Format(WAVE_FORMAT_PCM, 16), data);
    VM_CMetaphor control(VM_CMetaphor::kStyleNoRecord);
    UseFileDevices(control);
    control.VM_SetFile(m_dir.file("msg.wav"));
    int started = 0;
    control.VM_SetStartedCommands([&] { ++started; }, nullptr);
    int stopped = 0;
    QObject::connect(&control, &VM_CMetaphor::VM_Stopped, [&] { ++stopped; });
    ASSERT_TRUE(control.VM_Play());
    EXPECT_EQ(started, 1);
    EXPECT_TRUE(control.VM_IsPlaying());
    EXPECT_EQ(control.VM_GetEnabledGroups(), VM_CMetaphor::kGroupStop | VM_CMetaphor::kGroupSlider);
    // Only the progress ticks run until the whole file has been read, so
    // the end notice cannot overtake the slider.
    ASSERT_TRUE(PumpUntil([&] { return control.VM_GetSliderPos() == 400; }, WM_TIMER, WM_TIMER));
    ASSERT_TRUE(WaitStopped(control));
    EXPECT_EQ(stopped, 1);
    EXPECT_FALSE(control.VM_IsPlaying());
    EXPECT_EQ(control.VM_GetSliderPos(), 0);
    EXPECT_EQ(control.VM_GetEnabledGroups(), kAll & ~VM_CMetaphor::kGroupRecord);
    EXPECT_EQ(DataOf(m_dir.file("played.wav")), data);
}

TEST_F(PlayRecordControl, PlayingStartsWhereTheSliderStands) {
    // 40000 bytes of 16-bit mono: each of the 400 steps is 50 samples.
    const std::string data = Ramp(20000);
    WriteWave(m_dir.file("msg.wav"), Format(WAVE_FORMAT_PCM, 16), data);
    VM_CMetaphor control(VM_CMetaphor::kStyleLeftToRight);
    UseFileDevices(control);
    control.VM_SetFile(m_dir.file("msg.wav"));
    control.findChild<QSlider*>("slider")->setValue(200);
    ASSERT_TRUE(control.VM_Play());
    ASSERT_TRUE(WaitStopped(control));
    EXPECT_EQ(DataOf(m_dir.file("played.wav")), data.substr(20000));
}

TEST_F(PlayRecordControl, OnlyTheCurrentRunsEndNoticeStopsIt) {
    // Long enough to be still playing while the stale notices are handled.
    WriteWave(m_dir.file("long.wav"), Format(WAVE_FORMAT_PCM, 16), Ramp(8000 * 120));
    VM_CMetaphor control(0);
    UseFileDevices(control);
    control.VM_SetFile(m_dir.file("long.wav"));
    ASSERT_TRUE(control.VM_Play());
    const HWND owner = control.VM_GetOwnerWindow();
    PostMessageA(owner, WM_WAVE_DONE, 0x1234, 1);
    PostMessageA(owner, WM_WAVE_DONE, 0, 0);
    bool handled = false;
    PostMessageA(owner, WM_WAVE_DONE + 0x100, 0, 0);  // a marker after them
    ASSERT_TRUE(PumpUntil([&] {
        MSG msg{};
        handled = PeekMessageA(&msg, owner, 0, 0, PM_NOREMOVE) == 0;
        return handled;
    }));
    EXPECT_TRUE(control.VM_IsPlaying());
    control.VM_Stop();
    EXPECT_FALSE(control.VM_IsActive());
}

TEST_F(PlayRecordControl, RecordingFillsTheFileAndCyclesTheSlider) {
    const std::string source = m_dir.file("voice.wav");
    WriteWave(source, Format(WAVE_FORMAT_PCM, 16), Ramp(16000));
    VM_CMetaphor control(VM_CMetaphor::kStyleLeftToRight);
    UseFileDevices(control, source);
    const std::string target = m_dir.file("greeting.wav");
    control.VM_SetFile(target);
    ASSERT_EQ(control.VM_GetEnabledGroups(), VM_CMetaphor::kGroupRecord);
    ASSERT_TRUE(control.VM_Record());
    EXPECT_FALSE(control.VM_IsPlaying());
    std::vector<int> seen;
    QObject::connect(control.findChild<QSlider*>("slider"), &QSlider::valueChanged, [&](int v) { seen.push_back(v); });
    ASSERT_TRUE(PumpUntil([&] { return seen.size() >= 42; }, WM_TIMER, WM_TIMER));
    control.VM_Stop();
    for (size_t i = 0; i < 42; ++i) EXPECT_EQ(seen[i], static_cast<int>((i + 1) % 40 * 10)) << i;
    EXPECT_EQ(control.VM_GetEnabledGroups(), kAll);
    const std::string recorded = DataOf(target);
    EXPECT_GE(recorded.size(), 32000u);
}

}  // namespace
