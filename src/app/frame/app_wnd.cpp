#include "app/frame/app_wnd.h"

#include <QApplication>
#include <QSystemTrayIcon>

#include "app/frame/alert_ctrl.h"
#include "app/views/app_mediator.h"
#include "app/frame/instance_channel.h"
#include "app/frame/main_frame.h"
#include "app/frame/message_pump.h"
#include "app/frame/progress_window.h"
#include "app/dialogs/record_dialogs.h"
#include "app/frame/tray_icon.h"
#include "callflow/answer_machine.h"
#include "callflow/main_window.h"
#include "platform/win32/win32.h"
#include "app/views/main_views.h"
#include "shell/instance_requests.h"
#include "shell/signal_thread.h"
#include "shell/single_instance.h"
#include "store/app_config.h"
#include "store/message_recovery.h"

namespace {

constexpr const char* kWindowClass = "VocerraMainWindow";
constexpr int kCommandExit = 40007;
constexpr int kCommandRestore = 40059;

// The one application window of the process, for the window procedure.
VM_CAppWnd* g_appWnd = nullptr;

}  // namespace

VM_CAppWnd::VM_CAppWnd(const VM_SAppWndOptions& options)
    : m_options(options), m_guard(std::make_unique<VM_CSingleton>(options.runtimeFolder)) {
    m_bAnother = m_guard->VM_AnotherInstance();
    if (!m_bAnother && m_guard->VM_GetError().empty()) VM_CreateMembers();
}

VM_CAppWnd::~VM_CAppWnd() {
    VM_TearDown();
}

