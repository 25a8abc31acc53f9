#include "callflow/answer_machine.h"

#include <cinttypes>
#include <cstring>
#include <ctime>

#include "audio/player.h"
#include "callflow/mailbox_controller.h"
#include "callflow/modem_table.h"
#include "callflow/multi_mailbox_ctrl.h"
#include "callflow/single_mailbox_ctrl.h"
#include "callflow/status_texts.h"
#include "callflow/toll_saver.h"
#include "diag/trace.h"
#include "lines/base/line_dev_specific.h"
#include "platform/win32/win32.h"
#include "store/address_book.h"
#include "store/app_config.h"
#include "store/call_filing.h"
#include "store/call_journal.h"
#include "store/call_info.h"
#include "telephony/var_structs.h"

namespace {

constexpr DWORD kBlockingFlags = 0x13;
constexpr int kPromptPrescreenRing = 200;
constexpr int kCallerIDSize = 1000;
// Disconnects this young are left to the call flow's silence detection.
constexpr DWORD kIgnoreDisconnectSeconds = 200;

const char* TrueFalse(bool value) { return value ? "TRUE" : "FALSE"; }

// Limits from the file are not checked on load: a negative or absurd value
// must not wrap the milliseconds.
std::int64_t CallLimitMs(const VM_CAppCfg& cfg) {
    std::int64_t minutes = cfg.m_nMaxCallMinutes;
    if (minutes < 0) minutes = 0;
    if (minutes > 999) minutes = 999;
    return minutes * 60000;
}

// A line that says its disconnect reports are certain, in the device-specific
// part of its capabilities; any other line may report one by mistake.
bool HasReliableDisconnect(DWORD lineId, DWORD apiVersion) {
    VM_CDevCaps caps(lineId, apiVersion);
    if (caps.VM_Query() != 0) return false;
    const LINEDEVCAPS* fixed = caps.VM_GetCaps();
    const BYTE* part = caps.VM_GetField(fixed->dwDevSpecificOffset, fixed->dwDevSpecificSize);
    if (part == nullptr) return false;
    return (lines::LineDevSpecificFlags(part, fixed->dwDevSpecificSize) & lines::kLineDevReliableDisconnect) != 0;
}

}  // namespace

const VM_SOpenTry kLineOpenTries[6] = {
    {LINECALLPRIVILEGE_OWNER | LINECALLPRIVILEGE_MONITOR, LINEMEDIAMODE_AUTOMATEDVOICE | LINEMEDIAMODE_UNKNOWN},
    {LINECALLPRIVILEGE_OWNER | LINECALLPRIVILEGE_MONITOR, LINEMEDIAMODE_AUTOMATEDVOICE | LINEMEDIAMODE_INTERACTIVEVOICE},
    {LINECALLPRIVILEGE_OWNER, LINEMEDIAMODE_AUTOMATEDVOICE | LINEMEDIAMODE_UNKNOWN},
    {LINECALLPRIVILEGE_OWNER, LINEMEDIAMODE_AUTOMATEDVOICE | LINEMEDIAMODE_INTERACTIVEVOICE},
    {LINECALLPRIVILEGE_OWNER | LINECALLPRIVILEGE_MONITOR, LINEMEDIAMODE_AUTOMATEDVOICE},
    {LINECALLPRIVILEGE_OWNER, LINEMEDIAMODE_AUTOMATEDVOICE},
};

VM_CAnswerMachine::VM_CAnswerMachine(VM_CTollSaver* tollSaver, HWND parentWindow, VM_CAppCfg* cfg)
    : m_pCfg(cfg), m_hParent(parentWindow), m_pTollSaver(tollSaver) {
    VM_TRACE(g_bTraceTapi, "VM_CAnswerMachine::VM_CAnswerMachine: this=0x%" PRIxPTR, VM_Self());
    m_pCallTimer = new VM_CTimer(this);
    m_pAddressBook = new VM_CAddressBook(cfg);
}

VM_CAnswerMachine::~VM_CAnswerMachine() {
    const std::int32_t lineId = m_idLine;
    // The controller and the call may still use the book: stop first.
    VM_Stop();
    delete m_pAddressBook;
    m_pAddressBook = nullptr;
    delete m_pCallTimer;
    m_pCallTimer = nullptr;
    VM_TRACE(g_bTraceTapi, "VM_CAnswerMachine::~VM_CAnswerMachine: this=0x%" PRIxPTR ", lineID=0x%x", VM_Self(),
             static_cast<unsigned>(lineId));
}

