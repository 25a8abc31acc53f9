// The main window's observer chain: every message for the main window is
// offered to the registered observers in registration order.
#pragma once

#include "callflow/observer.h"

class VM_CSubject {
public:
    static constexpr int kMaxObservers = 44;

    // Refuses a null observer and a full chain.
    bool VM_AddObserver(VM_CObserver* observer);
    // Closes the gap; an observer not in the chain changes nothing.
    bool VM_RemoveObserver(VM_CObserver* observer);
    int VM_GetCount() const { return m_nCount; }

    // A few messages go to every observer whatever they answer; any other
    // ends at the first observer that handles it.
    bool VM_Notify(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);

private:
    VM_CObserver* m_observers[kMaxObservers] = {};
    int m_nCount = 0;
};
