// Binds the main window's views to the stored data and to the answering
// engine: builds the views at start-up, owns the commands of the menus,
// toolbar and tray, files each new call record, starts the alert and puts
// up the desktop notification.
#pragma once

#include <functional>

#include "callflow/observer.h"

class QMainWindow;
class VM_CAlertCtrl;
class VM_CAnswerMachine;
class VM_CAppCfg;
class VM_CMainViews;
class VM_CTollSaver;
class VM_CTrayIcon;

class VM_CAppMediator : public VM_CObserver {
public:
    explicit VM_CAppMediator(VM_CAppCfg* cfg);
    ~VM_CAppMediator() override;

    // The objects the application window creates after the mediator.
    void VM_Bind(VM_CAnswerMachine* machine, VM_CAlertCtrl* alert, VM_CTrayIcon* tray, VM_CTollSaver* tollSaver);
    // The start-up sequence: the views in frame, each step's text shown
    // through progress, answering started when on, the tray icon added, the
    // configuration saved. window: the main window the devices post to.
    bool VM_CreateViews(QMainWindow* frame, HWND window, const std::function<void(const char*)>& progress);
    // Just before the message loop: the tips when the configuration asks.
    void VM_StartUp();
    // A command number of the menus, toolbar or tray; 0 when unbound.
    int VM_Execute(int command, void* arg = nullptr);

    // At exit, before the last messages are handled: the new-call notices
    // still going out are cut short; their records come back as messages.
    void VM_StopNotices();
    // The views, once made (null before VM_CreateViews).
    VM_CMainViews* VM_GetViews() const;

    bool VM_OnMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

private:
    struct Impl;
    Impl* m_pImpl;
};
