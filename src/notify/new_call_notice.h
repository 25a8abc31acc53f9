// New-call notices: whether a call is notified, what the notice says, and
// sending one message per forwarding address.
#pragma once

#include <atomic>
#include <string>

#include "notify/smtp_settings.h"
#include "platform/win32/types.h"

class VM_CAppCfg;
class VM_CCallInfo;

// Notification modes (VM_CAppCfg::m_nNotifyMode).
constexpr int VM_NOTIFY_OFF = 0;
constexpr int VM_NOTIFY_ALL = 1;
constexpr int VM_NOTIFY_ASKED = 2;

// Everything one notice needs, copied from the settings and the record.
struct VM_SNotice {
    VM_SSmtpSettings smtp;
    std::string subject;
    std::string body;
    std::string waveFile;  // empty when the record has no recording
};

// Mode 1 notifies callers not known without "Notify me"; mode 2 only callers
// marked "Notify me".
bool VM_IsNoticeDue(int mode, DWORD recordFlags);
// The decision for a record: with notification off, clears its flag 0x4.
bool VM_DecideNotice(const VM_CAppCfg& cfg, VM_CCallInfo& record);
// Subject, body and attachment for the record with the current settings.
VM_SNotice VM_PrepareNotice(const VM_CAppCfg& cfg, VM_CCallInfo& record);
// Sends one message per non-empty address; returns the flags the record
// gets: 0x4 once an address was tried, 0x10 when any message failed, and
// both when the connection failed. A failure for one address does not stop
// the next. With *abort true every step still to come fails at once.
DWORD VM_SendNotice(const VM_SNotice& notice, const std::atomic<bool>* abort = nullptr);

// All of it at once, on the calling thread: decides, sends and sets the
// record's flags. Returns when the notice step is over.
void VM_NotifyNewCall(const VM_CAppCfg& cfg, VM_CCallInfo& record);
