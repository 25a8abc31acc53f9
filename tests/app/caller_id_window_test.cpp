// The caller-ID window: what it shows, that the user's "Close" lets the
// call go on with later updates changing nothing, and that "Hang Up" tells
// the answer machine's window.
#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <gtest/gtest.h>

#include "app/dialogs/caller_id_window.h"
#include "app/qt_test_app.h"
#include "callflow/answer_machine.h"
#include "callflow/status_texts.h"
#include "platform/win32/win32.h"
#include "support/message_window.h"

namespace {

VM_CAnswerMachine* const kOwner = reinterpret_cast<VM_CAnswerMachine*>(0x1234);

QPushButton* Button(VM_CCallerIDWindow& window, const char* name) {
    return window.VM_GetDialog()->findChild<QPushButton*>(QString::fromLatin1(name));
}

TEST(CallerIDWindow, ClosedByTheUserLaterUpdatesChangeNothing) {
    VM_TestQtApp();
    VM_CCallerIDWindow window(nullptr, kOwner, nullptr);
    window.VM_Show();
    window.VM_SetCaller("Ann Example", "555-0100");
    Button(window, "close")->click();
    EXPECT_TRUE(window.VM_IsClosed());
    EXPECT_EQ(window.VM_GetDialog(), nullptr);

    // The call goes on: rings, the lookup and the flow keep updating.
    window.VM_SetCaller("Someone Else", "555-0199");
    window.VM_ShowStatusIndex(VM_STATUS_RECORDING);
    window.VM_Show();
    QApplication::processEvents();
    EXPECT_EQ(window.VM_GetDialog(), nullptr);
    EXPECT_TRUE(window.VM_GetShownName().isEmpty());
}

TEST(CallerIDWindow, CloseBoxEndsTheWindowTooAndTheOwnerMayDeleteItAfterwards) {
    VM_TestQtApp();
    auto window = std::make_unique<VM_CCallerIDWindow>(nullptr, kOwner, nullptr);
    window->VM_Show();
    window->VM_GetDialog()->close();
    EXPECT_TRUE(window->VM_IsClosed());
    window->VM_ShowStatus("Dropping the call...\n");
    window.reset();
    // The dialog's deferred deletion runs after its owner is gone.
    QApplication::processEvents();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

TEST(CallerIDWindow, ShowsNameNumberAndTheLatestStatusOnOneLine) {
    VM_TestQtApp();
    VM_CCallerIDWindow window(nullptr, kOwner, nullptr);
    EXPECT_EQ(window.VM_GetDialog()->windowTitle(), QStringLiteral("Incoming Call..."));
    window.VM_SetCaller("Ann Example", "555-0100");
    window.VM_ShowStatusIndex(VM_STATUS_RINGING);
    window.VM_ShowStatusIndex(VM_STATUS_ANSWERING);
    EXPECT_EQ(window.VM_GetShownName(), QStringLiteral("Ann Example"));
    EXPECT_EQ(window.VM_GetShownNumber(), QStringLiteral("555-0100"));
    QString answering = QString::fromLatin1(VM_GetStatusText(VM_STATUS_ANSWERING)).trimmed();
    EXPECT_EQ(window.VM_GetShownStatus(), answering);
}

// Anyone can put markup in a caller name; it shows as the characters it is.
TEST(CallerIDWindow, MarkupInTheCallerIdIsShownAsText) {
    VM_TestQtApp();
    VM_CCallerIDWindow window(nullptr, kOwner, nullptr);
    window.VM_SetCaller("<h1>Police</h1>", "<b>911</b>");
    for (const char* text : {"<h1>Police</h1>", "<b>911</b>"}) {
        QLabel* shown = nullptr;
        for (QLabel* label : window.VM_GetDialog()->findChildren<QLabel*>())
            if (label->text() == QString::fromLatin1(text)) shown = label;
        ASSERT_NE(shown, nullptr) << text;
        const QFontMetrics metrics = shown->fontMetrics();
        EXPECT_GE(shown->sizeHint().width(), metrics.horizontalAdvance(QString::fromLatin1(text))) << text;
        EXPECT_LT(shown->sizeHint().height(), 2 * metrics.height()) << text << " is rendered, not shown";
    }
}

TEST(CallerIDWindow, HangUpPostsTheOwnersAddressAndKeepsTheWindow) {
    VM_TestQtApp();
    testsupport::MessageWindow parent;
    VM_CCallerIDWindow window(parent.hwnd(), kOwner, nullptr);
    Button(window, "hangUp")->click();
    MSG msg{};
    ASSERT_TRUE(PeekMessageA(&msg, parent.hwnd(), VM_MSG_USER_HANGUP, VM_MSG_USER_HANGUP, PM_REMOVE));
    EXPECT_EQ(msg.wParam, reinterpret_cast<WPARAM>(kOwner));
    EXPECT_FALSE(window.VM_IsClosed());
}

}  // namespace
