// One running copy per user: a lock on a file in the user's private runtime
// folder (the folder of the simulated line's socket). The lock goes with
// the process, so a copy that crashed never blocks the next start.
#pragma once

#include <string>

#include "callflow/observer.h"

class VM_CSingleton : public VM_CObserver {
public:
    // Takes the lock in folder (created 0700 when missing); empty: the
    // user's runtime folder.
    explicit VM_CSingleton(const std::string& folder = {});
    ~VM_CSingleton() override;
    VM_CSingleton(const VM_CSingleton&) = delete;
    VM_CSingleton& operator=(const VM_CSingleton&) = delete;

    // Another copy holds the lock.
    bool VM_AnotherInstance() const { return m_bAnother; }
    // The lock could not be taken for another reason (the folder is not
    // private or cannot be made); the text says why.
    const std::string& VM_GetError() const { return m_error; }
    const std::string& VM_GetLockPath() const { return m_path; }
    // The private folder holding the lock; the running copy listens there
    // for a second start asking it to show its window.
    const std::string& VM_GetFolder() const { return m_folder; }

    // Answers the registered "are you there" message with its own number.
    bool VM_OnMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

private:
    int m_fd = -1;
    bool m_bAnother = false;
    std::string m_path;
    std::string m_folder;
    std::string m_error;
    UINT m_uFindMessage;
};
