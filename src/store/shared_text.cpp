#include "store/shared_text.h"

#include <cstring>

void VM_CSharedText::VM_Set(const char* text) {
    VM_Set(text, text == nullptr ? 0 : std::strlen(text));
}

void VM_CSharedText::VM_Set(const char* text, std::size_t length) {
    // Built outside the lock so a reader waits only for the swap.
    std::string fresh;
    if (text != nullptr && length > 0) fresh.assign(text, length);
    std::lock_guard<std::mutex> guard(m_lock);
    m_text.swap(fresh);
    m_bPresent = !m_text.empty();
}

void VM_CSharedText::VM_SetFrom(const VM_CSharedText& other) {
    if (&other == this) return;
    std::string copy = other.VM_String();
    VM_Set(copy.data(), copy.size());
}

bool VM_CSharedText::VM_IsPresent() const {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_bPresent;
}

char* VM_CSharedText::VM_Copy() const {
    std::lock_guard<std::mutex> guard(m_lock);
    if (!m_bPresent) return nullptr;
    char* copy = new char[m_text.size() + 1];
    std::memcpy(copy, m_text.data(), m_text.size());
    copy[m_text.size()] = '\0';
    return copy;
}

std::string VM_CSharedText::VM_String() const {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_text;
}
