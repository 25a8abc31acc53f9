#include "store/call_info.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/win32/files.h"


namespace {

// The decimal number at [pos, pos + width) of text, as far as the text
// reaches; 0 when it does not reach the field at all.
int FieldAt(const char* text, size_t length, size_t pos, size_t width) {
    if (text == nullptr || pos >= length) return 0;
    char field[8] = {};
    size_t n = std::min(width, length - pos);
    std::memcpy(field, text + pos, n);
    return std::atoi(field);
}

int ParseInt(const char* text) {
    if (text == nullptr) return 0;
    long value = std::strtol(text, nullptr, 10);
    if (value > 0x7FFFFFFF) return 0x7FFFFFFF;
    if (value < -0x7FFFFFFF) return -0x7FFFFFFF;
    return static_cast<int>(value);
}

void SetNumber(VM_CItem& item, int index, int value) {
    char text[16];
    std::snprintf(text, sizeof text, "%d", value);
    item.VM_SetAttr(index, text);
}

}  // namespace

VM_CCallInfo::VM_CCallInfo() : VM_CItem(kAttrCount) {}

VM_CCallInfo::VM_CCallInfo(const VM_CCallInfo& other) : VM_CItem(other) {}

VM_CItem* VM_CCallInfo::VM_Clone() const {
    auto* copy = new VM_CCallInfo(*this);
    if (VM_CopyOwnedFile(*copy, kAttrWaveFile, "Msg")) return copy;
    delete copy;
    return nullptr;
}

void VM_CCallInfo::VM_Delete() {
    VM_DeleteOwnedFile(kAttrWaveFile);
    delete this;
}

const char* VM_CCallInfo::VM_GetWaveFile() { return VM_GetOwnedFile(kAttrWaveFile); }

std::optional<std::string> VM_CCallInfo::VM_GetWaveFileText() { return VM_GetOwnedFileText(kAttrWaveFile); }

int VM_CCallInfo::VM_GetMailbox() {
    std::lock_guard<std::recursive_mutex> guard(VM_Lock());
    const char* text = VM_GetAttr(kAttrMailbox);
    if (text == nullptr) {
        VM_SetAttr(kAttrMailbox, "0");
        return 0;
    }
    return ParseInt(text);
}

void VM_CCallInfo::VM_SetMailbox(int mailbox) {
    if (mailbox >= 0) SetNumber(*this, kAttrMailbox, mailbox);
}

int VM_CCallInfo::VM_GetLength() const { return ParseInt(VM_GetAttrText(kAttrLength).value_or("0").c_str()); }

void VM_CCallInfo::VM_SetLength(int seconds) {
    if (seconds > 0) SetNumber(*this, kAttrLength, seconds);
}

void VM_CCallInfo::VM_SetTime(int year, int month, int day, int hour, int minute, int second) {
    char text[64];
    std::snprintf(text, sizeof text, "%4d/%02d/%02d, %02d:%02d:%02d", year, month, day, hour, minute, second);
    VM_SetAttr(kAttrTime, text);
}

void VM_CCallInfo::VM_GetTime(int& year, int& month, int& day, int& hour, int& minute) const {
    std::string text = VM_GetAttrText(kAttrTime).value_or("");
    const char* s = text.c_str();
    year = FieldAt(s, text.size(), 0, 4);
    month = FieldAt(s, text.size(), 5, 2);
    day = FieldAt(s, text.size(), 8, 2);
    hour = FieldAt(s, text.size(), 12, 2);
    minute = FieldAt(s, text.size(), 15, 2);
}

const char* VM_CCallInfo::VM_GetDisplayTime() {
    std::lock_guard<std::recursive_mutex> guard(VM_Lock());
    if (VM_GetAttr(kAttrTime) == nullptr) {
        m_szDisplayTime[0] = '\0';
        return m_szDisplayTime;
    }
    int year, month, day, hour, minute;
    VM_GetTime(year, month, day, hour, minute);
    int hour12 = hour % 12 == 0 ? 12 : hour % 12;
    std::snprintf(m_szDisplayTime, sizeof m_szDisplayTime, "%04d/%02d/%02d %2d:%02d %s", year, month, day, hour12,
                  minute, hour < 12 ? "AM" : "PM");
    return m_szDisplayTime;
}

const char* VM_CCallInfo::VM_GetRecordedText() {
    if (VM_GetFlags() & kFlagBlocked) return "Blocked";
    return VM_GetWaveFile() != nullptr ? "Yes" : "No";
}

const char* VM_CCallInfo::VM_PeekRecordedText() const {
    if (VM_GetFlags() & kFlagBlocked) return "Blocked";
    return VM_HasOwnedFile(kAttrWaveFile) ? "Yes" : "No";
}

std::string VM_FormatRecordingSize(unsigned long long size) {
    if (size > 0xFFFFFFFFull) return "Huge";
    double k = static_cast<double>(size) / 1024.0;
    double m = k / 1024.0;
    double g = m / 1024.0;
    char text[64];
    if (g > 1) {
        std::snprintf(text, sizeof text, "%.1f GB", g);
    } else if (m > 1) {
        std::snprintf(text, sizeof text, "%.1f MB", m);
    } else if (k > 1) {
        std::snprintf(text, sizeof text, "%.1f KB", k);
    } else {
        std::snprintf(text, sizeof text, "%d Bytes", static_cast<int>(size));
    }
    return text;
}

namespace {

std::string RecordingSizeText(VM_CCallInfo& record) {
    std::optional<std::string> wave = record.VM_GetWaveFileText();
    if ((record.VM_GetFlags() & VM_CCallInfo::kFlagBlocked) || !wave) return "No recording";
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA(wave->c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return "No recording";
    FindClose(find);
    return VM_FormatRecordingSize((static_cast<unsigned long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow);
}

}  // namespace

VM_SCallDetailTexts VM_GetCallDetailTexts(VM_CCallInfo& record) {
    VM_SCallDetailTexts texts;
    DWORD flags = record.VM_GetFlags();
    texts.calledTime = record.VM_GetDisplayTime();
    texts.mailbox = std::to_string(record.VM_GetMailbox());
    int length = record.VM_GetLength();
    texts.callLength = length > 0 ? std::to_string(length) + " seconds" : "0 second";
    texts.callBlocked = (flags & VM_CCallInfo::kFlagBlocked) ? "Yes" : "No";
    texts.size = RecordingSizeText(record);
    if (!(flags & VM_CCallInfo::kFlagNotify)) {
        texts.emailNotified = "No";
    } else {
        texts.emailNotified = (flags & VM_CCallInfo::kFlagNotifyFailed) ? "Failed" : "Yes";
    }
    return texts;
}
