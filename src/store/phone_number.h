// Phone numbers as the address book compares them: only the digits and the
// wildcard '?' count, and numbers of different length never match.
#pragma once

#include <string>

constexpr char kPhoneWildcard = '?';

// The digits 0-9 and '?' of text, in order; empty for null.
std::string VM_NormalizePhone(const char* text);
// True when the normalised text is not empty.
bool VM_IsValidPhone(const char* text);
// True when the text without blanks (spaces) is not empty.
bool VM_IsValidName(const char* text);
// Both present, both normalised to the same length above 0, and at every
// position the characters are equal or either is '?'.
bool VM_PhoneMatch(const char* a, const char* b);
// The same for texts already normalised (a search normalises its number
// once, not once per entry).
bool VM_NormalizedPhoneMatch(const std::string& a, const std::string& b);
