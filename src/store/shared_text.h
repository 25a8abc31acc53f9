// A text setting that one thread may replace while others read it (the
// remote-retrieval passwords: a call's worker thread resets the current
// password while a settings dialog reads it). Readers get their own copy, so
// they never hold a string that a writer frees.
#pragma once

#include <cstddef>
#include <mutex>
#include <string>

class VM_CSharedText {
public:
    VM_CSharedText() = default;
    explicit VM_CSharedText(const char* text) { VM_Set(text); }
    VM_CSharedText(const VM_CSharedText&) = delete;
    VM_CSharedText& operator=(const VM_CSharedText&) = delete;

    // Null or empty makes the text absent.
    void VM_Set(const char* text);
    void VM_Set(const char* text, std::size_t length);
    // Takes the other's text as one step (absent stays absent).
    void VM_SetFrom(const VM_CSharedText& other);
    void VM_Clear() { VM_Set(nullptr); }

    bool VM_IsPresent() const;
    // A new[] copy the caller frees with delete[]; null when absent.
    char* VM_Copy() const;
    // The text, empty when absent.
    std::string VM_String() const;

private:
    mutable std::mutex m_lock;
    std::string m_text;
    bool m_bPresent = false;
};
