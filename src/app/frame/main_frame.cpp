#include "app/frame/main_frame.h"

#include <QCloseEvent>
#include <QEvent>
#include <QFontMetrics>

#include "app/frame/alert_ctrl.h"
#include "platform/win32/messages.h"

VM_CMainFrame::VM_CMainFrame(HWND window) : m_hWnd(window) {
    setObjectName(QStringLiteral("mainFrame"));
    // Room for the folder tree and the call log's columns on first show.
    const QFontMetrics metrics = fontMetrics();
    resize(metrics.averageCharWidth() * 130, metrics.height() * 34);
}

void VM_CMainFrame::VM_ShowAndRaise() {
    show();
    setWindowState((windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    raise();
    activateWindow();
}

void VM_CMainFrame::VM_HideToTray(bool trayShown) {
    if (trayShown) hide();
    else showMinimized();
}

void VM_CMainFrame::closeEvent(QCloseEvent* event) {
    // Closing only hides: the program goes on answering.
    event->ignore();
    SendMessageA(m_hWnd, WM_SYSCOMMAND, VM_SC_CLOSE, 0);
}

void VM_CMainFrame::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        PostMessageA(m_hWnd, VM_WM_ACTIVATE, VM_WA_ACTIVE, 0);
}
