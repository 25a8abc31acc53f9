// One call-log record: who called, when, for how long, to which mailbox, the
// message's WAVE file and the record's flags.
#pragma once

#include <optional>
#include <string>

#include "store/item.h"

class VM_CCallInfo : public VM_CItem {
public:
    // Attributes.
    static constexpr int kAttrFlags = 0;
    static constexpr int kAttrNotes = 1;
    static constexpr int kAttrName = 2;
    static constexpr int kAttrNumber = 3;
    static constexpr int kAttrTime = 4;      // "%4d/%02d/%02d, %02d:%02d:%02d", local time
    static constexpr int kAttrMailbox = 5;
    static constexpr int kAttrLength = 6;    // seconds
    static constexpr int kAttrWaveFile = 7;
    static constexpr int kAttrCount = 8;

    // Flag bits of attribute 0.
    static constexpr DWORD kFlagRead = 0x1;
    static constexpr DWORD kFlagBlocked = 0x2;
    static constexpr DWORD kFlagNotify = 0x4;        // asked for, then: sent
    static constexpr DWORD kFlagKnownNoNotify = 0x8;
    static constexpr DWORD kFlagNotifyFailed = 0x10;
    static constexpr DWORD kFlagBulkCall = 0x20;

    VM_CCallInfo();

    // A copy with its own copy of the recording ("Msg" name beside it);
    // null when the recording exists but cannot be copied.
    VM_CItem* VM_Clone() const override;
    // Deletes the recording, then the record.
    void VM_Delete() override;

    // Attribute 7 when that file exists; otherwise attribute 7 is cleared
    // and the result is null.
    const char* VM_GetWaveFile();
    // The same as a copy, for a record shared between threads.
    std::optional<std::string> VM_GetWaveFileText();

    // An absent mailbox reads as 0 and is then stored as "0".
    int VM_GetMailbox();
    void VM_SetMailbox(int mailbox);  // ignored below 0
    int VM_GetLength() const;
    void VM_SetLength(int seconds);   // ignored unless above 0
    void VM_SetTime(int year, int month, int day, int hour, int minute, int second);
    // Read at fixed character positions of the stored text; a field the text
    // does not reach reads as 0. Seconds are not read.
    void VM_GetTime(int& year, int& month, int& day, int& hour, int& minute) const;
    // "%04d/%02d/%02d %2d:%02d %s" on a 12-hour clock; empty without a time.
    const char* VM_GetDisplayTime();
    // "Blocked" for a blocked caller, else "Yes" or "No" for the recording.
    const char* VM_GetRecordedText();
    // The same text, leaving attribute 7 as it is.
    const char* VM_PeekRecordedText() const;

    bool VM_IsRead() const { return (VM_GetFlags() & kFlagRead) != 0; }

    // The journal that keeps the call in progress on disk until its record
    // is filed (call_journal.h); never stored, never copied by VM_Clone.
    const std::string& VM_GetJournal() const { return m_journal; }
    void VM_SetJournal(std::string path) { m_journal = std::move(path); }

private:
    VM_CCallInfo(const VM_CCallInfo& other);

    char m_szDisplayTime[100] = {};
    std::string m_journal;
};

// The texts of the record detail dialog.
struct VM_SCallDetailTexts {
    std::string calledTime;     // "Called Time:"
    std::string mailbox;        // "Mailbox #:"
    std::string callLength;     // "Call Length:"
    std::string callBlocked;    // "Call Blocked:"
    std::string size;           // "Size:"
    std::string emailNotified;  // "Email Notified:"
};

VM_SCallDetailTexts VM_GetCallDetailTexts(VM_CCallInfo& record);

// "Size:" text of a recording of the given size in bytes.
std::string VM_FormatRecordingSize(unsigned long long size);
