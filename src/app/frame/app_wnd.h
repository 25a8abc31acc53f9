// The application window: the one object that owns every long-lived object
// of the windowed program, in this order: the single-instance guard, the
// tray icon, the configuration, the mediator, the toll saver, the alert
// control and the answer machine. Every message for the main window (a
// message-only platform window) is offered to its observer chain in that
// order; the Qt main window is the drawing and input side.
#pragma once

#include <memory>
#include <string>

#include "callflow/toll_saver.h"
#include "shell/subject.h"

class VM_CAlertCtrl;
class VM_CAnswerMachine;
class VM_CAppCfg;
class VM_CAppMediator;
class VM_CInstanceServer;
class VM_CMainFrame;
class VM_CMessagePump;
class VM_CSignalThread;
class VM_CSingleton;
class VM_CTrayIcon;

struct VM_SAppWndOptions {
    // The private folder of the single-instance lock; empty: the user's.
    std::string runtimeFolder;
    // The program folder; empty: found as the configuration finds it.
    std::string programFolder;
};

class VM_CAppWnd {
public:
    // Builds every member unless another copy runs (then only the guard).
    explicit VM_CAppWnd(const VM_SAppWndOptions& options = {});
    ~VM_CAppWnd();
    VM_CAppWnd(const VM_CAppWnd&) = delete;
    VM_CAppWnd& operator=(const VM_CAppWnd&) = delete;

    // The start-up sequence with its progress window: the views, answering
    // when on, the tray icon, the configuration saved; then the window shown
    // (unless hidden) and the mediator's start-up step. False when another
    // copy runs (it has been asked to show its window) or the window cannot
    // be made; error then says why.
    bool VM_Init(bool show, std::string* error);
    // The message loop inside Qt's event loop, until the window is
    // destroyed; its exit code.
    int VM_Run();

    bool VM_IsAnotherInstance() const { return m_bAnother; }
    HWND VM_GetHwnd() const { return m_hWnd; }
    VM_CMainFrame* VM_GetFrame() const { return m_frame.get(); }
    VM_CTrayIcon* VM_GetTray() const { return m_tray.get(); }
    VM_CAppCfg* VM_GetCfg() const { return m_cfg.get(); }
    VM_CAppMediator* VM_GetMediator() const { return m_mediator.get(); }
    VM_CTollSaver* VM_GetTollSaver() { return &m_tollSaver; }
    VM_CAlertCtrl* VM_GetAlert() const { return m_alert.get(); }
    VM_CAnswerMachine* VM_GetMachine() const { return m_machine.get(); }
    VM_CSubject& VM_GetSubject() { return m_subject; }

private:
    static LRESULT CALLBACK VM_WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    bool VM_CreateMembers();
    void VM_RegisterObservers();
    bool VM_BuildViews();
    // A request over the instance socket other than "show": its reply.
    std::string VM_AnswerRequest(const std::string& request);
    // The main window's own messages, once no observer took them.
    bool VM_OnOwnMessage(UINT message, WPARAM wParam, LRESULT& result);
    void VM_OnDestroy();
    void VM_TearDown();

    VM_SAppWndOptions m_options;
    std::unique_ptr<VM_CSingleton> m_guard;
    bool m_bAnother = false;
    HWND m_hWnd = nullptr;
    std::unique_ptr<VM_CMainFrame> m_frame;
    std::unique_ptr<VM_CTrayIcon> m_tray;
    std::unique_ptr<VM_CAppCfg> m_cfg;
    std::unique_ptr<VM_CAppMediator> m_mediator;
    VM_CTollSaver m_tollSaver;
    std::unique_ptr<VM_CAlertCtrl> m_alert;
    std::unique_ptr<VM_CAnswerMachine> m_machine;
    std::unique_ptr<VM_CInstanceServer> m_instanceServer;
    std::unique_ptr<VM_CMessagePump> m_pump;
    std::unique_ptr<VM_CSignalThread> m_signalThread;
    VM_CSubject m_subject;
    bool m_bStopped = false;
};
