// New-call notices sent without holding up the main thread.
//
// A slow or silent mail server must not keep the main thread from serving a
// ringing line, so the notices go out on a worker thread of their own, one at
// a time in the order the records arrived. The record waits with the sender
// while its notice is sent and comes back, carrying the notice's flags, with
// VM_MSG_NOTICE_DONE posted to the main window; only then is it filed, so a
// stored record always carries its notice's outcome.
//
// All members are called on the main thread.
#pragma once

#include <memory>

#include "platform/win32/types.h"

class VM_CAppCfg;
class VM_CCallInfo;

// Posted to the main window when a held record's notice step is over.
// wParam 0, lParam the finished job: hand it to VM_CNoticeSender::VM_Finish.
constexpr UINT VM_MSG_NOTICE_DONE = 0x8022;

// A record whose notice step is over, ready to be filed in its folder.
struct VM_SNoticeDone {
    int folderId = -1;
    VM_CCallInfo* record = nullptr;  // owned by the receiver
};

class VM_CNoticeSender {
public:
    // Completions are posted to hwndMain.
    explicit VM_CNoticeSender(HWND hwndMain);
    // Stops as VM_Stop does.
    ~VM_CNoticeSender();
    VM_CNoticeSender(const VM_CNoticeSender&) = delete;
    VM_CNoticeSender& operator=(const VM_CNoticeSender&) = delete;

    // For each new call record (0x800C), before it is filed. Decides from the
    // settings whether a notice is due and takes a copy of every setting and
    // record value the notice needs.
    // False: nothing to wait for; the record's flags are final, file it now.
    // True: the sender holds the record (also when no notice is due but an
    // earlier record still waits, so records are filed in arrival order);
    // it comes back through VM_MSG_NOTICE_DONE.
    bool VM_Begin(const VM_CAppCfg& cfg, int folderId, VM_CCallInfo* record);

    // For VM_MSG_NOTICE_DONE's lParam: sets the notice's flags on the record
    // and hands it back to be filed.
    VM_SNoticeDone VM_Finish(LPARAM job);

    // Records handed to VM_Begin and not yet back through VM_Finish.
    int VM_GetPendingCount() const;

    // At exit: cuts short the notice being sent and skips the ones waiting
    // (each such record ends with flags 0x4 and 0x10: due but not sent) and
    // ends the worker. Every held record's VM_MSG_NOTICE_DONE is posted
    // before it returns, so the caller handles them as it handles the
    // answer machine's last messages. Sending stays stopped afterwards.
    void VM_Stop();

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};
