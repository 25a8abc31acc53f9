#include "app/frame/tray_icon.h"

#include <QCursor>
#include <QIcon>
#include <QMenu>
#include <QSystemTrayIcon>

#include <vector>

#include "app/frame/app_icons.h"
#include "callflow/timer.h"
#include "platform/win32/messages.h"

namespace {

// The mouse events the tray callback carries in lParam.
constexpr LPARAM kLeftDoubleClick = 0x0203;
constexpr LPARAM kRightButtonDown = 0x0204;
constexpr int kAnimationPeriodMs = 500;

constexpr int kCommandRestore = 40059;
constexpr int kCommandAnswer = 40055;
constexpr int kCommandExit = 40007;

}  // namespace

struct VM_CTrayIcon::Impl : public VM_CTimerCbk {
    explicit Impl(VM_CTrayIcon& owner) : self(owner), timer(this) {}

    int VM_TimerCallback(VM_CTimer* /*timer*/) override {
        if (count == 0) return 0;
        index = (index + 1) % count;
        Show();
        return 0;
    }
    void Show() {
        if (count > 0 && tray != nullptr) tray->setIcon(VM_LoadAppIcon(ids[index]));
    }

    VM_CTrayIcon& self;
    VM_CTimer timer;
    int ids[kMaxIcons] = {};
    int count = 0;
    int index = 0;
    QSystemTrayIcon* tray = nullptr;
    QMenu* menu = nullptr;
    QAction* answer = nullptr;
    std::function<bool()> answering;
};

VM_CTrayIcon::VM_CTrayIcon(HWND window, QWidget* menuParent) : m_pImpl(new Impl(*this)), m_hWnd(window) {
    m_pImpl->tray = new QSystemTrayIcon(menuParent);
    m_pImpl->menu = new QMenu(menuParent);
    const std::pair<const char*, int> items[] = {
        {"&Restore window", kCommandRestore}, {"&Answer on/off", kCommandAnswer}, {"E&xit", kCommandExit}};
    for (const auto& [text, command] : items) {
        if (command == kCommandExit) m_pImpl->menu->addSeparator();
        QAction* action = m_pImpl->menu->addAction(QString::fromUtf8(text));
        if (command == kCommandAnswer) m_pImpl->answer = action;
        QObject::connect(action, &QAction::triggered,
                         [window, command] { PostMessageA(window, WM_COMMAND, static_cast<WPARAM>(command), 0); });
    }
    // The menu shows whether answering is on each time it opens.
    QObject::connect(m_pImpl->menu, &QMenu::aboutToShow, [this] { VM_RefreshAnswerItem(); });
    // The desktop's tray reports the double click; it is turned into the
    // callback message so it reaches the icon through the window's observers.
    QObject::connect(m_pImpl->tray, &QSystemTrayIcon::activated, [window](QSystemTrayIcon::ActivationReason why) {
        if (why == QSystemTrayIcon::DoubleClick) PostMessageA(window, kCallbackMessage, 1, kLeftDoubleClick);
    });
}

VM_CTrayIcon::~VM_CTrayIcon() {
    m_pImpl->timer.VM_Stop();
    VM_Remove();
    delete m_pImpl->tray;
    delete m_pImpl->menu;
    delete m_pImpl;
}

void VM_CTrayIcon::VM_SetIcon(int index, int resourceId) {
    if (index < 0 || index >= kMaxIcons) return;
    m_pImpl->ids[index] = resourceId;
    if (index >= m_pImpl->count) m_pImpl->count = index + 1;
    if (index == m_pImpl->index && m_bAdded) m_pImpl->Show();
}

void VM_CTrayIcon::VM_SetTooltip(const std::string& text) {
    m_tooltip = text.substr(0, kMaxTooltip);
    if (m_bAdded && !m_tooltip.empty()) m_pImpl->tray->setToolTip(QString::fromStdString(m_tooltip));
}

bool VM_CTrayIcon::VM_Add() {
    if (m_bAdded) return true;
    if (!m_tooltip.empty()) m_pImpl->tray->setToolTip(QString::fromStdString(m_tooltip));
    m_pImpl->Show();
    // Desktops that export the menu themselves (and never report the right
    // button) show it from here.
    if (m_nPopupMenu != -1) m_pImpl->tray->setContextMenu(m_pImpl->menu);
    m_pImpl->tray->show();
    m_bAdded = true;
    return true;
}

bool VM_CTrayIcon::VM_Remove() {
    if (!m_bAdded) return true;
    m_pImpl->tray->hide();
    m_bAdded = false;
    return true;
}

void VM_CTrayIcon::VM_StartAnimation() {
    m_pImpl->timer.VM_Start(kAnimationPeriodMs, m_hWnd, 0);
}

void VM_CTrayIcon::VM_StopAnimation() {
    m_pImpl->timer.VM_Stop();
    m_pImpl->index = 0;
    if (m_bAdded) m_pImpl->Show();
}

bool VM_CTrayIcon::VM_IsAnimating() const {
    return m_pImpl->timer.VM_IsRunning();
}

int VM_CTrayIcon::VM_GetShownIcon() const {
    return m_pImpl->count > 0 ? m_pImpl->ids[m_pImpl->index] : -1;
}

void VM_CTrayIcon::VM_SetAnsweringQuery(std::function<bool()> answering) {
    m_pImpl->answering = std::move(answering);
    VM_RefreshAnswerItem();
}

void VM_CTrayIcon::VM_RefreshAnswerItem() {
    QAction* answer = m_pImpl->answer;
    if (answer == nullptr || !m_pImpl->answering) return;
    answer->setCheckable(true);
    answer->setChecked(m_pImpl->answering());
}

QMenu* VM_CTrayIcon::VM_GetPopupMenu() const {
    return m_pImpl->menu;
}

bool VM_CTrayIcon::VM_OnMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    if (message == WM_TIMER) return m_pImpl->timer.VM_OnMessage(window, message, wParam, lParam, result);
    if (message != kCallbackMessage) return false;
    result = 0;
    if (lParam == kLeftDoubleClick && m_nDblClkCommand != -1) {
        PostMessageA(m_hWnd, WM_COMMAND, static_cast<WPARAM>(m_nDblClkCommand), 0);
    } else if (lParam == kRightButtonDown && m_nPopupMenu != -1) {
        m_pImpl->menu->popup(QCursor::pos());
    }
    return true;
}
