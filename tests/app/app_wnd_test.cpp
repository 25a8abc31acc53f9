// The windowed program in one process on the simulated line: a call shows
// the caller-ID window, is filed bold in the Inbox shown, starts the alert
// that the user's return ends; the Answer command stops and restarts
// answering; a remote delete moves the entry in the view shown; exit files
// the call in progress.
#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QTreeWidget>
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <atomic>
#include <memory>
#include <thread>
#include <string>

#include "app/answering_config.h"
#include "app/frame/alert_ctrl.h"
#include "app/views/app_mediator.h"
#include "app/frame/app_wnd.h"
#include "app/frame/instance_channel.h"
#include "app/frame/main_frame.h"
#include "app/views/main_views.h"
#include "app/qt_test_app.h"
#include "app/queue_pump.h"
#include "app/frame/tray_icon.h"
#include "app/views/entry_list_view.h"
#include "callflow/answer_machine.h"
#include "callflow/callflow_messages.h"
#include "lines/sim/sim_line_service.h"
#include "platform/win32/clock.h"
#include "platform/win32/win32.h"
#include "shell/config_command.h"
#include "store/app_config.h"
#include "store/call_info.h"
#include "store/call_log_model.h"
#include "store/list.h"
#include "support/scoped_env.h"
#include "support/temp_dir.h"

namespace {

constexpr double kTimeScale = 8.0;
constexpr int kCommandAnswer = 40055;

class AppWndTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (platform::TimeScale() != kTimeScale) platform::SetTimeScale(kTimeScale);
        chmod(m_runtime.path().c_str(), 0700);
        apptest::WriteAnsweringConfig(m_home.path(), [](VM_CAppCfg& cfg) { cfg.m_nAlertMode = 0; });
        m_service.Install();
        m_app = std::make_unique<VM_CAppWnd>(VM_SAppWndOptions{m_runtime.path(), m_home.path()});
        std::string error;
        ASSERT_TRUE(m_app->VM_Init(false, &error)) << error;
    }
    void TearDown() override {
        m_app.reset();
        m_service.Uninstall();
    }

    VM_CMainViews& Views() { return *m_app->VM_GetMediator()->VM_GetViews(); }
    int InboxId() { return m_app->VM_GetCfg()->m_idInbox; }
    int DeletedId() { return m_app->VM_GetCfg()->m_idDeleted; }
    // The row of the call-log view shown whose texts include text; -1 if none.
    int ShownRowWith(const std::string& text) {
        QTreeWidget* list = Views().VM_GetListView(VM_CMainViews::Page::kMessages);
        for (int row = 0; row < list->topLevelItemCount(); ++row)
            for (int column = 0; column < list->columnCount(); ++column)
                if (list->topLevelItem(row)->text(column).toStdString().find(text) != std::string::npos) return row;
        return -1;
    }
    std::string Rows() {
        std::string all;
        QTreeWidget* list = Views().VM_GetListView(VM_CMainViews::Page::kMessages);
        for (int row = 0; row < list->topLevelItemCount(); ++row) {
            for (int column = 0; column < list->columnCount(); ++column)
                all += list->topLevelItem(row)->text(column).toStdString() + "|";
            all += "\n";
        }
        return all;
    }
    // An offered call rung until the machine answers it; seen: whether the
    // caller-ID window showed the caller's name, number and a status.
    std::shared_ptr<simline::SimCall> AnsweredCall(const char* number, const char* name, bool* seen = nullptr) {
        simline::CallerId caller;
        caller.number = number;
        caller.name = name;
        auto call = m_service.OfferCall(0, caller, true);
        bool seenName = false, seenNumber = false, seenStatus = false;
        EXPECT_TRUE(apptest::PumpUntil([&] {
            if (QDialog* window = CallerIdWindow()) {
                seenName = seenName || Shows(window, QString::fromUtf8(name));
                seenNumber = seenNumber || Shows(window, QString::fromUtf8(number));
                seenStatus = seenStatus || HasStatus(window);
            }
            if (!call->Answered()) call->Ring();
            return call->Answered() && (seen == nullptr || (seenName && seenNumber && seenStatus));
        }));
        if (seen != nullptr) *seen = seenName && seenNumber && seenStatus;
        return call;
    }
    static QDialog* CallerIdWindow() {
        for (QWidget* widget : QApplication::topLevelWidgets())
            if (auto* dialog = qobject_cast<QDialog*>(widget);
                dialog != nullptr && dialog->isVisible() && dialog->windowTitle().startsWith("Incoming Call"))
                return dialog;
        return nullptr;
    }
    // The status line (the framed label) says something.
    static bool HasStatus(QWidget* window) {
        for (QLabel* label : window->findChildren<QLabel*>())
            if (label->frameShape() == QFrame::StyledPanel && !label->text().isEmpty()) return true;
        return false;
    }
    static bool Shows(QWidget* window, const QString& text) {
        for (QLabel* label : window->findChildren<QLabel*>())
            if (label->text().contains(text)) return true;
        return false;
    }

    QApplication& m_qt = VM_TestQtApp();
    testsupport::ScopedEnv m_noCards{"VOCERRA_NO_SOUND_CARDS", "1"};
    testsupport::TempDir m_home;
    testsupport::TempDir m_runtime;
    simline::SimLineService m_service{{simline::LineConfig{}}};
    std::unique_ptr<VM_CAppWnd> m_app;
};

