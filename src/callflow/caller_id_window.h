// The caller-ID window of one call: who is calling and what the answer
// machine and the call flow are doing. The windowed program shows it on
// screen; without windows the same updates go to the program's log.
//
// The user may close the window while the call goes on: later updates then
// find it closed and do nothing. Its "Hang Up" button posts
// VM_MSG_USER_HANGUP with the answer machine's address to the main window.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "callflow/call_status.h"
#include "platform/win32/types.h"

class VM_CAnswerMachine;

class VM_CCallerIDDlg : public VM_ICallStatus {
public:
    VM_CCallerIDDlg(HWND parent, VM_CAnswerMachine* owner) : m_hParent(parent), m_pOwner(owner) {}
    ~VM_CCallerIDDlg() override = default;
    VM_CCallerIDDlg(const VM_CCallerIDDlg&) = delete;
    VM_CCallerIDDlg& operator=(const VM_CCallerIDDlg&) = delete;

    // Shows the window at the system's default position.
    virtual void VM_Show() {}
    void VM_SetCaller(const std::string& name, const std::string& number);
    // One line of status text, replacing the last.
    void VM_ShowStatus(const char* text) override;
    // Status text by index (status_texts.h).
    void VM_ShowStatusIndex(int index);
    // "Hang Up": the answer machine ends the call.
    void VM_HangUp();
    // "Close", or the window's close box: the call goes on.
    void VM_Close();
    bool VM_IsClosed() const { return m_bClosed; }

protected:
    // Called only while the window is open.
    virtual void VM_OnCaller(const std::string& name, const std::string& number) = 0;
    virtual void VM_OnStatus(const std::string& text) = 0;
    virtual void VM_OnClose() {}

    HWND m_hParent;
    VM_CAnswerMachine* m_pOwner;

private:
    bool m_bClosed = false;
};

// Without windows: each change is one line to a log sink (a status
// repeated at every ring or sound is said once).
class VM_CCallerIDLog : public VM_CCallerIDDlg {
public:
    using Sink = std::function<void(const std::string& line)>;
    VM_CCallerIDLog(HWND parent, VM_CAnswerMachine* owner, Sink sink);

protected:
    void VM_OnCaller(const std::string& name, const std::string& number) override;
    void VM_OnStatus(const std::string& text) override;

private:
    Sink m_sink;
    std::string m_lastCaller;
    std::string m_lastStatus;
};

using VM_CallerIDDlgMaker =
    std::function<std::unique_ptr<VM_CCallerIDDlg>(HWND parent, VM_CAnswerMachine* owner)>;
