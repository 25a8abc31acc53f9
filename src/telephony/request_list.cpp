#include "telephony/request_list.h"

#include <algorithm>

namespace {

constexpr const char* kKindNames[] = {
    "VM_CALLREQUEST_UNKNOWN", "VM_CALLREQUEST_ACCEPT",         "VM_CALLREQUEST_ANSWER",
    "VM_CALLREQUEST_DIAL",    "VM_CALLREQUEST_DROP",           "VM_CALLREQUEST_GENERATEDIGITS",
    "VM_CALLREQUEST_MAKECALL"};

}  // namespace

const char* VM_GetRequestKindName(int kind) {
    if (kind < 0 || kind >= static_cast<int>(std::size(kKindNames))) return "<Unknown>";
    return kKindNames[kind];
}

VM_CRequestList::~VM_CRequestList() { VM_RemoveRequests(nullptr); }

void VM_CRequestList::VM_AddRequest(DWORD reqid, VM_CALLREQUEST kind, VM_IReplyCbk* receiver) {
    m_records.push_back(Record{reqid, kind, receiver});
}

bool VM_CRequestList::VM_TakeRequest(DWORD reqid, VM_IReplyCbk** receiver, VM_CALLREQUEST* kind) {
    auto it = std::find_if(m_records.begin(), m_records.end(),
                           [reqid](const Record& r) { return r.reqid == reqid; });
    if (it == m_records.end()) return false;
    if (receiver != nullptr) *receiver = it->receiver;
    if (kind != nullptr) *kind = it->kind;
    m_records.erase(it);
    return true;
}

void VM_CRequestList::VM_RemoveRequests(VM_IReplyCbk* receiver) {
    if (receiver == nullptr) {
        m_records.clear();
        return;
    }
    std::erase_if(m_records, [receiver](const Record& r) { return r.receiver == receiver; });
}

bool VM_CRequestList::VM_HasPendingDrop(VM_IReplyCbk* receiver) const {
    return std::any_of(m_records.begin(), m_records.end(), [receiver](const Record& r) {
        return r.kind == VM_CALLREQUEST_DROP && (receiver == nullptr || r.receiver == receiver);
    });
}