TEST_F(AppWndTest, ACallIsShownFiledBoldAndAlertedUntilTheUserComesBack) {
    ASSERT_EQ(InboxId(), Views().VM_GetShownFolder());
    bool seen = false;
    auto call = AnsweredCall("5550100", "Ann Example", &seen);
    EXPECT_TRUE(seen) << "the caller-ID window showed the caller's name, number and status";

    call->HangUp();
    int row = -1;
    ASSERT_TRUE(apptest::PumpUntil([&] { return (row = ShownRowWith("Ann Example")) >= 0; })) << Rows();
    QTreeWidget* list = Views().VM_GetListView(VM_CMainViews::Page::kMessages);
    EXPECT_TRUE(list->topLevelItem(row)->font(0).bold()) << "a new record is unread";

    VM_CAlertCtrl* alert = m_app->VM_GetAlert();
    ASSERT_TRUE(apptest::PumpUntil([&] { return alert->VM_IsActive(); }));
    EXPECT_TRUE(m_app->VM_GetTray()->VM_IsAnimating());
    EXPECT_EQ(0, m_app->VM_GetTollSaver()->VM_GetNoNewMessages());
    ASSERT_TRUE(apptest::PumpUntil([&] { return m_app->VM_GetTray()->VM_GetShownIcon() == 141; }));

    // Offscreen the desktop cannot tell the cursor: coming back to the
    // window is the sign.
    m_app->VM_GetFrame()->VM_ShowAndRaise();
    ASSERT_TRUE(apptest::PumpUntil([&] { return !alert->VM_IsActive(); }));
    EXPECT_FALSE(m_app->VM_GetTray()->VM_IsAnimating());
    EXPECT_EQ(140, m_app->VM_GetTray()->VM_GetShownIcon());
    EXPECT_EQ(1, m_app->VM_GetTollSaver()->VM_GetNoNewMessages());
}

TEST_F(AppWndTest, AnswerOffLetsTheNextCallRingOnAnswerOnTakesItAgain) {
    PostMessageA(m_app->VM_GetHwnd(), WM_COMMAND, kCommandAnswer, 0);
    ASSERT_TRUE(apptest::PumpUntil([&] { return !m_app->VM_GetCfg()->VM_IsFlag(VM_FLAG_ANSWERING); }));

    simline::CallerId caller;
    caller.number = "5550111";
    auto unanswered = m_service.OfferCall(0, caller, true);
    for (int ring = 0; ring < 6; ++ring) {
        unanswered->Ring();
        apptest::PumpUntil([] { return true; });
    }
    EXPECT_EQ(0u, unanswered->AnswerRequests());
    unanswered->HangUp();

    PostMessageA(m_app->VM_GetHwnd(), WM_COMMAND, kCommandAnswer, 0);
    ASSERT_TRUE(apptest::PumpUntil([&] { return m_app->VM_GetCfg()->VM_IsFlag(VM_FLAG_ANSWERING); }));
    auto answered = AnsweredCall("5550122", "Bob");
    EXPECT_TRUE(answered->Answered());
    answered->HangUp();
    ASSERT_TRUE(apptest::PumpUntil([&] { return ShownRowWith("Bob") >= 0; }));
}

