// The controller around a call: starting and stopping it, and the window
// messages it takes from the recorder and the worker thread.
#include "callflow/mailbox_controller.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "audio/recorder.h"
#include "audio/wave_test_files.h"
#include "callflow/call_status.h"
#include "callflow/callflow_messages.h"
#include "callflow/main_window.h"
#include "callflow/single_mailbox_ctrl.h"
#include "callflow/status_texts.h"
#include "lines/sim/sim_call_audio_device.h"
#include "store/app_config.h"
#include "store/call_info.h"
#include "support/temp_dir.h"
#include "telephony/line_harness.h"
#include "timer_test_window.h"

namespace {

class StatusLines : public VM_ICallStatus {
public:
    void VM_ShowStatus(const char* text) override { lines.emplace_back(text); }
    std::vector<std::string> lines;
};

// Lets the test post the recorder's notices as the recorder would.
class Controller : public VM_CSingleMailboxCtrl {
public:
    using VM_CSingleMailboxCtrl::VM_CSingleMailboxCtrl;
    bool Notice(UINT message, bool currentRun = true) {
        LRESULT result = 0;
        const LPARAM run = static_cast<LPARAM>(m_pRecorder->VM_GetSid()) + (currentRun ? 0 : 1);
        return VM_OnMessage(nullptr, message, reinterpret_cast<WPARAM>(m_pRecorder), run, result);
    }
    bool HasRecorder() const { return m_pRecorder != nullptr; }
    bool CountDownRunning() const { return m_pCountDownTimer->VM_IsRunning(); }
};

// Offers the window's messages to the controller while there is one.
class Relay : public VM_CObserver {
public:
    bool VM_OnMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override {
        return target != nullptr && target->VM_OnMessage(window, message, wParam, lParam, result);
    }
    VM_CObserver* target = nullptr;
};

class MailboxControllerConcurrency : public linetest::SimLineTest {
protected:
    void SetUp() override {
        simline::InstallSimCallAudio();
        m_cfg = std::make_unique<VM_CAppCfg>(m_dir.path().c_str());
        m_cfg->m_nSilenceSeconds = 10;
        m_cfg->m_nSilenceLevel = 5;
        // Without a greeting the flow ends as soon as it runs, and leaves the
        // controller's messages to the test.
        std::unique_ptr<char[]> greeting(m_cfg->VM_GetMainGreetingFileName());
        std::remove(greeting.get());
        VM_SetMainWindow(m_window.hwnd());
        m_controller = std::make_unique<Controller>(m_cfg.get(), nullptr);
        m_relay.target = m_controller.get();
        m_window.Observe(&m_relay);
    }
    void TearDown() override {
        m_relay.target = nullptr;
        m_controller.reset();
        m_owner.calls.clear();
        m_owner.line.reset();
        VM_SetMainWindow(nullptr);
        linetest::SimLineTest::TearDown();
        simline::SetCallAudioFactory(nullptr);
    }

    // A connected call; marked answered (so a stop drops it) when asked.
    VM_CCall* ConnectedCall(simline::LineConfig line = {}, bool markAnswered = false) {
        m_remote = StartCall(&m_owner, {line});
        if (m_owner.calls.empty()) return nullptr;
        VM_CCall* call = m_owner.calls[0].get();
        if (markAnswered) call->VM_SetRings(-1);
        call->VM_Answer();
        if (!linetest::PumpUntil([&] { return m_owner.HasState(LINECALLSTATE_CONNECTED); })) return nullptr;
        return call;
    }
    bool Start(VM_CCall* call) { return m_controller->VM_Start(call, &m_record, &m_status, &m_logFlag); }
    int FlowEndedNotices() {
        int n = 0;
        MSG msg;
        while (PeekMessageA(&msg, m_window.hwnd(), VM_MSG_FLOW_ENDED, VM_MSG_FLOW_ENDED, PM_REMOVE)) ++n;
        return n;
    }

