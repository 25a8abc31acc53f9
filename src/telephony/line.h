// One opened line device: negotiates the API version, opens the device,
// asks for line-state messages, and routes the events the session hands it
// to its owner and to its calls.
#pragma once

#include <vector>

#include "platform/tapi/tapi.h"
#include "telephony/request_list.h"

class VM_CLine;
class VM_CCall;

// Implemented by the line's owner.
class VM_ILineCbk {
public:
    virtual void VM_OnLineDevState(VM_CLine* line, DWORD dwState, DWORD dwParam2, DWORD dwParam3) = 0;
    // An inbound call is offered that the line does not know; the owner may
    // create a VM_CCall for it.
    virtual void VM_OnNewCall(VM_CLine* line, HCALL hCall, DWORD dwAddressID, DWORD dwPrivilege) = 0;
    virtual void VM_OnLineClose(VM_CLine* line) = 0;
    virtual ~VM_ILineCbk() = default;
};

constexpr DWORD kNoDeviceID = 0xFFFFFFFF;

class VM_CLine {
public:
    VM_CLine(DWORD lineid, VM_ILineCbk* owner);
    virtual ~VM_CLine();
    VM_CLine(const VM_CLine&) = delete;
    VM_CLine& operator=(const VM_CLine&) = delete;

    virtual void VM_OnTapiEvent(DWORD hDevice, DWORD dwMsg, DWORD dwParam1, DWORD dwParam2,
                                DWORD dwParam3);
    virtual void VM_OnLineDevState(HLINE hLine, DWORD dwState, DWORD dwParam2, DWORD dwParam3);
    virtual void VM_OnClose(HLINE hLine);
    virtual void VM_OnReply(DWORD reqid, LONG result);
    virtual void VM_OnCallState(HCALL hCall, DWORD dwCallState, DWORD dwDetail, DWORD dwPrivilege);
    virtual void VM_OnCallInfo(HCALL hCall, DWORD dwInfoState);
    virtual void VM_OnMonitorDigits(HCALL hCall, DWORD dwDigit, DWORD dwDigitMode);
    virtual void VM_OnMonitorMedia(HCALL hCall, DWORD dwMediaMode);

    bool VM_NegotiateAPIVersion();
    bool VM_Open(DWORD privileges, DWORD mediaModes);
    bool VM_Close();

    VM_CCall* VM_FindCall(HCALL hCall) const;
    void VM_AddCall(VM_CCall* call);
    void VM_RemoveCall(VM_CCall* call);
    bool VM_HasCalls() const { return !m_calls.empty(); }

    HLINE VM_GetHandle() const { return m_hLine; }
    DWORD VM_GetDeviceID() const { return m_dwDeviceID; }
    DWORD VM_GetAPIVersion() const { return m_dwAPIVersion; }
    VM_ILineCbk* VM_GetOwner() const { return m_pOwner; }
    VM_CRequestList& VM_GetRequests() { return m_requests; }

private:
    HLINE m_hLine = 0;
    DWORD m_dwDeviceID = kNoDeviceID;
    DWORD m_dwAPIVersion = 0;
    VM_CRequestList m_requests;
    VM_ILineCbk* m_pOwner;
    std::vector<VM_CCall*> m_calls;
};
