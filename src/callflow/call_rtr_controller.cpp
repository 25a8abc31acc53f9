#include "callflow/call_rtr_controller.h"

#include <algorithm>
#include <new>
#include <optional>
#include <string>

#include "store/app_config.h"

namespace {

// Orders the snapshot by one attribute's stored text; the record time
// ("%4d/%02d/%02d, %02d:%02d:%02d") sorts chronologically that way.
class AttributeSort : public VM_ISortCbk {
public:
    std::optional<std::string> VM_GetSortKey(const VM_CItem& item, int attribute) override {
        return item.VM_GetAttrText(attribute);
    }
};

}  // namespace

VM_CCallRtrController::VM_CCallRtrController(VM_CAppCfg* cfg) : m_pCfg(cfg) {
    m_pPrototype = new (std::nothrow) VM_CCallInfo();
    char* path = m_pCfg != nullptr ? m_pCfg->VM_GetMessageListFileName(m_pCfg->m_idInbox) : nullptr;
    if (m_pPrototype != nullptr) {
        // Flag word 0: a snapshot that is never saved. Without a path (the
        // Config folder cannot be made) the list is as empty as without a file.
        m_pList = new (std::nothrow) VM_CList(m_pPrototype, path, 0);
        if (m_pList != nullptr) {
            AttributeSort byAttribute;
            m_pList->VM_Sort(VM_CCallInfo::kAttrTime, kSortDescending, &byAttribute);
        }
    }
    delete[] path;
}

VM_CCallRtrController::~VM_CCallRtrController() {
    delete m_pList;
    delete m_pPrototype;
}

VM_CCallInfo* VM_CCallRtrController::VM_Matching(int index, int mailbox) const {
    auto* record = static_cast<VM_CCallInfo*>(m_pList->VM_GetAt(index));
    if (record == nullptr) return nullptr;
    if (mailbox != VM_MAILBOX_ANY && record->VM_GetMailbox() != mailbox) return nullptr;
    return record;
}

VM_CCallInfo* VM_CCallRtrController::VM_FindFirst(int& pos, int mailbox) {
    if (m_pList == nullptr || pos < 0) return nullptr;
    for (int i = pos; i < m_pList->VM_GetCount(); ++i) {
        if (VM_CCallInfo* record = VM_Matching(i, mailbox)) {
            pos = i;
            return record;
        }
    }
    return nullptr;
}

VM_CCallInfo* VM_CCallRtrController::VM_FindNext(int& pos, int mailbox) {
    if (pos < -1) return nullptr;
    int next = pos + 1;
    VM_CCallInfo* record = VM_FindFirst(next, mailbox);
    if (record != nullptr) pos = next;
    return record;
}

VM_CCallInfo* VM_CCallRtrController::VM_FindPrevious(int& pos, int mailbox) {
    if (m_pList == nullptr) return nullptr;
    for (int i = std::min(pos, m_pList->VM_GetCount()) - 1; i >= 0; --i) {
        if (VM_CCallInfo* record = VM_Matching(i, mailbox)) {
            pos = i;
            return record;
        }
    }
    return nullptr;
}

bool VM_CCallRtrController::VM_Remove(int pos) {
    if (m_pList == nullptr || m_pList->VM_GetAt(pos) == nullptr) return false;
    VM_CItem* record = m_pList->VM_GetAt(pos);
    if (!m_pList->VM_RemoveAt(pos, false)) return false;
    // Destroyed in memory only: the message and its file stay until the main
    // thread moves them to "Deleted Messages".
    delete record;
    return true;
}