bool VM_CAnswerMachine::VM_Start() {
    std::int32_t lineId = 0;
    bool singleBox = true;
    m_bModemFix = false;
    if (m_pCfg != nullptr) {
        lineId = m_pCfg->m_idLine;
        singleBox = m_pCfg->VM_IsFlag(VM_FLAG_SINGLE_MAILBOX);
        m_bModemFix = m_pCfg->VM_IsFlag(VM_FLAG_MODEM_FIX);
    }
    VM_TRACE(g_bTraceTapi, "VM_CAnswerMachine::VM_Start(lineID=0x%x, bSingleBox=0x%x): this=0x%" PRIxPTR,
             static_cast<unsigned>(lineId), singleBox ? 1u : 0u, VM_Self());
    VM_CTapi::VM_Initialize();
    // "Not below the number of lines" compares as unsigned: no line chosen (-1) is out of range.
    if (m_pLine != nullptr || static_cast<DWORD>(lineId) >= VM_CTapi::VM_GetNumLines()) return false;
    if (m_bModemFix) VM_ApplyModemFix();
    m_pLine = new VM_CLine(static_cast<DWORD>(lineId), this);
    if (VM_OpenLine(m_pLine) == 0) {
        VM_Stop();
        return false;
    }
    m_idLine = lineId;
    m_bSingleBox = singleBox ? 1 : 0;
    m_bReliableDisconnect = HasReliableDisconnect(static_cast<DWORD>(lineId), m_pLine->VM_GetAPIVersion());
    m_pController = VM_CreateController(singleBox);
    return true;
}

VM_CMailboxController* VM_CAnswerMachine::VM_CreateController(bool singleMailbox) {
    if (singleMailbox) return new VM_CSingleMailboxCtrl(m_pCfg, m_pAddressBook);
    return new VM_CMultiMailboxCtrl(m_pCfg, m_pAddressBook);
}

void VM_CAnswerMachine::VM_ApplyModemFix() {
    for (int i = 0; i < g_modemTable.nVoiceCount; i++) {
        const VM_SModemEntry& entry = g_modemTable.entries[g_modemTable.voiceIndexes[i]];
        if (entry.idLine != m_pCfg->m_idLine) continue;
        m_modemFix.SetName(entry.szName);
        if (m_modemFix.Locate() && m_modemFix.IsLsiModem()) {
            m_modemFix.ApplyFix();
            return;
        }
    }
}

HLINE VM_CAnswerMachine::VM_OpenLine(VM_CLine* line) {
    if (line == nullptr) return 0;
    for (const VM_SOpenTry& open : kLineOpenTries)
        if (line->VM_Open(open.privileges, open.mediaModes)) return line->VM_GetHandle();
    return 0;
}

bool VM_CAnswerMachine::VM_Stop() {
    VM_TRACE(g_bTraceTapi, "VM_CAnswerMachine::VM_Stop(lineID=0x%x, bSingleBox=0x%x): this=0x%" PRIxPTR,
             static_cast<unsigned>(m_idLine), static_cast<unsigned>(m_bSingleBox), VM_Self());
    if (m_pLine == nullptr) return false;
    m_nStopSerial = m_nCallSerial;
    VM_EndCall();
    // Callers still waiting are filed as calls that were not answered.
    while (!m_waitingCalls.empty()) {
        m_pCall = m_waitingCalls.front();
        m_waitingCalls.pop_front();
        VM_StartCall();
        VM_EndCall();
    }
    delete m_pController;
    m_pController = nullptr;
    delete m_pLine;
    m_pLine = nullptr;
    m_idLine = -1;
    m_bSingleBox = 1;
    if (m_bModemFix && m_modemFix.IsLsiModem()) m_modemFix.RestoreFix();
    VM_CTapi::VM_Shutdown();
    return true;
}

bool VM_CAnswerMachine::VM_Restart(WPARAM wParam) {
    if (wParam != VM_Self()) return false;
    const std::int32_t lineId = m_idLine;
    const std::int32_t singleBox = m_bSingleBox;
    VM_Stop();
    m_idLine = lineId;
    m_bSingleBox = singleBox;
    return VM_Start();
}

