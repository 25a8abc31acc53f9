#include "app/views/app_mediator.h"

#include <QApplication>
#include <QMainWindow>
#include <memory>

#include "app/frame/alert_ctrl.h"
#include "app/frame/call_notifications.h"
#include "app/views/command_table.h"
#include "app/views/main_views.h"
#include "app/views/mediator.h"
#include "app/dialogs/record_dialogs.h"
#include "app/setup/setup_wizards.h"
#include "app/frame/tray_icon.h"
#include "audio/wave_device.h"
#include "callflow/answer_machine.h"
#include "callflow/modem_table.h"
#include "platform/win32/win32.h"
#include "shell/call_mediator.h"
#include "shell/line_choice.h"
#include "store/app_config.h"

namespace {

constexpr const char* kCheckingModems = "Checking modems, please wait a few minutes...";
constexpr const char* kCheckingSound = "Checking sound devices...";
constexpr const char* kLoading = "Loading call log and address book...";

// The voice modems' own wave devices are never offered as sound cards.
void EnumerateSoundDevices() {
    std::vector<VM_ModemWaveIds> modems;
    for (int i = 0; i < g_modemTable.nVoiceCount; ++i) {
        const VM_SModemEntry& modem = g_modemTable.entries[g_modemTable.voiceIndexes[i]];
        modems.push_back({static_cast<UINT>(modem.idWaveIn), static_cast<UINT>(modem.idWaveOut)});
    }
    VM_EnumSoundDevices(modems.data(), static_cast<int>(modems.size()));
}

}  // namespace

struct VM_CAppMediator::Impl {
    VM_CAppCfg* cfg = nullptr;
    VM_CAnswerMachine* machine = nullptr;
    VM_CAlertCtrl* alert = nullptr;
    VM_CTrayIcon* tray = nullptr;
    VM_CTollSaver* tollSaver = nullptr;
    QMainWindow* frame = nullptr;
    VM_CMediator commands;
    std::unique_ptr<VM_CMainViews> views;
    std::unique_ptr<VM_CCallNotifications> notifications;

    void RegisterDialogs();
    void MakeNotifications();
    void SetHooks();
    void AddTrayIcon();
    // A dialog command: 0 without the configuration or the window.
    int Run(const std::function<void()>& dialog) {
        if (cfg == nullptr || frame == nullptr) return 0;
        dialog();
        return 1;
    }
};

void VM_CAppMediator::Impl::RegisterDialogs() {
    commands.VM_Register(kCmdHelp, [this](void*) { return Run([this] { VM_OpenHelp(frame, *cfg); }); });
    commands.VM_Register(kCmdAbout, [this](void*) { return Run([this] { VM_ShowAbout(frame); }); });
    commands.VM_Register(kCmdTips, [this](void*) { return Run([this] { VM_ShowTips(frame, *cfg); }); });
    commands.VM_Register(kCmdPreferences,
                         [this](void*) { return Run([this] { VM_ShowPreferences(frame, *cfg); }); });
    commands.VM_Register(kCmdModemSetup, [this](void*) {
        return Run([this] {
            VM_RunModemSetup(frame, *cfg, machine);
            if (views) views->VM_RefreshAnswerState();
        });
    });
    commands.VM_Register(kCmdMailboxSetup, [this](void*) {
        return Run([this] {
            // One mailbox or several changes the call log's columns.
            VM_RunMailboxSetup(frame, *cfg, machine, [this](bool mailboxChoiceChanged) {
                if (mailboxChoiceChanged && views) views->VM_RefreshAll();
            });
        });
    });
    commands.VM_Register(kCmdRemoteEmailSetup,
                         [this](void*) { return Run([this] { VM_RunRemoteEmailSetup(frame, *cfg); }); });
}

void VM_CAppMediator::Impl::SetHooks() {
    VM_CMainViews::Hooks& hooks = views->VM_GetHooks();
    hooks.openRecord = [this](VM_CCallInfo& record, bool play) {
        return VM_ShowRecordDetails(frame, *cfg, record, play);
    };
    hooks.editAddress = [this](VM_CAddrEntry& entry, int folderId, const char* title) {
        return VM_EditAddressEntry(frame, *cfg, views->VM_GetTree(VM_CMainViews::Page::kAddresses), folderId,
                                   entry, title);
    };
    hooks.newCall = [this](bool hasMessage) {
        if (alert != nullptr) alert->VM_Start(hasMessage);
    };
    hooks.callFiled = [this](const VM_SFiledCall& call) { notifications->VM_OnFiled(call); };
    hooks.messageRead = [this](int folderId, int32_t recordId) { notifications->VM_OnRead(folderId, recordId); };
}

