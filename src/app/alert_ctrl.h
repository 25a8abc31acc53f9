// The new-message alert: the tray icon animates and the alert prompt plays
// every 17 seconds until the user comes back to the computer (moves the
// mouse over the main window in front, or activates it where the desktop
// cannot tell), never during a call.
#pragma once

#include "callflow/observer.h"

class VM_CAppCfg;
class VM_CTollSaver;
class VM_CTrayIcon;

class VM_CAlertCtrl : public VM_CObserver {
public:
    VM_CAlertCtrl(VM_CTollSaver* tollSaver, VM_CTrayIcon* tray, VM_CAppCfg* cfg, HWND window);
    ~VM_CAlertCtrl() override;

    // A new call has been filed; hasMessage: the caller left a recording.
    void VM_Start(bool hasMessage);
    void VM_End();
    bool VM_IsActive() const { return m_bActive; }

    bool VM_OnMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

private:
    struct Impl;
    Impl* m_pImpl;
    bool m_bActive = false;
};
