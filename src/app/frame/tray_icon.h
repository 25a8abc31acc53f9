// The notification-area icon: up to four icons, shown one after another
// every 500 ms while animating, a tooltip of at most 63 characters, a popup
// menu on the right button and a command on a double click. The desktop's
// tray is the drawing side; the icon's state is kept here so a desktop
// without a tray changes nothing else.
#pragma once

#include <functional>
#include <string>

#include "callflow/observer.h"

class QMenu;
class QWidget;

class VM_CTrayIcon : public VM_CObserver {
public:
    static constexpr int kMaxIcons = 4;
    static constexpr size_t kMaxTooltip = 63;
    static constexpr UINT kCallbackMessage = 0x8005;

    // window: the main window, which gets the double-click command and the
    // animation's timer; menuParent: the Qt widget the popup belongs to.
    VM_CTrayIcon(HWND window, QWidget* menuParent);
    ~VM_CTrayIcon() override;

    // Icon resource ids (140 and 141 for the application); at most four.
    void VM_SetIcon(int index, int resourceId);
    void VM_SetDblClkCommand(int command) { m_nDblClkCommand = command; }
    void VM_SetPopupMenu(int resourceId) { m_nPopupMenu = resourceId; }
    // Cut to 63 characters; applied when the icon is shown and not empty.
    void VM_SetTooltip(const std::string& text);
    const std::string& VM_GetTooltip() const { return m_tooltip; }

    bool VM_Add();
    bool VM_Remove();
    bool VM_IsAdded() const { return m_bAdded; }

    void VM_StartAnimation();
    void VM_StopAnimation();
    bool VM_IsAnimating() const;
    // The icon resource id shown now.
    int VM_GetShownIcon() const;
    // The popup menu (Restore, Answer on/off, Exit); its actions post their
    // command numbers to the window as WM_COMMAND.
    QMenu* VM_GetPopupMenu() const;

    // Whether answering is on, for the popup menu's Answer item (a check).
    void VM_SetAnsweringQuery(std::function<bool()> answering);
    void VM_RefreshAnswerItem();

    bool VM_OnMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

private:
    struct Impl;
    Impl* m_pImpl;
    HWND m_hWnd;
    int m_nPopupMenu = 139;
    int m_nDblClkCommand = -1;
    std::string m_tooltip;
    bool m_bAdded = false;
};