void VM_CAppMediator::Impl::MakeNotifications() {
    VM_CCallNotifications::Actions actions;
    actions.show = [this](int folderId, int32_t recordId) { views->VM_ShowRecord(folderId, recordId); };
    actions.play = [this](int folderId, int32_t recordId) {
        // Another dialog holds the window: the call is shown, not opened
        // on top of it.
        if (QApplication::activeModalWidget() != nullptr)
            views->VM_ShowRecord(folderId, recordId);
        else
            views->VM_PlayRecord(folderId, recordId);
    };
    notifications = std::make_unique<VM_CCallNotifications>(*cfg, std::move(actions));
}

void VM_CAppMediator::Impl::AddTrayIcon() {
    if (tray == nullptr) return;
    tray->VM_SetIcon(0, 140);
    tray->VM_SetIcon(1, 141);
    tray->VM_SetDblClkCommand(kCmdRestore);
    tray->VM_SetTooltip(cfg->m_szTitle != nullptr ? cfg->m_szTitle : "");
    tray->VM_Add();
}

VM_CAppMediator::VM_CAppMediator(VM_CAppCfg* cfg) : m_pImpl(new Impl) {
    m_pImpl->cfg = cfg;
    m_pImpl->RegisterDialogs();
}

VM_CAppMediator::~VM_CAppMediator() {
    if (m_pImpl->views) m_pImpl->views->VM_EmptyDeletedOnExit();
    delete m_pImpl;
}

void VM_CAppMediator::VM_Bind(VM_CAnswerMachine* machine, VM_CAlertCtrl* alert, VM_CTrayIcon* tray,
                              VM_CTollSaver* tollSaver) {
    m_pImpl->machine = machine;
    m_pImpl->alert = alert;
    m_pImpl->tray = tray;
    m_pImpl->tollSaver = tollSaver;
    if (m_pImpl->views) m_pImpl->views->VM_SetAnswerMachine(machine);
}

bool VM_CAppMediator::VM_CreateViews(QMainWindow* frame, HWND window,
                                     const std::function<void(const char*)>& progress) {
    Impl& d = *m_pImpl;
    if (d.cfg == nullptr || frame == nullptr || d.views) return false;
    auto say = [&](const char* text) {
        if (progress) progress(text);
    };
    say(kCheckingModems);
    VM_CAnswerMachine::VM_EnumerateModems();
    say(kCheckingSound);
    EnumerateSoundDevices();
    say(kLoading);
    d.frame = frame;
    d.views = std::make_unique<VM_CMainViews>(*d.cfg, d.commands, window, d.tollSaver);
    d.views->VM_SetAnswerMachine(d.machine);
    d.MakeNotifications();
    d.SetHooks();
    d.views->VM_Create(frame);
    if (d.cfg->m_dwFlags & VM_FLAG_ANSWERING) {
        // Without a line to answer on the program runs with answering off.
        VM_ChooseVoiceLine(*d.cfg, false);
        if (d.machine == nullptr || !d.machine->VM_Start()) d.cfg->VM_SetFlag(false, VM_FLAG_ANSWERING);
        d.views->VM_RefreshAnswerState();
    }
    d.AddTrayIcon();
    d.cfg->VM_Save();
    return true;
}

void VM_CAppMediator::VM_StartUp() {
    if (m_pImpl->cfg != nullptr && (m_pImpl->cfg->m_dwFlags & VM_FLAG_TIPS)) VM_Execute(kCmdTips);
}

int VM_CAppMediator::VM_Execute(int command, void* arg) { return m_pImpl->commands.VM_Execute(command, arg); }

void VM_CAppMediator::VM_StopNotices() {
    if (m_pImpl->views) m_pImpl->views->VM_StopNotices();
}

VM_CMainViews* VM_CAppMediator::VM_GetViews() const { return m_pImpl->views.get(); }

bool VM_CAppMediator::VM_OnMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    if (message == WM_COMMAND && m_pImpl->commands.VM_Has(LOWORD(wParam))) {
        result = VM_Execute(LOWORD(wParam));
        return true;
    }
    return m_pImpl->views && m_pImpl->views->VM_OnMessage(window, message, wParam, lParam, result);
}
