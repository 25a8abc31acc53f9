#include "telephony/line.h"

#include <algorithm>
#include <cinttypes>

#include "diag/trace.h"
#include "telephony/call.h"
#include "telephony/tapi_session.h"
#include "telephony/var_structs.h"

namespace {

// RINGING | DISCONNECTED | REINIT, asked for when the device cannot say
// which line states it sends.
constexpr DWORD kFallbackLineStates = 0x4000A;

}  // namespace

VM_CLine::VM_CLine(DWORD lineid, VM_ILineCbk* owner) : m_pOwner(owner) {
    VM_TRACE(g_bTraceTapi, "VM_CLine::VM_CLine(lineid=0x%x)", lineid);
    if (lineid < VM_CTapi::VM_GetNumLines()) {
        m_dwDeviceID = lineid;
        VM_NegotiateAPIVersion();
    }
}

VM_CLine::~VM_CLine() {
    VM_Close();
    VM_TRACE(g_bTraceTapi, "VM_CLine::~VM_CLine(lineid=0x%x)", m_dwDeviceID);
    m_calls.clear();
    m_requests.VM_RemoveRequests(nullptr);
}

bool VM_CLine::VM_NegotiateAPIVersion() {
    HLINEAPP app = VM_CTapi::VM_GetLineApp();
    if (app == 0 || m_dwDeviceID == kNoDeviceID) return false;
    LINEEXTENSIONID extension{};
    LONG result = VM_CTapi::VM_TraceResultF(
        0, lineNegotiateAPIVersion(app, m_dwDeviceID, TAPI_VERSION_1_4, TAPI_VERSION_1_4, &m_dwAPIVersion, &extension),
        "VM_CLine::VM_NegotiateAPIVersion: lineNegotiateAPIVersion(id=0x%x, ver=0x%x)", m_dwDeviceID,
        TAPI_VERSION_1_4);
    if (result != 0) {
        m_dwAPIVersion = 0;
        return false;
    }
    return true;
}

bool VM_CLine::VM_Open(DWORD privileges, DWORD mediaModes) {
    HLINEAPP app = VM_CTapi::VM_GetLineApp();
    if (app == 0 || m_dwAPIVersion == 0 || m_hLine != 0 || m_dwDeviceID == kNoDeviceID) return false;
    const DWORD_PTR self = reinterpret_cast<DWORD_PTR>(this);
    LONG result = VM_CTapi::VM_TraceResultF(
        0, lineOpen(app, m_dwDeviceID, &m_hLine, m_dwAPIVersion, 0, self, privileges, mediaModes, nullptr),
        "VM_CLine::VM_Open: lineOpen(lineid=0x%x, This=0x%" PRIxPTR ", priv=0x%x, media=0x%x)",
        m_dwDeviceID, self, privileges, mediaModes);
    if (result != 0) {
        m_hLine = 0;
        return false;
    }
    m_calls.clear();
    m_requests.VM_RemoveRequests(nullptr);
    VM_CTapi::VM_RegisterLine(this);

    VM_CDevCaps caps(m_dwDeviceID, m_dwAPIVersion);
    if (caps.VM_Query() == 0) {
        DWORD states = caps.VM_GetCaps()->dwLineStates;
        result = VM_CTapi::VM_TraceResultF(
            0, lineSetStatusMessages(m_hLine, states, 0),
            "VM_CLine::VM_Open: lineSetStatusMessages(hLine=0x%x, states=0x%x)", m_hLine, states);
        if (result == 0) return true;
    }
    result = VM_CTapi::VM_TraceResultF(
        0, lineSetStatusMessages(m_hLine, kFallbackLineStates, 0),
        "VM_CLine::VM_Open: lineSetStatusMessages(hLine=0x%x, LINEDEVSTATE_RINGING)", m_hLine);
    return result == 0;
}

bool VM_CLine::VM_Close() {
    if (m_hLine == 0) return false;
    VM_CTapi::VM_UnregisterLine(this);
    LONG result = VM_CTapi::VM_TraceResultF(0, lineClose(m_hLine),
                                            "VM_CLine::VM_Close: lineClose(m_hLine=0x%x)", m_hLine);
    m_hLine = 0;
    m_requests.VM_RemoveRequests(nullptr);
    m_calls.clear();
    return result == 0;
}

VM_CCall* VM_CLine::VM_FindCall(HCALL hCall) const {
    if (hCall == 0) return nullptr;
    auto it = std::find_if(m_calls.begin(), m_calls.end(),
                           [hCall](VM_CCall* call) { return call->VM_GetHandle() == hCall; });
    return it == m_calls.end() ? nullptr : *it;
}

void VM_CLine::VM_AddCall(VM_CCall* call) {
    if (call == nullptr || VM_FindCall(call->VM_GetHandle()) != nullptr) return;
    m_calls.push_back(call);
}

void VM_CLine::VM_RemoveCall(VM_CCall* call) { std::erase(m_calls, call); }

