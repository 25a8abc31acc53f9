// The windowed mediator's start-up and its commands that reach the dialogs.
#include "app/views/app_mediator.h"

#include <gtest/gtest.h>

#include <QMainWindow>
#include <string>
#include <vector>

#include "app/views/command_table.h"
#include "app/views/main_views.h"
#include "app/dialogs/message_box.h"
#include "app/qt_test_app.h"
#include "app/frame/tray_icon.h"
#include "platform/win32/win32.h"
#include "store/app_config.h"
#include "support/message_window.h"
#include "support/scoped_env.h"
#include "support/temp_dir.h"

using testsupport::TempDir;

namespace {

class AppMediator : public ::testing::Test {
protected:
    void TearDown() override { VM_SetMessageHook(nullptr); }

    bool Create(DWORD flags) {
        m_cfg.m_dwFlags = flags;
        m_mediator.VM_Bind(nullptr, nullptr, &m_tray, nullptr);
        return m_mediator.VM_CreateViews(&m_frame, m_window.hwnd(),
                                         [this](const char* text) { m_progress.push_back(text); });
    }

    QApplication& m_app = VM_TestQtApp();
    TempDir m_shipped;  // no manual shipped
    testsupport::ScopedEnv m_data{"VOCERRA_DATA", m_shipped.path().c_str()};
    TempDir m_home;
    VM_CAppCfg m_cfg{m_home.path().c_str()};
    testsupport::MessageWindow m_window;
    QMainWindow m_frame;
    VM_CTrayIcon m_tray{m_window.hwnd(), &m_frame};
    VM_CAppMediator m_mediator{&m_cfg};
    std::vector<std::string> m_progress;
};

}  // namespace

TEST_F(AppMediator, AnsweringThatCannotStartIsSwitchedOffAndSaved) {
    ASSERT_TRUE(Create(VM_FLAG_ANSWERING | VM_FLAG_MESSAGE_PAGE | VM_FLAG_TOOLBAR));
    EXPECT_FALSE(m_cfg.m_dwFlags & VM_FLAG_ANSWERING);
    VM_CAppCfg stored(m_home.path().c_str());
    EXPECT_FALSE(stored.m_dwFlags & VM_FLAG_ANSWERING);
    EXPECT_TRUE(stored.m_dwFlags & VM_FLAG_TOOLBAR);
    ASSERT_NE(m_mediator.VM_GetViews(), nullptr);
    EXPECT_FALSE(m_mediator.VM_GetViews()->VM_GetAction(kCmdAnswer)->isChecked());
    // A second build is refused rather than leaving two sets of views.
    EXPECT_FALSE(m_mediator.VM_CreateViews(&m_frame, m_window.hwnd(), {}));
}

TEST_F(AppMediator, StartUpShowsItsStepsAndSetsUpTheTrayIcon) {
    ASSERT_TRUE(Create(VM_FLAG_MESSAGE_PAGE));
    EXPECT_EQ(m_progress, (std::vector<std::string>{"Checking modems, please wait a few minutes...",
                                                    "Checking sound devices...",
                                                    "Loading call log and address book..."}));
    EXPECT_EQ(m_tray.VM_GetTooltip(), m_cfg.m_szTitle);
    EXPECT_EQ(m_tray.VM_GetShownIcon(), 140);
}

TEST_F(AppMediator, HelpWithoutAManualSaysSo) {
    testsupport::WriteFileBytes(m_home.file("Help"), "not a folder");
    ASSERT_TRUE(Create(VM_FLAG_MESSAGE_PAGE));
    std::vector<std::string> messages;
    VM_SetMessageHook([&](const QString& text) { messages.push_back(text.toStdString()); });
    EXPECT_EQ(m_mediator.VM_Execute(kCmdHelp), 1);
    EXPECT_EQ(messages,
              std::vector<std::string>{"Can not find user manual, please make sure Vocerra is correctly installed!\n"});
}

TEST_F(AppMediator, CommandMessagesReachTheTableAndOthersPassOn) {
    // Before the views exist the view commands are not bound yet.
    LRESULT result = 0;
    EXPECT_FALSE(m_mediator.VM_OnMessage(m_window.hwnd(), WM_COMMAND, kCmdToolBar, 0, result));
    ASSERT_TRUE(Create(VM_FLAG_MESSAGE_PAGE));
    ASSERT_TRUE(m_mediator.VM_OnMessage(m_window.hwnd(), WM_COMMAND, kCmdToolBar, 0, result));
    EXPECT_EQ(result, 1);
    EXPECT_TRUE(m_cfg.m_dwFlags & VM_FLAG_TOOLBAR);
    EXPECT_FALSE(m_mediator.VM_OnMessage(m_window.hwnd(), WM_COMMAND, 12345, 0, result));
    EXPECT_FALSE(m_mediator.VM_OnMessage(m_window.hwnd(), WM_PAINT, 0, 0, result));
    EXPECT_EQ(m_mediator.VM_Execute(12345), 0);
}