bool VM_CAnswerMachine::VM_OnConfigChanged() {
    if (m_pCfg == nullptr) return false;
    const std::int32_t singleBox = m_pCfg->VM_IsFlag(VM_FLAG_SINGLE_MAILBOX) ? 1 : 0;
    const bool modemFix = m_pCfg->VM_IsFlag(VM_FLAG_MODEM_FIX);
    if (m_pCfg->m_idLine == m_idLine && singleBox == m_bSingleBox && modemFix == m_bModemFix) return true;
    m_idLine = m_pCfg->m_idLine;
    m_bSingleBox = singleBox;
    if (!m_pCfg->VM_IsFlag(VM_FLAG_ANSWERING)) return true;
    if (VM_Restart(VM_Self())) return true;
    m_pCfg->VM_SetFlag(false, VM_FLAG_ANSWERING);
    return false;
}

bool VM_CAnswerMachine::VM_IsOurLine(const VM_CLine* line) const {
    return line != nullptr && m_pLine != nullptr && line->VM_GetHandle() == m_pLine->VM_GetHandle();
}

bool VM_CAnswerMachine::VM_IsOurCall(const VM_CCall* call) const {
    return call != nullptr && m_pCall != nullptr && call->VM_GetHandle() == m_pCall->VM_GetHandle();
}

void VM_CAnswerMachine::VM_OnNewCall(VM_CLine* line, HCALL hCall, DWORD dwAddressID, DWORD dwPrivilege) {
    if (hCall == 0 || !VM_IsOurLine(line)) return;
    auto* call = new VM_CCall(line, hCall, dwAddressID);
    if ((dwPrivilege & LINECALLPRIVILEGE_OWNER) == 0) call->VM_SetPrivilege();
    // One call at a time: a caller arriving while the last call is still
    // being ended waits for the line instead of ringing unheard.
    m_waitingCalls.push_back(call);
    VM_TakeWaitingCall();
}

bool VM_CAnswerMachine::VM_TakeWaitingCall() {
    if (m_pCall != nullptr || m_waitingCalls.empty()) return false;
    m_pCall = m_waitingCalls.front();
    m_waitingCalls.pop_front();
    ++m_nCallSerial;
    VM_StartCall();
    // A caller who gave up while waiting is ended now as then.
    VM_CCallStatus status(m_pCall->VM_GetHandle());
    if (status.VM_Query() != 0) return true;
    const DWORD state = status.VM_GetStatus()->dwCallState;
    if (state & (LINECALLSTATE_IDLE | LINECALLSTATE_DISCONNECTED | LINECALLSTATE_BUSY))
        VM_OnCallState(m_pCall, state, 0, 0);
    return true;
}

bool VM_CAnswerMachine::VM_StartCall() {
    if (m_pCall == nullptr || m_pCall->VM_GetHandle() == 0) return false;
    m_bCallerIDSeen = false;
    m_bConnected = false;
    m_dwConnectTick = 0;
    VM_Post(VM_MSG_CALL_STARTED, VM_Self(), 0);
    VM_CAddrCaps caps(static_cast<DWORD>(m_idLine), m_pCall->VM_GetAddressID(), m_pLine->VM_GetAPIVersion());
    if (caps.VM_Query() == 0 && (caps.VM_GetCaps()->dwAddrCapFlags & LINEADDRCAPFLAGS_ACCEPTTOALERT))
        m_pCall->VM_Accept();
    const std::int64_t limitMs = m_pCfg != nullptr ? CallLimitMs(*m_pCfg) : 0;
    if (limitMs > 0) m_pCallTimer->VM_Start(static_cast<int>(limitMs), m_hParent, 0);
    if (m_makeCallerIDDlg) m_pCallerIDDlg = m_makeCallerIDDlg(m_hParent, this);
    if (m_pCallerIDDlg) m_pCallerIDDlg->VM_Show();
    m_pAddressBook->VM_Reload();
    m_dwBlocked = 0;
    m_pCallInfo = new VM_CCallInfo();
    m_bLogCall = 1;
    VM_ProcessCallerID();
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    m_pCallInfo->VM_SetTime(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min,
                            local.tm_sec);
    return true;
}

void VM_CAnswerMachine::VM_OnLineDevState(VM_CLine* line, DWORD dwState, DWORD /*dwParam2*/, DWORD dwParam3) {
    if (!VM_IsOurLine(line)) return;
    if (dwState == LINEDEVSTATE_RINGING) VM_OnRing(dwParam3);
}