bool VM_CAppWnd::VM_CreateMembers() {
    WNDCLASSA wc{};
    wc.lpfnWndProc = &VM_CAppWnd::VM_WindowProc;
    wc.lpszClassName = kWindowClass;
    RegisterClassA(&wc);
    m_hWnd = CreateWindowExA(0, kWindowClass, "Vocerra", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    if (m_hWnd == nullptr) return false;
    g_appWnd = this;
    VM_SetMainWindow(m_hWnd);
    m_frame = std::make_unique<VM_CMainFrame>(m_hWnd);
    m_tray = std::make_unique<VM_CTrayIcon>(m_hWnd, m_frame.get());
    m_cfg = m_options.programFolder.empty() ? std::make_unique<VM_CAppCfg>()
                                            : std::make_unique<VM_CAppCfg>(m_options.programFolder.c_str());
    m_frame->setWindowTitle(QString::fromUtf8(m_cfg->m_szTitle != nullptr ? m_cfg->m_szTitle : "Vocerra"));
    m_mediator = std::make_unique<VM_CAppMediator>(m_cfg.get());
    m_alert = std::make_unique<VM_CAlertCtrl>(&m_tollSaver, m_tray.get(), m_cfg.get(), m_hWnd);
    m_alert->VM_SetMainWidget(m_frame.get());
    m_machine = std::make_unique<VM_CAnswerMachine>(&m_tollSaver, m_hWnd, m_cfg.get());
    VM_CMainFrame* frame = m_frame.get();
    m_machine->VM_SetCallerIDDlgMaker([frame](HWND parent, VM_CAnswerMachine* owner) {
        return VM_MakeCallerIDWindow(parent, owner, frame);
    });
    m_mediator->VM_Bind(m_machine.get(), m_alert.get(), m_tray.get(), &m_tollSaver);
    VM_CAppCfg* cfg = m_cfg.get();
    m_tray->VM_SetAnsweringQuery([cfg] { return cfg->VM_IsFlag(VM_FLAG_ANSWERING); });
    VM_RegisterObservers();
    return true;
}

void VM_CAppWnd::VM_RegisterObservers() {
    m_subject.VM_AddObserver(m_guard.get());
    m_subject.VM_AddObserver(m_tray.get());
    m_subject.VM_AddObserver(m_mediator.get());
    m_subject.VM_AddObserver(m_alert.get());
    m_subject.VM_AddObserver(m_machine.get());
}

bool VM_CAppWnd::VM_Init(bool show, std::string* error) {
    if (m_bAnother) {
        bool withoutWindow = false;
        const bool shown = VM_AskRunningInstanceToShow(m_guard->VM_GetFolder(), 10, &withoutWindow);
        if (error != nullptr)
            *error = shown           ? "Vocerra is already running for this user; its window is shown."
                     : withoutWindow ? "Vocerra is already running for this user without windows (vocerra "
                                       "--headless, or its user service: systemctl --user stop vocerra)."
                                     : "Vocerra is already running for this user but did not answer.";
        return false;
    }
    if (m_hWnd == nullptr || m_cfg == nullptr || m_cfg->m_szHome == nullptr) {
        if (error != nullptr)
            *error = !m_guard->VM_GetError().empty() ? m_guard->VM_GetError() : "no program folder or main window";
        return false;
    }
    if (!VM_BuildViews()) {
        if (error != nullptr) *error = "the main window's views cannot be made";
        return false;
    }
    VM_CMainFrame* frame = m_frame.get();
    m_instanceServer = std::make_unique<VM_CInstanceServer>(m_guard->VM_GetFolder(), [frame] { frame->VM_ShowAndRaise(); });
    m_instanceServer->VM_SetRequestHandler([this](const std::string& request) { return VM_AnswerRequest(request); });
    if (show) m_frame->show();
    PostMessageA(m_hWnd, WM_SIZE, 0, 0);
    // The tips dialog of the start-up step runs its own loop: the window's
    // messages, and a quit, are handled from here on.
    m_pump = std::make_unique<VM_CMessagePump>();
    m_signalThread = std::make_unique<VM_CSignalThread>();
    m_signalThread->VM_Start(m_hWnd);
    m_mediator->VM_StartUp();
    return true;
}

// A change from `vocerra config set` is made here, as the set-up pages make
// it: stored, followed by the answer machine and the views, and saved.
std::string VM_CAppWnd::VM_AnswerRequest(const std::string& request) {
    VM_SRunningCopy copy;
    copy.cfg = m_cfg.get();
    copy.apply = [this](VM_EConfigEffect effect) {
        const std::string failed = VM_ApplyConfigEffect(*m_cfg, m_machine.get(), effect);
        if (VM_CMainViews* views = m_mediator->VM_GetViews()) {
            if (effect == VM_EConfigEffect::kLine) views->VM_RefreshAll();
            views->VM_RefreshAnswerState();
        }
        return failed;
    };
    return VM_AnswerInstanceRequest(request, copy);
}

// The mediator's start-up sequence, each step's text in the progress window.
bool VM_CAppWnd::VM_BuildViews() {
    // Messages of calls the last run did not live to file join the Inbox
    // before anything shows it or answers.
    VM_RecoverInterruptedMessages(*m_cfg);
    VM_CProgressWindow progress(m_frame->windowTitle());
    return m_mediator->VM_CreateViews(m_frame.get(), m_hWnd,
                                      [&progress](const char* text) { progress.VM_ShowLine(text); });
}

int VM_CAppWnd::VM_Run() {
    if (!m_pump) return 1;
    // What is already queued (the start-up's own messages) goes first.
    if (!m_pump->VM_QuitSeen()) m_pump->VM_Pump();
    const int code = m_pump->VM_QuitSeen() ? m_pump->VM_ExitCode() : QApplication::exec();
    m_signalThread->VM_Stop();
    return code;
}

LRESULT CALLBACK VM_CAppWnd::VM_WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    LRESULT result = 0;
    if (g_appWnd == nullptr) return DefWindowProcA(hwnd, message, wParam, lParam);
    if (g_appWnd->m_subject.VM_Notify(hwnd, message, wParam, lParam, result)) return result;
    if (g_appWnd->VM_OnOwnMessage(message, wParam, result)) return result;
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

bool VM_CAppWnd::VM_OnOwnMessage(UINT message, WPARAM wParam, LRESULT& result) {
    result = 0;
    switch (message) {
    case WM_DESTROY:
        VM_OnDestroy();
        return true;
    case WM_SYSCOMMAND:
        if ((wParam & 0xFFF0) != VM_SC_CLOSE) return false;
        m_frame->VM_HideToTray(m_tray->VM_IsAdded() && QSystemTrayIcon::isSystemTrayAvailable());
        return true;
    case VM_MSG_QUIT_REQUEST:
        DestroyWindow(m_hWnd);
        return true;
    case WM_COMMAND:
        // The commands the tray's menu posts, when the mediator left them.
        if (wParam == kCommandRestore) m_frame->VM_ShowAndRaise();
        else if (wParam == kCommandExit) DestroyWindow(m_hWnd);
        else return false;
        return true;
    default:
        return false;
    }
}

// The window still exists while this runs, so the answer machine's last
// messages (the record of a call in progress) reach the chain and are filed
// before the loop ends.
void VM_CAppWnd::VM_OnDestroy() {
    if (m_bStopped) return;
    m_bStopped = true;
    m_alert->VM_End();
    VM_StopAnsweringAndFile(
        m_machine.get(),
        [](void* mediator) { static_cast<VM_CAppMediator*>(mediator)->VM_StopNotices(); }, m_mediator.get());
    m_frame->hide();
    PostQuitMessage(0);
}

void VM_CAppWnd::VM_TearDown() {
    if (m_signalThread) m_signalThread->VM_Stop();
    if (m_hWnd != nullptr && IsWindow(m_hWnd)) DestroyWindow(m_hWnd);
    // A quit the window posted that no loop took belongs to none any more.
    MSG msg;
    if (m_bStopped)
        while (PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {}
    m_instanceServer.reset();
    for (VM_CObserver* observer : {static_cast<VM_CObserver*>(m_machine.get()), static_cast<VM_CObserver*>(m_alert.get()),
                                   static_cast<VM_CObserver*>(m_mediator.get()), static_cast<VM_CObserver*>(m_tray.get()),
                                   static_cast<VM_CObserver*>(m_guard.get())})
        m_subject.VM_RemoveObserver(observer);
    m_machine.reset();
    m_mediator.reset();
    m_cfg.reset();
    m_alert.reset();
    m_tray.reset();
    m_frame.reset();
    if (g_appWnd == this) g_appWnd = nullptr;
    // Devices made later must not post to a window that is gone.
    if (m_hWnd != nullptr && VM_GetMainWindow() == m_hWnd) VM_SetMainWindow(nullptr);
    m_hWnd = nullptr;
    m_pump.reset();
    m_guard.reset();
}
