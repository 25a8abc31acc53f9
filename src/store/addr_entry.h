// One address-book entry: a name, up to three phone numbers (or one of the
// special caller-ID words), notes, how the caller is handled, and an
// optional personal greeting or announcement recording that the entry owns.
#pragma once

#include <optional>
#include <string>

#include "store/item.h"

class VM_CAddrEntry : public VM_CItem {
public:
    // Attributes; 6 to 8 are not used.
    static constexpr int kAttrFlags = 0;
    static constexpr int kAttrNotes = 1;
    static constexpr int kAttrName = 2;
    static constexpr int kAttrOffice = 3;
    static constexpr int kAttrHome = 4;
    static constexpr int kAttrCellular = 5;
    static constexpr int kAttrGreeting = 9;  // full path of the WAVE file
    static constexpr int kAttrCount = 10;

    // Flag bits of attribute 0; at most one block bit is set.
    static constexpr DWORD kFlagBlockHangUp = 0x1;
    static constexpr DWORD kFlagBlockTone = 0x2;
    static constexpr DWORD kFlagNotify = 0x4;
    static constexpr DWORD kFlagBulkCall = 0x8;
    static constexpr DWORD kFlagBlockAnnounce = 0x10;
    static constexpr DWORD kBlockMask = 0x13;

    // The phone attributes in the order a lookup tests them.
    static constexpr int kLookupOrder[3] = {kAttrCellular, kAttrHome, kAttrOffice};

    // A new entry asks for e-mail notice.
    VM_CAddrEntry();

    // A copy with its own copy of the greeting ("Grt" name beside it); null
    // when the greeting exists but cannot be copied.
    VM_CItem* VM_Clone() const override;
    // Deletes the greeting file, then the entry.
    void VM_Delete() override;

    // Attribute 9 when that file exists; otherwise attribute 9 is cleared
    // and the result is null.
    const char* VM_GetGreetingFile();
    std::optional<std::string> VM_GetGreetingFileText();
    // The first of office, home and cellular that is a valid phone number
    // or a special caller-ID word.
    std::optional<std::string> VM_GetDisplayPhone() const;
    // The "Greeting" column: the block text, else "Yes" or "No" for the
    // greeting file.
    const char* VM_GetGreetingText();
    // The same text, leaving attribute 9 as it is.
    const char* VM_PeekGreetingText() const;

private:
    VM_CAddrEntry(const VM_CAddrEntry& other);
};

// True when the text, trimmed, is one of the special caller-ID words.
bool VM_IsSpecialWord(const char* text);
