#include "app/frame/alert_ctrl.h"

#include <QApplication>
#include <QCursor>
#include <QGuiApplication>
#include <QWidget>

#include <cstdlib>
#include <memory>

#include "audio/player.h"
#include "audio/wave_file.h"
#include "callflow/answer_machine.h"
#include "callflow/timer.h"
#include "callflow/toll_saver.h"
#include "app/frame/tray_icon.h"
#include "platform/win32/messages.h"
#include "store/app_config.h"

namespace {

constexpr int kPromptEveryCall = 250;
constexpr int kPromptWithMessage = 251;

// Only X11 reports the pointer and the active window across the desktop.
bool DesktopCanTell() {
    return QGuiApplication::platformName() == QLatin1String("xcb");
}

VM_SDesktopView QtDesktopView(QWidget* mainWidget) {
    if (mainWidget == nullptr || !DesktopCanTell()) return {};
    return {[](int& x, int& y) {
                const QPoint pos = QCursor::pos();
                x = pos.x();
                y = pos.y();
                return true;
            },
            [mainWidget] { return mainWidget->isVisible() && QApplication::activeWindow() == mainWidget; }};
}

}  // namespace

struct VM_CAlertCtrl::Impl : public VM_CTimerCbk {
    Impl(VM_CAlertCtrl& owner, VM_CTollSaver* saver, VM_CTrayIcon* icon, VM_CAppCfg* config, HWND hwnd)
        : self(owner), tollSaver(saver), tray(icon), cfg(config), window(hwnd), timer(this) {}

    int VM_TimerCallback(VM_CTimer* /*timer*/) override;
    void OpenSound(bool hasMessage);
    void PlayAgain();
    void StopSound() {
        if (player) player->VM_Stop();
    }
    bool UserCameBack() const;
    void ArmFirstTick() {
        ticks = kSoundTicks;
        timer.VM_Start(kTickMs, window, 0);
    }

    VM_CAlertCtrl& self;
    VM_CTollSaver* tollSaver;
    VM_CTrayIcon* tray;
    VM_CAppCfg* cfg;
    HWND window;
    VM_CTimer timer;
    VM_SDesktopView view;
    int ticks = 0;
    int startX = 0;
    int startY = 0;
    std::unique_ptr<VM_CPlayer> player;
    std::unique_ptr<VM_CWaveFile> file;
};

void VM_CAlertCtrl::Impl::OpenSound(bool hasMessage) {
    if (player || cfg == nullptr) return;
    int prompt = -1;
    if (cfg->m_nAlertMode == 1) prompt = kPromptEveryCall;
    if (cfg->m_nAlertMode == 2 && hasMessage) prompt = kPromptWithMessage;
    if (prompt < 0) return;
    std::unique_ptr<char[]> path(cfg->VM_GetPromptFileName(prompt));
    if (!path) return;
    auto sound = std::make_unique<VM_CWaveFile>(path.get(), VM_WAVE_MODE_READ);
    if (!sound->VM_IsOpen()) return;
    file = std::move(sound);
    player = std::make_unique<VM_CPlayer>(static_cast<UINT>(cfg->m_idPlayDevice), window);
}

void VM_CAlertCtrl::Impl::PlayAgain() {
    if (!player || !file) return;
    file->VM_SetReadPos(0);
    player->VM_Stop();
    if (!player->VM_Start(file.get())) player->VM_Stop();
}

bool VM_CAlertCtrl::Impl::UserCameBack() const {
    if (!view.cursorPos || !view.mainWindowInFront || !view.mainWindowInFront()) return false;
    int x = 0;
    int y = 0;
    if (!view.cursorPos(x, y)) return false;
    return std::abs(x - startX) > kMovePixels || std::abs(y - startY) > kMovePixels;
}

int VM_CAlertCtrl::Impl::VM_TimerCallback(VM_CTimer* /*timer*/) {
    if (++ticks > kSoundTicks - 1) {
        ticks = 0;
        PlayAgain();
    } else if (UserCameBack()) {
        self.VM_End();
    }
    return 0;
}

VM_CAlertCtrl::VM_CAlertCtrl(VM_CTollSaver* tollSaver, VM_CTrayIcon* tray, VM_CAppCfg* cfg, HWND window)
    : m_pImpl(new Impl(*this, tollSaver, tray, cfg, window)) {}

VM_CAlertCtrl::~VM_CAlertCtrl() {
    m_pImpl->timer.VM_Stop();
    m_pImpl->player.reset();
    m_pImpl->file.reset();
    delete m_pImpl;
}

void VM_CAlertCtrl::VM_SetMainWidget(QWidget* mainWidget) {
    m_pImpl->view = QtDesktopView(mainWidget);
}

void VM_CAlertCtrl::VM_SetDesktopView(VM_SDesktopView view) {
    m_pImpl->view = std::move(view);
}

bool VM_CAlertCtrl::VM_HasSound() const {
    return m_pImpl->player != nullptr;
}

void VM_CAlertCtrl::VM_Start(bool hasMessage) {
    m_bActive = true;
    if (m_pImpl->tollSaver != nullptr) m_pImpl->tollSaver->VM_SetNoNewMessages(0);
    if (m_pImpl->tray != nullptr) m_pImpl->tray->VM_StartAnimation();
    // The sound starts on the first tick, half a second from now.
    m_pImpl->OpenSound(hasMessage);
    if (m_pImpl->view.cursorPos) m_pImpl->view.cursorPos(m_pImpl->startX, m_pImpl->startY);
    m_pImpl->timer.VM_Stop();
    m_pImpl->ArmFirstTick();
}

void VM_CAlertCtrl::VM_End() {
    m_bActive = false;
    if (m_pImpl->tollSaver != nullptr) m_pImpl->tollSaver->VM_SetNoNewMessages(1);
    if (m_pImpl->tray != nullptr) m_pImpl->tray->VM_StopAnimation();
    m_pImpl->timer.VM_Stop();
    m_pImpl->player.reset();
    m_pImpl->file.reset();
}

bool VM_CAlertCtrl::VM_OnMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    switch (message) {
    case WM_TIMER:
        return m_pImpl->timer.VM_OnMessage(window, message, wParam, lParam, result);
    case WM_WAVE_DONE:
        // Notices of other players (a message on the speaker, a call's
        // line) go on to their owners.
        if (!m_pImpl->player || VM_WaveRunOf(wParam, lParam) != m_pImpl->player->VM_GetRun()) return false;
        m_pImpl->player->VM_Stop();
        result = 0;
        return true;
    case VM_MSG_CALL_STARTED:
        m_pImpl->timer.VM_Stop();
        m_pImpl->StopSound();
        return false;
    case VM_MSG_CALL_ENDED:
        if (m_bActive && !m_pImpl->timer.VM_IsRunning()) m_pImpl->ArmFirstTick();
        return false;
    case VM_WM_ACTIVATE:
        // Where the desktop cannot tell the cursor, coming back to the
        // window is the sign the user has seen the alert.
        if (m_bActive && !m_pImpl->view.cursorPos && (wParam & 0xFFFF) != 0) VM_End();
        return false;
    default:
        return false;
    }
}
