// The tray icon keeps its state without a desktop tray: the blinking, the
// commands its menu and double click post, and the tooltip's limit.
#include <QAction>
#include <QApplication>
#include <QMenu>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/qt_test_app.h"
#include "app/frame/tray_icon.h"
#include "callflow/timer_test_window.h"
#include "platform/win32/win32.h"

namespace {

constexpr LPARAM kLeftDoubleClick = 0x0203;

// Takes the WM_COMMANDs the window is posted, before the window sees them.
std::vector<WPARAM> PostedCommands(HWND window) {
    std::vector<WPARAM> commands;
    MSG msg;
    while (PeekMessageA(&msg, window, WM_COMMAND, WM_COMMAND, PM_REMOVE)) commands.push_back(msg.wParam);
    return commands;
}

class TrayIconTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_window.Observe(&m_tray);
        m_tray.VM_SetIcon(0, 140);
        m_tray.VM_SetIcon(1, 141);
    }
    // Before the tray icon, which needs the application.
    QApplication& m_app = VM_TestQtApp();
    timertest::TestWindow m_window;
    VM_CTrayIcon m_tray{m_window.hwnd(), nullptr};
};

TEST_F(TrayIconTest, BlinksThroughItsIconsAndShowsTheFirstWhenStopped) {
    m_tray.VM_Add();
    m_tray.VM_StartAnimation();
    ASSERT_TRUE(m_tray.VM_IsAnimating());
    ASSERT_TRUE(m_window.PumpUntil([&] { return m_tray.VM_GetShownIcon() == 141; }, 5000));
    // Round again to the first: the index wraps at the icon count.
    ASSERT_TRUE(m_window.PumpUntil([&] { return m_tray.VM_GetShownIcon() == 140; }, 5000));
    ASSERT_TRUE(m_window.PumpUntil([&] { return m_tray.VM_GetShownIcon() == 141; }, 5000));

    m_tray.VM_StopAnimation();
    EXPECT_FALSE(m_tray.VM_IsAnimating());
    EXPECT_EQ(140, m_tray.VM_GetShownIcon());
    m_window.PumpFor(2000);
    EXPECT_EQ(140, m_tray.VM_GetShownIcon());
}

TEST_F(TrayIconTest, LeavesOtherTimersToTheirOwners) {
    LRESULT result = 0;
    m_tray.VM_StartAnimation();
    EXPECT_FALSE(m_tray.VM_OnMessage(m_window.hwnd(), WM_TIMER, 12345, 0, result));
    m_tray.VM_StopAnimation();
}

TEST_F(TrayIconTest, DoubleClickPostsItsCommandOnlyWhenOneIsSet) {
    LRESULT result = 0;
    ASSERT_TRUE(m_tray.VM_OnMessage(m_window.hwnd(), VM_CTrayIcon::kCallbackMessage, 1, kLeftDoubleClick, result));
    EXPECT_TRUE(PostedCommands(m_window.hwnd()).empty());

    m_tray.VM_SetDblClkCommand(40059);
    m_tray.VM_OnMessage(m_window.hwnd(), VM_CTrayIcon::kCallbackMessage, 1, kLeftDoubleClick, result);
    EXPECT_EQ(std::vector<WPARAM>{40059}, PostedCommands(m_window.hwnd()));
}

TEST_F(TrayIconTest, MenuItemsPostRestoreAnswerAndExit) {
    std::vector<WPARAM> expected = {40059, 40055, 40007};
    for (QAction* action : m_tray.VM_GetPopupMenu()->actions())
        if (!action->isSeparator()) action->trigger();
    EXPECT_EQ(expected, PostedCommands(m_window.hwnd()));
}

TEST_F(TrayIconTest, AnswerItemShowsWhetherAnsweringIsOnWhenTheMenuOpens) {
    bool answering = true;
    m_tray.VM_SetAnsweringQuery([&] { return answering; });
    QMenu* menu = m_tray.VM_GetPopupMenu();
    QAction* answer = menu->actions().at(1);
    EXPECT_TRUE(answer->isChecked());
    answering = false;
    emit menu->aboutToShow();
    EXPECT_FALSE(answer->isChecked());
}

TEST_F(TrayIconTest, TooltipIsCutTo63Characters) {
    const std::string longText(80, 'x');
    m_tray.VM_SetTooltip(longText);
    EXPECT_EQ(std::string(63, 'x'), m_tray.VM_GetTooltip());
    m_tray.VM_SetTooltip("Vocerra 3.5");
    EXPECT_EQ("Vocerra 3.5", m_tray.VM_GetTooltip());
}

}  // namespace
