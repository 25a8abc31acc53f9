#include "store/phone_number.h"

std::string VM_NormalizePhone(const char* text) {
    std::string out;
    if (text == nullptr) return out;
    for (const char* p = text; *p != '\0'; ++p) {
        if ((*p >= '0' && *p <= '9') || *p == kPhoneWildcard) out.push_back(*p);
    }
    return out;
}

bool VM_IsValidPhone(const char* text) { return !VM_NormalizePhone(text).empty(); }

bool VM_IsValidName(const char* text) {
    if (text == nullptr) return false;
    for (const char* p = text; *p != '\0'; ++p) {
        // A blank is the space character only: a tab is part of the name.
        if (*p != ' ') return true;
    }
    return false;
}

bool VM_PhoneMatch(const char* a, const char* b) {
    return VM_NormalizedPhoneMatch(VM_NormalizePhone(a), VM_NormalizePhone(b));
}

bool VM_NormalizedPhoneMatch(const std::string& left, const std::string& right) {
    if (left.empty() || left.size() != right.size()) return false;
    for (size_t i = 0; i < left.size(); ++i) {
        if (left[i] != right[i] && left[i] != kPhoneWildcard && right[i] != kPhoneWildcard) return false;
    }
    return true;
}