void VM_CLine::VM_OnTapiEvent(DWORD hDevice, DWORD dwMsg, DWORD dwParam1, DWORD dwParam2,
                              DWORD dwParam3) {
    switch (dwMsg) {
    case LINE_CALLINFO: VM_OnCallInfo(hDevice, dwParam1); break;
    case LINE_CALLSTATE: VM_OnCallState(hDevice, dwParam1, dwParam2, dwParam3); break;
    case LINE_CLOSE: VM_OnClose(hDevice); break;
    case LINE_LINEDEVSTATE: VM_OnLineDevState(hDevice, dwParam1, dwParam2, dwParam3); break;
    case LINE_MONITORDIGITS: VM_OnMonitorDigits(hDevice, dwParam1, dwParam2); break;
    case LINE_MONITORMEDIA: VM_OnMonitorMedia(hDevice, dwParam1); break;
    case LINE_REPLY: VM_OnReply(dwParam1, static_cast<LONG>(dwParam2)); break;
    default: break;
    }
}

void VM_CLine::VM_OnLineDevState(HLINE hLine, DWORD dwState, DWORD dwParam2, DWORD dwParam3) {
    if (m_pOwner != nullptr && m_hLine != 0 && hLine == m_hLine)
        m_pOwner->VM_OnLineDevState(this, dwState, dwParam2, dwParam3);
}

void VM_CLine::VM_OnClose(HLINE hLine) {
    if (m_pOwner != nullptr && m_hLine != 0 && hLine == m_hLine) m_pOwner->VM_OnLineClose(this);
}

void VM_CLine::VM_OnReply(DWORD reqid, LONG result) {
    VM_TRACE(g_bTraceTapi, "VM_CLine::VM_OnReply: reqid=0x%x, r=0x%x", reqid, static_cast<DWORD>(result));
    VM_IReplyCbk* receiver = nullptr;
    VM_CALLREQUEST kind = VM_CALLREQUEST_UNKNOWN;
    if (!m_requests.VM_TakeRequest(reqid, &receiver, &kind)) return;
    if (receiver != nullptr && kind != VM_CALLREQUEST_UNKNOWN) receiver->VM_OnReply(reqid, result, kind);
}

void VM_CLine::VM_OnCallState(HCALL hCall, DWORD dwCallState, DWORD dwDetail, DWORD dwPrivilege) {
    VM_CCall* call = VM_FindCall(hCall);
    VM_TRACE(g_bTraceTapi, "VM_CLine::VM_OnCallState : hCall=0x%x, pCall=0x%" PRIxPTR ", state=0x%x, priv=0x%x",
             hCall, reinterpret_cast<uintptr_t>(call), dwCallState, dwPrivilege);
    // Handle 0 names no call: nothing to ask the service about.
    if (call == nullptr && hCall != 0) {
        VM_CCallInfor info(hCall);
        VM_CCallStatus status(hCall);
        if (info.VM_Query() == 0 && status.VM_Query() == 0) {
            DWORD origin = info.VM_GetInfo()->dwOrigin;
            DWORD state = status.VM_GetStatus()->dwCallState;
            VM_TRACE(g_bTraceTapi, "VM_CLine::VM_OnCallState : dwOrigin=0x%x, dwState=0x%x, pCall=0x%x",
                     origin, state, 0u);
            // Decided on the service's current state, not the event's.
            if ((state & LINECALLSTATE_OFFERING) && (origin & LINECALLORIGIN_INBOUND) && m_pOwner != nullptr) {
                m_pOwner->VM_OnNewCall(this, hCall, info.VM_GetInfo()->dwAddressID, dwPrivilege);
                call = VM_FindCall(hCall);
            }
        }
    }
    if (call != nullptr) {
        call->VM_OnCallState(dwCallState, dwDetail, dwPrivilege);
    } else if (dwCallState == LINECALLSTATE_IDLE) {
        // Idle calls the system never took on are released here.
        VM_CTapi::VM_TraceResultF(0, lineDeallocateCall(hCall),
                                  "VM_CLine::VM_OnCallState : lineDeallocateCall(hCall=0x%x)", hCall);
    }
}

void VM_CLine::VM_OnCallInfo(HCALL hCall, DWORD dwInfoState) {
    if (VM_CCall* call = VM_FindCall(hCall)) call->VM_OnCallInfo(dwInfoState);
}

void VM_CLine::VM_OnMonitorDigits(HCALL hCall, DWORD dwDigit, DWORD dwDigitMode) {
    if (VM_CCall* call = VM_FindCall(hCall)) call->VM_OnMonitorDigits(dwDigit, dwDigitMode);
}

void VM_CLine::VM_OnMonitorMedia(HCALL hCall, DWORD dwMediaMode) {
    if (VM_CCall* call = VM_FindCall(hCall)) call->VM_OnMonitorMedia(dwMediaMode);
}
