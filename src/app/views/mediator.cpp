#include "app/views/mediator.h"

#include "diag/trace.h"

bool VM_CMediator::VM_Register(int key, VM_FCommandHandler handler) {
    if (m_nCount >= kMaxEntries) return false;
    m_entries[static_cast<size_t>(m_nCount)] = Entry{key, std::move(handler)};
    ++m_nCount;
    return true;
}

int VM_CMediator::VM_Execute(int key, void* arg) const {
    for (int i = 0; i < m_nCount; ++i) {
        const Entry& entry = m_entries[static_cast<size_t>(i)];
        if (entry.key != key) continue;
        if (!entry.handler) {
            VM_TraceF("VM_CMediator: command %d has no handler", key);
            return 0;
        }
        return entry.handler(arg);
    }
    return 0;
}

bool VM_CMediator::VM_Has(int key) const {
    for (int i = 0; i < m_nCount; ++i)
        if (m_entries[static_cast<size_t>(i)].key == key) return true;
    return false;
}

int VM_CConcreteCmd::VM_Execute(void* arg) const {
    if (m_nKey == kNone || m_pMediator == nullptr) return 0;
    return m_pMediator->VM_Execute(m_nKey, arg);
}
