// The windowed program with a notification service on a private session bus:
// a call that leaves a message puts up one notification (the caller, number,
// mailbox and length), the caller's next one replaces it, "Play" opens the
// record and plays the message, and reading it withdraws the notification.
// Without a service the program goes on, with one trace line.
#include <QApplication>
#include <QDialog>
#include <QItemSelectionModel>
#include <QLabel>
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <memory>
#include <string>
#include <utility>

#include "app/answering_config.h"
#include "app/dialogs/play_record_control.h"
#include "app/dialogs/record_detail_dialog.h"
#include "app/frame/alert_ctrl.h"
#include "app/frame/app_wnd.h"
#include "app/frame/main_frame.h"
#include "app/notification_bus.h"
#include "app/qt_test_app.h"
#include "app/queue_pump.h"
#include "app/test_sound_files.h"
#include "app/views/app_mediator.h"
#include "app/views/entry_list_view.h"
#include "app/views/main_views.h"
#include "audio/wave_file.h"
#include "diag/trace.h"
#include "lines/sim/sim_call_audio_device.h"
#include "lines/sim/sim_line_service.h"
#include "platform/win32/clock.h"
#include "platform/winmm/file_endpoint.h"
#include "store/app_config.h"
#include "store/call_info.h"
#include "store/call_log_model.h"
#include "support/qt/modal_script.h"
#include "support/scoped_env.h"
#include "support/temp_dir.h"

namespace {

using apptest::PumpUntil;

constexpr double kTimeScale = 8.0;

class DesktopNotification : public ::testing::Test {
protected:
    virtual bool WithService() const { return true; }
    void SetUp() override {
        m_bus = std::make_unique<apptest::NotificationBus>(WithService());
        ASSERT_TRUE(m_bus->Ok()) << m_bus->Error();
        m_busAddress = std::make_unique<testsupport::ScopedEnv>("DBUS_SESSION_BUS_ADDRESS", m_bus->Address().c_str());
        platform::SetTimeScale(kTimeScale);
        simline::InstallSimCallAudio();
        chmod(m_runtime.path().c_str(), 0700);
        wavetest::WriteWave(m_voice, wavetest::Format(WAVE_FORMAT_PCM, 16), apptest::Ramp(8000));
        apptest::WriteAnsweringConfig(m_home.path(), [this](VM_CAppCfg& cfg) {
            cfg.m_nSilenceSeconds = 0;  // the caller's hang-up ends the call at once
            cfg.m_nAlertMode = 2;       // calls that left a message
            cfg.m_idPlayDevice = static_cast<int>(winmm::AddFileWaveOut(m_speaker, apptest::kAllFormats));
        });
        m_service.Install();
        m_app = std::make_unique<VM_CAppWnd>(VM_SAppWndOptions{m_runtime.path(), m_home.path()});
        std::string error;
        ASSERT_TRUE(m_app->VM_Init(false, &error)) << error;
    }
    void TearDown() override {
        m_app.reset();
        m_service.Uninstall();
        simline::SetCallAudioFactory(nullptr);
        platform::SetTimeScale(1.0);
    }

    VM_CMainViews& Views() { return *m_app->VM_GetMediator()->VM_GetViews(); }

    static bool StatusSays(const QString& text) {
        for (QWidget* widget : QApplication::topLevelWidgets())
            if (widget->isVisible() && widget->windowTitle().startsWith("Incoming Call"))
                for (QLabel* label : widget->findChildren<QLabel*>())
                    if (label->text().contains(text)) return true;
        return false;
    }
    // A call answered, with a tone as the caller's message when withMessage,
    // then hung up; waits until it is filed.
    void Call(const char* number, const char* name, bool withMessage) {
        simline::CallerId caller;
        caller.number = number;
        caller.name = name;
        auto call = m_service.OfferCall(0, caller, true);
        ASSERT_TRUE(PumpUntil([&] {
            if (!call->Answered()) call->Ring();
            return call->Answered();
        }));
        if (withMessage) {
            // A second of tone once the recording runs, all of it taken.
            ASSERT_TRUE(PumpUntil([] { return StatusSays("Recording voice message"); }));
            auto* audio = static_cast<simline::SimCallAudio*>(call->Audio());
            ASSERT_TRUE(audio->SendFile(m_voice));
            ASSERT_TRUE(PumpUntil([&] { return audio->FileSamplesLeft() == 0; }));
        }
        const int before = Filed();
        call->HangUp();
        ASSERT_TRUE(PumpUntil([&] { return Filed() > before; }));
    }
    int Filed() {
        VM_CCallLogModel& log = Views().VM_GetCallLog();
        return log.VM_GetFolderId() == m_app->VM_GetCfg()->m_idInbox ? log.VM_GetRowCount() : -1;
    }
    std::string Heard() {
        VM_CWaveFile file(m_speaker.c_str(), VM_WAVE_MODE_READ);
        return wavetest::ReadAllData(file);
    }