void VM_CAnswerMachine::VM_OnRing(DWORD dwParam3) {
    if (m_pCall == nullptr || m_pCall->VM_GetRings() == -1) return;
    VM_ShowStatus(VM_STATUS_RINGING);
    const int nRing = m_pCall->VM_GetRings() + 1;
    m_pCall->VM_SetRings(nRing);
    const bool tollSaverOn = m_pCfg != nullptr && m_pCfg->VM_IsFlag(VM_FLAG_TOLL_SAVER);
    const bool noNewMessages = m_pTollSaver != nullptr && m_pTollSaver->VM_GetNoNewMessages() != 0;
    const int presetRings = m_pCfg != nullptr ? VM_RingsBeforeAnswer(*m_pCfg, m_pTollSaver) : 0;
    VM_TRACE(g_bTraceTapi,
             "VM_CAnswerMachine::VM_OnLineDevState: nRing=%d, dwParam3=%d, presetRings=%d, bTSCfg=%s, bTS=%s", nRing,
             static_cast<int>(dwParam3), presetRings, TrueFalse(tollSaverOn), TrueFalse(noNewMessages));
    VM_ProcessCallerID();
    if (m_dwBlocked == 0) {
        if (m_pCfg != nullptr && m_pCfg->VM_IsFlag(VM_FLAG_PRESCREEN)) {
            char* prompt = m_pCfg->VM_GetPromptFileName(kPromptPrescreenRing);
            if (prompt != nullptr) VM_PlayFileSync(static_cast<UINT>(m_pCfg->m_idPlayDevice), prompt);
            delete[] prompt;
            // The prompt's wait pumps no events, but a stop cannot be ruled out.
            if (m_pCall == nullptr) return;
        }
        const int serviceCount = static_cast<int>(dwParam3);
        if (serviceCount < presetRings && (nRing < presetRings || dwParam3 > 1)) return;
    }
    VM_AnswerCall(m_dwBlocked != 0);
}

void VM_CAnswerMachine::VM_AnswerCall(bool blocked) {
    m_pCall->VM_SetRings(-1);
    m_pCall->VM_Answer();
    // Who is calling reaches the disk long before anything is recorded, so
    // a message the process does not live to file keeps its caller.
    if (m_pCallInfo != nullptr && m_pCfg != nullptr) VM_WriteCallJournal(*m_pCfg, *m_pCallInfo);
    VM_ShowStatus(blocked ? VM_STATUS_BLOCKING : VM_STATUS_ANSWERING);
}

void VM_CAnswerMachine::VM_OnCallInfo(VM_CCall* call, DWORD dwInfoState) {
    if (!VM_IsOurCall(call) || (dwInfoState & LINECALLINFOSTATE_CALLERID) == 0) return;
    m_bCallerIDSeen = true;
    VM_ProcessCallerID();
    if (m_dwBlocked != 0 && m_pCall->VM_GetRings() != -1) VM_AnswerCall(true);
}

bool VM_CAnswerMachine::VM_ProcessCallerID() {
    if (m_pCall == nullptr || m_pCall->VM_GetHandle() == 0) return false;
    VM_CCallInfor info(m_pCall->VM_GetHandle());
    if (info.VM_Query() != 0) return false;
    std::unique_ptr<char[]> name(new char[kCallerIDSize]());
    std::unique_ptr<char[]> number(new char[kCallerIDSize]());
    info.VM_GetInterpretedCallerID(name.get(), number.get());
    std::string shownName = name.get();
    DWORD dwFlag = 0;
    bool matched = false;
    if (m_pAddressBook != nullptr && (m_bCallerIDSeen || m_pCall->VM_GetRings() >= 2)) {
        if (std::optional<std::string> found = m_pAddressBook->VM_LookupName(number.get())) shownName = *found;
        matched = m_pAddressBook->VM_LookupFlags(number.get(), &dwFlag);
    }
    VM_TRACE(g_bTraceTapi, "VM_CAnswerMachine::VM_ProcessCallerID: name=%s, phone=%s, dwFlag=0x%x", shownName.c_str(),
             number.get(), dwFlag);
    m_dwBlocked = static_cast<std::int32_t>(dwFlag & kBlockingFlags);
    if (m_pCallInfo != nullptr) {
        if (matched) {
            DWORD flags = (dwFlag & 0x4) ? 4 : 8;
            if (dwFlag & kBlockingFlags) flags |= 2;
            flags |= (dwFlag & 0x8) << 2;
            m_pCallInfo->VM_AddFlags(flags);
        }
        m_pCallInfo->VM_SetAttr(VM_CCallInfo::kAttrName, shownName.c_str());
        m_pCallInfo->VM_SetAttr(VM_CCallInfo::kAttrNumber, number.get());
    }
    if (m_pCallerIDDlg) m_pCallerIDDlg->VM_SetCaller(shownName, number.get());
    return true;
}

