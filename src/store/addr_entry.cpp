#include "store/addr_entry.h"

#include "store/phone_number.h"
#include "telephony/var_structs.h"

bool VM_IsSpecialWord(const char* text) { return VM_GetCallerIDClass(text) != 0; }

VM_CAddrEntry::VM_CAddrEntry() : VM_CItem(kAttrCount) { VM_AddFlags(kFlagNotify); }

VM_CAddrEntry::VM_CAddrEntry(const VM_CAddrEntry& other) : VM_CItem(other) {}

VM_CItem* VM_CAddrEntry::VM_Clone() const {
    auto* copy = new VM_CAddrEntry(*this);
    if (VM_CopyOwnedFile(*copy, kAttrGreeting, "Grt")) return copy;
    delete copy;
    return nullptr;
}

void VM_CAddrEntry::VM_Delete() {
    VM_DeleteOwnedFile(kAttrGreeting);
    delete this;
}

const char* VM_CAddrEntry::VM_GetGreetingFile() { return VM_GetOwnedFile(kAttrGreeting); }

std::optional<std::string> VM_CAddrEntry::VM_GetGreetingFileText() { return VM_GetOwnedFileText(kAttrGreeting); }

std::optional<std::string> VM_CAddrEntry::VM_GetDisplayPhone() const {
    for (int index : {kAttrOffice, kAttrHome, kAttrCellular}) {
        std::optional<std::string> number = VM_GetAttrText(index);
        if (number && (VM_IsValidPhone(number->c_str()) || VM_IsSpecialWord(number->c_str()))) return number;
    }
    return std::nullopt;
}

namespace {

const char* BlockText(DWORD flags) {
    if (flags & VM_CAddrEntry::kFlagBlockHangUp) return "Blocked (Hang Up)";
    if (flags & VM_CAddrEntry::kFlagBlockTone) return "Blocked (Special Tone)";
    if (flags & VM_CAddrEntry::kFlagBlockAnnounce) return "Blocked (Announce Only)";
    return nullptr;
}

}  // namespace

const char* VM_CAddrEntry::VM_GetGreetingText() {
    if (const char* blocked = BlockText(VM_GetFlags())) return blocked;
    return VM_GetGreetingFile() != nullptr ? "Yes" : "No";
}

const char* VM_CAddrEntry::VM_PeekGreetingText() const {
    if (const char* blocked = BlockText(VM_GetFlags())) return blocked;
    return VM_HasOwnedFile(kAttrGreeting) ? "Yes" : "No";
}
