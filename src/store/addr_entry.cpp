#include "store/addr_entry.h"

#include "audio/wave_file_names.h"
#include "platform/win32/files.h"
#include "store/phone_number.h"
#include "telephony/var_structs.h"

namespace {

bool FileExists(const char* path) {
    if (path == nullptr || path[0] == '\0') return false;
    DWORD attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace

bool VM_IsSpecialWord(const char* text) { return VM_GetCallerIDClass(text) != 0; }

VM_CAddrEntry::VM_CAddrEntry() : VM_CItem(kAttrCount) { VM_AddFlags(kFlagNotify); }

VM_CAddrEntry::VM_CAddrEntry(const VM_CAddrEntry& other) : VM_CItem(other) {}

VM_CItem* VM_CAddrEntry::VM_Clone() const {
    auto* copy = new VM_CAddrEntry(*this);
    std::optional<std::string> greeting = copy->VM_GetGreetingFileText();
    if (!greeting) return copy;
    char* copied = VM_CopyToUniqueWaveName(greeting->c_str(), "Grt");
    if (copied == nullptr) {
        delete copy;
        return nullptr;
    }
    copy->VM_SetAttr(kAttrGreeting, copied);
    delete[] copied;
    return copy;
}

void VM_CAddrEntry::VM_Delete() {
    std::optional<std::string> greeting = VM_GetAttrText(kAttrGreeting);
    if (greeting && !greeting->empty()) DeleteFileA(greeting->c_str());
    delete this;
}

const char* VM_CAddrEntry::VM_GetGreetingFile() {
    std::lock_guard<std::recursive_mutex> guard(VM_Lock());
    const char* path = VM_GetAttr(kAttrGreeting);
    if (path != nullptr && FileExists(path)) return path;
    VM_SetAttr(kAttrGreeting, nullptr);
    return nullptr;
}

std::optional<std::string> VM_CAddrEntry::VM_GetGreetingFileText() {
    std::lock_guard<std::recursive_mutex> guard(VM_Lock());
    const char* path = VM_GetGreetingFile();
    if (path == nullptr) return std::nullopt;
    return std::string(path);
}

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
    std::optional<std::string> path = VM_GetAttrText(kAttrGreeting);
    return path && FileExists(path->c_str()) ? "Yes" : "No";
}
