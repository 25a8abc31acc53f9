// Outstanding asynchronous requests of one line, so that each LINE_REPLY
// goes back to the object that made the request.
#pragma once

#include <cstddef>
#include <vector>

#include "platform/win32/types.h"

// The kinds of request; the names are also the trace texts.
enum VM_CALLREQUEST : int {
    VM_CALLREQUEST_UNKNOWN = 0,
    VM_CALLREQUEST_ACCEPT = 1,
    VM_CALLREQUEST_ANSWER = 2,
    VM_CALLREQUEST_DIAL = 3,
    VM_CALLREQUEST_DROP = 4,
    VM_CALLREQUEST_GENERATEDIGITS = 5,
    VM_CALLREQUEST_MAKECALL = 6,
};

// "VM_CALLREQUEST_..." for a kind; "<Unknown>" for a value outside them.
const char* VM_GetRequestKindName(int kind);

// Any object that makes asynchronous requests.
class VM_IReplyCbk {
public:
    virtual void VM_OnReply(DWORD reqid, LONG result, VM_CALLREQUEST kind) = 0;
    virtual ~VM_IReplyCbk() = default;
};

class VM_CRequestList {
public:
    VM_CRequestList() = default;
    virtual ~VM_CRequestList();
    VM_CRequestList(const VM_CRequestList&) = delete;
    VM_CRequestList& operator=(const VM_CRequestList&) = delete;

    void VM_AddRequest(DWORD reqid, VM_CALLREQUEST kind, VM_IReplyCbk* receiver);
    // Removes the oldest record of that id and returns its contents.
    bool VM_TakeRequest(DWORD reqid, VM_IReplyCbk** receiver, VM_CALLREQUEST* kind);
    // Every record of the receiver; with null, every record.
    void VM_RemoveRequests(VM_IReplyCbk* receiver);
    // A drop request of the receiver (of anyone with null) is outstanding.
    bool VM_HasPendingDrop(VM_IReplyCbk* receiver) const;
    std::size_t VM_GetCount() const { return m_records.size(); }

private:
    struct Record {
        DWORD reqid;
        VM_CALLREQUEST kind;
        VM_IReplyCbk* receiver;
    };
    std::vector<Record> m_records;
};
