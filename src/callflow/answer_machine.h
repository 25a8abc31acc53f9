// The object that turns telephony events into answered calls: it owns the
// opened line and, while a call is present, the call, its caller-ID
// window, its call-log record and the call's time limit. It counts rings,
// looks the caller up in the address book, answers, hands the connected
// call to the mailbox controller and, after every call, closes and reopens
// the line. Everything runs on the main thread.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>

#include "callflow/caller_id_window.h"
#include "callflow/callflow_messages.h"
#include "callflow/observer.h"
#include "callflow/timer.h"
#include "telephony/call.h"
#include "telephony/line.h"
#include "telephony/modem_fix.h"
#include "telephony/tapi_session.h"

class VM_CAppCfg;
class VM_CAddressBook;
class VM_CCallInfo;
class VM_CMailboxController;
class VM_CTollSaver;

// Messages to and from the main window (with callflow_messages.h). wParam
// carries the sender's address where one is named.
constexpr UINT VM_MSG_USER_HANGUP = 0x8009;     // the caller-ID window's "Hang Up"
constexpr UINT AM_MSG_HANGUP = 0x800A;          // the call's time limit
constexpr UINT VM_MSG_RESTART_LINE = 0x800B;    // close and reopen the line; lParam the call's serial
constexpr UINT VM_MSG_NEW_CALL_RECORD = 0x800C; // wParam folder id, lParam the record
constexpr UINT VM_MSG_CALL_STARTED = 0x801E;
constexpr UINT VM_MSG_CALL_ENDED = 0x801F;        // lParam VM_CALL_NOT_LOGGED or 0
// The call flow kept the call out of the call log (remote retrieval).
constexpr LPARAM VM_CALL_NOT_LOGGED = 1;

// Media modes and privileges tried in turn when opening the line.
struct VM_SOpenTry {
    DWORD privileges;
    DWORD mediaModes;
};
extern const VM_SOpenTry kLineOpenTries[6];

class VM_CAnswerMachine : public VM_ILineCbk,
                          public VM_ICallCbk,
                          public VM_ITapiCbk,
                          public VM_CObserver,
                          public VM_CTimerCbk {
public:
    // None of the three is owned; parentWindow receives the posted messages.
    VM_CAnswerMachine(VM_CTollSaver* tollSaver, HWND parentWindow, VM_CAppCfg* cfg);
    ~VM_CAnswerMachine() override;
    VM_CAnswerMachine(const VM_CAnswerMachine&) = delete;
    VM_CAnswerMachine& operator=(const VM_CAnswerMachine&) = delete;

    bool VM_Start();
    bool VM_Stop();
    // After the settings dialogs: restarts when the line or mailbox mode changed.
    bool VM_OnConfigChanged();
    // Fills the modem table (modem_table.h).
    static bool VM_EnumerateModems();
    // The line's handle after the first open that succeeds; 0 when none does.
    static HLINE VM_OpenLine(VM_CLine* line);

    // VM_ILineCbk
    void VM_OnLineDevState(VM_CLine* line, DWORD dwState, DWORD dwParam2, DWORD dwParam3) override;
    void VM_OnNewCall(VM_CLine* line, HCALL hCall, DWORD dwAddressID, DWORD dwPrivilege) override;
    void VM_OnLineClose(VM_CLine* line) override;
    // VM_ICallCbk
    void VM_OnCallReply(VM_CCall* call, DWORD reqid, LONG result, VM_CALLREQUEST kind) override;
    void VM_OnCallState(VM_CCall* call, DWORD dwCallState, DWORD dwDetail, DWORD dwPrivilege) override;
    void VM_OnCallInfo(VM_CCall* call, DWORD dwInfoState) override;
    void VM_OnMonitorDigits(VM_CCall* call, DWORD dwDigit, DWORD dwDigitMode) override;
    void VM_OnMonitorMedia(VM_CCall* call, DWORD dwMediaMode) override;
    // VM_ITapiCbk
    void VM_OnReinit(DWORD dwParam2, DWORD dwParam3) override;
    // VM_CObserver
    bool VM_OnMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
    // VM_CTimerCbk
    int VM_TimerCallback(VM_CTimer* timer) override;

    bool VM_ProcessCallerID();
    bool VM_IgnoreDisconnectEvent();
    bool VM_OnHangup(UINT message, WPARAM wParam);
    bool VM_Restart(WPARAM wParam);
    bool VM_StartCall();
    bool VM_EndCall();

    // How caller-ID windows are made; without one, updates are dropped.
    void VM_SetCallerIDDlgMaker(VM_CallerIDDlgMaker maker) { m_makeCallerIDDlg = std::move(maker); }

    bool VM_IsStarted() const { return m_pLine != nullptr; }
    bool VM_HasCall() const { return m_pCall != nullptr; }
    std::int32_t VM_GetLineID() const { return m_idLine; }
    HLINE VM_GetLineHandle() const { return m_pLine != nullptr ? m_pLine->VM_GetHandle() : 0; }
    WPARAM VM_Self() const { return reinterpret_cast<WPARAM>(this); }

protected:
    // A VM_CSingleMailboxCtrl or VM_CMultiMailboxCtrl; tests give their own.
    virtual VM_CMailboxController* VM_CreateController(bool singleMailbox);

private:
    bool VM_IsOurLine(const VM_CLine* line) const;
    bool VM_IsOurCall(const VM_CCall* call) const;
    void VM_OnRing(DWORD dwParam3);
    void VM_AnswerCall(bool blocked);
    void VM_ShowStatus(int index);
    void VM_ApplyModemFix();
    void VM_FileCallRecord();
    void VM_Post(UINT message, WPARAM wParam, LPARAM lParam);
    // Makes the longest-waiting call the call when there is none; false
    // when nothing was taken.
    bool VM_TakeWaitingCall();

    VM_CLine* m_pLine = nullptr;
    RegLSI m_modemFix;
    bool m_bModemFix = false;
    VM_CAppCfg* m_pCfg;
    VM_CMailboxController* m_pController = nullptr;
    std::int32_t m_idLine = -1;
    std::int32_t m_bSingleBox = 1;
    std::int32_t m_bLogCall = 1;
    std::int32_t m_dwBlocked = 0;
    bool m_bCallerIDSeen = false;
    DWORD m_dwConnectTick = 0;
    bool m_bConnected = false;
    // The open line's disconnect reports are certain: none is ignored.
    bool m_bReliableDisconnect = false;
    VM_CCall* m_pCall = nullptr;
    // Calls offered while m_pCall was still on the line, oldest first.
    std::deque<VM_CCall*> m_waitingCalls;
    // Counts the calls taken, so a restart asked for by one call's end does
    // not end the next call.
    std::uint32_t m_nCallSerial = 0;
    // The serial when the machine last stopped: a restart asked for by that
    // call or an earlier one finds the line already closed on purpose.
    std::uint32_t m_nStopSerial = 0;
    VM_CCallInfo* m_pCallInfo = nullptr;
    std::unique_ptr<VM_CCallerIDDlg> m_pCallerIDDlg;
    HWND m_hParent;
    VM_CAddressBook* m_pAddressBook = nullptr;
    VM_CTimer* m_pCallTimer = nullptr;
    VM_CTollSaver* m_pTollSaver;
    VM_CallerIDDlgMaker m_makeCallerIDDlg;
};
