// The new-message alert: which prompt plays and how often, when the user's
// return ends it, and how a call in progress holds it.
#include <QApplication>
#include <gtest/gtest.h>

#include <atomic>
#include <memory>

#include "app/frame/alert_ctrl.h"
#include "app/qt_test_app.h"
#include "app/frame/tray_icon.h"
#include "audio/wave_device.h"
#include "callflow/answer_machine.h"
#include "callflow/timer_test_window.h"
#include "callflow/toll_saver.h"
#include "platform/win32/win32.h"
#include "platform/winmm/wave_endpoint.h"
#include "store/app_config.h"
#include "support/signals.h"
#include "support/temp_dir.h"

namespace {

// A speaker that counts how often a sound starts on it.
class CountingSpeaker : public winmm::WaveEndpoint {
public:
    std::string Name() const override { return "Counting speaker"; }
    bool Accepts(const WAVEFORMATEX&) const override { return true; }
    std::unique_ptr<winmm::WaveStream> Open(const WAVEFORMATEX&) override {
        ++opens;
        return std::make_unique<Sink>();
    }
    std::atomic<int> opens{0};

private:
    struct Sink : winmm::WaveStream {
        void Play(const BYTE*, DWORD) override {}
        DWORD Record(BYTE*, DWORD) override { return 0; }
    };
};

class AlertCtrlTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_speaker = std::make_shared<CountingSpeaker>();
        m_cfg.m_idPlayDevice = static_cast<std::int32_t>(winmm::AddWaveOutEndpoint(m_speaker));
        for (int prompt : {250, 251}) {
            std::unique_ptr<char[]> path(m_cfg.VM_GetPromptFileName(prompt));
            testsupport::WriteWavePcm16(path.get(), std::vector<int16_t>(800, 1000));
        }
        m_tray.VM_SetIcon(0, 140);
        m_tray.VM_SetIcon(1, 141);
        m_window.Observe(&m_tray);
        m_window.Observe(&m_alert);
        // The desktop reports the cursor and the window in front; each
        // look at the cursor after the start is one tick that was no
        // sound tick.
        m_alert.VM_SetDesktopView({[this](int& x, int& y) {
                                       ++m_looks;
                                       x = m_x;
                                       y = m_y;
                                       return true;
                                   },
                                   [this] { return m_inFront; }});
    }
    void TearDown() override { winmm::RemoveWaveOutEndpoint(static_cast<UINT>(m_cfg.m_idPlayDevice)); }

    void Start(int alertMode, bool hasMessage) {
        m_cfg.m_nAlertMode = static_cast<std::uint8_t>(alertMode);
        m_alert.VM_Start(hasMessage);
        m_looks = 0;
    }
    // Pumps until the cursor has been looked at n more times.
    bool PumpLooks(int n) {
        const int until = m_looks + n;
        return m_window.PumpUntil([&] { return m_looks >= until; }, 60000);
    }
    bool Offer(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
        LRESULT result = 0;
        return m_alert.VM_OnMessage(m_window.hwnd(), message, wParam, lParam, result);
    }

    // Before the tray icon, which needs the application.
    QApplication& m_app = VM_TestQtApp();
    testsupport::TempDir m_dir;
    VM_CAppCfg m_cfg{m_dir.path().c_str()};
    std::shared_ptr<CountingSpeaker> m_speaker;
    timertest::TestWindow m_window;
    VM_CTollSaver m_tollSaver;
    VM_CTrayIcon m_tray{m_window.hwnd(), nullptr};
    VM_CAlertCtrl m_alert{&m_tollSaver, &m_tray, &m_cfg, m_window.hwnd()};
    int m_looks = 0;
    int m_x = 100;
    int m_y = 100;
    bool m_inFront = true;
};

TEST_F(AlertCtrlTest, AnUnreadablePromptStillAlertsWithoutSound) {
    std::unique_ptr<char[]> path(m_cfg.VM_GetPromptFileName(250));
    testsupport::WriteFileBytes(path.get(), "RIFF but no wave");
    Start(1, true);
    EXPECT_TRUE(m_tray.VM_IsAnimating());
    EXPECT_FALSE(m_alert.VM_HasSound());
    ASSERT_TRUE(PumpLooks(VM_CAlertCtrl::kSoundTicks + 2));
    EXPECT_EQ(0, m_speaker->opens);
    EXPECT_TRUE(m_alert.VM_IsActive());
}