TEST_F(AppWndTest, ARemoteDeleteMovesTheEntryToDeletedMessagesInTheViewShown) {
    auto call = AnsweredCall("5550133", "Cleo");
    call->HangUp();
    ASSERT_TRUE(apptest::PumpUntil([&] { return ShownRowWith("Cleo") >= 0; }));
    const int32_t id = Views().VM_GetCallLog().VM_GetRecord(ShownRowWith("Cleo"))->m_id;

    PostMessageA(m_app->VM_GetHwnd(), VM_MSG_REMOTE_DELETE, static_cast<WPARAM>(InboxId()), id);
    ASSERT_TRUE(apptest::PumpUntil([&] { return ShownRowWith("Cleo") < 0; }));
    ASSERT_TRUE(Views().VM_ShowFolder(VM_CMainViews::Page::kMessages, DeletedId()));
    EXPECT_GE(ShownRowWith("Cleo"), 0);
}

TEST_F(AppWndTest, ExitDuringACallFilesItAndTheCloseBoxOnlyHides) {
    VM_CMainFrame* frame = m_app->VM_GetFrame();
    frame->show();
    frame->close();
    apptest::PumpUntil([] { return true; });
    // Without a tray to come back from (offscreen) it is minimised instead.
    EXPECT_TRUE(frame->isHidden() || frame->isMinimized());
    EXPECT_TRUE(IsWindow(m_app->VM_GetHwnd()));

    auto call = AnsweredCall("5550144", "Dora");
    const HWND window = m_app->VM_GetHwnd();
    DestroyWindow(window);
    m_app.reset();

    VM_CAppCfg cfg(m_home.path().c_str());
    std::unique_ptr<char[]> file(cfg.VM_GetMessageListFileName(cfg.m_idInbox));
    VM_CCallInfo prototype;
    VM_CList inbox(&prototype, file.get(), VM_CList::kFileBacked);
    bool filed = false;
    for (int i = 0; i < inbox.VM_GetCount(); ++i) {
        auto* record = static_cast<VM_CCallInfo*>(inbox.VM_GetAt(i));
        const char* name = record->VM_GetAttr(VM_CCallInfo::kAttrName);
        filed = filed || (name != nullptr && std::string(name) == "Dora");
    }
    EXPECT_TRUE(filed) << "the call in progress at exit is in the Inbox's list";
}

// `vocerra config set` while the window runs: the window's copy makes the
// change, so its call log shows the mailbox column at once.
TEST_F(AppWndTest, ConfigSetFromAnotherProcessIsAppliedByTheWindowsCopy) {
    testsupport::ScopedEnv home{"VOCERRA_HOME", m_home.path().c_str()};
    testsupport::ScopedEnv runtime{"VOCERRA_RUNTIME_DIR", m_runtime.path().c_str()};
    const auto hasMailboxColumn = [this] {
        QTreeWidget* list = Views().VM_GetListView(VM_CMainViews::Page::kMessages);
        for (int column = 0; column < list->columnCount(); ++column)
            if (list->headerItem()->text(column) == QStringLiteral("Mailbox")) return true;
        return false;
    };
    ASSERT_FALSE(hasMailboxColumn());
    std::atomic<bool> done{false};
    int code = -1;
    std::FILE* out = std::tmpfile();
    std::thread command([&] {
        code = VM_RunConfigCommand({"set", "Mailboxes", "multiple"}, out, out);
        done = true;
    });
    apptest::PumpUntil([&] { return done.load(); });
    command.join();
    std::fclose(out);
    EXPECT_EQ(0, code);
    EXPECT_FALSE(m_app->VM_GetCfg()->VM_IsFlag(VM_FLAG_SINGLE_MAILBOX));
    EXPECT_TRUE(hasMailboxColumn());
    const VM_CAppCfg saved(m_home.path().c_str(), VM_CAppCfg::VM_EAccess::kReadOnly);
    EXPECT_FALSE(saved.VM_IsFlag(VM_FLAG_SINGLE_MAILBOX)) << "saved by the running copy";
}

TEST_F(AppWndTest, ASecondStartBringsBackAHiddenOrMinimisedWindow) {
    VM_CMainFrame* frame = m_app->VM_GetFrame();
    for (const bool minimised : {false, true}) {
        if (minimised) frame->showMinimized();
        else frame->hide();
        std::atomic<bool> done{false};
        bool shown = false;
        std::thread second([&] {
            shown = VM_AskRunningInstanceToShow(m_runtime.path());
            done = true;
        });
        apptest::PumpUntil([&] { return done.load(); });
        second.join();
        EXPECT_TRUE(shown);
        EXPECT_TRUE(frame->isVisible());
        EXPECT_FALSE(frame->isMinimized());
    }
}

}  // namespace
