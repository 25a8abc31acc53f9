#include "telephony/call.h"

#include <cinttypes>

#include "diag/trace.h"
#include "telephony/line.h"
#include "telephony/tapi_session.h"
#include "telephony/var_structs.h"

VM_CCall::VM_CCall(VM_CLine* line, HCALL hCall, DWORD addressID)
    : m_hCall(hCall), m_dwAddressID(addressID), m_pLine(line) {
    VM_TRACE(g_bTraceTapi, "VM_CCall::VM_CCall(pLine=0x%" PRIxPTR ", hCall=0x%x, idAddr=0x%x)",
             reinterpret_cast<uintptr_t>(line), hCall, addressID);
    if (line == nullptr) return;
    m_pReceiver = dynamic_cast<VM_ICallCbk*>(line->VM_GetOwner());
    line->VM_AddCall(this);
}

VM_CCall::~VM_CCall() {
    VM_Deallocate();
    VM_TRACE(g_bTraceTapi, "VM_CCall::~VM_CCall(pLine=0x%" PRIxPTR ", hCall=0x%x, idAddr=0x%x)",
             reinterpret_cast<uintptr_t>(m_pLine), m_hCall.load(), m_dwAddressID);
}

void VM_CCall::VM_OnReply(DWORD reqid, LONG result, VM_CALLREQUEST kind) {
    VM_CTapi::VM_TraceResultF(reqid, result, "VM_CCall::VM_OnReply: %s", VM_GetRequestKindName(kind));
    // A failed outgoing call never had a handle of its own.
    if (kind == VM_CALLREQUEST_MAKECALL && result != 0) m_hCall = 0;
    if (m_pReceiver != nullptr) m_pReceiver->VM_OnCallReply(this, reqid, result, kind);
}

void VM_CCall::VM_OnCallState(DWORD dwCallState, DWORD dwDetail, DWORD dwPrivilege) {
    if (m_pReceiver != nullptr) m_pReceiver->VM_OnCallState(this, dwCallState, dwDetail, dwPrivilege);
}

void VM_CCall::VM_OnCallInfo(DWORD dwInfoState) {
    if (m_pReceiver != nullptr) m_pReceiver->VM_OnCallInfo(this, dwInfoState);
}

void VM_CCall::VM_OnMonitorDigits(DWORD dwDigit, DWORD dwDigitMode) {
    if (m_pReceiver != nullptr) m_pReceiver->VM_OnMonitorDigits(this, dwDigit, dwDigitMode);
}

void VM_CCall::VM_OnMonitorMedia(DWORD dwMediaMode) {
    if (m_pReceiver != nullptr) m_pReceiver->VM_OnMonitorMedia(this, dwMediaMode);
}

bool VM_CCall::VM_Request(LONG result, VM_CALLREQUEST kind) {
    if (result <= 0) return false;
    if (m_pLine != nullptr) m_pLine->VM_GetRequests().VM_AddRequest(static_cast<DWORD>(result), kind, this);
    return true;
}

bool VM_CCall::VM_Accept() {
    HCALL hCall = m_hCall;
    if (hCall == 0) return false;
    LONG result = VM_CTapi::VM_TraceResultF(0, lineAccept(hCall, nullptr, 0),
                                            "VM_CCall::VM_Accept: lineAccept(hCall=0x%x)", hCall);
    return VM_Request(result, VM_CALLREQUEST_ACCEPT);
}

bool VM_CCall::VM_Answer() {
    HCALL hCall = m_hCall;
    if (hCall == 0) return false;
    LONG result = VM_CTapi::VM_TraceResultF(0, lineAnswer(hCall, nullptr, 0),
                                            "VM_CCall::VM_Answer: lineAnswer(hCall=0x%x)", hCall);
    return VM_Request(result, VM_CALLREQUEST_ANSWER);
}

bool VM_CCall::VM_Drop() {
    HCALL hCall = m_hCall;
    if (hCall == 0) return true;
    if (m_pLine != nullptr && m_pLine->VM_GetRequests().VM_HasPendingDrop(this)) return true;
    VM_CCallStatus status(hCall);
    if (status.VM_Query() == 0 && (status.VM_GetStatus()->dwCallState & LINECALLSTATE_IDLE)) return true;
    LONG result = VM_CTapi::VM_TraceResultF(0, lineDrop(hCall, nullptr, 0),
                                            "VM_CCall::VM_Drop: lineDrop(hCall=0x%x)", hCall);
    if (result < 0) return false;
    VM_Request(result, VM_CALLREQUEST_DROP);
    return true;
}

bool VM_CCall::VM_Deallocate() {
    bool ok = true;
    HCALL hCall = m_hCall;
    if (hCall != 0) {
        LONG result = VM_CTapi::VM_TraceResultF(
            0, lineDeallocateCall(hCall), "VM_CCall::VM_Deallocate: lineDeallocateCall(hCall=0x%x)", hCall);
        if (result == 0)
            m_hCall = 0;
        else
            ok = false;
    }
    if (m_pLine != nullptr) {
        m_pLine->VM_GetRequests().VM_RemoveRequests(this);
        m_pLine->VM_RemoveCall(this);
    }
    return ok;
}

bool VM_CCall::VM_SetPrivilege() {
    HCALL hCall = m_hCall;
    if (hCall == 0) return false;
    LONG result = VM_CTapi::VM_TraceResultF(
        0, lineSetCallPrivilege(hCall, LINECALLPRIVILEGE_OWNER),
        "VM_CCall::VM_SetPrivilege: lineSetCallPrivilege(hCall=0x%x, dwPrivilege=0x%x)", hCall,
        LINECALLPRIVILEGE_OWNER);
    return result == 0;
}

bool VM_CCall::VM_MonitorDigits(DWORD digitModes) {
    HCALL hCall = m_hCall;
    if (hCall == 0) return false;
    LONG result = VM_CTapi::VM_TraceResultF(
        0, lineMonitorDigits(hCall, digitModes),
        "VM_CCall::VM_MonitorDigits: lineMonitorDigits(hCall=0x%x, dwDigitsModes=0x%x)", hCall, digitModes);
    return result == 0;
}