TEST_F(AlertCtrlTest, SettingTwoWithoutMessageAnimatesSilently) {
    Start(2, false);
    EXPECT_TRUE(m_alert.VM_IsActive());
    EXPECT_TRUE(m_tray.VM_IsAnimating());
    EXPECT_EQ(0, m_tollSaver.VM_GetNoNewMessages());
    // Past the first tick and one whole repeat.
    ASSERT_TRUE(PumpLooks(VM_CAlertCtrl::kSoundTicks + 2));
    EXPECT_EQ(0, m_speaker->opens);
}

TEST_F(AlertCtrlTest, SoundStartsOnTheFirstTickAndRepeatsEvery34Ticks) {
    Start(2, true);
    ASSERT_TRUE(m_window.PumpUntil([&] { return m_speaker->opens == 1; }, 60000));
    // The first tick plays without looking; 33 looks follow, then it plays again.
    EXPECT_EQ(0, m_looks);
    ASSERT_TRUE(m_window.PumpUntil([&] { return m_speaker->opens == 2; }, 60000));
    EXPECT_EQ(VM_CAlertCtrl::kSoundTicks - 1, m_looks);
}

TEST_F(AlertCtrlTest, FivePixelsKeepTheAlertSixEndIt) {
    Start(1, true);
    m_x = 105;
    m_y = 95;
    ASSERT_TRUE(PumpLooks(4));
    EXPECT_TRUE(m_alert.VM_IsActive());

    m_y = 106;
    ASSERT_TRUE(m_window.PumpUntil([&] { return !m_alert.VM_IsActive(); }, 60000));
    EXPECT_EQ(1, m_tollSaver.VM_GetNoNewMessages());
    EXPECT_FALSE(m_tray.VM_IsAnimating());
    EXPECT_EQ(140, m_tray.VM_GetShownIcon());
    EXPECT_FALSE(m_alert.VM_HasSound());
}

TEST_F(AlertCtrlTest, MovingTheMouseElsewhereDoesNotEndIt) {
    Start(1, true);
    m_inFront = false;
    m_x = 400;
    m_window.PumpUntil([] { return false; }, 40 * VM_CAlertCtrl::kTickMs);
    EXPECT_TRUE(m_alert.VM_IsActive());
}

TEST_F(AlertCtrlTest, ACallHoldsTheAlertAndItsEndRestartsTheSound) {
    Start(1, true);
    ASSERT_TRUE(m_window.PumpUntil([&] { return m_speaker->opens == 1; }, 60000));
    // The machine and the mediator see these too.
    EXPECT_FALSE(Offer(VM_MSG_CALL_STARTED));
    const int looks = m_looks;
    m_window.PumpUntil([] { return false; }, 10 * VM_CAlertCtrl::kTickMs);
    EXPECT_EQ(looks, m_looks);
    EXPECT_TRUE(m_alert.VM_IsActive());

    EXPECT_FALSE(Offer(VM_MSG_CALL_ENDED));
    ASSERT_TRUE(m_window.PumpUntil([&] { return m_speaker->opens == 2; }, 60000));
    EXPECT_EQ(looks, m_looks);
}

TEST_F(AlertCtrlTest, ACallEndingAfterTheAlertEndedRestartsNothing) {
    Start(1, true);
    Offer(VM_MSG_CALL_STARTED);
    m_alert.VM_End();
    Offer(VM_MSG_CALL_ENDED);
    m_window.PumpUntil([] { return false; }, 4 * VM_CAlertCtrl::kTickMs);
    EXPECT_EQ(0, m_speaker->opens);
    EXPECT_FALSE(m_tray.VM_IsAnimating());
}

TEST_F(AlertCtrlTest, OtherPlayersEndNoticesAreLeftToTheirOwners) {
    Start(1, true);
    int other = 0;
    EXPECT_FALSE(Offer(WM_WAVE_DONE, reinterpret_cast<WPARAM>(&other), 7));
}

TEST_F(AlertCtrlTest, WithoutCursorReportsActivatingTheWindowEndsIt) {
    Start(1, true);
    EXPECT_FALSE(Offer(VM_WM_ACTIVATE, VM_WA_ACTIVE));
    EXPECT_TRUE(m_alert.VM_IsActive()) << "the desktop reports the cursor: activation alone is no sign";

    m_alert.VM_SetDesktopView({});
    Offer(VM_WM_ACTIVATE, 0);
    EXPECT_TRUE(m_alert.VM_IsActive());
    Offer(VM_WM_ACTIVATE, VM_WA_ACTIVE);
    EXPECT_FALSE(m_alert.VM_IsActive());
    EXPECT_EQ(1, m_tollSaver.VM_GetNoNewMessages());
}

}  // namespace