void VM_CAnswerMachine::VM_OnCallState(VM_CCall* call, DWORD dwCallState, DWORD /*dwDetail*/, DWORD /*dwPrivilege*/) {
    if (!VM_IsOurCall(call)) return;
    switch (dwCallState) {
    case LINECALLSTATE_IDLE:
        VM_ShowStatus(VM_STATUS_DROPPING);
        VM_EndCall();
        // A waiting call takes the line as it is; its own end reopens it.
        if (!VM_TakeWaitingCall()) VM_Post(VM_MSG_RESTART_LINE, VM_Self(), static_cast<LPARAM>(m_nCallSerial));
        break;
    case LINECALLSTATE_BUSY:
    case LINECALLSTATE_DISCONNECTED:
        if (!VM_IgnoreDisconnectEvent()) VM_OnHangup(0, VM_Self());
        break;
    case LINECALLSTATE_CONNECTED:
        m_dwConnectTick = GetTickCount();
        m_bConnected = true;
        if (m_pController != nullptr)
            m_pController->VM_Start(m_pCall, m_pCallInfo, m_pCallerIDDlg.get(), &m_bLogCall);
        break;
    default:
        break;
    }
}

bool VM_CAnswerMachine::VM_IgnoreDisconnectEvent() {
    // The rule is for voice modems, whose disconnects may be mistaken: a
    // caller who really hung up would leave silence recorded to its end.
    if (m_bReliableDisconnect) return false;
    if (m_pCfg == nullptr || m_pCfg->m_nSilenceSeconds <= 0 || m_pCfg->m_nSilenceLevel <= 0) return false;
    const DWORD seconds = m_bConnected ? (GetTickCount() - m_dwConnectTick) / 1000 : 0;
    // Only the call flow's silence detection can end a connected call; a
    // call that never connected would stay disconnected, holding the line,
    // so its disconnect is never ignored.
    const bool ignored = m_bConnected && seconds <= kIgnoreDisconnectSeconds;
    VM_TRACE(g_bTraceTapi, "VM_CAnswerMachine::VM_IgnoreDisconnectEvent: tmStmp=0x%x, d=%d(s) - %s",
             m_bConnected ? 1u : 0u, static_cast<int>(seconds), ignored ? "Ignored" : "Disconnected");
    return ignored;
}

bool VM_CAnswerMachine::VM_OnHangup(UINT message, WPARAM wParam) {
    if (wParam != VM_Self() && wParam != reinterpret_cast<WPARAM>(m_pController)) return false;
    if (wParam == 0) return false;
    VM_TRACE(g_bTraceTapi, "VM_CAnswerMachine::VM_OnHangup: this=0x%" PRIxPTR, VM_Self());
    switch (message) {
    case 0: VM_ShowStatus(VM_STATUS_CALLER_HUNG_UP); break;
    case VM_MSG_USER_HANGUP: VM_ShowStatus(VM_STATUS_CALLED_PARTY_HUNG_UP); break;
    case AM_MSG_HANGUP: VM_ShowStatus(VM_STATUS_TIME_LIMIT); break;
    default: VM_ShowStatus(VM_STATUS_DROPPING); break;
    }
    if (m_pController != nullptr) m_pController->VM_Stop();
    // Answered but not yet connected: the controller never had the call, so
    // it is dropped here, or it would never go idle.
    if (m_pCall != nullptr && m_pCall->VM_GetRings() == -1 && !m_bConnected) m_pCall->VM_Drop();
    // Still ringing: the line and the call are on the caller's stack when
    // this comes from a call-state event, so the restart is posted.
    if (m_pCall != nullptr && m_pCall->VM_GetRings() != -1)
        VM_Post(VM_MSG_RESTART_LINE, VM_Self(), static_cast<LPARAM>(m_nCallSerial));
    return true;
}

bool VM_CAnswerMachine::VM_EndCall() {
    if (m_pCall == nullptr || m_pCall->VM_GetHandle() == 0) return false;
    if (m_pController != nullptr) m_pController->VM_Stop();
    m_pCallTimer->VM_Stop();
    m_pCallerIDDlg.reset();
    delete m_pCall;
    m_pCall = nullptr;
    const bool notLogged = m_pCallInfo != nullptr && m_bLogCall == 0;
    VM_Post(VM_MSG_CALL_ENDED, VM_Self(), notLogged ? VM_CALL_NOT_LOGGED : 0);
    if (m_pCallInfo != nullptr) VM_FileCallRecord();
    return true;
}

