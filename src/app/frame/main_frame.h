// The main window's drawing side: the Qt window the mediator builds its
// views in. What the user does to the window itself reaches the
// application window as window messages on its HWND: the close box as
// WM_SYSCOMMAND SC_CLOSE (which hides it to the tray), becoming the active
// window as WM_ACTIVATE.
#pragma once

#include <QMainWindow>

#include "platform/win32/types.h"

constexpr WPARAM VM_SC_CLOSE = 0xF060;

class VM_CMainFrame : public QMainWindow {
    Q_OBJECT
public:
    explicit VM_CMainFrame(HWND window);

    // Shows the window, restored from minimised, raised and active.
    void VM_ShowAndRaise();
    // Out of sight until the tray icon or a second start brings it back;
    // minimised instead where the desktop has no tray to bring it back from.
    void VM_HideToTray(bool trayShown);

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    HWND m_hWnd;
};
