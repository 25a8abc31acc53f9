// One call on a line: the asynchronous accept, answer and drop requests,
// the privilege and digit-monitoring requests, and the forwarding of the
// call's events to its receiver.
#pragma once

#include <atomic>

#include "platform/tapi/tapi.h"
#include "telephony/request_list.h"

class VM_CLine;
class VM_CCall;

// Implemented by whoever handles calls (the line's owner).
class VM_ICallCbk {
public:
    virtual void VM_OnCallReply(VM_CCall* call, DWORD reqid, LONG result, VM_CALLREQUEST kind) = 0;
    virtual void VM_OnCallState(VM_CCall* call, DWORD dwCallState, DWORD dwDetail, DWORD dwPrivilege) = 0;
    virtual void VM_OnCallInfo(VM_CCall* call, DWORD dwInfoState) = 0;
    virtual void VM_OnMonitorDigits(VM_CCall* call, DWORD dwDigit, DWORD dwDigitMode) = 0;
    virtual void VM_OnMonitorMedia(VM_CCall* call, DWORD dwMediaMode) = 0;
    virtual ~VM_ICallCbk() = default;
};

class VM_CCall : public VM_IReplyCbk {
public:
    VM_CCall(VM_CLine* line, HCALL hCall, DWORD addressID);
    void VM_OnReply(DWORD reqid, LONG result, VM_CALLREQUEST kind) override;
    ~VM_CCall() override;
    VM_CCall(const VM_CCall&) = delete;
    VM_CCall& operator=(const VM_CCall&) = delete;

    virtual void VM_OnCallState(DWORD dwCallState, DWORD dwDetail, DWORD dwPrivilege);
    virtual void VM_OnCallInfo(DWORD dwInfoState);
    virtual void VM_OnMonitorDigits(DWORD dwDigit, DWORD dwDigitMode);
    virtual void VM_OnMonitorMedia(DWORD dwMediaMode);

    bool VM_Accept();
    bool VM_Answer();
    bool VM_Drop();
    bool VM_Deallocate();
    bool VM_SetPrivilege();
    // Called from a call-flow worker thread: reads only the call handle.
    bool VM_MonitorDigits(DWORD digitModes);

    HCALL VM_GetHandle() const { return m_hCall; }
    DWORD VM_GetAddressID() const { return m_dwAddressID; }
    VM_CLine* VM_GetLine() const { return m_pLine; }
    VM_ICallCbk* VM_GetReceiver() const { return m_pReceiver; }
    // Counted by the answer machine; -1 once it has answered.
    int VM_GetRings() const { return m_nRings; }
    void VM_SetRings(int rings) { m_nRings = rings; }

private:
    bool VM_Request(LONG result, VM_CALLREQUEST kind);

    // Read by the worker thread that monitors digits.
    std::atomic<HCALL> m_hCall;
    DWORD m_dwAddressID;
    int m_nRings = 0;
    VM_CLine* m_pLine;
    VM_ICallCbk* m_pReceiver = nullptr;
};
