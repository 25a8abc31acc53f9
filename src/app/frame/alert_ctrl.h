// The new-message alert: the tray icon animates and the alert prompt plays
// every 17 seconds until the user comes back to the computer (moves the
// mouse over the main window in front, or activates it where the desktop
// cannot tell), never during a call.
#pragma once

#include <functional>

#include "callflow/observer.h"

class QWidget;
class VM_CAppCfg;
class VM_CTollSaver;
class VM_CTrayIcon;

// What the desktop tells of the user. Empty functions: the desktop cannot
// tell (offscreen, Wayland), and activating the main window ends the alert.
struct VM_SDesktopView {
    std::function<bool(int& x, int& y)> cursorPos;
    std::function<bool()> mainWindowInFront;
};

// Posted to the main window when its Qt window becomes the active one.
constexpr UINT VM_WM_ACTIVATE = 0x0006;
constexpr WPARAM VM_WA_ACTIVE = 1;

class VM_CAlertCtrl : public VM_CObserver {
public:
    static constexpr int kSoundTicks = 34;
    static constexpr int kTickMs = 500;
    static constexpr int kMovePixels = 5;

    VM_CAlertCtrl(VM_CTollSaver* tollSaver, VM_CTrayIcon* tray, VM_CAppCfg* cfg, HWND window);
    ~VM_CAlertCtrl() override;

    // The Qt main window: the desktop view is then read from Qt when the
    // platform can tell the cursor and the active window.
    void VM_SetMainWidget(QWidget* mainWidget);
    void VM_SetDesktopView(VM_SDesktopView view);

    // A new call has been filed; hasMessage: the caller left a recording.
    void VM_Start(bool hasMessage);
    void VM_End();
    bool VM_IsActive() const { return m_bActive; }
    // An alert sound is open (playing, or waiting for its next turn).
    bool VM_HasSound() const;

    bool VM_OnMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

private:
    struct Impl;
    Impl* m_pImpl;
    bool m_bActive = false;
};
