#include "telephony/caller_id.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>

#include "diag/trace.h"
#include "platform/tapi/tapi_constants.h"
#include "telephony/var_structs.h"

namespace {

constexpr const char* kCallerIDTexts[kCallerIDClassCount] = {"Blocked", "Unavailable", "Unknown", "Out of area",
                                                             "Private"};
constexpr const char* kUnknown = "Unknown";
// Both result buffers hold this many characters, terminator included.
constexpr size_t kResultBuffer = 1000;

char LowerChar(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (LowerChar(a[i]) != LowerChar(b[i])) return false;
    }
    return true;
}

std::string_view TrimBlanks(std::string_view text) {
    while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
    return text;
}

// The network's one-letter codes for a withheld number or name.
const char* CodeText(std::string_view trimmed) {
    if (trimmed.size() != 1) return nullptr;
    switch (LowerChar(trimmed.front())) {
        case 'o': return "Out of area";
        case 'u': return "Unavailable";
        case 'b': return "Blocked";
        case 'p': return "Private";
        default: return nullptr;
    }
}

// A reported part: present when its size is above 0 and it lies wholly
// inside the returned structure. Read only up to its size, NUL or not.
std::optional<std::string> ReadPart(const VM_CCallInfor& info, DWORD size, DWORD offset) {
    if (size == 0) return std::nullopt;
    const BYTE* bytes = info.VM_GetField(offset, size);
    if (bytes == nullptr) return std::nullopt;
    const char* text = reinterpret_cast<const char*>(bytes);
    return std::string(text, strnlen(text, size));
}

std::string Interpret(const std::optional<std::string>& part) {
    if (!part) return kUnknown;
    std::string_view trimmed = TrimBlanks(*part);
    const char* code = CodeText(trimmed);
    return code != nullptr ? std::string(code) : std::string(trimmed);
}

// The withheld-caller flags in the order they are tested; the first wins.
const char* FlagText(DWORD flags) {
    if (flags & LINECALLPARTYID_BLOCKED) return "Blocked";
    if (flags & LINECALLPARTYID_OUTOFAREA) return "Out of area";
    if (flags & LINECALLPARTYID_UNKNOWN) return "Unknown";
    if (flags & LINECALLPARTYID_UNAVAIL) return "Unavailable";
    return nullptr;
}

void CopyResult(char* buffer, const std::string& result) {
    if (buffer == nullptr) return;
    size_t length = std::min(result.size(), kResultBuffer - 1);
    std::memcpy(buffer, result.data(), length);
    buffer[length] = '\0';
}

}  // namespace

const char* VM_GetCallerIDText(int callerIDClass) {
    if (callerIDClass < 1 || callerIDClass > kCallerIDClassCount) return nullptr;
    return kCallerIDTexts[callerIDClass - 1];
}

bool VM_CCallInfor::VM_GetInterpretedCallerID(char* name, char* number) {
    const LINECALLINFO* info = VM_GetInfo();
    DWORD flags = info != nullptr ? info->dwCallerIDFlags : 0;
    std::optional<std::string> rawNumber;
    std::optional<std::string> rawName;
    if (info != nullptr) {
        rawNumber = ReadPart(*this, info->dwCallerIDSize, info->dwCallerIDOffset);
        rawName = ReadPart(*this, info->dwCallerIDNameSize, info->dwCallerIDNameOffset);
    }
    VM_TRACE(g_bTraceTapi, "VM_CCallInfor::VM_GetInterpretedCallerID: pPhoneNo=%.*s, GetCallerID=%s, Flags=0x%x",
             static_cast<int>(number != nullptr ? strnlen(number, kResultBuffer) : 4),
             number != nullptr ? number : "NULL", rawNumber ? rawNumber->c_str() : "NULL", flags);

    std::string nameResult;
    std::string numberResult;
    if (const char* withheld = FlagText(flags)) {
        nameResult = numberResult = withheld;
    } else {
        nameResult = Interpret(rawName);
        numberResult = Interpret(rawNumber);
    }
    CopyResult(name, nameResult);
    CopyResult(number, numberResult);
    return true;
}

int VM_GetCallerIDClass(const char* text) {
    if (text == nullptr) return 0;
    std::string_view trimmed = TrimBlanks(text);
    for (int i = 0; i < kCallerIDClassCount; ++i) {
        if (SameNoCase(trimmed, kCallerIDTexts[i])) return i + 1;
    }
    return 0;
}

bool VM_TrimSpaces(char* text) {
    if (text == nullptr || *text == '\0') return false;
    std::string_view trimmed = TrimBlanks(text);
    std::memmove(text, trimmed.data(), trimmed.size());
    text[trimmed.size()] = '\0';
    return true;
}