    timertest::TestWindow m_window;  // sets the time scale first
    Relay m_relay;
    testsupport::TempDir m_dir;
    std::unique_ptr<VM_CAppCfg> m_cfg;
    linetest::RecordingOwner m_owner;
    std::shared_ptr<simline::SimCall> m_remote;
    VM_CCallInfo m_record;
    StatusLines m_status;
    std::int32_t m_logFlag = 1;
    std::unique_ptr<Controller> m_controller;
};

TEST_F(MailboxControllerConcurrency, StartRefusesAMissingCallAndASecondCall) {
    EXPECT_FALSE(Start(nullptr));
    VM_CCall* call = ConnectedCall();
    ASSERT_NE(call, nullptr);
    ASSERT_TRUE(Start(call));
    EXPECT_TRUE(m_controller->VM_IsRunning());
    EXPECT_FALSE(Start(call)) << "one call at a time";
    EXPECT_TRUE(m_controller->VM_Stop());
    EXPECT_FALSE(m_controller->VM_IsRunning());
    EXPECT_EQ(m_remote->DropRequests(), 0u) << "a call not marked answered is not dropped";
}

TEST_F(MailboxControllerConcurrency, LineWithoutWaveDevicesFailsTheStartAndDropsTheCall) {
    simline::LineConfig line;
    line.hasWaveDevices = false;
    VM_CCall* call = ConnectedCall(line, true);
    ASSERT_NE(call, nullptr);
    EXPECT_FALSE(Start(call));
    EXPECT_FALSE(m_controller->VM_IsRunning());
    EXPECT_EQ(m_remote->DropRequests(), 1u) << "the answered call is not left open";
    EXPECT_TRUE(Start(nullptr) == false);
}

TEST_F(MailboxControllerConcurrency, StopsRightAfterStartingNeverHangAndPostNothing) {
    // A hang-up can come before the worker has reached its run; the stop
    // waits for the worker, so a lost stop would hang the main thread.
    // A long greeting, so that no flow ends by itself meanwhile.
    std::unique_ptr<char[]> greeting(m_cfg->VM_GetMainGreetingFileName());
    wavetest::WriteWave(greeting.get(), wavetest::Format(WAVE_FORMAT_PCM, 16), std::string(16000 * 60, '\0'));
    VM_CCall* call = ConnectedCall();
    ASSERT_NE(call, nullptr);
    for (int i = 0; i < 30; ++i) {
        ASSERT_TRUE(Start(call)) << "call " << i;
        ASSERT_TRUE(m_controller->VM_Stop()) << "call " << i;
        EXPECT_FALSE(m_controller->VM_IsRunning());
    }
    EXPECT_EQ(FlowEndedNotices(), 0) << "a flow that was stopped does not ask to be hung up";
}

TEST_F(MailboxControllerConcurrency, FlowEndingByItselfAsksOnceToBeHungUp) {
    // No greeting in the program folder: the flow ends as soon as it runs.
    VM_CCall* call = ConnectedCall();
    ASSERT_NE(call, nullptr);
    ASSERT_TRUE(Start(call));
    int notices = 0;
    m_window.PumpUntil([&] { return (notices += FlowEndedNotices()) > 0; }, 20000);
    m_window.PumpFor(200);
    notices += FlowEndedNotices();
    EXPECT_EQ(notices, 1);
    EXPECT_TRUE(m_controller->VM_Stop());
}

TEST_F(MailboxControllerConcurrency, SilenceCountsDownEverySecondThenShowsDropping) {
    VM_CCall* call = ConnectedCall();
    ASSERT_NE(call, nullptr);
    ASSERT_TRUE(Start(call));
    ASSERT_TRUE(m_controller->HasRecorder());
    m_window.PumpFor(100);
    m_status.lines.clear();
    EXPECT_FALSE(m_controller->Notice(WM_WAVE_SILENCE, false)) << "a notice of another run is not ours";
    ASSERT_TRUE(m_controller->Notice(WM_WAVE_SILENCE));
    EXPECT_FALSE(m_controller->Notice(WM_WAVE_SILENCE)) << "the count-down is running already";
    m_window.PumpUntil([&] { return !m_controller->CountDownRunning(); }, 30000);
    std::vector<std::string> expected;
    for (int left = 10; left >= 1; --left)
        expected.push_back("Silence detected, dropping call in " + std::to_string(left) + " seconds. \n");
    expected.emplace_back(VM_GetStatusText(VM_STATUS_DROPPING));
    // The flow's own status (its greeting is missing here) may come between.
    std::erase(m_status.lines, std::string(VM_GetStatusText(VM_STATUS_MAIN_GREETING)));
    EXPECT_EQ(m_status.lines, expected) << "eleven ticks, then the timer stops";
    EXPECT_EQ(m_controller->VM_GetCountDown(), 0);
}

TEST_F(MailboxControllerConcurrency, SoundEndsTheCountDownAndStatusIndexesAreChecked) {
    VM_CCall* call = ConnectedCall();
    ASSERT_NE(call, nullptr);
    ASSERT_TRUE(Start(call));
    m_window.PumpFor(100);
    m_status.lines.clear();
    ASSERT_TRUE(m_controller->Notice(WM_WAVE_SILENCE));
    EXPECT_TRUE(m_controller->CountDownRunning());
    ASSERT_TRUE(m_controller->Notice(WM_WAVE_SOUND));
    EXPECT_FALSE(m_controller->CountDownRunning());
    EXPECT_EQ(m_controller->VM_GetCountDown(), 0);
    ASSERT_TRUE(m_controller->Notice(WM_WAVE_BUSYTONE));
    std::erase(m_status.lines, std::string(VM_GetStatusText(VM_STATUS_MAIN_GREETING)));

    LRESULT result = 0;
    const auto self = reinterpret_cast<WPARAM>(m_controller.get());
    EXPECT_TRUE(m_controller->VM_OnMessage(nullptr, VM_MSG_STATUS, self, 19, result)) << "handled, not shown";
    EXPECT_TRUE(m_controller->VM_OnMessage(nullptr, VM_MSG_STATUS, self, -1, result));
    EXPECT_FALSE(m_controller->VM_OnMessage(nullptr, VM_MSG_STATUS, self + 8, 7, result)) << "another controller's";
    EXPECT_TRUE(m_controller->VM_OnMessage(nullptr, VM_MSG_STATUS, self, VM_STATUS_BYE, result));
    EXPECT_EQ(m_status.lines, (std::vector<std::string>{VM_GetStatusText(VM_STATUS_SOUND),
                                                        VM_GetStatusText(VM_STATUS_CALL_END_TONE),
                                                        VM_GetStatusText(VM_STATUS_BYE)}));
    EXPECT_TRUE(m_controller->VM_Stop());
    EXPECT_FALSE(m_controller->VM_OnMessage(nullptr, VM_MSG_STATUS, self, VM_STATUS_BYE, result))
        << "no status display once the call is stopped";
}

}  // namespace