void VM_CAnswerMachine::VM_FileCallRecord() {
    if (m_bLogCall == 0 || m_pCfg == nullptr) {
        VM_RemoveCallJournal(*m_pCallInfo);
        m_pCallInfo->VM_Delete();
        m_pCallInfo = nullptr;
        return;
    }
    if (m_bConnected) m_pCallInfo->VM_SetLength(static_cast<int>((GetTickCount() - m_dwConnectTick) / 1000));
    // The journal of an answered call now names its message, until the
    // mediator has filed the record.
    if (!m_pCallInfo->VM_GetJournal().empty()) VM_WriteCallJournal(*m_pCfg, *m_pCallInfo);
    const int folder = VM_GetDestinationFolder(*m_pCfg, *m_pCallInfo);
    VM_CCallInfo* stored = VM_HandOverCallRecord(m_pCallInfo);
    if (stored != nullptr && !PostMessageA(m_hParent, VM_MSG_NEW_CALL_RECORD, static_cast<WPARAM>(folder),
                                           reinterpret_cast<LPARAM>(stored))) {
        // Nobody will take it: the message file and its journal stay for
        // the next start to file.
        VM_TRACE(g_bTraceTapi, "VM_CAnswerMachine::VM_EndCall: the call record could not be posted");
        delete stored;
    }
}

int VM_CAnswerMachine::VM_TimerCallback(VM_CTimer* timer) {
    if (timer != m_pCallTimer || m_hParent == nullptr || !IsWindow(m_hParent)) return 0;
    m_pCallTimer->VM_Stop();
    VM_Post(AM_MSG_HANGUP, VM_Self(), 0);
    VM_TRACE(g_bTraceTapi, "VM_CAnswerMachine::VM_TimerCallback: PostMessage(AM_MSG_HANGUP)");
    return 1;
}

void VM_CAnswerMachine::VM_OnMonitorDigits(VM_CCall* /*call*/, DWORD dwDigit, DWORD /*dwDigitMode*/) {
    LRESULT result = 0;
    const WPARAM digit = static_cast<WPARAM>(static_cast<LONG_PTR>(static_cast<signed char>(dwDigit & 0xFF)));
    VM_OnMessage(nullptr, VM_MSG_DIGIT, digit, 0, result);
}

bool VM_CAnswerMachine::VM_OnMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    switch (message) {
    case WM_TIMER:
        if (m_pCallTimer->VM_IsRunning() && m_pCallTimer->VM_OnMessage(window, message, wParam, lParam, result))
            return true;
        break;
    case VM_MSG_USER_HANGUP:
    case AM_MSG_HANGUP:
    case VM_MSG_FLOW_ENDED:
        return VM_OnHangup(message, wParam);
    case VM_MSG_RESTART_LINE:
        // A call offered after the restart was asked for is not cut off:
        // its own end restarts the line.
        if (wParam == VM_Self() && m_pCall != nullptr && static_cast<std::uint32_t>(lParam) != m_nCallSerial)
            return true;
        // Nor is a line that was closed since (the program stopping, or
        // answering switched off) opened again.
        if (wParam == VM_Self() && static_cast<std::uint32_t>(lParam) <= m_nStopSerial) return true;
        // Closing the line would cut off the callers waiting for it: the
        // call that asked is dropped instead, and its end takes the next.
        if (wParam == VM_Self() && m_pCall != nullptr && !m_waitingCalls.empty() && m_pCall->VM_Drop()) return true;
        return VM_Restart(wParam);
    default:
        break;
    }
    if (m_pController == nullptr) return false;
    return m_pController->VM_OnMessage(window, message, wParam, lParam, result);
}

void VM_CAnswerMachine::VM_ShowStatus(int index) {
    if (m_pCallerIDDlg) m_pCallerIDDlg->VM_ShowStatusIndex(index);
}

void VM_CAnswerMachine::VM_Post(UINT message, WPARAM wParam, LPARAM lParam) {
    if (m_hParent != nullptr) PostMessageA(m_hParent, message, wParam, lParam);
}

void VM_CAnswerMachine::VM_OnLineClose(VM_CLine* /*line*/) {}
void VM_CAnswerMachine::VM_OnCallReply(VM_CCall*, DWORD, LONG, VM_CALLREQUEST) {}
void VM_CAnswerMachine::VM_OnMonitorMedia(VM_CCall*, DWORD) {}
void VM_CAnswerMachine::VM_OnReinit(DWORD, DWORD) {}