    QApplication& m_qt = VM_TestQtApp();
    testsupport::ScopedEnv m_noCards{"VOCERRA_NO_SOUND_CARDS", "1"};
    testsupport::TempDir m_home;
    testsupport::TempDir m_runtime;
    std::string m_speaker = m_home.file("speaker.wav");
    std::string m_voice = m_runtime.file("voice.wav");
    std::unique_ptr<apptest::NotificationBus> m_bus;
    std::unique_ptr<testsupport::ScopedEnv> m_busAddress;
    simline::SimLineService m_service{{simline::LineConfig{}}};
    std::unique_ptr<VM_CAppWnd> m_app;
};

TEST_F(DesktopNotification, AMessageIsNotifiedReplacedPlayedFromTheNotificationAndWithdrawnWhenRead) {
    // The alert is for calls that left a message: none for this one.
    Call("5550111", "Bob Nomessage", false);
    Call("5550100", "Ann Example", true);
    ASSERT_TRUE(PumpUntil([&] { return !m_bus->Events("Notify").empty(); }));
    std::vector<apptest::NotifyEvent> shown = m_bus->Events("Notify");
    ASSERT_EQ(1u, shown.size());
    EXPECT_EQ("Vocerra", shown[0].app);
    EXPECT_EQ("New message from Ann Example", shown[0].summary);
    EXPECT_EQ(0u, shown[0].body.find("5550100\nMailbox 0, message of 0:0")) << shown[0].body;
    EXPECT_EQ((std::vector<std::string>{"default", "Show", "play", "Play", "show", "Show"}), shown[0].actions);

    Call("5550100", "Ann Example", true);
    ASSERT_TRUE(PumpUntil([&] { return m_bus->Events("Notify").size() == 2; }));
    shown = m_bus->Events("Notify");
    EXPECT_EQ(shown[0].id, shown[1].replaces) << "the caller's earlier notification is replaced";
    const unsigned id = shown[1].id;

    // The user comes back; the alert sound is over before the message plays.
    VM_CAlertCtrl* alert = m_app->VM_GetAlert();
    m_app->VM_GetFrame()->VM_ShowAndRaise();
    ASSERT_TRUE(PumpUntil([&] { return !alert->VM_IsActive(); }));

    VM_CCallInfo* opened = nullptr;
    std::string message;
    bool played = false;
    ModalScript script;
    script.On<VM_CRecordDetailDialog>([&](VM_CRecordDetailDialog* dialog) {
        opened = Views().VM_GetCallLog().VM_GetRecord(
            Views().VM_GetListView(VM_CMainViews::Page::kMessages)->currentIndex().row());
        VM_CMetaphor* player = dialog->VM_GetPlayer();
        played = player != nullptr && PumpUntil([&] { return player->VM_IsPlaying(); }) &&
                 PumpUntil([&] { return !player->VM_IsActive(); });
        message = player != nullptr ? player->VM_GetFile() : "";
        EXPECT_TRUE(m_bus->Events("CloseNotification").empty()) << "withdrawn before it was read";
        dialog->reject();
    });
    ASSERT_TRUE(m_bus->Invoke(id, "play"));
    ASSERT_TRUE(PumpUntil([&] { return script.Pending() == 0; }));
    ASSERT_NE(nullptr, opened);
    ASSERT_EQ(3, Filed());
    for (int row = 0; row < 3; ++row)
        EXPECT_LE(Views().VM_GetCallLog().VM_GetRecord(row)->m_id, opened->m_id) << "the latest call is opened";
    EXPECT_TRUE(played);
    VM_CWaveFile recording(message.c_str(), VM_WAVE_MODE_READ);
    EXPECT_GT(recording.VM_GetDataSize(), 1000u);
    EXPECT_EQ(wavetest::ReadAllData(recording), Heard()) << "the message went to the speaker";

    ASSERT_TRUE(PumpUntil([&] { return !m_bus->Events("CloseNotification").empty(); }));
    const std::vector<apptest::NotifyEvent> withdrawn = m_bus->Events("CloseNotification");
    ASSERT_EQ(1u, withdrawn.size());
    EXPECT_EQ(id, withdrawn[0].id);
    EXPECT_TRUE(opened->VM_IsRead());
    EXPECT_EQ(2u, m_bus->Events("Notify").size());
}

TEST_F(DesktopNotification, TheAlertChoiceDecidesAndShowBringsTheWindowToTheCall) {
    VM_CAppCfg& cfg = *m_app->VM_GetCfg();
    cfg.m_nAlertMode = 0;  // no alert: no notification, message or not
    Call("5550120", "Cleo Quiet", true);
    cfg.m_nAlertMode = 1;  // every call
    Call("5550121", "Dan Brief", false);
    Call("5550122", "Eve Later", false);
    ASSERT_TRUE(PumpUntil([&] { return m_bus->Events("Notify").size() == 2; }));
    const std::vector<apptest::NotifyEvent> shown = m_bus->Events("Notify");
    EXPECT_EQ("Call from Dan Brief", shown[0].summary);
    EXPECT_EQ((std::vector<std::string>{"default", "Show", "show", "Show"}), shown[0].actions) << "nothing to play";
    ASSERT_EQ(3, Filed());
    VM_CCallLogModel& log = Views().VM_GetCallLog();
    int32_t danId = 0;
    for (int row = 0; row < 3; ++row)
        if (std::string("5550121") == log.VM_GetRecord(row)->VM_GetAttr(VM_CCallInfo::kAttrNumber))
            danId = log.VM_GetRecord(row)->m_id;

    // The window is away, on the address book, with another call selected.
    Views().VM_ShowPage(VM_CMainViews::Page::kAddresses);
    m_app->VM_GetFrame()->hide();
    ASSERT_TRUE(m_bus->Invoke(shown[0].id, "show"));
    ASSERT_TRUE(PumpUntil([&] { return m_app->VM_GetFrame()->isVisible(); }));
    EXPECT_EQ(VM_CMainViews::Page::kMessages, Views().VM_GetPage());
    const QModelIndexList selected =
        Views().VM_GetListView(VM_CMainViews::Page::kMessages)->selectionModel()->selectedRows();
    ASSERT_EQ(1, selected.size());
    EXPECT_EQ(danId, log.VM_GetRecord(selected[0].row())->m_id);
    EXPECT_TRUE(m_bus->Events("CloseNotification").empty()) << "shown is not read";
}

class WithoutNotificationService : public DesktopNotification {
protected:
    bool WithService() const override { return false; }
    size_t TraceLines() {
        const std::string trace = testsupport::ReadFileBytes(m_cwd.file("dbg_err.txt"));
        size_t lines = 0;
        for (size_t at = 0; (at = trace.find("Desktop notifications:", at)) != std::string::npos; ++at) ++lines;
        return lines;
    }
    void TearDown() override {
        DesktopNotification::TearDown();
        g_bTraceTapi = m_savedTrace;
    }
    testsupport::TempDir m_cwd{true};  // the trace log's folder
    int m_savedTrace = std::exchange(g_bTraceTapi, 1);
};

TEST_F(WithoutNotificationService, CallsAreFiledAndAlertedAsBeforeWithOneTraceLine) {
    Call("5550100", "Ann Example", true);
    ASSERT_TRUE(PumpUntil([&] { return TraceLines() > 0; }));
    Call("5550101", "Cleo Example", true);
    // Time for the second call's attempt to come back.
    Call("5550102", "Dora Example", false);
    EXPECT_EQ(3, Filed());
    EXPECT_TRUE(m_app->VM_GetAlert()->VM_IsActive());
    EXPECT_EQ(1u, TraceLines()) << testsupport::ReadFileBytes(m_cwd.file("dbg_err.txt"));
    EXPECT_NE(std::string::npos, testsupport::ReadFileBytes(m_cwd.file("dbg_err.txt")).find("no notification service"));
}

}  // namespace
