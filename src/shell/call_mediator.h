// The answering engine's side of the mediator: it takes each new call
// record the answer machine posts, has it e-mailed, files it in its
// folder's list, hands it to the owner's command (call_hook.h) and starts
// the new-message alert, and it moves a message
// that remote retrieval deletes to "Deleted Messages". The windowed
// mediator holds one of these and tells it which list is on screen; the
// headless program uses it as it is.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "callflow/callflow_messages.h"
#include "callflow/observer.h"
#include "notify/notice_sender.h"
#include "store/call_info.h"

class VM_CAppCfg;
class VM_CCallHook;
class VM_CList;
class VM_CTollSaver;

// What became of one finished call, for whoever reports it.
struct VM_SFiledCall {
    int folderId = -1;
    bool filed = false;          // false: the folder's list could not be saved
    int32_t recordId = 0;        // in the folder's list, once filed
    std::string time;            // the record's time text
    std::string name;
    std::string number;
    DWORD flags = 0;
    int mailbox = 0;
    int lengthSeconds = 0;       // of the call, from the answer
    std::string recording;       // empty without a message
    int messageSeconds = 0;      // of the recording
};

class VM_CCallMediator : public VM_CObserver {
public:
    // Neither is owned. A null toll saver leaves the alert's flag alone.
    // With a main window, new-call notices are mailed (off the main thread)
    // before each record is filed, and the owner's command is run after.
    VM_CCallMediator(VM_CAppCfg* cfg, VM_CTollSaver* tollSaver, HWND mainWindow = nullptr);
    ~VM_CCallMediator() override;

    bool VM_OnMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

    // The list on screen, which a record for its folder joins; null for none.
    void VM_SetShownList(VM_CList* shown) { m_pShown = shown; }
    // Told after each new record is filed (or could not be).
    void VM_SetFiledListener(std::function<void(const VM_SFiledCall&)> listener) { m_onFiled = std::move(listener); }
    // Told after a remote delete, whether it was done.
    void VM_SetDeletedListener(std::function<void(int folderId, int32_t recordId, bool done)> listener) {
        m_onDeleted = std::move(listener);
    }
    // Taking ownership of the record: mailed first when a notice is due,
    // then filed.
    void VM_OnNewCallRecord(int folderId, VM_CCallInfo* record);
    bool VM_OnRemoteDelete(int folderId, int32_t recordId);
    // At exit: cuts short the notices still going out; their records come
    // back as posted messages, which the caller then handles.
    void VM_StopNotices();

private:
    void VM_FileRecord(int folderId, VM_CCallInfo* record);

    VM_CAppCfg* m_pCfg;
    VM_CTollSaver* m_pTollSaver;
    VM_CList* m_pShown = nullptr;
    std::function<void(const VM_SFiledCall&)> m_onFiled;
    std::function<void(int, int32_t, bool)> m_onDeleted;
    std::unique_ptr<VM_CNoticeSender> m_notices;
    std::unique_ptr<VM_CCallHook> m_hook;
};

// One line for the program's output: time, caller, what happened and the
// recording's path.
std::string VM_DescribeFiledCall(const VM_SFiledCall& call);
