#include "shell/subject.h"

#include "platform/win32/messages.h"

namespace {

constexpr UINT kWmMouseMove = 0x200;
constexpr UINT kPaintIntoMemory = 0x8001;

bool IsBroadcast(UINT message) {
    return message == WM_PAINT || message == WM_SIZE || message == kWmMouseMove || message == kPaintIntoMemory;
}

}  // namespace

bool VM_CSubject::VM_AddObserver(VM_CObserver* observer) {
    if (observer == nullptr || m_nCount >= kMaxObservers) return false;
    m_observers[m_nCount++] = observer;
    return true;
}

bool VM_CSubject::VM_RemoveObserver(VM_CObserver* observer) {
    for (int i = 0; i < m_nCount; i++) {
        if (m_observers[i] != observer) continue;
        for (int j = i + 1; j < m_nCount; j++) m_observers[j - 1] = m_observers[j];
        m_observers[--m_nCount] = nullptr;
        return true;
    }
    return false;
}

bool VM_CSubject::VM_Notify(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    const bool broadcast = IsBroadcast(message);
    bool handled = false;
    for (int i = 0; i < m_nCount; i++) {
        LRESULT one = 0;
        if (!m_observers[i]->VM_OnMessage(window, message, wParam, lParam, one)) continue;
        if (!handled) result = one;
        handled = true;
        if (!broadcast) break;
    }
    return handled;
}
